#include "http/PrinterCalls.h"

#include <QBuffer>
#include <QByteArray>
#include <QImage>
#include <cstdio>
#include <optional>
#include <vector>

#include "foundation/CodePage.h"
#include "http/PrinterWorker.h"
#include "printer_model/StatusBits.h"
#include "receipts/ReceiptService.h"
#include "uLogo/LogoPicture.h"
#include "uORBANTIS/LogoTransfer.h"

namespace orbantis::http::calls {

using nlohmann::json;

namespace {

std::string Utf8(const WideString& s) { return WideToUtf8(s); }

// Runs a command row; the answers go to out (as many as asked for). An error
// answer when the command did not succeed.
std::optional<Answer> Run(TKELMORA& p, const std::string& row, const std::vector<std::string>& in,
                          std::size_t answers, std::vector<std::string>& out) {
  WideStrings win, wout(answers);
  for (const auto& v : in) win.push_back(Utf8ToWide(v));
  const std::int32_t code = p.CommandMethod(row, win, wout);
  out.clear();
  for (const auto& v : wout) out.push_back(Utf8(v));
  if (code != 0) return PrinterError(p, code);
  return std::nullopt;
}

// The six status bytes of the last answer, "80 80 C0 80 86 9A".
std::string StatusHex(TFP_ZORVIK& model) {
  std::string hex;
  for (int b = 0; b < 6; ++b) {
    char h[4];
    std::snprintf(h, sizeof h, "%s%02X", b ? " " : "", model.StatusByte(b));
    hex += h;
  }
  return hex;
}

json Groups(const std::vector<std::string>& values, std::size_t first) {
  json g = json::object();
  for (int i = 0; i < 6; ++i) g[std::string(1, char('A' + i))] = TrimSpaces(values.at(first + i));
  return g;
}

int Int(const std::string& s) {
  try {
    return std::stoi(TrimSpaces(s));
  } catch (...) {
    return 0;
  }
}

// The printer answers amounts in its own form ("12.5", "+0.00"); the API
// gives them with two decimals.
std::string Money(const std::string& s) {
  char* end = nullptr;
  const std::string t = TrimSpaces(s);
  const double v = std::strtod(t.c_str(), &end);
  if (t.empty() || *end) return t;
  char buf[40];
  std::snprintf(buf, sizeof buf, "%.2f", v);
  return buf;
}

json MoneyGroups(const std::vector<std::string>& values, std::size_t first) {
  json g = Groups(values, first);
  for (auto& [k, v] : g.items()) v = Money(v.get<std::string>());
  return g;
}

}  // namespace

int ReceiptStatus(int code) {
  switch (code) {
    case receipts::RECEIPT_PRINTED: return 200;
    case receipts::RECEIPT_BAD_DOCUMENT: return 400;
    case receipts::RECEIPT_KEY_REUSED: return 409;
    case receipts::RECEIPT_CANCELLED: return 422;
    case receipts::RECEIPT_FAILED: return 422;
    case receipts::RECEIPT_PENDING: return 504;
    case receipts::RECEIPT_ATTENTION: return 409;
    case receipts::RECEIPT_JOURNAL: return 500;
    case receipts::RECEIPT_NOT_FOUND: return 404;
    default: return 500;
  }
}

Answer Identity(TKELMORA& p, const std::string& id) {
  std::vector<std::string> diag, tax, tinVrn, line, fm;
  if (auto e = Run(p, "CMD_90_0_0", {}, 5, diag)) return *e;
  if (auto e = Run(p, "CMD_99_0_0", {}, 2, tinVrn)) return *e;
  if (auto e = Run(p, "CMD_97_0_0", {}, 6, tax)) return *e;
  json header = json::array(), footer = json::array();
  for (int item = 0; item < 8; ++item) {
    if (auto e = Run(p, "CMD_43_0_1", {"R" + std::to_string(item)}, 1, line)) return *e;
    (item < 6 ? header : footer).push_back(line.at(0));
  }
  json taxRates = Groups(tax, 0);
  for (auto& [k, v] : taxRates.items()) {
    std::string t = v.get<std::string>();
    if (!t.empty() && t.back() == '%') t.pop_back();
    v = Money(t);
  }
  // The fiscal memory's record counters; an older memory that cannot answer
  // them leaves the rest of the identity standing.
  json fiscalMemory = nullptr;
  if (!Run(p, "CMD_114_7", {"1"}, 9, fm))
    fiscalMemory = {{"closures", Int(fm.at(1))},
                    {"taxRateChanges", Int(fm.at(2))},
                    {"resets", Int(fm.at(3))},
                    {"headerChanges", Int(fm.at(4))}};
  return Answer::Json({{"id", id},
                       {"serial", TrimSpaces(diag.at(4))},
                       {"model", TrimSpaces(diag.at(0))},
                       {"firmware", TrimSpaces(diag.at(1))},
                       {"tin", TrimSpaces(tinVrn.at(0))},
                       {"vrn", TrimSpaces(tinVrn.at(1))},
                       {"taxRates", taxRates},
                       {"header", header},
                       {"footer", footer},
                       {"fiscalMemory", fiscalMemory}});
}

Answer Status(TKELMORA& p, const std::string& id) {
  std::vector<std::string> bytes, ft;
  if (auto e = Run(p, "CMD_74_0_1", {}, 6, bytes)) return *e;
  TFP_ZORVIK& model = *p.printer();
  const std::string hex = StatusHex(model);
  json bits = json::array();
  const auto& texts = StatusBitTexts();
  const auto& errors = ErrorStatusBits();
  for (int b = 0; b < 6; ++b) {
    // Bit 7 of every status byte is always set by the protocol; it says nothing.
    for (int k = 0; k < 7; ++k) {
      if (!(model.StatusByte(b) & (1u << k))) continue;
      bool error = false;
      for (const auto& eb : errors) error = error || (eb.byte == b && eb.bit == k);
      bits.push_back({{"byte", b}, {"bit", k}, {"text", WideToUtf8(texts[8 * b + k])}, {"error", error}});
    }
  }
  const std::uint8_t s2 = model.StatusByte(2);
  const std::string paper = (s2 & 1u) ? "out" : (s2 & 2u) ? "near end" : "ok";
  if (auto e = Run(p, "CMD_76_0_0", {""}, 4, ft)) return *e;
  const bool open = TrimSpaces(ft.at(0)) == "1";
  json receipt = nullptr;
  if (open) receipt = {{"sales", Int(ft.at(1))}, {"amount", Money(ft.at(2))}, {"paid", Money(ft.at(3))}};
  return Answer::Json({{"id", id},
                       {"statusBytes", hex},
                       {"bits", bits},
                       {"receiptOpen", open},
                       {"receipt", receipt},
                       {"paper", paper}});
}

Answer Receipt(TKELMORA& p, const std::string& document) {
  WideString answer;
  const std::int32_t code = p.printReceipt(Utf8ToWide(document), answer);
  json body = json::parse(Utf8(answer), nullptr, false);
  if (!body.is_object()) body = {{"code", code}, {"state", "failed"}, {"message", Utf8(answer)}};
  // Errors carry the API's three fields beside the receipt answer's own.
  if (code != 0) {
    body["text"] = body.value("message", std::string());
    body["field"] = "";
    if (body.contains("errors") && body["errors"].is_array() && !body["errors"].empty())
      body["field"] = body["errors"][0].value("path", std::string());
  }
  return Answer::Json(body, ReceiptStatus(code));
}

Answer DailyReport(TKELMORA& p, bool zReport) {
  std::vector<std::string> out;
  if (auto e = Run(p, "CMD_69_0_0", {zReport ? "0" : "2", "", ""}, 7, out)) return *e;
  return Answer::Json({{"closure", Int(out.at(0))}, {"totals", MoneyGroups(out, 1)}});
}

Answer Cash(TKELMORA& p, bool in, const std::string& amount) {
  std::vector<std::string> out;
  if (auto e = Run(p, "CMD_70_0_0", {in ? amount : "-" + amount}, 4, out)) return *e;
  return Answer::Json({{"done", TrimSpaces(out.at(0)) == "P"},
                       {"cashInDrawer", Money(out.at(1))},
                       {"cashIn", Money(out.at(2))},
                       {"cashOut", Money(out.at(3))}});
}

Answer GetDateTime(TKELMORA& p) {
  std::vector<std::string> out;
  if (auto e = Run(p, "CMD_62_0_1", {}, 6, out)) return *e;
  char buf[32];
  std::snprintf(buf, sizeof buf, "%04d-%02d-%02dT%02d:%02d:%02d", 2000 + Int(out[2]) % 100, Int(out[1]), Int(out[0]),
                Int(out[3]), Int(out[4]), Int(out[5]));
  return Answer::Json({{"datetime", buf}});
}

Answer SetDateTime(TKELMORA& p, const std::string& dt) {
  // YYYY-MM-DDTHH:MM:SS, checked by the caller.
  const std::string date = dt.substr(8, 2) + "-" + dt.substr(5, 2) + "-" + dt.substr(2, 2);
  const std::string time = dt.substr(11, 8);
  std::vector<std::string> out;
  if (auto e = Run(p, "CMD_61_0_0", {date, time}, 0, out)) return *e;
  return GetDateTime(p);
}

Answer Raw(TKELMORA& p, int command, const std::string& data) {
  WideString input = Utf8ToWide(data), output;
  const bool ok = p.CUSTOM_CMD(command, input, output);
  const std::string hex = p.printer() ? StatusHex(*p.printer()) : std::string();
  // A command the printer refused is still an answer the caller asked for;
  // only a printer that does not answer is an error of the call.
  if (!ok && PrinterSilent(p)) return PrinterError(p, p.GetLastErrorCode());
  return Answer::Json({{"command", command},
                       {"ok", ok},
                       {"data", Utf8(output)},
                       {"statusBytes", hex},
                       {"code", ok ? 0 : p.GetLastErrorCode()},
                       {"text", ok ? std::string() : Utf8(p.GetLastErrorMessage())}});
}

namespace {

// The HTTP routes send and take pictures in their bodies: no files.
logo::QtPictureFiles gNoFiles;

logo::LogoTransfer TransferFor(TKELMORA& p, Task& task) {
  logo::LogoTransfer transfer(gNoFiles, p.printer(), nullptr);
  transfer.setObserver({[&task](int position) { task.Progress(position * 100 / logo::kLogoRows, "logo rows"); }, {}});
  return transfer;
}

}  // namespace

Answer GetLogo(TKELMORA& p, Task& task) {
  auto transfer = TransferFor(p, task);
  if (!transfer.readLogoRows()) return PrinterError(p, p.GetLastErrorCode());
  const QImage logo = logo::ToImage(transfer.picture()).copy(0, 0, logo::kLogoDots, logo::kLogoRows);
  QByteArray png;
  QBuffer buffer(&png);
  buffer.open(QIODevice::WriteOnly);
  if (!logo.save(&buffer, "PNG")) return Answer::Refused(500, "The logo could not be made into a PNG picture.");
  Answer a;
  a.contentType = "image/png";
  a.bytes.assign(png.constData(), static_cast<std::size_t>(png.size()));
  return a;
}

Answer PutLogo(TKELMORA& p, const std::string& picture, Task& task) {
  QImage image;
  if (!image.loadFromData(reinterpret_cast<const uchar*>(picture.data()), static_cast<int>(picture.size())))
    return Answer::Refused(415, "The body is not a BMP, PNG or JPEG picture.", "body");
  auto transfer = TransferFor(p, task);
  // The picture goes on a white canvas of the logo's size, top left, as the
  // logo form places a loaded file.
  QImage canvas = logo::BlankPicture();
  {
    const QImage normal = logo::NormalizePicture(image);
    for (int y = 0; y < std::min(normal.height(), canvas.height()); ++y)
      for (int x = 0; x < std::min(normal.width(), canvas.width()); ++x)
        logo::SetColourValue(canvas, x, y, logo::ColourValue(normal, x, y));
  }
  transfer.setPicture(logo::ToPixels(canvas));
  if (!transfer.writeLogoRows()) return PrinterError(p, p.GetLastErrorCode());
  return Answer::Json({{"rows", logo::kLogoRows}});
}

}  // namespace orbantis::http::calls
