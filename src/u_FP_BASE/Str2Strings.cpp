#include "u_FP_BASE/Str2Strings.h"

#include <exception>

#include "DStrParser/DStrParser.h"
#include "foundation/CodePage.h"

namespace orbantis {

namespace {

std::string MessageOf(const std::exception& e) {
  if (auto* own = dynamic_cast<const Exception*>(&e)) return own->Message;
  return e.what();
}

}  // namespace

void Str2Strings(const AnsiString& tmpDataStr, WideStrings& tmpA, const AnsiString& MySepartor_1,
                 const AnsiString& MySepartor_2, const AnsiString& MySepartor_3, const LogLineFn& log) {
  // Failures are never raised to the caller: they go to the engine log and
  // whatever was appended so far stays in tmpA.
  auto report = [&log](const char* prefix, const std::exception& e) {
    if (log) log(prefix + MessageOf(e));
  };
  auto add = [&tmpA](const AnsiString& item) { tmpA.push_back(DecodeCodePage(item, CP_WESTERN)); };

  // Level 3: every level-2 piece is split once more; a piece that yields
  // nothing is kept whole.
  auto calcSep3 = [&](const AnsiStrings& pieces) {
    try {
      for (const AnsiString& piece : pieces) {
        AnsiStrings sub;
        SplitToni(piece, sub, MySepartor_3);
        if (sub.empty()) {
          add(piece);
        } else {
          for (const AnsiString& s : sub) add(s);
        }
      }
    } catch (const std::exception& e) {
      report("CALC_SEP_3: ", e);
    }
  };

  // Level 2: only level-1 pieces that hold the second separator are split.
  auto calcSep2 = [&](const AnsiStrings& pieces) {
    try {
      for (const AnsiString& piece : pieces) {
        if (piece.find(MySepartor_2) == AnsiString::npos) {
          add(piece);
          continue;
        }
        AnsiStrings sub;
        SplitToni(piece, sub, MySepartor_2);
        if (sub.empty()) {
          add(piece);
        } else if (MySepartor_3.empty()) {
          for (const AnsiString& s : sub) add(s);
        } else {
          calcSep3(sub);
        }
      }
    } catch (const std::exception& e) {
      report("CALC_SEP_2: ", e);
    }
  };

  try {
    if (tmpDataStr.empty()) return;
    // Embedded 00h bytes are kept in the copy; the splitter stops at them.
    const AnsiString work(tmpDataStr);
    if (MySepartor_1.empty()) {
      add(work);
      return;
    }
    try {
      AnsiStrings pieces;
      SplitToni(work, pieces, MySepartor_1);
      if (pieces.empty()) {
        add(work);
      } else if (MySepartor_2.empty()) {
        for (const AnsiString& s : pieces) add(s);
      } else {
        calcSep2(pieces);
      }
    } catch (const std::exception& e) {
      report("CALC_SEP_1;: ", e);
    }
  } catch (const std::exception& e) {
    report("TFP_BASE.Str2Strings: ", e);
  }
}

}  // namespace orbantis
