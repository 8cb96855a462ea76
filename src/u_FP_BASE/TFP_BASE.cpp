#include "u_FP_BASE/TFP_BASE.h"

#include <algorithm>
#include <cerrno>

#include "uErrLog/LogFiles.h"
#include "uErrLog/uErrLog.h"
#include "foundation/Clock.h"
#include "foundation/CodePage.h"
#include "u_FP_BASE/Frame.h"
#include "u_FP_BASE/Rounding.h"
#include "u_FP_BASE/Str2Strings.h"

namespace orbantis {

TFP_BASE::TFP_BASE(std::int32_t port, std::int32_t baudrate)
    : SERIAL_CONNECTION(std::make_unique<TConnector>(port, baudrate, ONESTOPBIT, NOPARITY, 8)) {}

TFP_BASE::~TFP_BASE() = default;

std::uint8_t TFP_BASE::StatusByte(int index) const {
  switch (index) {
    case 0: return F_S0;
    case 1: return F_S1;
    case 2: return F_S2;
    case 3: return F_S3;
    case 4: return F_S4;
    case 5: return F_S5;
    default: return 0;
  }
}

int TFP_BASE::Get_LastErrorCode(std::int32_t& code) const {
  code = FLastErrorCode;
  return 0;
}

int TFP_BASE::Get_LastErrorMessage(WideString& message) const {
  message = DecodeCodePage(FLastErrorMessage, CP_WESTERN);
  return 0;
}

void TFP_BASE::WriteEngineLog(const std::string& text) {
  if (LOG_FOLDER.empty()) return;
  try {
    WRITE_LOG(LOG_FOLDER, text);
  } catch (...) {
  }
}

// ---------------------------------------------------------------- status bits

bool TFP_BASE::Check_Status() { return true; }

void TFP_BASE::GET_STBYTES() {
  for (int b = 0; b < 6; ++b) GET_STBYTE(b);
}

void TFP_BASE::GET_STBYTE(int byteIndex) {
  if (byteIndex < 0 || byteIndex > 5) return;
  for (int k = 0; k < 8; ++k) ERROR_SWITCHES[8 * byteIndex + k].SW_VAL = false;
}

void TFP_BASE::INIT_ERROR_SWITCHES() {
  for (auto& sw : ERROR_SWITCHES) {
    sw.SW_VAL = false;
    sw.ERR_MSG.clear();
  }
}

// ---------------------------------------------------------------- frames

// Both buffers are all zero beyond what the last frame or answer used (the
// answer text ends at the first 00h): clearing the used part is enough, and
// spares two 32 KB fills per exchange.
void TFP_BASE::clearMessage() {
  std::fill(FMessage.begin(), FMessage.begin() + std::clamp<std::int32_t>(FMessagePos, 0, ENGINE_BUFFER_SIZE), 0);
  FMessagePos = 0;
}

void TFP_BASE::clearAnswer() {
  std::fill(FAnswer.begin(), FAnswer.begin() + std::clamp<std::int32_t>(FAnswerPos, 0, ENGINE_BUFFER_SIZE), 0);
  FAnswerPos = 0;
}

void TFP_BASE::BUILD_FRAME(std::uint8_t cmd, const AnsiString& data) {
  clearMessage();
  const auto bytes = frame::BuildRequest(FSeqNumber, cmd, data);
  FSeqNumber = frame::NextSeq(FSeqNumber);
  std::copy(bytes.begin(), bytes.end(), FMessage.begin());
  FMessagePos = static_cast<std::int32_t>(bytes.size());
}

void TFP_BASE::PutInput_ToHEX() {
  auto& c = *SERIAL_CONNECTION;
  try {
    const std::int32_t count = std::min<std::int32_t>(FMessagePos, static_cast<std::int32_t>(MAX_ANSWER_TEXT));
    for (std::int32_t i = 0; i < count; ++i) TConnector::PutByte_ToHEXStr(FMessage[i], c.tmpHEX_INPUT, " ");
    if (FMessagePos > 1000) WriteEngineLog("FMessage > 1000");
  } catch (const std::exception& e) {
    WriteEngineLog(std::string("Exception in \"PutInput_ToHEX\" metod :") + e.what());
  }
}

bool TFP_BASE::readByteWithin(std::uint8_t& b, std::uint64_t limitMs, int restMs) {
  auto& c = *SERIAL_CONNECTION;
  const std::uint64_t start = GetTickCount64();
  while (true) {
    const std::uint64_t tryStart = GetTickCount64();
    try {
      // The connector waits for the byte itself (poll on the device, up to
      // the transport's read time-out); nothing here sleeps while it waits.
      b = c.readByte();
      return true;
    } catch (const std::exception&) {
    }
    const std::uint64_t now = GetTickCount64();
    if (now - start >= limitMs) {
      try {
        c.Clear();
      } catch (...) {
      }
      return false;
    }
    // A read that failed at once (a device that is gone) must not turn this
    // loop into a busy spin: rest for what is left of restMs.
    if (now - tryStart < static_cast<std::uint64_t>(std::max(0, restMs)))
      SleepMs(restMs - static_cast<int>(now - tryStart));
  }
}

bool TFP_BASE::WAIT_BYTE(std::uint8_t& b) {
  auto& c = *SERIAL_CONNECTION;
  c.TIMEOUT_ERROR = 0;
  if (readByteWithin(b, c.EXIT_BYTIMEVAR, c.WITH_SLEEP ? c.byteSleepInterval : 1)) return true;
  c.TIMEOUT_ERROR = TIMEOUT_ERROR_CODE;
  FTimedOut = true;
  return false;
}

bool TFP_BASE::READ_ANSWER(std::uint8_t cmd) {
  auto& c = *SERIAL_CONNECTION;
  try {
    clearAnswer();
    F_S0 = F_S1 = F_S2 = F_S3 = F_S4 = F_S5 = 0;
    FLastErrorMessage.clear();
    FLastErrorMessage_BG.clear();
    FTimedOut = false;

    // The preamble; SYN and stray bytes are skipped, but they do not extend
    // the wait: the limit counts from the start of the wait.
    const std::uint64_t t0 = GetTickCount64();
    std::uint8_t b = 0;
    bool preamble = false;
    while (true) {
      if (!WAIT_BYTE(b)) return false;
      if (b == frame::NAK) return false;
      if (b == frame::PREAMBLE) preamble = true;
      if (GetTickCount64() - t0 >= c.EXIT_BYTIMEVAR) FTimedOut = true;
      if (FTimedOut) return false;
      if (preamble) break;
    }

    std::uint32_t sum = 0;
    std::uint8_t length = 0;
    if (!WAIT_BYTE(length)) return false;
    sum += length;
    const std::uint8_t n = static_cast<std::uint8_t>(length - frame::ANSWER_LENGTH_BASE);

    std::uint8_t seq = 0;
    if (!WAIT_BYTE(seq)) return false;
    sum += seq;
    if (seq != frame::PreviousSeq(FSeqNumber)) return false;

    std::uint8_t answerCmd = 0;
    if (!WAIT_BYTE(answerCmd)) return false;
    sum += answerCmd;
    if (answerCmd != cmd) return false;

    for (int i = 0; i < n; ++i) {
      if (!WAIT_BYTE(b)) return false;
      sum += b;
      FAnswer[static_cast<std::size_t>(FAnswerPos++)] = b;
    }

    if (!WAIT_BYTE(b)) return false;
    sum += b;
    if (b != frame::SEPARATOR) return false;

    std::uint8_t* status[6] = {&F_S0, &F_S1, &F_S2, &F_S3, &F_S4, &F_S5};
    for (auto* s : status) {
      if (!WAIT_BYTE(*s)) return false;
      sum += *s;
    }

    if (!WAIT_BYTE(b)) return false;
    sum += b;
    if (b != frame::POSTAMBLE) return false;

    std::array<std::uint8_t, 4> digits {};
    for (auto& d : digits)
      if (!WAIT_BYTE(d)) return false;
    if (sum != frame::DecodeCheckSum(digits)) return false;

    if (!WAIT_BYTE(b)) return false;
    return b == frame::TERMINATOR;
  } catch (const std::exception& e) {
    FLastErrorMessage = e.what();
    return false;
  }
}

std::string TFP_BASE::traceLine(int attempt, const char* what, const std::string& hex) const {
  return SERIAL_CONNECTION->HEX_ID + "[" + std::to_string(attempt) + "]" + "[" + LogDateTime() + "] " + what + hex;
}

void TFP_BASE::writeTrace(const std::string& text) {
  auto& c = *SERIAL_CONNECTION;
  if (!c.DEBUGMODE) return;
  try {
    // The default trace folder is made on first use, owner-only.
    ForceDirectories(c.DEBUG_FOLDER, 0700);
    WRITE_LOG_RAW(c.DEBUG_FOLDER, text);
  } catch (...) {
    // A debug folder that cannot be written must not cost the shop a receipt.
  }
}

bool TFP_BASE::EXCHANGE_FRAME(std::uint8_t cmd, const AnsiString& data) {
  auto& c = *SERIAL_CONNECTION;
  BUILD_FRAME(cmd, data);
  c.HEX_INPUT.clear();
  c.HEX_ANSWER.clear();
  c.HUMAN_O_ANSWER.clear();
  bool r = false;

  for (std::int32_t attempt = 1; attempt <= c.REPEAT_COUNT(); ++attempt) {
    r = false;
    try {
      c.tmpHEX_ANSWER.clear();
      c.tmpHEX_INPUT.clear();
      if (c.BB_MODE && !c.Active()) c.Open();
      c.Clear();
      PutInput_ToHEX();

      const std::string requestLine = traceLine(attempt, "Request : ", c.tmpHEX_INPUT);
      c.HEX_INPUT = attempt == 1 ? requestLine : c.HEX_INPUT + "\r\n" + requestLine;
      writeTrace(c.HEX_INPUT);

      bool written = false;
      try {
        c.WriteBuffer(FMessage.data(), FMessagePos);
        written = true;
      } catch (const std::exception&) {
      }
      if (!written) {
        // Nothing more is sent in this exchange: the printer may or may not
        // have seen part of the frame. But a dropped TCP connection is made
        // again now, or every later command would fail the same way.
        if (c.COMUNICATION_TYPE == ct_TCPIP && c.FP_TCP && !c.FP_TCP->GET_CONNECTED_STATE())
          c.FP_TCP->SET_CONNECTED_STATE(true);
        if (c.BB_MODE && c.Active()) c.Close();
        return false;
      }

      r = READ_ANSWER(cmd);

      const std::string answerLine = traceLine(attempt, "Answer  : ", "");
      c.HEX_ANSWER = attempt == 1 ? answerLine : c.HEX_ANSWER + "\r\n" + answerLine;
      c.HUMAN_O_ANSWER = c.HEX_ANSWER;
      c.HEX_ANSWER += c.tmpHEX_ANSWER;
      if (c.DEBUGMODE) {
        writeTrace(c.HEX_ANSWER);
        c.HEX_ANSWER = WideToUtf8(DecodeCodePage(GetFAnswer2String(), c.codePage));
        c.HUMAN_O_ANSWER += c.HEX_ANSWER;
        writeTrace(c.HUMAN_O_ANSWER);
      }

      GET_STBYTES();

      if (r) {
        if (cmd != frame::CMD_STATUS) r = Check_Status();
        FLastExchange = r ? ExchangeOutcome::Answered : ExchangeOutcome::RefusedByStatus;
        FLastAnsweredOnRepeat = attempt > 1;
        if (c.BB_MODE && c.Active()) c.Close();
        return r;
      }
      if (c.COMUNICATION_TYPE == ct_TCPIP && c.FP_TCP && !c.FP_TCP->GET_CONNECTED_STATE())
        c.FP_TCP->SET_CONNECTED_STATE(true);
    } catch (const std::exception&) {
      r = false;
    }
    try {
      if (c.BB_MODE && c.Active()) c.Close();
    } catch (...) {
    }
  }
  return r;
}

bool TFP_BASE::CUSTOM_CMD_1(std::int32_t Cmd, AnsiString& INPUT_STR, AnsiString& OUTPUT_STR) {
  std::lock_guard<std::recursive_mutex> guard(FExchangeLock);
  OUTPUT_STR.clear();
  // Nothing of the previous exchange may survive into this one: an exchange
  // that fails before its answer read (a write that fails on a dropped link or
  // a port that is not open) would otherwise hand out the previous command's
  // answer values and compose its error from the previous command's text.
  clearAnswer();
  FLastErrorMessage.clear();
  FLastErrorMessage_BG.clear();
  FLastExchange = ExchangeOutcome::NotSent;
  FLastAnsweredOnRepeat = false;
  FLastExchangeRefused = INPUT_STR.size() > frame::MAX_REQUEST_DATA;
  if (FLastExchangeRefused) {
    // Its length byte would wrap and the printer would read a different
    // frame than the one we meant: refuse it before anything is sent.
    WriteEngineLog("CUSTOM_CMD_1: command " + std::to_string(Cmd) + " refused: its data field of " +
                   std::to_string(INPUT_STR.size()) + " bytes is longer than the " +
                   std::to_string(frame::MAX_REQUEST_DATA) + " bytes a frame can carry; nothing was sent.");
    return false;
  }
  auto& c = *SERIAL_CONNECTION;
  if (c.FIRST_COMMAND()) {
    try {
      EXCHANGE_FRAME(frame::CMD_STATUS, AnsiString());
    } catch (...) {
    }
    c.SET_FIRST_COMMAND(false);
  }
  bool result = false;
  // From the first byte written until a valid answer is read, the printer
  // may have carried the command out.
  FLastExchange = ExchangeOutcome::NoAnswer;
  FLastAnsweredOnRepeat = false;
  try {
    result = EXCHANGE_FRAME(static_cast<std::uint8_t>(Cmd & 0xFF), INPUT_STR);
  } catch (...) {
    result = false;
  }
  OUTPUT_STR = GetFAnswer2String();
  return result;
}

AnsiString TFP_BASE::GetFAnswer2String() {
  AnsiString text;
  text.push_back(static_cast<char>(FAnswer[0]));
  for (std::size_t i = 1; i < MAX_ANSWER_TEXT && FAnswer[i] != 0; ++i) text.push_back(static_cast<char>(FAnswer[i]));
  if (text.size() == MAX_ANSWER_TEXT) WriteEngineLog("Answer in \"GetFAnswer2String\" metod :" + text);
  return text;
}

// ---------------------------------------------------------------- log folder

int TFP_BASE::SET_LOG_FOLDER(const std::string& TRGT_FOLDER) {
  try {
    if (!ForceDirectories(TRGT_FOLDER)) return -1;
    const std::string file = TRGT_FOLDER + LogFileName();
    // The previous log is kept as <name>.1: support looks for the reason of
    // the last failure after the user has connected again.
    if (!KeepAsPrevious(file)) return -3;

    bool created = false;
    try {
      // The line was written, so the file was there: another object of the
      // same user may start its own fresh log in this folder right after.
      WRITE_LOG(TRGT_FOLDER, "Log file creation");
      created = true;
    } catch (const std::exception& e) {
      WriteEngineLog(std::string("CREATE_LOG_FILE :") + e.what());
      created = false;
    }
    if (!created) return -4;

    LOG_FOLDER = TRGT_FOLDER;
    SERIAL_CONNECTION->SET_LOG_FOLDER(TRGT_FOLDER);
    return 0;
  } catch (...) {
    return -10;
  }
}

// ---------------------------------------------------------------- helpers

void TFP_BASE::Str2Strings(const AnsiString& tmpDataStr, WideStrings& tmpA, const AnsiString& MySepartor_1,
                           const AnsiString& MySepartor_2, const AnsiString& MySepartor_3) {
  orbantis::Str2Strings(tmpDataStr, tmpA, MySepartor_1, MySepartor_2, MySepartor_3,
                        [this](const std::string& line) { WriteEngineLog(line); });
}

WideString TFP_BASE::AnsiStringToWideString(const AnsiString& S, std::uint16_t codePage) {
  try {
    return DecodeCodePage(S, codePage);
  } catch (const std::exception& e) {
    WriteEngineLog(std::string(" :") + e.what());
    return {};
  }
}

AnsiString TFP_BASE::WideStringToAnsiString(const WideString& ws, std::uint16_t codePage) {
  try {
    return EncodeCodePage(ws, codePage);
  } catch (const std::exception& e) {
    WriteEngineLog(std::string("TFP_BASE.WideStringToAnsiString :") + e.what());
    return {};
  }
}

std::int64_t TFP_BASE::SciRound(double x) { return orbantis::SciRound(x); }

long double TFP_BASE::RoundD(double x, int d) { return orbantis::RoundD(x, d); }

double TFP_BASE::RoundDoubleFromTo(double sourceValue, int toDigits, int startFromDigits) {
  return orbantis::RoundDoubleFromTo(sourceValue, toDigits, startFromDigits);
}

}  // namespace orbantis
