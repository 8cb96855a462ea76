#include "uORBANTIS/InterfaceIdl.h"

#include <sstream>

#include "uORBANTIS/InterfaceTable.h"
#include "uORBANTIS/MethodDocs.h"

namespace orbantis::automation {
namespace {

const char* IdlType(ArgType t) {
  switch (t) {
    case ArgType::Int: return "long";
    case ArgType::Bool: return "VARIANT_BOOL";
    case ArgType::String: return "BSTR";
  }
  return "?";
}

const char* CppType(ArgType t) {
  switch (t) {
    case ArgType::Int: return "LONG";
    case ArgType::Bool: return "VARIANT_BOOL";
    case ArgType::String: return "BSTR";
  }
  return "?";
}

const char* ArgKind(ArgType t) {
  switch (t) {
    case ArgType::Int: return "ComArg::Int";
    case ArgType::Bool: return "ComArg::Bool";
    case ArgType::String: return "ComArg::String";
  }
  return "?";
}

// The return parameter's name; no method has a parameter of that name.
constexpr const char* kResult = "Result";

// A text as an IDL string literal's contents.
std::string IdlString(const std::string& text) {
  std::string out;
  for (const char ch : text) {
    if (ch == '"' || ch == '\\') out += '\\';
    out += ch == '\n' || ch == '\r' || ch == '\t' ? ' ' : ch;
  }
  return out;
}

std::string CppName(const InterfaceEntry& e) {
  if (e.kind == EntryKind::PropertyRead) return "get_" + e.name;
  if (e.kind == EntryKind::PropertyWrite) return "put_" + e.name;
  return e.name;
}

}  // namespace

std::string InterfaceIdl() {
  std::ostringstream o;
  o << "// Generated from the interface table by orbantis_interface_idl. Do not edit.\n"
       "import \"oaidl.idl\";\n"
       "import \"ocidl.idl\";\n\n"
       "[\n  uuid("
    << TYPELIB_UUID
    << "),\n  version(1.0),\n  lcid(1033),\n  helpstring(\"ORBANTIS Library\")\n]\n"
       "library ORBANTIS\n{\n  importlib(\"stdole2.tlb\");\n\n"
       "  interface IKELMORA;\n  dispinterface IKELMORAEvents;\n\n"
       "  [\n    object,\n    uuid("
    << IKELMORA_UUID
    << "),\n    dual,\n    oleautomation,\n    helpstring(\"Dispatch interface for KELMORA Object\")\n  ]\n"
       "  interface IKELMORA : IDispatch\n  {\n";
  for (const auto& e : InterfaceEntries()) {
    o << "    [id(" << e.dispId << ")";
    if (e.kind == EntryKind::PropertyRead) o << ", propget";
    if (e.kind == EntryKind::PropertyWrite) o << ", propput";
    // The same description as the method reference and the D-Bus XML, for
    // the object browsers of VB6, VBA and Delphi.
    if (const std::string help = MethodSummary(e); !help.empty()) o << ", helpstring(\"" << IdlString(help) << "\")";
    o << "] HRESULT " << e.name << "(";
    bool first = true;
    for (const auto& a : e.args) {
      if (!first) o << ", ";
      first = false;
      if (a.inOut)
        o << (a.declaredAsInput ? "[in] " : "[in, out] ") << IdlType(a.type) << "* " << a.name;
      else
        o << "[in] " << IdlType(a.type) << " " << a.name;
    }
    if (e.result) {
      if (!first) o << ", ";
      o << "[out, retval] " << IdlType(*e.result) << "* " << (e.kind == EntryKind::PropertyRead ? "Value" : kResult);
    }
    o << ");\n";
  }
  o << "  };\n\n"
       "  [\n    uuid("
    << IKELMORAEVENTS_UUID
    << "),\n    helpstring(\"Events interface for KELMORA Object\")\n  ]\n"
       "  dispinterface IKELMORAEvents\n  {\n    properties:\n    methods:\n"
       "      [id(201)] void ON_ERROR([in] long LastErrorCode, [in] BSTR LastErrorMessage);\n"
       "      [id(202)] void OnProgress([in] long currentValue, [in] BSTR progressMessage);\n"
       "      [id(203)] void OnStartProgress();\n"
       "      [id(204)] void OnEndProgress();\n"
       "  };\n\n"
       "  [\n    uuid("
    << KELMORA_UUID
    << "),\n    helpstring(\"KELMORA Object\")\n  ]\n"
       "  coclass KELMORA\n  {\n    [default] interface IKELMORA;\n    [default, source] dispinterface "
       "IKELMORAEvents;\n  };\n};\n";
  return o.str();
}

std::string InterfaceVtableCpp() {
  std::ostringstream o;
  o << "// Generated from the interface table by orbantis_interface_idl. Do not edit.\n"
       "// The methods of IKELMORA's table, inside class KelmoraObject.\n";
  const auto& entries = InterfaceEntries();
  for (std::size_t i = 0; i < entries.size(); ++i) {
    const auto& e = entries[i];
    o << "HRESULT STDMETHODCALLTYPE " << CppName(e) << "(";
    bool first = true;
    for (const auto& a : e.args) {
      if (!first) o << ", ";
      first = false;
      o << CppType(a.type) << (a.inOut ? "* " : " ") << a.name;
    }
    if (e.result) {
      if (!first) o << ", ";
      o << CppType(*e.result) << "* " << kResult;
    }
    o << ") override {\n  ComArg args[] = {";
    first = true;
    for (const auto& a : e.args) {
      if (!first) o << ", ";
      first = false;
      o << "{" << ArgKind(a.type) << ", " << (a.inOut ? "" : "&") << a.name << ", " << (a.inOut ? "true" : "false")
        << "}";
    }
    if (e.args.empty()) o << "{}";
    const char* kind = e.kind == EntryKind::Method         ? "Method"
                       : e.kind == EntryKind::PropertyRead ? "PropertyRead"
                                                           : "PropertyWrite";
    o << "};\n  static const automation::InterfaceEntry* const entry = automation::FindEntry(" << e.dispId
      << ", automation::EntryKind::" << kind << ");\n  return Call(entry, args, " << e.args.size() << ", ";
    if (e.result)
      o << "ComArg{" << ArgKind(*e.result) << ", " << kResult << ", true}";
    else
      o << "ComArg{}";
    o << ");\n}\n";
  }
  return o.str();
}

}  // namespace orbantis::automation
