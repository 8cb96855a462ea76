// What each route does with a connected printer, on its worker's thread:
// the commands it runs through the automation object, and the answer it
// makes of theirs. Each returns the whole answer, errors included.
#pragma once

#include <string>

#include "http/Answer.h"
#include "http/Tasks.h"
#include "uORBANTIS/TKELMORA.h"

namespace orbantis::http::calls {

Answer Identity(TKELMORA& p, const std::string& id);
Answer Status(TKELMORA& p, const std::string& id);
// document: the receipt document, its key already in it.
Answer Receipt(TKELMORA& p, const std::string& document);
// zReport false: the X report.
Answer DailyReport(TKELMORA& p, bool zReport);
// amount: a checked positive decimal with at most 2 decimals.
Answer Cash(TKELMORA& p, bool in, const std::string& amount);
Answer GetDateTime(TKELMORA& p);
// dateTime: YYYY-MM-DDTHH:MM:SS, checked.
Answer SetDateTime(TKELMORA& p, const std::string& dateTime);
Answer Raw(TKELMORA& p, int command, const std::string& data);
// The logo as a PNG of 576 x 96 dots; progress per row.
Answer GetLogo(TKELMORA& p, Task& task);
// picture: the bytes of a BMP, PNG or JPEG picture.
Answer PutLogo(TKELMORA& p, const std::string& picture, Task& task);

// The HTTP status of a receipt outcome code.
int ReceiptStatus(int code);

}  // namespace orbantis::http::calls
