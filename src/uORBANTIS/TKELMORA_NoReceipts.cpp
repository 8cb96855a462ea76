// The builds without the receipt journal (Windows: no SQLite source among
// the packages it is built from). printReceipt and getReceipt are not in
// their interface; a printer that connects has no unfinished receipts.
#include "uORBANTIS/TKELMORA.h"

namespace orbantis {

void TKELMORA::settleUnfinishedReceipts() {}

std::int32_t TKELMORA::clearForOpening() { return 0; }

}  // namespace orbantis
