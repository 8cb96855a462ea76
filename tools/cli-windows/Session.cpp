#include "Session.h"

#include <cstdio>

#include "ORBANTIS.h"
#include "Text.h"
#include "uErrLog/uErrLog.h"

namespace orbantis::cli {
namespace {

BSTR ToBstr(const std::string& utf8) {
  const std::wstring w = Utf16(utf8);
  return ::SysAllocStringLen(w.data(), static_cast<UINT>(w.size()));
}

std::string FromBstr(BSTR b) { return b == nullptr ? std::string() : Utf8(b, ::SysStringLen(b)); }

// The value of a result variant, as the method declares it.
Value ReadResult(VARIANT& v, ArgType type) {
  Value out;
  out.type = type;
  const VARTYPE want = type == ArgType::Int ? VT_I4 : type == ArgType::Bool ? VT_BOOL : VT_BSTR;
  if (v.vt != want) ::VariantChangeType(&v, &v, 0, want);
  if (v.vt != want) return out;
  switch (type) {
    case ArgType::Int: out.number = v.lVal; break;
    case ArgType::Bool: out.flag = v.boolVal != VARIANT_FALSE; break;
    case ArgType::String: out.text = FromBstr(v.bstrVal); break;
  }
  return out;
}

// Names of the codes this program explains, for systems whose message
// tables lack them (Wine has few of COM's).
const char* OwnName(HRESULT hr) {
  switch (hr) {
    case REGDB_E_CLASSNOTREG: return "Class not registered";
    case CO_E_SERVER_EXEC_FAILURE: return "Server execution failed";
    case CO_E_OBJNOTCONNECTED: return "Object is not connected to server";
    case RPC_E_DISCONNECTED: return "The object invoked has disconnected from its clients";
    case RPC_E_SERVER_DIED:
    case RPC_E_SERVER_DIED_DNE: return "The server died";
    case HRESULT_FROM_WIN32(RPC_S_SERVER_UNAVAILABLE): return "The RPC server is unavailable";
    case HRESULT_FROM_WIN32(RPC_S_CALL_FAILED):
    case HRESULT_FROM_WIN32(RPC_S_CALL_FAILED_DNE): return "The remote procedure call failed";
    case DISP_E_UNKNOWNNAME: return "Unknown name";
    case DISP_E_MEMBERNOTFOUND: return "Member not found";
    case DISP_E_BADPARAMCOUNT: return "Invalid number of parameters";
    case DISP_E_TYPEMISMATCH: return "Type mismatch";
    case E_NOINTERFACE: return "No such interface supported";
    case E_ACCESSDENIED: return "Access is denied";
    default: return nullptr;
  }
}

// The command line registered for the class's local server; empty when
// there is none.
std::string RegisteredServer() {
  wchar_t clsid[64] = {};
  ::StringFromGUID2(CLSID_KELMORA, clsid, 64);
  const std::wstring key = std::wstring(L"CLSID\\") + clsid + L"\\LocalServer32";
  wchar_t value[1024] = {};
  DWORD size = sizeof value;
  if (::RegGetValueW(HKEY_CLASSES_ROOT, key.c_str(), nullptr, RRF_RT_REG_SZ, nullptr, value, &size) != ERROR_SUCCESS)
    return {};
  return Utf8(value);
}

}  // namespace

std::string Describe(HRESULT hr) {
  char code[16];
  std::snprintf(code, sizeof code, "0x%08lX", static_cast<unsigned long>(hr));
  wchar_t* buffer = nullptr;
  const DWORD n = ::FormatMessageW(
      FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr,
      static_cast<DWORD>(hr), 0, reinterpret_cast<wchar_t*>(&buffer), 0, nullptr);
  std::wstring words = n > 0 && buffer != nullptr ? std::wstring(buffer, n) : std::wstring();
  if (buffer != nullptr) ::LocalFree(buffer);
  while (!words.empty() && (words.back() == L'\n' || words.back() == L'\r' || words.back() == L'.' ||
                            words.back() == L' '))
    words.pop_back();
  if (!words.empty()) return Utf8(words) + " (" + code + ")";
  if (const char* name = OwnName(hr)) return std::string(name) + " (" + code + ")";
  return std::string("error ") + code;
}

Session::Session() : FWatchdog([this] { watch(); }) {}

Session::~Session() {
  Release();
  {
    std::lock_guard<std::mutex> guard(FLock);
    FStopping = true;
  }
  FChanged.notify_all();
  FWatchdog.join();
}

void Session::watch() {
  std::unique_lock<std::mutex> guard(FLock);
  while (!FStopping) {
    if (!FArmed) {
      FChanged.wait(guard);
      continue;
    }
    if (FChanged.wait_until(guard, FDeadline) != std::cv_status::timeout || !FArmed) continue;
    if (std::chrono::steady_clock::now() < FDeadline) continue;
    const std::string name = FCalling;
    guard.unlock();
    if (OnNoAnswer) OnNoAnswer(name);
    RestoreConsole();
    // The main thread is inside COM waiting for the answer: end here. The
    // server releases the object once it finds the client gone.
    ::ExitProcess(2);
  }
}

void Session::arm(const std::string& name) {
  {
    std::lock_guard<std::mutex> guard(FLock);
    FArmed = true;
    FCalling = name;
    FDeadline = std::chrono::steady_clock::now() + std::chrono::seconds(kCallTimeoutSeconds);
  }
  FChanged.notify_all();
}

void Session::disarm() {
  {
    std::lock_guard<std::mutex> guard(FLock);
    FArmed = false;
  }
  FChanged.notify_all();
}

HRESULT Session::Create() {
  arm("creating the ORBANTIS.KELMORA object");
  const HRESULT hr = ::CoCreateInstance(CLSID_KELMORA, nullptr, CLSCTX_LOCAL_SERVER, IID_IDispatch,
                                        reinterpret_cast<void**>(&FObject));
  disarm();
  if (FAILED(hr)) FObject = nullptr;
  return hr;
}

HRESULT Session::DispIdOf(const std::string& name, DISPID* id) {
  std::wstring wide = Utf16(name);
  LPOLESTR names[] = {wide.data()};
  arm(name);
  const HRESULT hr = FObject->GetIDsOfNames(IID_NULL, names, 1, LOCALE_USER_DEFAULT, id);
  disarm();
  return hr;
}

HRESULT Session::Advise(IDispatch* sink) {
  IConnectionPointContainer* container = nullptr;
  arm("Advise");
  HRESULT hr = FObject->QueryInterface(IID_IConnectionPointContainer, reinterpret_cast<void**>(&container));
  if (SUCCEEDED(hr)) {
    hr = container->FindConnectionPoint(DIID_IKELMORAEvents, &FPoint);
    container->Release();
  }
  if (SUCCEEDED(hr)) {
    hr = FPoint->Advise(sink, &FCookie);
    if (FAILED(hr)) {
      FPoint->Release();
      FPoint = nullptr;
      FCookie = 0;
    }
  }
  disarm();
  return hr;
}

HRESULT Session::SetProperty(const std::string& name, VARIANT value) {
  const automation::InterfaceEntry* e = automation::FindEntry(name);
  DISPID named = DISPID_PROPERTYPUT;
  DISPPARAMS params {&value, &named, 1, 1};
  EXCEPINFO exception {};
  arm("setting " + name);
  HRESULT hr = FObject->Invoke(e->dispId, IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_PROPERTYPUT, &params, nullptr,
                               &exception, nullptr);
  disarm();
  ::SysFreeString(exception.bstrSource);
  ::SysFreeString(exception.bstrDescription);
  ::SysFreeString(exception.bstrHelpFile);
  return hr;
}

CallOutcome Session::Call(const Method& method, std::vector<Value>& args) {
  const std::size_t count = args.size();
  // COM passes the arguments last first.
  std::vector<VARIANT> variants(count);
  std::vector<BSTR> texts(count, nullptr);
  std::vector<LONG> numbers(count, 0);
  std::vector<VARIANT_BOOL> flags(count, VARIANT_FALSE);
  for (std::size_t i = 0; i < count; ++i) {
    VARIANT& v = variants[count - 1 - i];
    ::VariantInit(&v);
    const Value& a = args[i];
    const bool byRef = i < method.params.size() && method.params[i].inOut;
    switch (a.type) {
      case ArgType::String:
        texts[i] = ToBstr(a.text);
        v.vt = byRef ? VT_BYREF | VT_BSTR : VT_BSTR;
        if (byRef) v.pbstrVal = &texts[i];
        else v.bstrVal = texts[i];
        break;
      case ArgType::Int:
        numbers[i] = a.number;
        v.vt = byRef ? VT_BYREF | VT_I4 : VT_I4;
        if (byRef) v.plVal = &numbers[i];
        else v.lVal = numbers[i];
        break;
      case ArgType::Bool:
        flags[i] = a.flag ? VARIANT_TRUE : VARIANT_FALSE;
        v.vt = byRef ? VT_BYREF | VT_BOOL : VT_BOOL;
        if (byRef) v.pboolVal = &flags[i];
        else v.boolVal = flags[i];
        break;
    }
  }
  DISPPARAMS params {variants.data(), nullptr, static_cast<UINT>(count), 0};
  VARIANT result;
  ::VariantInit(&result);
  EXCEPINFO exception {};
  UINT badArgument = 0;
  arm(method.name);
  CallOutcome outcome;
  outcome.hr = FObject->Invoke(method.dispId, IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_METHOD, &params, &result,
                               &exception, &badArgument);
  disarm();

  if (SUCCEEDED(outcome.hr)) {
    for (std::size_t i = 0; i < count; ++i) {
      if (i >= method.params.size() || !method.params[i].inOut) continue;
      switch (args[i].type) {
        case ArgType::String: args[i].text = FromBstr(texts[i]); break;
        case ArgType::Int: args[i].number = numbers[i]; break;
        case ArgType::Bool: args[i].flag = flags[i] != VARIANT_FALSE; break;
      }
    }
    if (method.result) outcome.result = ReadResult(result, *method.result);
  } else if (outcome.hr == DISP_E_EXCEPTION) {
    if (exception.pfnDeferredFillIn != nullptr) exception.pfnDeferredFillIn(&exception);
    outcome.fault = FromBstr(exception.bstrDescription);
    if (outcome.fault.empty()) outcome.fault = Describe(exception.scode != 0 ? exception.scode : outcome.hr);
  } else {
    // A fault can also come back as the method's own failure code with the
    // object's error information beside it, rather than as an exception.
    IErrorInfo* info = nullptr;
    if (::GetErrorInfo(0, &info) == S_OK && info != nullptr) {
      BSTR source = nullptr;
      BSTR description = nullptr;
      info->GetSource(&source);
      info->GetDescription(&description);
      if (FromBstr(source) == "ORBANTIS.KELMORA" && ::SysStringLen(description) > 0) {
        outcome.hr = DISP_E_EXCEPTION;
        outcome.fault = FromBstr(description);
      }
      ::SysFreeString(source);
      ::SysFreeString(description);
      info->Release();
    }
  }
  // In-out strings may have been replaced by the answer: the one in texts
  // is ours either way.
  for (std::size_t i = 0; i < count; ++i) ::SysFreeString(texts[i]);
  ::VariantClear(&result);
  ::SysFreeString(exception.bstrSource);
  ::SysFreeString(exception.bstrDescription);
  ::SysFreeString(exception.bstrHelpFile);
  return outcome;
}

CallOutcome Session::Call(const std::string& name, std::vector<Value> args) {
  const Method* m = FindMethod(name);
  CallOutcome outcome;
  outcome.hr = DISP_E_UNKNOWNNAME;
  if (m == nullptr) return outcome;
  // Left-out in-out parameters start empty, as on the command line.
  for (std::size_t i = args.size(); i < m->params.size(); ++i) {
    Value empty;
    empty.type = m->params[i].type;
    args.push_back(empty);
  }
  outcome = Call(*m, args);
  outcome.values = std::move(args);
  return outcome;
}

void Session::Release() {
  if (FPoint != nullptr) {
    FPoint->Unadvise(FCookie);
    FPoint->Release();
    FPoint = nullptr;
  }
  if (FObject != nullptr) {
    FObject->Release();
    FObject = nullptr;
  }
}

std::string RegisterAdvice() {
  return "Register the server once: the installer does, or run `orbantis.exe /RegServer` as an administrator\n"
         "(for all users) or `orbantis.exe /RegServerPerUser` (for you). COM then starts it when it is needed.";
}

std::string Explain(HRESULT hr, const std::string& what) {
  std::string text = "orbantis-cli: " + what + " failed: " + Describe(hr);
  switch (hr) {
    case REGDB_E_CLASSNOTREG:
    case CO_E_CLASSSTRING:
    case REGDB_E_READREGDB:
    case CO_E_SERVER_EXEC_FAILURE:
    case CO_E_APPNOTFOUND:
    case HRESULT_FROM_WIN32(ERROR_FILE_NOT_FOUND):
    case HRESULT_FROM_WIN32(ERROR_PATH_NOT_FOUND):
    case HRESULT_FROM_WIN32(ERROR_BAD_EXE_FORMAT): {
      // Wine says "not registered" also for a registered program that is
      // gone: the registration tells the two apart.
      const std::string server = RegisteredServer();
      if (server.empty())
        text += "\nThe ORBANTIS server (class ORBANTIS.KELMORA) is not registered on this machine.\n" +
                RegisterAdvice();
      else
        text += "\nCOM could not start the ORBANTIS server registered as " + server +
                ". If that program was moved or removed, register it again from where it is now "
                "(`orbantis.exe /RegServer`), or run the installer again.";
      break;
    }
    case E_NOINTERFACE:
    case TYPE_E_LIBNOTREGISTERED:
    case REGDB_E_IIDNOTREG:
      text += "\nThe server started, but its interface cannot be reached from here: its type library may not be "
              "registered. Register the server again (`orbantis.exe /RegServer`).";
      break;
    case RPC_E_DISCONNECTED:
    case RPC_E_SERVER_DIED:
    case RPC_E_SERVER_DIED_DNE:
    case CO_E_OBJNOTCONNECTED:
    case HRESULT_FROM_WIN32(RPC_S_SERVER_UNAVAILABLE):
    case HRESULT_FROM_WIN32(RPC_S_CALL_FAILED):
    case HRESULT_FROM_WIN32(RPC_S_CALL_FAILED_DNE):
      text = "orbantis-cli: " + what + " failed: the server went away (it ended or crashed) during the call.\n" +
             "Its log is " + ServerLogFolder() + "orbantis_log.txt; COM starts it again on the next run.";
      break;
    case DISP_E_MEMBERNOTFOUND:
    case DISP_E_UNKNOWNNAME:
    case DISP_E_BADPARAMCOUNT:
    case DISP_E_TYPEMISMATCH:
    case DISP_E_PARAMNOTFOUND:
    case DISP_E_PARAMNOTOPTIONAL:
    case DISP_E_BADVARTYPE:
      text += "\nThe server does not take this call as orbantis-cli made it: orbantis-cli and the server may be "
              "from different versions. Install both from the same build.";
      break;
    case E_ACCESSDENIED:
    case CO_E_RUNAS_LOGON_FAILURE:
      text += "\nCOM refused: the server may be running as another user (for example elevated, as an "
              "administrator). Run orbantis-cli and the server as the same user.";
      break;
    default:
      break;
  }
  return text;
}

std::string ExplainNoAnswer(const std::string& what) {
  return "orbantis-cli: " + what + " failed: no answer within " + std::to_string(kCallTimeoutSeconds) +
         " s.\nThe server may be stuck on the printer: check the cable, the port or address, and the log " +
         ServerLogFolder() + "orbantis_LOG.txt.";
}

}  // namespace orbantis::cli
