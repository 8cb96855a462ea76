#include "receipts/ReceiptDocument.h"

#include <cstdio>
#include <map>
#include <nlohmann/json.hpp>

#include "foundation/CodePage.h"
#include "printer_model/CommandTable.h"

namespace orbantis::receipts {
namespace {

using json = nlohmann::json;

// ---------------------------------------------------------------- where a parse failed

// Follows the parser through the document, so that a document the parser
// refuses (a broken UTF-8 sequence inside a text, a missing brace) is
// refused with the path of the field it broke in.
class PathTracker : public nlohmann::json_sax<json> {
 public:
  std::string error;
  std::string errorPath;

  bool null() override { return value(); }
  bool boolean(bool) override { return value(); }
  bool number_integer(number_integer_t) override { return value(); }
  bool number_unsigned(number_unsigned_t) override { return value(); }
  bool number_float(number_float_t, const string_t&) override { return value(); }
  bool string(string_t&) override { return value(); }
  bool binary(binary_t&) override { return value(); }
  bool start_object(std::size_t) override {
    enterValue();
    FFrames.push_back({false, -1, {}});
    return shallow();
  }
  bool key(string_t& k) override {
    FFrames.back().key = k;
    return true;
  }
  bool end_object() override {
    FFrames.pop_back();
    return true;
  }
  bool start_array(std::size_t) override {
    enterValue();
    FFrames.push_back({true, -1, {}});
    return shallow();
  }
  bool end_array() override {
    FFrames.pop_back();
    return true;
  }
  bool parse_error(std::size_t, const std::string&, const nlohmann::detail::exception& ex) override {
    error = ex.what();
    // The value being read is the next one in an array, or the one under the
    // last key of an object.
    if (!FFrames.empty() && FFrames.back().array) ++FFrames.back().index;
    errorPath = path();
    return false;
  }

 private:
  struct Frame {
    bool array;
    int index;
    std::string key;
  };
  // A receipt is four levels deep; far deeper nesting is no receipt, and
  // stops here before anything walks it.
  bool shallow() {
    if (FFrames.size() <= 16) return true;
    error = "nested deeper than 16 levels";
    FFrames.pop_back();
    errorPath = path();
    return false;
  }
  bool value() {
    enterValue();
    return true;
  }
  void enterValue() {
    if (!FFrames.empty() && FFrames.back().array) ++FFrames.back().index;
  }
  std::string path() const {
    std::string p;
    for (const auto& f : FFrames) {
      if (f.array) {
        p += "[" + std::to_string(f.index < 0 ? 0 : f.index) + "]";
      } else if (!f.key.empty()) {
        p += (p.empty() ? "" : ".") + f.key;
      }
    }
    return p;
  }
  std::vector<Frame> FFrames;
};

// ---------------------------------------------------------------- checking fields

std::string shortText(const json& value) {
  std::string text = value.dump(-1, ' ', false, json::error_handler_t::replace);
  if (text.size() > 60) text = text.substr(0, 57) + "...";
  return text;
}

std::string join(const std::string& path, const std::string& field) { return path.empty() ? field : path + "." + field; }
std::string at(const std::string& path, std::size_t index) { return path + "[" + std::to_string(index) + "]"; }

// A decimal as the document writes it: an optional sign, digits, and a point
// with at most `decimals` digits after it.
bool isDecimal(const std::string& s, int decimals, bool allowSign) {
  std::size_t i = 0;
  if (allowSign && i < s.size() && s[i] == '-') ++i;
  bool digits = false;
  int after = -1;
  for (; i < s.size(); ++i) {
    if (s[i] >= '0' && s[i] <= '9') {
      digits = true;
      if (after >= 0) ++after;
    } else if (s[i] == '.' && after < 0) {
      after = 0;
    } else {
      return false;
    }
  }
  return digits && after <= decimals;
}

bool isPositive(const std::string& s) { return s.find_first_of("123456789") != std::string::npos && s[0] != '-'; }

class Checker {
 public:
  Checker(std::vector<FieldError>& errors, std::uint16_t codePage) : FErrors(errors), FCodePage(codePage) {}

  void fail(const std::string& path, const json* value, const std::string& rule) {
    FErrors.push_back({path, value != nullptr ? shortText(*value) : std::string(), rule});
  }

  // The fields an object may have; every other one is an error (a misspelt
  // field would otherwise be dropped without a word).
  void onlyFields(const json& object, const std::string& path, std::initializer_list<const char*> allowed) {
    for (const auto& [name, value] : object.items()) {
      bool known = false;
      for (const char* a : allowed) known = known || name == a;
      if (!known) fail(join(path, name), &value, "is not a field of this object");
    }
  }

  const json* field(const json& object, const char* name) {
    const auto it = object.find(name);
    return it == object.end() ? nullptr : &*it;
  }

  bool object(const json* value, const std::string& path, bool required) {
    if (value == nullptr) {
      if (required) fail(path, nullptr, "is required");
      return false;
    }
    if (!value->is_object()) {
      fail(path, value, "must be an object");
      return false;
    }
    return true;
  }

  // A text converted to the printer's code page; nullopt after an error.
  std::optional<AnsiString> text(const json* value, const std::string& path, bool required, std::size_t maxLength,
                                 bool allowEmpty = false) {
    if (value == nullptr) {
      if (required) fail(path, nullptr, "is required");
      return std::nullopt;
    }
    if (!value->is_string()) {
      fail(path, value, "must be a text");
      return std::nullopt;
    }
    const std::string& utf8 = value->get_ref<const std::string&>();
    if (utf8.empty() && !allowEmpty) {
      fail(path, value, "must not be empty");
      return std::nullopt;
    }
    const WideString wide = Utf8ToWide(utf8);
    for (const char16_t ch : wide) {
      if (ch < 0x20 || ch == 0x7F) {
        fail(path, value, "must not hold control characters (line breaks, TAB)");
        return std::nullopt;
      }
    }
    // A receipt prints every character as written or not at all: no "?"
    // for what the code page lacks, no accent dropped from its letter.
    char32_t lost = 0;
    const AnsiString encoded = EncodeCodePage(wide, FCodePage, lost);
    if (lost != 0) {
      fail(path, value, cmd::UnprintableRule(lost, FCodePage));
      return std::nullopt;
    }
    if (maxLength > 0 && encoded.size() > maxLength) {
      fail(path, value, "is longer than " + std::to_string(maxLength) + " characters");
      return std::nullopt;
    }
    return encoded;
  }

  // An amount or quantity, as a decimal string.
  std::optional<std::string> decimal(const json* value, const std::string& path, bool required, int decimals,
                                     bool positive, const char* example) {
    if (value == nullptr) {
      if (required) fail(path, nullptr, "is required");
      return std::nullopt;
    }
    if (!value->is_string()) {
      fail(path, value,
           std::string("must be a decimal string such as \"") + example + "\", not a JSON number or other value");
      return std::nullopt;
    }
    const std::string& s = value->get_ref<const std::string&>();
    if (!isDecimal(s, decimals, true)) {
      fail(path, value,
           "must be a decimal number with at most " + std::to_string(decimals) + " digits after the point");
      return std::nullopt;
    }
    if (positive && !isPositive(s)) {
      fail(path, value, "must be more than 0");
      return std::nullopt;
    }
    return s;
  }

  std::optional<std::int64_t> integer(const json* value, const std::string& path, bool required, std::int64_t min,
                                      std::int64_t max) {
    if (value == nullptr) {
      if (required) fail(path, nullptr, "is required");
      return std::nullopt;
    }
    if (!value->is_number_integer()) {
      fail(path, value, "must be a whole number");
      return std::nullopt;
    }
    const auto n = value->get<std::int64_t>();
    if (n < min || n > max) {
      fail(path, value, "must be from " + std::to_string(min) + " to " + std::to_string(max));
      return std::nullopt;
    }
    return n;
  }

 private:
  std::vector<FieldError>& FErrors;
  std::uint16_t FCodePage;
};

// ---------------------------------------------------------------- the commands

// A command with its values by parameter name, and where each came from.
struct Draft {
  Purpose purpose;
  std::string row;
  std::map<std::string, AnsiString> values;
  std::map<std::string, std::string> paths;
  int item = -1;
};

std::string describe(const cmd::Rule& r) {
  switch (r.check) {
    case cmd::Check::Required: return "is required";
    case cmd::Check::MaxLength: return "is longer than " + std::to_string(r.limit) + " characters";
    case cmd::Check::MinLength: return "is shorter than " + std::to_string(r.limit) + " characters";
    case cmd::Check::OneOf: return "must be one of " + std::string(r.text);
    case cmd::Check::Integer: return "must be a whole number";
    case cmd::Check::IntegerAtMost: return "must be at most " + std::to_string(r.limit);
    case cmd::Check::IntegerAtLeast: return "must be at least " + std::to_string(r.limit);
    case cmd::Check::Number:
    case cmd::Check::Currency: return "must be a decimal number";
    case cmd::Check::NumberAtMost:
    case cmd::Check::CurrencyAtMost: return "must be at most " + std::string(r.text);
    case cmd::Check::NumberAtLeast:
    case cmd::Check::CurrencyAtLeast: return "must be at least " + std::string(r.text);
    case cmd::Check::PassIf: return "";
  }
  return "is not valid";
}

// Runs the row's own input rules and builds its data field, so that the
// document is held to exactly what the command would check and send.
void checkWithRow(const Draft& d, const json& root, Checker& checker, std::vector<PlannedCommand>& out) {
  const cmd::Command* command = cmd::FindCommand(d.row);
  if (command == nullptr) throw std::logic_error("no command row " + d.row);
  AnsiStrings values;
  for (const auto& p : command->row->in) {
    const auto it = d.values.find(p.name);
    values.push_back(it == d.values.end() ? AnsiString() : it->second);
  }
  auto valueAt = [&](const std::string& path) -> const json* {
    try {
      std::string pointer;
      for (char ch : path) {
        if (ch == '.' || ch == '[') pointer += '/';
        else if (ch != ']') pointer += ch;
      }
      return &root.at(json::json_pointer("/" + pointer));
    } catch (...) {
      return nullptr;
    }
  };
  bool good = true;
  for (std::size_t i = 0; i < values.size(); ++i) {
    const auto& param = command->row->in[i];
    const auto pathIt = d.paths.find(param.name);
    const std::string path = pathIt == d.paths.end() ? std::string() : pathIt->second;
    for (const cmd::Rule& rule : param.rules) {
      const std::int32_t code = cmd::RunRules(values[i], {rule});
      if (code == cmd::CHECKS_END_WITH_SUCCESS) break;
      if (code != 0) {
        checker.fail(path, valueAt(path), describe(rule));
        good = false;
        break;
      }
    }
  }
  if (!good) return;
  try {
    const AnsiString field = cmd::BuildField(command->field, values, true);
    // Only the open with a buyer can grow past what one frame carries.
    if (field.size() > 219) {
      checker.fail(d.paths.count("BuyerLine1") ? "buyer" : "", nullptr,
                   "makes the opening line " + std::to_string(field.size()) +
                       " bytes long; a frame carries 219: shorten the buyer's lines");
      return;
    }
  } catch (const cmd::FieldRefused& e) {
    const auto pathIt = d.paths.find(e.Parameter);
    const std::string path = pathIt == d.paths.end() ? std::string() : pathIt->second;
    checker.fail(path, valueAt(path), e.what());
    return;
  }
  out.push_back({d.purpose, d.row, values, d.item});
}

std::string negated(const std::string& s) { return s.empty() || s[0] == '-' ? s : "-" + s; }

}  // namespace

std::string DocumentHash(const std::string& text) {
  std::uint64_t h = 1469598103934665603ull;
  for (const unsigned char c : text) {
    h ^= c;
    h *= 1099511628211ull;
  }
  char buf[17];
  std::snprintf(buf, sizeof buf, "%016llx", static_cast<unsigned long long>(h));
  return buf;
}

ParseResult ParseReceipt(const std::string& text, std::uint16_t codePage) {
  ParseResult result;
  auto& errors = result.errors;
  if (text.size() > kMaxDocumentBytes) {
    errors.push_back({"", "", "the document is larger than " + std::to_string(kMaxDocumentBytes / 1024) +
                                  " KiB; a receipt takes a few KiB"});
    return result;
  }
  {
    PathTracker tracker;
    if (!json::sax_parse(text, &tracker)) {
      errors.push_back({tracker.errorPath, "",
                        tracker.error.rfind("nested", 0) == 0 ? "is " + tracker.error
                                                              : "is not valid JSON (UTF-8): " + tracker.error});
      return result;
    }
  }
  const json root = json::parse(text);
  Checker c(errors, codePage);
  if (!root.is_object()) {
    c.fail("", &root, "the document must be a JSON object");
    return result;
  }
  c.onlyFields(root, "", {"key", "operator", "buyer", "items", "payments"});

  ReceiptDocument& doc = result.document;
  // The key is never printed: any text without control characters.
  if (const json* key = c.field(root, "key"); key == nullptr) {
    c.fail("key", nullptr, "is required");
  } else if (!key->is_string() || key->get_ref<const std::string&>().empty() ||
             key->get_ref<const std::string&>().size() > kMaxKeyLength) {
    c.fail("key", key, "must be a text of 1 to " + std::to_string(kMaxKeyLength) + " bytes");
  } else {
    const std::string& k = key->get_ref<const std::string&>();
    bool plain = true;
    for (const unsigned char ch : k) plain = plain && ch >= 0x20 && ch != 0x7F;
    if (plain) doc.key = k;
    else c.fail("key", key, "must not hold control characters");
  }

  std::vector<Draft> drafts;
  // Opening: the operator, and the buyer when there is one.
  {
    Draft open {Purpose::Open, "CMD_48_0_0", {}, {}, -1};
    const json* op = c.field(root, "operator");
    if (c.object(op, "operator", true)) {
      c.onlyFields(*op, "operator", {"code", "password", "till"});
      if (const auto code = c.integer(c.field(*op, "code"), "operator.code", true, 1, 16))
        open.values["OpCode"] = std::to_string(*code);
      if (const auto pwd = c.text(c.field(*op, "password"), "operator.password", true, 8)) {
        if (pwd->find_first_not_of("0123456789") != std::string::npos)
          c.fail("operator.password", c.field(*op, "password"), "must be digits only");
        else
          open.values["OpPwd"] = *pwd;
      }
      if (const auto till = c.integer(c.field(*op, "till"), "operator.till", true, 1, 99999))
        open.values["TillNmb"] = std::to_string(*till);
    }
    open.paths = {{"OpCode", "operator.code"}, {"OpPwd", "operator.password"}, {"TillNmb", "operator.till"}};
    const json* buyer = c.field(root, "buyer");
    if (c.object(buyer, "buyer", false)) {
      open.row = "CMD_48_0_1";
      c.onlyFields(*buyer, "buyer", {"lines", "tin", "vrn"});
      // The open with a buyer carries three lines, each required.
      const json* lines = c.field(*buyer, "lines");
      if (lines == nullptr || !lines->is_array() || lines->size() != 3) {
        c.fail("buyer.lines", lines, "must be a list of 3 texts (the buyer's name and address)");
      } else {
        for (std::size_t i = 0; i < lines->size(); ++i) {
          const std::string path = at("buyer.lines", i);
          if (const auto line = c.text(&(*lines)[i], path, true, 0))
            open.values["BuyerLine" + std::to_string(i + 1)] = *line;
          open.paths["BuyerLine" + std::to_string(i + 1)] = path;
        }
      }
      if (const auto tin = c.text(c.field(*buyer, "tin"), "buyer.tin", true, 0)) open.values["TIN"] = *tin;
      if (const auto vrn = c.text(c.field(*buyer, "vrn"), "buyer.vrn", true, 0)) open.values["VRN"] = *vrn;
      open.paths["TIN"] = "buyer.tin";
      open.paths["VRN"] = "buyer.vrn";
    }
    drafts.push_back(open);
  }

  // The lines.
  const json* items = c.field(root, "items");
  std::size_t sales = 0;
  if (items == nullptr) {
    c.fail("items", nullptr, "is required");
  } else if (!items->is_array() || items->empty() || items->size() > kMaxItems) {
    c.fail("items", items, "must be a list of 1 to " + std::to_string(kMaxItems) + " lines");
  } else {
    for (std::size_t i = 0; i < items->size(); ++i) {
      const std::string path = at("items", i);
      const json& item = (*items)[i];
      if (!item.is_object()) {
        c.fail(path, &item, "must be an object");
        continue;
      }
      const int kinds = item.contains("text") + item.contains("plu") + item.contains("comment");
      if (kinds != 1) {
        c.fail(path, &item, "must have exactly one of text (a sale), plu (a programmed item) or comment");
        continue;
      }
      if (item.contains("comment")) {
        c.onlyFields(item, path, {"comment"});
        Draft d {Purpose::Comment, "CMD_54_0_0", {}, {{"Input_Text", join(path, "comment")}}, static_cast<int>(i)};
        if (const auto t = c.text(c.field(item, "comment"), join(path, "comment"), true, 42)) d.values["Input_Text"] = *t;
        drafts.push_back(d);
        continue;
      }
      ++sales;
      const bool plu = item.contains("plu");
      if (plu) {
        c.onlyFields(item, path, {"plu", "quantity", "unit", "discountPercent", "discountAmount"});
      } else {
        c.onlyFields(item, path,
                     {"text", "text2", "taxGroup", "price", "quantity", "unit", "discountPercent", "discountAmount"});
      }
      Draft d {Purpose::Sale, "", {}, {}, static_cast<int>(i)};
      const std::string quantityPath = join(path, "quantity");
      const auto quantity = c.decimal(c.field(item, "quantity"), quantityPath, false, 3, true, "1.5");
      d.values["Quan"] = quantity.value_or("1");
      d.paths["Quan"] = quantityPath;
      const bool hasUnit = item.contains("unit");
      if (const auto unit = c.text(c.field(item, "unit"), join(path, "unit"), false, 8)) d.values["UN"] = *unit;
      d.paths["UN"] = join(path, "unit");
      const json* percent = c.field(item, "discountPercent");
      const json* amount = c.field(item, "discountAmount");
      if (percent != nullptr && amount != nullptr)
        c.fail(join(path, "discountAmount"), amount, "a line takes discountPercent or discountAmount, not both");
      if (const auto p = c.decimal(percent, join(path, "discountPercent"), false, 2, true, "10"))
        d.values["Perc"] = negated(*p);
      if (const auto a = c.decimal(amount, join(path, "discountAmount"), false, 2, true, "0.50"))
        d.values["AbsSum"] = negated(*a);
      d.paths["Perc"] = join(path, "discountPercent");
      d.paths["AbsSum"] = join(path, "discountAmount");
      if (plu) {
        if (const auto n = c.integer(c.field(item, "plu"), join(path, "plu"), true, 1, 999999999))
          d.values["PLU"] = std::to_string(*n);
        d.paths["PLU"] = join(path, "plu");
        // PLU [* quantity [# unit [, percentage | ; sum]]]
        if (percent != nullptr) d.row = "CMD_58_0_0";
        else if (amount != nullptr) d.row = "CMD_58_0_1";
        else if (hasUnit) d.row = "CMD_58_0_2";
        else d.row = "CMD_58_0_3";
      } else {
        if (const auto t = c.text(c.field(item, "text"), join(path, "text"), true, 36)) d.values["L1"] = *t;
        const bool two = item.contains("text2");
        if (const auto t = c.text(c.field(item, "text2"), join(path, "text2"), false, 36)) d.values["L2"] = *t;
        if (const auto g = c.text(c.field(item, "taxGroup"), join(path, "taxGroup"), true, 0)) d.values["TaxCd"] = *g;
        if (const auto p = c.decimal(c.field(item, "price"), join(path, "price"), true, 2, false, "2.40"))
          d.values["Price"] = *p;
        d.paths["L1"] = join(path, "text");
        d.paths["L2"] = join(path, "text2");
        d.paths["TaxCd"] = join(path, "taxGroup");
        d.paths["Price"] = join(path, "price");
        if (percent != nullptr) d.row = two ? "CMD_49_0_1" : "CMD_49_0_6";
        else if (amount != nullptr) d.row = two ? "CMD_49_0_2" : "CMD_49_0_3";
        else d.row = two ? "CMD_49_0_9" : "CMD_49_0_11";
      }
      drafts.push_back(d);
    }
    if (sales == 0) c.fail("items", items, "must hold at least one sale");
  }

  // Before the first payment: the subtotal (the total and the tax by group)
  // and the receipt's sums by tax group, for the answer and the journal.
  drafts.push_back({Purpose::Subtotal, "CMD_51_0_0", {{"ToPrint", "0"}, {"ToDisplay", "0"}}, {}, -1});
  drafts.push_back({Purpose::GroupTotals, "CMD_103_0_0", {}, {}, -1});

  const json* payments = c.field(root, "payments");
  if (payments != nullptr && (!payments->is_array() || payments->size() > kMaxPayments)) {
    c.fail("payments", payments, "must be a list of at most " + std::to_string(kMaxPayments) + " payments");
  } else if (payments == nullptr || payments->empty()) {
    // No payments: the exact total in cash.
    drafts.push_back({Purpose::Payment, "CMD_53_0_1", {}, {}, -1});
  } else {
    for (std::size_t i = 0; i < payments->size(); ++i) {
      const std::string path = at("payments", i);
      const json& p = (*payments)[i];
      if (!p.is_object()) {
        c.fail(path, &p, "must be an object");
        continue;
      }
      c.onlyFields(p, path, {"mode", "amount"});
      Draft d {Purpose::Payment, "CMD_53_0_0", {}, {{"PaidMode", join(path, "mode")}, {"Amount_In", join(path, "amount")}},
               static_cast<int>(i)};
      const auto mode = c.text(c.field(p, "mode"), join(path, "mode"), true, 0);
      const auto amount = c.decimal(c.field(p, "amount"), join(path, "amount"), true, 2, true, "10.00");
      if (mode) d.values["PaidMode"] = *mode;
      if (amount) d.values["Amount_In"] = *amount;
      if (mode && amount) doc.payments.emplace_back(*mode, *amount);
      drafts.push_back(d);
    }
  }
  drafts.push_back({Purpose::Close, "CMD_56_0_0", {}, {}, -1});

  if (!errors.empty()) return result;
  // Every value through its command row's own checks and data field.
  for (const Draft& d : drafts) checkWithRow(d, root, c, doc.commands);
  if (!errors.empty()) {
    doc.commands.clear();
    return result;
  }
  doc.canonical = root.dump();
  doc.hash = DocumentHash(doc.canonical);
  return result;
}

}  // namespace orbantis::receipts
