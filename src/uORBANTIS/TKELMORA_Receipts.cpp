// Whole receipts on an automation object (printReceipt, getReceipt) and the
// settling of unfinished ones when a printer connects: the builds that have
// the receipt journal (SQLite).
#include <mutex>

#include <nlohmann/json.hpp>

#include "foundation/CodePage.h"
#include "journal/Journal.h"
#include "receipts/ReceiptService.h"
#include "uErrLog/LogFiles.h"
#include "uORBANTIS/TKELMORA.h"

namespace orbantis {

namespace {
std::mutex gReceiptsLock;
std::shared_ptr<receipts::ReceiptService> gReceipts;
std::unique_ptr<journal::Journal> gJournal;  // the one Receipts() opened itself
}  // namespace

void TKELMORA::SetReceipts(std::shared_ptr<receipts::ReceiptService> service) {
  std::lock_guard<std::mutex> guard(gReceiptsLock);
  gReceipts = std::move(service);
}

std::shared_ptr<receipts::ReceiptService> TKELMORA::Receipts(bool createIfMissing, std::string* error) {
  std::lock_guard<std::mutex> guard(gReceiptsLock);
  if (gReceipts) return gReceipts;
  try {
    const std::string path = journal::Journal::DefaultPath();
    if (!createIfMissing && !FileExists(path)) return nullptr;
    gJournal = std::make_unique<journal::Journal>(path);
    gReceipts = std::make_shared<receipts::ReceiptService>(*gJournal);
  } catch (const std::exception& e) {
    if (error != nullptr) *error = e.what();
    return nullptr;
  }
  return gReceipts;
}

void TKELMORA::settleUnfinishedReceipts() {
  // A journal that was never made has none.
  auto service = Receipts(false);
  if (!service) return;
  const std::int32_t code = FDORRIK->FLastErrorCode;
  const AnsiString text = FDORRIK->FLastErrorMessage;
  const AnsiString textBg = FDORRIK->FLastErrorMessage_BG;
  try {
    service->Reconcile(*FDORRIK, FPrinterSerial);
  } catch (const std::exception& e) {
    log(std::string("TPRAXOL.CONNECT_TO_PRINTER : settling unfinished receipts: ") + e.what());
  }
  FDORRIK->FLastErrorCode = code;
  FDORRIK->FLastErrorMessage = text;
  FDORRIK->FLastErrorMessage_BG = textBg;
}

std::int32_t TKELMORA::clearForOpening() {
  // A till that never printed a whole receipt has no journal: nothing to do.
  auto service = Receipts(false);
  if (!service || !FDORRIK) return 0;
  std::string message;
  const std::int32_t code = service->ClearForOpening(*FDORRIK, FPrinterSerial, message);
  if (code == receipts::RECEIPT_PRINTED) return 0;
  log("TKELMORA: a receipt's opening refused: " + message);
  receiptError(receipts::OPEN_REFUSED_UNSETTLED, nlohmann::json({{"message", message}}).dump());
  return receipts::OPEN_REFUSED_UNSETTLED;
}

void TKELMORA::receiptError(std::int32_t code, const std::string& answerJson) {
  // The last error and ON_ERROR carry the answer's message, as the other
  // methods carry theirs.
  std::string message = "Receipt failed.";
  const auto j = nlohmann::json::parse(answerJson, nullptr, false);
  if (j.is_object() && j.contains("message") && j["message"].is_string()) message = j["message"];
  if (j.is_object() && j.contains("errors") && j["errors"].is_array()) {
    for (const auto& e : j["errors"])
      message += "\r\n" + e.value("path", std::string()) + ": " + e.value("rule", std::string());
  }
  const AnsiString text = EncodeCodePage(Utf8ToWide(message), CP_WESTERN);
  if (FDORRIK) {
    FDORRIK->FLastErrorCode = code;
    FDORRIK->FLastErrorMessage = text;
  } else {
    FOwnErrorCode = code;
    FOwnErrorMessage = text;
  }
  fireLastError();
}

std::int32_t TKELMORA::printReceipt(const WideString& document, WideString& answer) {
  receipts::Outcome outcome;
  try {
    if (!FDORRIK) throw NoPrinter();
    std::string error;
    auto service = Receipts(true, &error);
    if (!service) {
      outcome = {receipts::RECEIPT_JOURNAL,
                 nlohmann::json({{"code", receipts::RECEIPT_JOURNAL},
                                 {"state", "unknown"},
                                 {"message", "The receipt journal cannot be opened (" + error +
                                                 "), so whether a receipt under this key was printed before "
                                                 "cannot be looked up, and nothing is sent to a printer without "
                                                 "it. Do not ring this sale again under a new key: mend the "
                                                 "journal, then send the same key again."}})
                     .dump()};
    } else {
      if (FPrinterSerial.empty()) {
        AnsiString name, fw, chk, sw, serial;
        if (FDORRIK->CMD_90_0_0(name, fw, chk, sw, serial) == 0) FPrinterSerial = WideToUtf8(fromPrinter(serial));
      }
      if (FPrinterSerial.empty()) {
        outcome = {receipts::RECEIPT_PENDING,
                   nlohmann::json({{"code", receipts::RECEIPT_PENDING},
                                   {"state", "pending"},
                                   {"message", "The printer does not tell its serial number, which the journal "
                                               "keeps with every receipt; check the link and connect again. "
                                               "Nothing was sent."}})
                       .dump()};
      } else {
        outcome = service->Print(*FDORRIK, FPrinterSerial, WideToUtf8(document), FCodePage);
      }
    }
  } catch (const std::exception& e) {
    outcome = {receipts::RECEIPT_FAILED,
               nlohmann::json({{"code", receipts::RECEIPT_FAILED}, {"state", "failed"}, {"message", e.what()}}).dump()};
  }
  answer = Utf8ToWide(outcome.json);
  if (outcome.code != 0) receiptError(outcome.code, outcome.json);
  else if (FDORRIK) FDORRIK->SET_ERROR_MESSAGE(0);
  return outcome.code;
}

std::int32_t TKELMORA::getReceipt(const WideString& key, WideString& answer) {
  receipts::Outcome outcome;
  std::string error;
  if (auto service = Receipts(true, &error)) {
    outcome = service->Get(WideToUtf8(key));
  } else {
    outcome = {receipts::RECEIPT_JOURNAL,
               nlohmann::json({{"code", receipts::RECEIPT_JOURNAL},
                               {"state", "unknown"},
                               {"message", "The receipt journal cannot be opened (" + error +
                                               "), so what became of this key is not known. Do not ring the sale "
                                               "again under a new key: mend the journal, then ask again."}})
                   .dump()};
  }
  answer = Utf8ToWide(outcome.json);
  if (outcome.code != 0) receiptError(outcome.code, outcome.json);
  return outcome.code;
}

}  // namespace orbantis
