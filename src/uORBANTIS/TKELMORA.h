// TKELMORA: one automation object, the server side of one client.
//
// It keeps the connection settings the client gave, creates the printer
// object (FDORRIK) when the client connects, forwards every command method
// to it, and reports errors to the client's event sink. Plain C++: the bus
// layer (KelmoraBus) calls it on the object's own worker thread, one call at
// a time, so nothing here locks except the sink.
#pragma once

#include <atomic>
#include <chrono>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>

#include "printer_model/TFP_ZORVIK.h"
#include "foundation/Strings.h"

namespace orbantis {

namespace receipts {
class ReceiptService;
}

// The client's event sink (IKELMORAEvents).
class TKELMORA;

class IKELMORAEvents {
 public:
  virtual ~IKELMORAEvents() = default;
  virtual void ON_ERROR(std::int32_t LastErrorCode, const WideString& LastErrorMessage) = 0;
  virtual void OnProgress(std::int32_t currentValue, const WideString& progressMessage) = 0;
  virtual void OnStartProgress() = 0;
  virtual void OnEndProgress() = 0;
};

// The logo form and its transfers belong to the user interface; the server
// hands them to every object through this interface.
class ILogoForms {
 public:
  virtual ~ILogoForms() = default;
  virtual void ShowLogoForm(TKELMORA& object, bool stayOnTop) = 0;
  virtual std::int32_t GetLogoFromPrinterToFile(TKELMORA& object, const WideString& fileName,
                                                const std::string& folder) = 0;
  virtual std::int32_t SaveLogoFromFileToPrinter(TKELMORA& object, const WideString& fileName,
                                                 const std::string& folder) = 0;
};

// Raised inside the methods that need a connected printer.
struct NoPrinter : Exception {
  NoPrinter();
};

// The printer model this server drives; every initialiser records it.
inline constexpr std::uint8_t PRINTER_MODEL_ZORVIK = 7;

class TKELMORA {
 public:
  TKELMORA();
  ~TKELMORA();
  TKELMORA(const TKELMORA&) = delete;
  TKELMORA& operator=(const TKELMORA&) = delete;

  // --- connection (booleans arrive as the client sent them; only 0 is false) ---
  std::int32_t INIT_MY_FP(std::int32_t TRGT_PORT, std::int32_t TRGT_BAUDRATE, bool SET_DTR_TO, bool SET_RTS_TO,
                          std::int32_t MODEL_INDX);
  std::int32_t initFiscalPrinter(std::int32_t targetComPort, std::int32_t targetBaudrate, bool setDTRToValue,
                                 bool setRTSToValue);
  // Linux: a device path in place of a port number.
  std::int32_t initFiscalPrinterDevice(const WideString& devicePath, std::int32_t targetBaudrate,
                                       bool setDTRToValue, bool setRTSToValue);
  std::int32_t INIT_MY_FP2(const WideString& IP_ADDRESS, const WideString& PORT_NUMBER);
  std::int32_t CONNECT_TO_PRINTER();
  std::int32_t CLOSE_CONNECTION();

  // --- last error and status bits ---
  std::int32_t GetLastErrorCode();
  WideString GetLastErrorMessage();
  // Extension: why the last CONNECT_TO_PRINTER failed, for a person: the
  // path or address, the system's reason and what to do. Empty after a
  // successful connect. "Server can not open COM port." stays the message.
  WideString GetLastErrorDetail();
  bool GET_BIT_STATE(std::int32_t BYTE_INDEX, std::int32_t BIT_INDEX);
  bool getBitState(std::int32_t byteIndex, std::int32_t bitIndex);
  WideString getStatusDescription(std::int32_t byteIndex, std::int32_t bitIndex);

  // --- commands ---
  bool CUSTOM_CMD(std::int32_t CMD, WideString& INPUT_STR, WideString& OUTPUT_STR);
  // Any command method by the name of its row: in holds the value
  // parameters, out the answer parameters (their values as the client sent
  // them; they are replaced by the answers, or kept by the status reads when
  // those fail).
  std::int32_t CommandMethod(const std::string& rowName, const WideStrings& in, WideStrings& out);

  // --- header, footer ---
  std::int32_t setHeader(const WideString& headerLine1, const WideString& headerLine2, const WideString& headerLine3,
                         const WideString& headerLine4, const WideString& headerLine5,
                         const WideString& headerLine6);
  std::int32_t setFooter(const WideString& footerLine1, const WideString& footerLine2);

  // --- the logo (through the logo form) ---
  void showLogoForm(bool stayOnTop);
  std::int32_t getLogoFromPrinter(const WideString& targetFileName);
  std::int32_t saveLogoToPrinter(const WideString& targetFileName);
  // The process's logo forms; without them (no user interface) showLogoForm
  // returns at once and the transfers fail with -2.
  static void SetLogoForms(std::shared_ptr<ILogoForms> forms);

  // --- whole receipts (extensions 373, 374) ---
  // A receipt document (JSON) printed exactly once on the connected printer;
  // answer receives the JSON answer. 0 when it was fiscalised, else one of
  // the receipt codes (ReceiptService.h).
  std::int32_t printReceipt(const WideString& document, WideString& answer);
  std::int32_t getReceipt(const WideString& key, WideString& answer);
  // The process's receipt service. Without one (nothing installed) the
  // first receipt opens the journal at its default place.
  static void SetReceipts(std::shared_ptr<receipts::ReceiptService> service);
  static std::shared_ptr<receipts::ReceiptService> Receipts(bool createIfMissing, std::string* error = nullptr);

  // --- properties ---
  // Extension: the printer's code page, 1252 (Western, the default) or 1251
  // (Cyrillic). Every text to and from the printer on this object is
  // converted with it. Another value raises.
  std::int32_t codePage() const;
  void set_codePage(std::int32_t value);
  // Extension: false (the default) refuses a text holding a character the
  // code page cannot print with -3, naming the parameter and the character,
  // and sends nothing; true prints "?" in its place. Whole receipts refuse
  // such a document either way.
  bool replaceUnmappable() const { return FReplaceUnmappable; }
  void set_replaceUnmappable(bool value) { FReplaceUnmappable = value; }
  bool debugMode();
  void set_debugMode(bool value);
  WideString debugFolder();
  void set_debugFolder(const WideString& value);

  // --- events ---
  // The one sink of this object; nullptr removes it. Thread-safe.
  void EventSinkChanged(std::shared_ptr<IKELMORAEvents> sink);
  // Fire to the sink connected now, if any. A failing sink raises to the caller.
  void sendOnError(std::int32_t targetCode, const WideString& targetMessage);
  void sendOnProgress(std::int32_t targetProgress, const WideString& targetMessage);
  void sendOnStartProgress();  // waits 50 ms first
  void sendOnEndProgress();    // waits 50 ms first

  // Closes the printer connection (the object is going away).
  void ReleaseConnection();

  TFP_ZORVIK* printer() { return FDORRIK.get(); }
  // Extension, on no face: how long the next connects wait for one answer
  // (the line's read time-out and the wait for a frame). Zero keeps the
  // driver's own waits. Tests that lose frames on purpose shorten it.
  void SetAnswerWait(std::chrono::milliseconds wait) { FAnswerWait = wait; }
  // The last exchange went out and no valid answer came back (the printer
  // is silent or the link is down), as against one the printer refused.
  bool LastExchangeUnanswered() const;
  const std::string& logFolder() const { return MY_LOG_FOLDER; }
  // The connected printer's serial number (UTF-8), empty before a connect read it.
  const std::string& printerSerial() const { return FPrinterSerial; }

 private:
  void computeLogFolder();
  void releasePrinter();
  // True (with the last error set) while a logo transfer of this object
  // runs: the calls that would release or replace its printer object, or
  // start a second transfer, wait for their turn by failing.
  bool logoTransferUnderWay();
  struct LogoTransferScope {
    explicit LogoTransferScope(std::atomic<int>& n) : count(n) { ++count; }
    ~LogoTransferScope() { --count; }
    std::atomic<int>& count;
  };
  std::atomic<int> FLogoTransfers {0};
  void log(const std::string& text);
  // ON_ERROR with the printer object's last error, when a sink is there; a
  // failing sink never disturbs the calling method.
  void fireLastError();
  std::shared_ptr<IKELMORAEvents> sink();
  void applyDebugSettings();
  std::int32_t statusRead(const std::string& rowName, const WideStrings& in, WideStrings& out);
  // The client's values for the command row, each under its parameter's name.
  AnsiStrings valuesForPrinter(const std::string& rowName, const WideStrings& in) const;

  std::int32_t tmp_Int = 0;
  std::string MY_LOG_FOLDER;
  AnsiString MY_INPUT;
  std::unique_ptr<TFP_ZORVIK> FDORRIK;
  std::uint8_t MY_PRINTER = 0;
  std::int32_t MY_PORT = 0;
  std::int32_t MY_BAUDRATE = 0;
  bool TO_SET_DTR = false;
  bool TO_SET_RTS = false;
  std::int32_t MY_MODEL_INDX = 0;
  AnsiString mS0, mS1, mS2, mS3, mS4, mS5;

  // Where the printer is: a device path (empty: COM<MY_PORT>) or a TCP address.
  std::string FDevicePath;
  bool FUseTcp = false;
  // An initialiser succeeded and named the printer above; a failed one
  // clears it, so CONNECT_TO_PRINTER never falls back to an older printer.
  bool FHasTarget = false;
  std::string FTcpAddress;
  std::int32_t FTcpPort = 0;

  // A text for the printer. With a parameter name it is a value sent to the
  // printer, and a character the code page cannot print raises
  // cmd::FieldRefused naming both (unless replaceUnmappable is set); without
  // one it is only a buffer, converted as well as it goes.
  // sent: how many of its bytes reach the printer (a row's cut); a character
  // lost beyond them is no reason to refuse.
  AnsiString toPrinter(const WideString& s) const;
  AnsiString toPrinter(const WideString& s, const std::string& parameter,
                       std::size_t sent = std::string::npos) const;
  WideString fromPrinter(const AnsiString& s) const;
  // Records a refused text as the printer object's -3 under method (its log
  // line, both texts); without a printer object, as the object's own error.
  std::int32_t refuseInput(const std::string& method, const cmd::FieldRefused& refusal);
  std::uint16_t FCodePage = 1252;
  bool FReplaceUnmappable = false;
  std::string FLastErrorDetail;  // UTF-8

  // The connected printer's serial number, from the connect-time diagnostic read.
  std::string FPrinterSerial;
  void receiptError(std::int32_t code, const std::string& answerJson);
  // Settles the unfinished receipts of the printer just connected (a build
  // without the receipt journal has none).
  void settleUnfinishedReceipts();
  // Before a command that opens a fiscal receipt: the whole receipts this
  // printer left unfinished are settled first. 0 to go on; else the code
  // (last error and ON_ERROR set) with which the command is refused unsent.
  std::int32_t clearForOpening();

  // Kept here while there is no printer object, and applied to each new one.
  std::chrono::milliseconds FAnswerWait {0};
  bool FDebugMode = false;
  std::string FDebugFolder;

  // The last error while there is no printer object.
  std::int32_t FOwnErrorCode = 0;
  AnsiString FOwnErrorMessage;

  std::mutex FSinkLock;
  std::shared_ptr<IKELMORAEvents> FEvents;
};

}  // namespace orbantis
