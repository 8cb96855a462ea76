#include "uORBANTIS/InterfaceTable.h"

#include <map>

#include "printer_model/CommandTable.h"

namespace orbantis::automation {
namespace {

struct Slot {
  const char* name;
  std::int32_t dispId;
  EntryKind kind;
};

// The interface's entries in their order. Neither the order nor the
// identifiers follow the command codes; both are part of the contract with
// clients that bind early or by identifier.
const Slot kSlots[] = {
#include "uORBANTIS/InterfaceSlots.inc"
};

std::int32_t& AsInt(Value& v) { return std::get<std::int32_t>(v); }
bool& AsBool(Value& v) { return std::get<bool>(v); }
WideString& AsString(Value& v) { return std::get<WideString>(v); }

using Call = std::function<std::optional<Value>(TKELMORA&, std::vector<Value>&)>;

struct Shape {
  std::vector<ArgSpec> args;
  std::optional<ArgType> result;
  Call call;
};

// The methods that are not printer commands.
std::map<std::string, Shape> OwnMethods() {
  using T = ArgType;
  std::map<std::string, Shape> m;
  m["INIT_MY_FP"] = {{{"TRGT_PORT", T::Int}, {"TRGT_BAUDRATE", T::Int}, {"SET_DTR_TO", T::Bool}, {"SET_RTS_TO", T::Bool},
                      {"MODEL_INDX", T::Int}},
                     T::Int, [](TKELMORA& o, std::vector<Value>& a) -> std::optional<Value> {
                       return o.INIT_MY_FP(AsInt(a[0]), AsInt(a[1]), AsBool(a[2]), AsBool(a[3]), AsInt(a[4]));
                     }};
  m["CONNECT_TO_PRINTER"] = {{}, T::Int, [](TKELMORA& o, std::vector<Value>&) -> std::optional<Value> {
                               return o.CONNECT_TO_PRINTER();
                             }};
  m["CLOSE_CONNECTION"] = {{}, T::Int, [](TKELMORA& o, std::vector<Value>&) -> std::optional<Value> {
                             return o.CLOSE_CONNECTION();
                           }};
  m["CUSTOM_CMD"] = {{{"CMD", T::Int}, {"INPUT_STR", T::String, true}, {"OUTPUT_STR", T::String, true}}, T::Bool,
                     [](TKELMORA& o, std::vector<Value>& a) -> std::optional<Value> {
                       return o.CUSTOM_CMD(AsInt(a[0]), AsString(a[1]), AsString(a[2]));
                     }};
  m["GET_BIT_STATE"] = {{{"BYTE_INDEX", T::Int}, {"BIT_INDEX", T::Int}}, T::Bool,
                        [](TKELMORA& o, std::vector<Value>& a) -> std::optional<Value> {
                          return o.GET_BIT_STATE(AsInt(a[0]), AsInt(a[1]));
                        }};
  m["INIT_MY_FP2"] = {{{"IP_ADDRESS", T::String}, {"PORT_NUMBER", T::String}}, T::Int,
                      [](TKELMORA& o, std::vector<Value>& a) -> std::optional<Value> {
                        return o.INIT_MY_FP2(AsString(a[0]), AsString(a[1]));
                      }};
  m["GetLastErrorCode"] = {{}, T::Int, [](TKELMORA& o, std::vector<Value>&) -> std::optional<Value> {
                             return o.GetLastErrorCode();
                           }};
  m["GetLastErrorMessage"] = {{}, T::String, [](TKELMORA& o, std::vector<Value>&) -> std::optional<Value> {
                                return o.GetLastErrorMessage();
                              }};
  m["getStatusDescription"] = {{{"byteIndex", T::Int}, {"bitIndex", T::Int}}, T::String,
                               [](TKELMORA& o, std::vector<Value>& a) -> std::optional<Value> {
                                 return o.getStatusDescription(AsInt(a[0]), AsInt(a[1]));
                               }};
  m["getBitState"] = {{{"byteIndex", T::Int}, {"bitIndex", T::Int}}, T::Bool,
                      [](TKELMORA& o, std::vector<Value>& a) -> std::optional<Value> {
                        return o.getBitState(AsInt(a[0]), AsInt(a[1]));
                      }};
  m["initFiscalPrinter"] = {{{"targetComPort", T::Int}, {"targetBaudrate", T::Int}, {"setDTRToValue", T::Bool},
                             {"setRTSToValue", T::Bool}},
                            T::Int, [](TKELMORA& o, std::vector<Value>& a) -> std::optional<Value> {
                              return o.initFiscalPrinter(AsInt(a[0]), AsInt(a[1]), AsBool(a[2]), AsBool(a[3]));
                            }};
  m["setHeader"] = {{{"headerLine1", T::String}, {"headerLine2", T::String}, {"headerLine3", T::String},
                     {"headerLine4", T::String}, {"headerLine5", T::String}, {"headerLine6", T::String}},
                    T::Int, [](TKELMORA& o, std::vector<Value>& a) -> std::optional<Value> {
                      return o.setHeader(AsString(a[0]), AsString(a[1]), AsString(a[2]), AsString(a[3]),
                                         AsString(a[4]), AsString(a[5]));
                    }};
  m["setFooter"] = {{{"footerLine1", T::String}, {"footerLine2", T::String}}, T::Int,
                    [](TKELMORA& o, std::vector<Value>& a) -> std::optional<Value> {
                      return o.setFooter(AsString(a[0]), AsString(a[1]));
                    }};
  m["showLogoForm"] = {{{"stayOnTop", T::Bool}}, std::nullopt,
                       [](TKELMORA& o, std::vector<Value>& a) -> std::optional<Value> {
                         o.showLogoForm(AsBool(a[0]));
                         return std::nullopt;
                       }};
  m["getLogoFromPrinter"] = {{{"targetFileName", T::String}}, T::Int,
                             [](TKELMORA& o, std::vector<Value>& a) -> std::optional<Value> {
                               return o.getLogoFromPrinter(AsString(a[0]));
                             }};
  m["saveLogoToPrinter"] = {{{"targetFileName", T::String}}, T::Int,
                            [](TKELMORA& o, std::vector<Value>& a) -> std::optional<Value> {
                              return o.saveLogoToPrinter(AsString(a[0]));
                            }};
  m["initFiscalPrinterDevice"] = {{{"devicePath", T::String}, {"targetBaudrate", T::Int}, {"setDTRToValue", T::Bool},
                                   {"setRTSToValue", T::Bool}},
                                  T::Int, [](TKELMORA& o, std::vector<Value>& a) -> std::optional<Value> {
                                    return o.initFiscalPrinterDevice(AsString(a[0]), AsInt(a[1]), AsBool(a[2]),
                                                                     AsBool(a[3]));
                                  }};
  m["GetLastErrorDetail"] = {{}, T::String, [](TKELMORA& o, std::vector<Value>&) -> std::optional<Value> {
                               return o.GetLastErrorDetail();
                             }};
  m["printReceipt"] = {{{"document", T::String}, {"answer", T::String, true}}, T::Int,
                       [](TKELMORA& o, std::vector<Value>& a) -> std::optional<Value> {
                         WideString answer;
                         const std::int32_t r = o.printReceipt(AsString(a[0]), answer);
                         a[1] = answer;
                         return r;
                       }};
  m["getReceipt"] = {{{"key", T::String}, {"answer", T::String, true}}, T::Int,
                     [](TKELMORA& o, std::vector<Value>& a) -> std::optional<Value> {
                       WideString answer;
                       const std::int32_t r = o.getReceipt(AsString(a[0]), answer);
                       a[1] = answer;
                       return r;
                     }};
  return m;
}

// A printer command: its value parameters are in strings, its answer
// parameters in-out strings, its result the command's code.
Shape CommandShape(const std::string& rowName, const std::vector<std::string>& renamed = {}) {
  const cmd::Command* command = cmd::FindCommand(rowName);
  if (command == nullptr) throw Exception("The interface names a command without a row: " + rowName);
  Shape s;
  std::size_t i = 0;
  auto nameOf = [&](const char* own) { return i < renamed.size() ? renamed[i] : std::string(own); };
  for (const auto& p : command->row->in) {
    s.args.push_back({nameOf(p.name), ArgType::String, false});
    ++i;
  }
  for (const auto& p : command->row->out) {
    s.args.push_back({nameOf(p.name), ArgType::String, true});
    ++i;
  }
  const std::size_t inCount = command->row->in.size();
  s.result = ArgType::Int;
  s.call = [rowName, inCount](TKELMORA& o, std::vector<Value>& a) -> std::optional<Value> {
    WideStrings in, out;
    for (std::size_t k = 0; k < a.size(); ++k) (k < inCount ? in : out).push_back(AsString(a[k]));
    const std::int32_t result = o.CommandMethod(rowName, in, out);
    for (std::size_t k = 0; k < out.size(); ++k) a[inCount + k] = out[k];
    return result;
  };
  return s;
}

std::vector<InterfaceEntry> Build() {
  const auto own = OwnMethods();
  std::vector<InterfaceEntry> entries;
  auto add = [&](const std::string& name, std::int32_t dispId, EntryKind kind, Shape shape) {
    entries.push_back({name, dispId, kind, std::move(shape.args), shape.result, std::move(shape.call)});
  };
  for (const Slot& slot : kSlots) {
    const std::string name = slot.name;
    if (slot.kind == EntryKind::PropertyRead) {
      const bool isMode = name == "debugMode";
      add(name, slot.dispId, slot.kind,
          {{}, isMode ? ArgType::Bool : ArgType::String,
           [isMode](TKELMORA& o, std::vector<Value>&) -> std::optional<Value> {
             if (isMode) return o.debugMode();
             return o.debugFolder();
           }});
    } else if (slot.kind == EntryKind::PropertyWrite) {
      const bool isMode = name == "debugMode";
      add(name, slot.dispId, slot.kind,
          {{{"value", isMode ? ArgType::Bool : ArgType::String}},
           std::nullopt,
           [isMode](TKELMORA& o, std::vector<Value>& a) -> std::optional<Value> {
             if (isMode) o.set_debugMode(AsBool(a[0]));
             else o.set_debugFolder(AsString(a[0]));
             return std::nullopt;
           }});
    } else if (auto it = own.find(name); it != own.end()) {
      add(name, slot.dispId, slot.kind, it->second);
    } else if (name == "CMD_121_0") {
      // Reaches the command of CMD_121_0_0 under the interface's own names.
      add(name, slot.dispId, slot.kind, CommandShape("CMD_121_0_0", {"TRGT_ADDR", "BlockLength", "AnswerData"}));
    } else {
      add(name, slot.dispId, slot.kind, CommandShape(name));
    }
  }
  // The answers that the type library declares as inputs.
  for (auto& e : entries) {
    for (auto& a : e.args) {
      if (!a.inOut) continue;
      if (e.name == "CMD_112_0" || (e.name == "CMD_120_19" && (a.name == "FP_ANSWER" || a.name == "ANSWER_TEXT")))
        a.declaredAsInput = true;
    }
  }
  // Linux has device paths where the interface has port numbers.
  add("initFiscalPrinterDevice", 372, EntryKind::Method, own.at("initFiscalPrinterDevice"));
  // Extensions: whole receipts, printed exactly once (a JSON document in, a
  // JSON answer out).
  add("printReceipt", 373, EntryKind::Method, own.at("printReceipt"));
  add("getReceipt", 374, EntryKind::Method, own.at("getReceipt"));
  add("GetLastErrorDetail", 376, EntryKind::Method, own.at("GetLastErrorDetail"));
  // Extension: the printer's code page (1252 or 1251).
  add("codePage", 375, EntryKind::PropertyRead,
      {{}, ArgType::Int, [](TKELMORA& o, std::vector<Value>&) -> std::optional<Value> { return o.codePage(); }});
  add("codePage", 375, EntryKind::PropertyWrite,
      {{{"value", ArgType::Int}}, std::nullopt, [](TKELMORA& o, std::vector<Value>& a) -> std::optional<Value> {
         o.set_codePage(AsInt(a[0]));
         return std::nullopt;
       }});
  // Extension: print "?" for what the code page cannot print instead of
  // refusing the text.
  add("replaceUnmappable", 377, EntryKind::PropertyRead,
      {{}, ArgType::Bool, [](TKELMORA& o, std::vector<Value>&) -> std::optional<Value> {
         return o.replaceUnmappable();
       }});
  add("replaceUnmappable", 377, EntryKind::PropertyWrite,
      {{{"value", ArgType::Bool}}, std::nullopt, [](TKELMORA& o, std::vector<Value>& a) -> std::optional<Value> {
         o.set_replaceUnmappable(AsBool(a[0]));
         return std::nullopt;
       }});
  return entries;
}

}  // namespace

const std::vector<InterfaceEntry>& InterfaceEntries() {
  static const std::vector<InterfaceEntry> entries = Build();
  return entries;
}

const InterfaceEntry* FindEntry(std::string_view name) {
  for (const auto& e : InterfaceEntries())
    if (e.name == name && e.kind != EntryKind::PropertyWrite) return &e;
  return nullptr;
}

const InterfaceEntry* FindEntry(std::int32_t dispId, EntryKind kind) {
  for (const auto& e : InterfaceEntries())
    if (e.dispId == dispId && e.kind == kind) return &e;
  return nullptr;
}

}  // namespace orbantis::automation
