#include "uORBANTIS/TKELMORA.h"


#include <algorithm>
#include <cwctype>

#include "printer_model/StatusReads.h"
#include "uErrLog/LogFiles.h"
#include "uErrLog/uErrLog.h"
#include "foundation/Clock.h"
#include "foundation/CodePage.h"

namespace orbantis {
namespace {

AnsiString ToAnsi(const WideString& s) { return EncodeCodePage(s, CP_WESTERN); }
WideString ToWide(const AnsiString& s) { return DecodeCodePage(s, CP_WESTERN); }

WideString Trim(const WideString& s) {
  std::size_t b = 0, e = s.size();
  while (b < e && s[b] <= u' ') ++b;
  while (e > b && s[e - 1] <= u' ') --e;
  return s.substr(b, e - b);
}

// CONNECT_TO_PRINTER without a printer to connect to: no initialiser ran, or
// the last one failed (a failed initialiser leaves no target behind, so the
// object never connects to the printer an earlier call named).
const AnsiString kNoTarget =
    "No printer to connect to: the last initialiser failed or none ran. Call initFiscalPrinter, "
    "initFiscalPrinterDevice, INIT_MY_FP or INIT_MY_FP2 first.";

}  // namespace

NoPrinter::NoPrinter() : Exception("No connection to the printer: call CONNECT_TO_PRINTER first.") {}

TKELMORA::TKELMORA() { FDebugFolder = DefaultTraceFolder(); }

TKELMORA::~TKELMORA() { ReleaseConnection(); }

void TKELMORA::ReleaseConnection() {
  try {
    releasePrinter();
  } catch (...) {
  }
}

AnsiString TKELMORA::toPrinter(const WideString& s) const { return EncodeCodePage(s, FCodePage); }

AnsiString TKELMORA::toPrinter(const WideString& s, const std::string& parameter, std::size_t sent) const {
  if (FReplaceUnmappable) return EncodeCodePage(s, FCodePage);
  char32_t lost = 0;
  std::size_t at = 0;
  AnsiString text = EncodeCodePage(s, FCodePage, lost, &at);
  if (lost != 0 && at < sent) throw cmd::UnprintableText(parameter, lost, FCodePage);
  return text;
}

std::int32_t TKELMORA::refuseInput(const std::string& method, const cmd::FieldRefused& refusal) {
  if (FDORRIK) return FDORRIK->RefuseInput(method, refusal);
  FOwnErrorCode = -3;
  FOwnErrorMessage = ToAnsi(Utf8ToWide(refusal.what()));
  return -3;
}
WideString TKELMORA::fromPrinter(const AnsiString& s) const { return DecodeCodePage(s, FCodePage); }

std::int32_t TKELMORA::codePage() const { return FCodePage; }

void TKELMORA::set_codePage(std::int32_t value) {
  // Only the two code pages the printer family prints.
  if (value != CP_WESTERN && value != CP_CYRILLIC)
    throw Exception("codePage takes 1252 (Western) or 1251 (Cyrillic), not " + std::to_string(value) + ".");
  FCodePage = static_cast<std::uint16_t>(value);
}

void TKELMORA::computeLogFolder() { MY_LOG_FOLDER = IncludeTrailingPathDelimiter(ServerLogFolder()); }

bool TKELMORA::logoTransferUnderWay() {
  if (FLogoTransfers == 0) return false;
  // A call from the client's event handler during a transfer (a COM client
  // is served while its event is out): the transfer uses the printer object
  // that this call would release or replace.
  const AnsiString text = "A logo transfer is under way on this object: call again when it has ended.";
  if (FDORRIK) {
    FDORRIK->FLastErrorCode = -1;
    FDORRIK->FLastErrorMessage = text;
  } else {
    FOwnErrorCode = -1;
    FOwnErrorMessage = text;
  }
  log("TKELMORA : " + text);
  return true;
}

void TKELMORA::releasePrinter() {
  if (!FDORRIK) return;
  if (FDORRIK->SERIAL_CONNECTION->Active()) FDORRIK->SERIAL_CONNECTION->Close();
  FDORRIK.reset();
}

void TKELMORA::log(const std::string& text) {
  if (MY_LOG_FOLDER.empty()) return;
  try {
    ForceDirectories(MY_LOG_FOLDER);
    WRITE_LOG(MY_LOG_FOLDER, text);
  } catch (...) {
  }
}

std::shared_ptr<IKELMORAEvents> TKELMORA::sink() {
  std::lock_guard<std::mutex> guard(FSinkLock);
  return FEvents;
}

void TKELMORA::EventSinkChanged(std::shared_ptr<IKELMORAEvents> newSink) {
  std::lock_guard<std::mutex> guard(FSinkLock);
  FEvents = std::move(newSink);
}

void TKELMORA::fireLastError() {
  auto events = sink();
  if (!events) return;
  try {
    events->ON_ERROR(GetLastErrorCode(), GetLastErrorMessage());
  } catch (...) {
    // The sink's trouble is not the caller's.
  }
}

void TKELMORA::sendOnError(std::int32_t targetCode, const WideString& targetMessage) {
  if (auto events = sink()) events->ON_ERROR(targetCode, targetMessage);
}

void TKELMORA::sendOnProgress(std::int32_t targetProgress, const WideString& targetMessage) {
  if (auto events = sink()) events->OnProgress(targetProgress, targetMessage);
}

void TKELMORA::sendOnStartProgress() {
  SleepMs(50);
  if (auto events = sink()) events->OnStartProgress();
}

void TKELMORA::sendOnEndProgress() {
  SleepMs(50);
  if (auto events = sink()) events->OnEndProgress();
}

// ---------------------------------------------------------------- initialisers

std::int32_t TKELMORA::INIT_MY_FP(std::int32_t TRGT_PORT, std::int32_t TRGT_BAUDRATE, bool SET_DTR_TO,
                                  bool SET_RTS_TO, std::int32_t MODEL_INDX) {
  if (logoTransferUnderWay()) return -1;
  std::int32_t result = -1;
  try {
    computeLogFolder();
    MY_PORT = TRGT_PORT;
    MY_BAUDRATE = TRGT_BAUDRATE;
    TO_SET_DTR = SET_DTR_TO;
    TO_SET_RTS = SET_RTS_TO;
    MY_MODEL_INDX = MODEL_INDX;
    FDevicePath.clear();
    FUseTcp = false;
    FHasTarget = false;
    releasePrinter();
    result = -2;
    MY_PRINTER = PRINTER_MODEL_ZORVIK;
    if (MY_PRINTER != 0) result = 0;
    FHasTarget = result == 0;
  } catch (const std::exception& e) {
    log(std::string("TPRAXOL.INIT_FDORRIK: ") + e.what());
  }
  if (result < 0 && FDORRIK) fireLastError();
  return result;
}

std::int32_t TKELMORA::initFiscalPrinter(std::int32_t targetComPort, std::int32_t targetBaudrate, bool setDTRToValue,
                                         bool setRTSToValue) {
  if (logoTransferUnderWay()) return -1;
  std::int32_t result = -1;
  try {
    computeLogFolder();
    MY_PORT = targetComPort;
    MY_BAUDRATE = targetBaudrate;
    TO_SET_DTR = setDTRToValue;
    TO_SET_RTS = setRTSToValue;
    MY_MODEL_INDX = 2000;
    FDevicePath.clear();
    FUseTcp = false;
    FHasTarget = false;
    MY_PRINTER = PRINTER_MODEL_ZORVIK;
    releasePrinter();
    result = 0;
    FHasTarget = true;
  } catch (const std::exception& e) {
    log(std::string("TPRAXOL.INIT_FDORRIK: ") + e.what());
  }
  if (result < 0 && FDORRIK) fireLastError();
  return result;
}

std::int32_t TKELMORA::initFiscalPrinterDevice(const WideString& devicePath, std::int32_t targetBaudrate,
                                               bool setDTRToValue, bool setRTSToValue) {
  if (logoTransferUnderWay()) return -1;
  const std::int32_t result = initFiscalPrinter(0, targetBaudrate, setDTRToValue, setRTSToValue);
  if (result == 0) FDevicePath = WideToUtf8(devicePath);
  return result;
}

std::int32_t TKELMORA::INIT_MY_FP2(const WideString& IP_ADDRESS, const WideString& PORT_NUMBER) {
  if (logoTransferUnderWay()) return -1;
  std::int32_t result = -1;
  try {
    computeLogFolder();
    MY_PORT = 1;
    MY_BAUDRATE = 115200;
    TO_SET_DTR = false;
    TO_SET_RTS = false;
    MY_MODEL_INDX = 2000;
    // Whatever was named before is forgotten first: a failed call must not
    // leave the next CONNECT_TO_PRINTER on the previous printer.
    FHasTarget = false;
    FUseTcp = false;
    FTcpAddress.clear();
    FTcpPort = 0;
    FDevicePath.clear();
    releasePrinter();
    result = -2;
    MY_PRINTER = PRINTER_MODEL_ZORVIK;
    // The address and port are recorded here; CONNECT_TO_PRINTER makes the
    // TCP printer object with them (there is no printer object yet to set).
    const auto port = cmd::ParseInteger(ToAnsi(PORT_NUMBER));
    if (!port || *port <= 0 || *port > 65535) throw Exception("Not a TCP port number: " + ToAnsi(PORT_NUMBER));
    FUseTcp = true;
    FTcpAddress = WideToUtf8(IP_ADDRESS);
    FTcpPort = *port;
    FHasTarget = true;
    result = 0;
  } catch (const std::exception& e) {
    FOwnErrorCode = result;
    FOwnErrorMessage = e.what();
    log(std::string("TPRAXOL.INIT_FDORRIK: ") + e.what());
  }
  if (result < 0) fireLastError();
  return result;
}

void TKELMORA::applyDebugSettings() {
  auto& c = *FDORRIK->SERIAL_CONNECTION;
  c.DEBUGMODE = FDebugMode;
  c.DEBUG_FOLDER = FDebugFolder;
}

std::int32_t TKELMORA::CONNECT_TO_PRINTER() {
  if (logoTransferUnderWay()) return -1;
  try {
    // A printer object already there is closed and released first: a port
    // left open would lock the printer away from the new connection.
    releasePrinter();
    FLastErrorDetail.clear();

    if (!FHasTarget) {
      tmp_Int = -1;
      FOwnErrorMessage = kNoTarget;
      log("TPRAXOL.CONNECT_TO_PRINTER :" + kNoTarget);
      FOwnErrorCode = -1;
      fireLastError();
      return -1;
    }

    tmp_Int = -200;
    FOwnErrorCode = -200;
    FOwnErrorMessage = "Internal error:[Create base object].";
    FDORRIK = std::make_unique<TFP_ZORVIK>(MY_PORT, MY_BAUDRATE);
    auto& c = *FDORRIK->SERIAL_CONNECTION;
    if (FUseTcp) {
      c.SERVICE_MODE = false;
      c.BB_MODE = false;
      c.WITH_INPCHECK = false;
      c.WITH_OUTPCHECK = true;
      c.ALWAYS_GET_OUTPUT = true;
      c.AUTOCUT_ON = true;
      c.COMUNICATION_TYPE = ct_TCPIP;
      c.CREATE_TCP(FTcpAddress, FTcpPort);
      if (c.FP_TCP) {
        c.FP_TCP->TCP_Client->UseNagle = false;
        c.FP_TCP->TCP_Client->ReadTimeout = 10000;
        c.FP_TCP->TCP_Client->ConnectTimeout = 10000;
      }
    } else {
      c.DevicePath = FDevicePath;
    }
    applyDebugSettings();
    const auto answerWait = static_cast<std::uint32_t>(FAnswerWait.count());
    if (answerWait > 0) {
      c.FCommTimeouts.ReadTotalTimeoutConstant = answerWait;
      if (c.FP_TCP) c.FP_TCP->TCP_Client->ReadTimeout = static_cast<int>(answerWait);
    }
    FOwnErrorCode = 0;
    FOwnErrorMessage.clear();

    tmp_Int = FDORRIK->SET_LOG_FOLDER(MY_LOG_FOLDER);
    if (tmp_Int < 0) {
      FDORRIK->FLastErrorMessage = "Server can not access folder:[" + MY_LOG_FOLDER + "].";
    } else {
      tmp_Int = c.Open();
      if (tmp_Int < 0) {
        FDORRIK->FLastErrorMessage = "Server can not open COM port.";
        FLastErrorDetail = c.OpenErrorDetail;
        log("TPRAXOL.CONNECT_TO_PRINTER :" + FLastErrorDetail);
        log("TPRAXOL.CONNECT_TO_PRINTER :" + FDORRIK->FLastErrorMessage);
      } else {
        // Advice on a port that works but slows every exchange (a USB-serial
        // adapter's latency timer) is the detail of a connect that succeeds.
        FLastErrorDetail = c.PortAdvice;
        tmp_Int = -300;
        FDORRIK->FLastErrorMessage = "Server can not open COM port:[TO_SET_DTR].";
        c.SET_DTR(TO_SET_DTR);
        tmp_Int = -400;
        FDORRIK->FLastErrorMessage = "Server can not open COM port:[Set_RTS].";
        c.SET_RTS(TO_SET_RTS);
        if (!c.Active()) {
          tmp_Int = -500;
          FDORRIK->FLastErrorMessage = "Server can not open COM port.";
          log("TPRAXOL.CONNECT_TO_PRINTER :" + FDORRIK->FLastErrorMessage);
        } else {
          c.WITH_INPCHECK = false;
          c.WITH_OUTPCHECK = true;
          c.ALWAYS_GET_OUTPUT = true;
          c.AUTOCUT_ON = true;
          c.EXIT_BYTIMEVAR = 100;
          c.SET_REPEAT_COUNT(2);
          FDORRIK->FLastErrorCode = 0;
          FDORRIK->FLastErrorMessage.clear();
          MY_INPUT.assign(1, 'X');  // (not = "X": GCC 12 warns falsely of an overlapping copy at -O3)

          tmp_Int = FDORRIK->CMD_74_0_0(MY_INPUT, mS0, mS1, mS2, mS3, mS4, mS5);

          AnsiString printerName, fwRev, chk, configSwitches, serial;
          tmp_Int = FDORRIK->CMD_90_0_0(printerName, fwRev, chk, configSwitches, serial);
          FPrinterSerial = WideToUtf8(fromPrinter(serial));
          if (tmp_Int != 0) {
            if (Trim(fromPrinter(printerName)).empty())
              FDORRIK->FLastErrorMessage += "\r\nPrinter can not return diagnostic information.";
            // No answer at all (an error status is in the message already).
            if (FDORRIK->FLastExchange == ExchangeOutcome::NoAnswer)
              FLastErrorDetail = (FUseTcp ? FTcpAddress + ":" + std::to_string(FTcpPort) : c.DeviceName()) +
                                 " opened, but the printer did not answer its diagnostic read: check that it is "
                                 "switched on, the cable, and the baud rate (" + std::to_string(MY_BAUDRATE) + ").";
            log("TPRAXOL.CONNECT_TO_PRINTER :" + FDORRIK->FLastErrorMessage);
          }
          c.EXIT_BYTIMEVAR = answerWait > 0 ? answerWait : 3000;
          // A printer connected again settles its unfinished receipts before
          // it takes a new one.
          if (tmp_Int == 0 && !FPrinterSerial.empty()) settleUnfinishedReceipts();
        }
      }
    }
  } catch (const std::exception& e) {
    log(std::string("TPRAXOL.CONNECT_TO_PRINTER :") + e.what());
  }
  if (tmp_Int < 0) {
    if (FDORRIK) FDORRIK->FLastErrorCode = tmp_Int;
    else FOwnErrorCode = tmp_Int;
    fireLastError();
  }
  return tmp_Int;
}

std::int32_t TKELMORA::CLOSE_CONNECTION() {
  if (logoTransferUnderWay()) return -1;
  std::int32_t result = -1;
  try {
    releasePrinter();
    result = 0;
  } catch (const std::exception& e) {
    log(std::string("TKELMORA.CLOSE_CONNECTION :") + e.what());
  }
  return result;
}

// ---------------------------------------------------------------- last error and bits

std::int32_t TKELMORA::GetLastErrorCode() { return FDORRIK ? FDORRIK->FLastErrorCode : FOwnErrorCode; }

WideString TKELMORA::GetLastErrorDetail() { return Utf8ToWide(FLastErrorDetail); }

WideString TKELMORA::GetLastErrorMessage() {
  return ToWide(FDORRIK ? FDORRIK->FLastErrorMessage : FOwnErrorMessage);
}

bool TKELMORA::GET_BIT_STATE(std::int32_t BYTE_INDEX, std::int32_t BIT_INDEX) {
  return FDORRIK && FDORRIK->GET_BIT_STATE(BYTE_INDEX, BIT_INDEX);
}

bool TKELMORA::getBitState(std::int32_t byteIndex, std::int32_t bitIndex) {
  try {
    return FDORRIK && FDORRIK->getBitState(byteIndex, bitIndex);
  } catch (...) {
    return false;
  }
}

WideString TKELMORA::getStatusDescription(std::int32_t byteIndex, std::int32_t bitIndex) {
  try {
    return FDORRIK ? FDORRIK->getStatusDescription(byteIndex, bitIndex, LANGUAGE_1) : WideString();
  } catch (...) {
    return {};
  }
}

// ---------------------------------------------------------------- commands

bool TKELMORA::LastExchangeUnanswered() const {
  return FDORRIK && FDORRIK->FLastExchange == ExchangeOutcome::NoAnswer;
}

bool TKELMORA::CUSTOM_CMD(std::int32_t CMD, WideString& INPUT_STR, WideString& OUTPUT_STR) {
  bool result = false;
  try {
    if (!FDORRIK) throw NoPrinter();
    AnsiString input = toPrinter(INPUT_STR, "INPUT_STR");
    AnsiString output = toPrinter(OUTPUT_STR);
    if ((CMD & 0xFF) == 48 && clearForOpening() != 0) return false;  // as the command method of 48
    result = FDORRIK->CUSTOM_CMD(CMD, input, output);
    // A data field refused for its length never reached the printer: the
    // client gets the same text a command method would give, not an empty one.
    if (!result && FDORRIK->FLastExchangeRefused) FDORRIK->SET_ERROR_MESSAGE(-4);
    INPUT_STR = fromPrinter(input);
    OUTPUT_STR = fromPrinter(output);
  } catch (const cmd::FieldRefused& e) {
    // Keeps the method's own code (-4, set below); the text is the refusal's.
    refuseInput("CUSTOM_CMD", e);
  } catch (const std::exception& e) {
    if (!FDORRIK) FOwnErrorMessage = e.what();
    log(std::string("TKELMORA.CUSTOM_CMD :") + e.what());
  }
  if (!result) {
    if (FDORRIK) FDORRIK->FLastErrorCode = -4;
    else FOwnErrorCode = -4;
    fireLastError();
  }
  return result;
}

AnsiStrings TKELMORA::valuesForPrinter(const std::string& rowName, const WideStrings& in) const {
  const cmd::Command* command = cmd::FindCommand(rowName);
  const bool cuts = FDORRIK && FDORRIK->SERIAL_CONNECTION->AUTOCUT_ON;
  AnsiStrings values;
  values.reserve(in.size());
  for (std::size_t i = 0; i < in.size(); ++i) {
    // More values than the row has are refused by the row itself.
    const char* name = command != nullptr && i < command->row->in.size() ? command->row->in[i].name : "value";
    // A value the row cuts is judged by what of it is sent.
    std::size_t sent = std::string::npos;
    if (command != nullptr && cuts) {
      std::size_t longest = 0;
      for (const auto& piece : command->field) {
        if (!piece.isParam || piece.param != i) continue;
        longest = piece.cut > 0 ? std::max(longest, static_cast<std::size_t>(piece.cut)) : std::string::npos;
      }
      if (longest > 0) sent = longest;
    }
    values.push_back(toPrinter(in[i], name, sent));
  }
  return values;
}

std::int32_t TKELMORA::statusRead(const std::string& rowName, const WideStrings& in, WideStrings& out) {
  std::int32_t result = -1;
  try {
    if (!FDORRIK) throw NoPrinter();
    const AnsiStrings values = valuesForPrinter(rowName, in);
    AnsiStrings answers;
    result = FDORRIK->Run(rowName, values, answers);
    // Only a successful read replaces what the client passed in.
    if (result == 0)
      for (std::size_t i = 0; i < out.size() && i < answers.size(); ++i) out[i] = fromPrinter(answers[i]);
  } catch (const cmd::FieldRefused& e) {
    result = refuseInput(rowName, e);
  } catch (const std::exception& e) {
    if (!FDORRIK) FOwnErrorMessage = e.what();
    log("TKELMORA." + rowName + " :" + e.what());
  }
  if (result < 0) {
    if (FDORRIK) FDORRIK->FLastErrorCode = result;
    else FOwnErrorCode = result;
    fireLastError();
  }
  return result;
}

std::int32_t TKELMORA::CommandMethod(const std::string& rowName, const WideStrings& in, WideStrings& out) {
  if (rowName == "CMD_74_0_0" || rowName == "CMD_74_0_1") return statusRead(rowName, in, out);
  std::int32_t result = -1;
  AnsiStrings answers;
  try {
    if (!FDORRIK) throw NoPrinter();
    const AnsiStrings values = valuesForPrinter(rowName, in);
    // Answer values start empty: what the client passed in is not used.
    // A fiscal receipt opens only once the whole receipts this printer left
    // unfinished are settled: another receipt between a fault and the
    // settling would be taken for theirs.
    const bool opens = rowName == "CMD_48_0_0" || rowName == "CMD_48_0_1";
    if (opens) result = clearForOpening();
    if (!opens || result == 0) result = FDORRIK->Run(rowName, values, answers);
  } catch (const cmd::FieldRefused& e) {
    result = refuseInput(rowName, e);
  } catch (const std::exception& e) {
    result = -1;
    if (!FDORRIK) {
      FOwnErrorCode = -1;
      FOwnErrorMessage = e.what();
    }
  }
  // Written back in every case, also after a fault.
  for (std::size_t i = 0; i < out.size(); ++i) out[i] = i < answers.size() ? fromPrinter(answers[i]) : WideString();
  return result;
}

// ---------------------------------------------------------------- header and footer

namespace {

// The first n UTF-16 units of s, never half of a character written as two.
WideString CutUnits(const WideString& s, std::size_t n) {
  if (s.size() <= n) return s;
  if (n > 0 && s[n - 1] >= 0xD800 && s[n - 1] <= 0xDBFF) --n;
  return s.substr(0, n);
}

constexpr std::size_t kTextLineUnits = 42;   // one line of the header or footer
constexpr std::size_t kHeaderUnits = 218;    // the six header lines with their TABs

}  // namespace

std::int32_t TKELMORA::setHeader(const WideString& headerLine1, const WideString& headerLine2,
                                 const WideString& headerLine3, const WideString& headerLine4,
                                 const WideString& headerLine5, const WideString& headerLine6) {
  std::int32_t result = -1;
  try {
    if (!FDORRIK) throw NoPrinter();
    WideString text;
    const WideString* lines[] = {&headerLine1, &headerLine2, &headerLine3, &headerLine4, &headerLine5, &headerLine6};
    std::size_t starts[6];
    for (std::size_t i = 0; i < 6; ++i) {
      if (i > 0) text += u'\t';
      starts[i] = text.size();
      text += CutUnits(*lines[i], kTextLineUnits);
    }
    text = CutUnits(text, kHeaderUnits);
    // Each line is judged by what of it is sent after both cuts, under its
    // own name, before anything goes.
    for (std::size_t i = 0; i < 6 && starts[i] < text.size(); ++i) {
      const std::size_t end = i + 1 < 6 ? std::min(starts[i + 1] - 1, text.size()) : text.size();
      toPrinter(text.substr(starts[i], end - starts[i]), "headerLine" + std::to_string(i + 1));
    }
    AnsiStrings none;
    result = FDORRIK->Run("CMD_43_0_0", {"0", toPrinter(text)}, none);
  } catch (const cmd::FieldRefused& e) {
    result = refuseInput("CMD_43_0_0", e);
  } catch (const std::exception& e) {
    result = -1;
    if (!FDORRIK) {
      FOwnErrorCode = result;
      FOwnErrorMessage = e.what();
    }
  }
  return result;
}

std::int32_t TKELMORA::setFooter(const WideString& footerLine1, const WideString& footerLine2) {
  std::int32_t result = -1;
  try {
    if (!FDORRIK) throw NoPrinter();
    // Both lines are judged before the first goes: a refused second line
    // leaves the footer as it was.
    const AnsiString line1 = toPrinter(CutUnits(footerLine1, kTextLineUnits), "footerLine1");
    const AnsiString line2 = toPrinter(CutUnits(footerLine2, kTextLineUnits), "footerLine2");
    AnsiStrings none;
    result = FDORRIK->Run("CMD_43_0_0", {"6", line1}, none);
    if (result == 0) result = FDORRIK->Run("CMD_43_0_0", {"7", line2}, none);
  } catch (const cmd::FieldRefused& e) {
    result = refuseInput("CMD_43_0_0", e);
  } catch (const std::exception& e) {
    result = -1;
    if (!FDORRIK) {
      FOwnErrorCode = result;
      FOwnErrorMessage = e.what();
    }
  }
  return result;
}

// ---------------------------------------------------------------- the logo

namespace {
std::mutex gLogoFormsLock;
std::shared_ptr<ILogoForms> gLogoForms;

std::shared_ptr<ILogoForms> logoForms() {
  std::lock_guard<std::mutex> guard(gLogoFormsLock);
  return gLogoForms;
}

// The folder part of a file name: everything before the last separator.
std::string folderOf(const WideString& fileName) {
  const std::string name = WideToUtf8(fileName);
  const auto slash = LastPathSeparator(name);
  return slash == std::string::npos ? std::string() : name.substr(0, slash);
}
}  // namespace

void TKELMORA::SetLogoForms(std::shared_ptr<ILogoForms> forms) {
  std::lock_guard<std::mutex> guard(gLogoFormsLock);
  gLogoForms = std::move(forms);
}

void TKELMORA::showLogoForm(bool stayOnTop) {
  if (FLogoTransfers > 0) return;
  LogoTransferScope counted(FLogoTransfers);
  try {
    if (auto forms = logoForms()) forms->ShowLogoForm(*this, stayOnTop);
  } catch (...) {
  }
}

std::int32_t TKELMORA::getLogoFromPrinter(const WideString& targetFileName) {
  if (logoTransferUnderWay()) return -2;
  LogoTransferScope counted(FLogoTransfers);
  try {
    auto forms = logoForms();
    if (!forms) return -2;
    return forms->GetLogoFromPrinterToFile(*this, targetFileName, folderOf(targetFileName));
  } catch (const std::exception& e) {
    // -2 tells the client; the log tells support why.
    log(std::string("TKELMORA.getLogoFromPrinter : ") + e.what());
    return -2;
  } catch (...) {
    return -2;
  }
}

std::int32_t TKELMORA::saveLogoToPrinter(const WideString& targetFileName) {
  if (logoTransferUnderWay()) return -2;
  LogoTransferScope counted(FLogoTransfers);
  try {
    auto forms = logoForms();
    if (!forms) return -2;
    return forms->SaveLogoFromFileToPrinter(*this, targetFileName, folderOf(targetFileName));
  } catch (const std::exception& e) {
    // -2 tells the client; the log tells support why.
    log(std::string("TKELMORA.saveLogoToPrinter : ") + e.what());
    return -2;
  } catch (...) {
    return -2;
  }
}

// ---------------------------------------------------------------- properties

bool TKELMORA::debugMode() { return FDORRIK ? FDORRIK->SERIAL_CONNECTION->DEBUGMODE : FDebugMode; }

void TKELMORA::set_debugMode(bool value) {
  FDebugMode = value;
  if (FDORRIK) FDORRIK->SERIAL_CONNECTION->DEBUGMODE = value;
}

WideString TKELMORA::debugFolder() {
  return Utf8ToWide(FDORRIK ? FDORRIK->SERIAL_CONNECTION->DEBUG_FOLDER : FDebugFolder);
}

void TKELMORA::set_debugFolder(const WideString& value) {
  // An empty folder would put the trace beside whatever the current
  // directory is: it means the default trace folder.
  const std::string folder = value.empty() ? DefaultTraceFolder() : IncludeTrailingPathDelimiter(WideToUtf8(value));
  FDebugFolder = folder;
  if (FDORRIK) FDORRIK->SERIAL_CONNECTION->DEBUG_FOLDER = folder;
}

}  // namespace orbantis
