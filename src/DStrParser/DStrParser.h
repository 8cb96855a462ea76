// Splitting printer answers into fields.
//
// The printer separates the values of an answer with "," (sometimes ";", LF,
// TAB or blanks). The splitters below reproduce the driver's historic matching
// exactly, including its quirks, because clients depend on which fields come
// out where:
//  - an empty text or an empty separator yields no item;
//  - a separator is matched greedily from left to right; after a partial match
//    the scan goes on after the last compared character (it does not step back
//    to try the separator one character later);
//  - a text ending with a full separator gets no empty last item.
#pragma once

#include <functional>

#include "foundation/Strings.h"

namespace orbantis {

// Splits wide text by one separator and appends the pieces to items. The rest
// after the last separator is appended, less a trailing partial match of the
// separator. Raises Exception("Exception in \"DSplitToni\" metod : ...") on
// failure.
void DSplitToni(const WideString& text, WideStrings& items, const WideString& separator);

// Appends the items of text, split by every separator of the list in turn
// (each working item holding the separator is replaced by its pieces). No
// separator: the whole text is one item. Empty text: nothing.
// Raises Exception("WS2Strings: ...") on failure.
void WS2Strings(const WideString& text, WideStrings& items, const WideStrings& separators);

// The 8-bit splitter: like DSplitToni but the rest (partial separator
// included) is appended only when not empty, and scanning stops at the first
// 00h byte. Raises Exception("Exception in \"SplitToni\" metod : ...").
void SplitToni(const AnsiString& text, AnsiStrings& items, const AnsiString& separator);

}  // namespace orbantis
