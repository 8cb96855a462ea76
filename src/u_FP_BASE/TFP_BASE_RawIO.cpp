// Unframed I/O on the engine's connection: raw text out, raw bytes in.
#include "uErrLog/uErrLog.h"
#include "foundation/Clock.h"
#include "foundation/CodePage.h"
#include "u_FP_BASE/TFP_BASE.h"

namespace orbantis {

bool TFP_BASE::SEND_STR(std::uint16_t CODE_PAGE, const WideString& STR_TO_SEND, bool HasTerminator,
                        std::uint8_t TerminatorByte) {
  std::lock_guard<std::recursive_mutex> guard(FExchangeLock);
  try {
    if (STR_TO_SEND.empty()) return true;
    const AnsiString bytes = WideStringToAnsiString(STR_TO_SEND, CODE_PAGE);
    auto& c = *SERIAL_CONNECTION;
    for (char ch : bytes)
      if (!c.WriteByte(static_cast<std::uint8_t>(ch))) return false;
    return HasTerminator ? c.WriteByte(TerminatorByte) : true;
  } catch (...) {
    return false;
  }
}

bool TFP_BASE::waitRawByte(std::uint8_t& b, std::int32_t TimeOutConst) {
  // A negative limit ends the wait after the first failed read.
  return readByteWithin(b, TimeOutConst < 0 ? 0 : static_cast<std::uint64_t>(TimeOutConst), 1);
}

void TFP_BASE::appendAnswerByte(std::uint8_t b) { FAnswer[static_cast<std::size_t>(FAnswerPos++)] = b; }

bool TFP_BASE::TOTAL_READ(bool HasTerminator, std::uint8_t TerminatorByte, std::int32_t TimeOutConst,
                          AnsiString& OUTPUT_STR) {
  std::lock_guard<std::recursive_mutex> guard(FExchangeLock);
  auto& c = *SERIAL_CONNECTION;
  bool result = false;
  try {
    clearAnswer();
    F_S0 = F_S1 = F_S2 = F_S3 = F_S4 = F_S5 = 0;
    const std::uint64_t start = GetTickCount64();
    auto timePassed = [&] {
      return TimeOutConst < 0 || GetTickCount64() - start >= static_cast<std::uint64_t>(TimeOutConst);
    };
    // A continuous stream longer than the buffer ends the read at its end
    // instead of running past it.
    auto full = [&] { return static_cast<std::size_t>(FAnswerPos) >= FAnswer.size(); };

    std::uint8_t b = 0;
    if (HasTerminator) {
      while (!full()) {
        const bool got = waitRawByte(b, TimeOutConst);
        if (got) {
          appendAnswerByte(b);
          if (b == TerminatorByte) {
            result = true;
            break;
          }
        }
        if (!got || timePassed()) break;
      }
    } else {
      while (!full()) {
        const bool got = waitRawByte(b, TimeOutConst);
        if (!got) break;
        appendAnswerByte(b);
        if (timePassed()) break;
      }
      result = FAnswerPos > 0;
    }

    OUTPUT_STR = GetFAnswer2String();
    c.HEX_ANSWER = c.HEX_ID + "[0][" + LogDateTime() + "] Answer  : " + c.tmpHEX_ANSWER;
    writeTrace(c.HEX_ANSWER);
    return result;
  } catch (...) {
    return false;
  }
}

}  // namespace orbantis
