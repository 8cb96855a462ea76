#include "EventSink.h"

#include <algorithm>

#include "ORBANTIS.h"
#include "Text.h"

namespace orbantis::cli {
namespace {

// Argument k (first = 0) of an event: COM passes them last first, and a
// client is free to send a number or a text in another variant type.
bool ArgumentOf(const DISPPARAMS* params, UINT k, VARTYPE type, VARIANT* out) {
  ::VariantInit(out);
  if (params == nullptr || k >= params->cArgs) return false;
  return SUCCEEDED(::VariantChangeType(out, &params->rgvarg[params->cArgs - 1 - k], 0, type));
}

std::string CodePoints(const std::string& utf8, std::size_t most) {
  std::size_t at = 0;
  for (std::size_t n = 0; at < utf8.size() && n < most; ++n)
    do ++at;
    while (at < utf8.size() && (static_cast<unsigned char>(utf8[at]) & 0xC0) == 0x80);
  return utf8.substr(0, at);
}

}  // namespace

HRESULT EventSink::QueryInterface(REFIID riid, void** out) {
  if (out == nullptr) return E_POINTER;
  if (riid == IID_IUnknown || riid == IID_IDispatch || riid == DIID_IKELMORAEvents) {
    *out = static_cast<IDispatch*>(this);
    AddRef();
    return S_OK;
  }
  *out = nullptr;
  return E_NOINTERFACE;
}

ULONG EventSink::AddRef() { return static_cast<ULONG>(::InterlockedIncrement(&FRefs)); }
ULONG EventSink::Release() { return static_cast<ULONG>(::InterlockedDecrement(&FRefs)); }

HRESULT EventSink::GetTypeInfoCount(UINT* count) {
  if (count == nullptr) return E_POINTER;
  *count = 0;
  return S_OK;
}

HRESULT EventSink::GetTypeInfo(UINT, LCID, ITypeInfo** info) {
  if (info != nullptr) *info = nullptr;
  return E_NOTIMPL;
}

// The server calls by identifier only.
HRESULT EventSink::GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*) { return DISP_E_UNKNOWNNAME; }

HRESULT EventSink::Invoke(DISPID id, REFIID, LCID, WORD, DISPPARAMS* params, VARIANT* result, EXCEPINFO*, UINT*) {
  if (result != nullptr) ::VariantInit(result);
  switch (id) {
    case 201:
    case 202: {
      VARIANT number, text;
      if (!ArgumentOf(params, 0, VT_I4, &number) || !ArgumentOf(params, 1, VT_BSTR, &text)) {
        ::VariantClear(&number);
        return DISP_E_TYPEMISMATCH;
      }
      const std::string message = text.bstrVal == nullptr ? std::string()
                                                          : Utf8(text.bstrVal, ::SysStringLen(text.bstrVal));
      if (id == 201) OnError(number.lVal, message);
      else OnProgress(number.lVal, message);
      ::VariantClear(&text);
      return S_OK;
    }
    case 203: OnStartProgress(); return S_OK;
    case 204: OnEndProgress(); return S_OK;
    default: return DISP_E_MEMBERNOTFOUND;
  }
}

void EventSink::OnError(int code, const std::string& message) {
  Out("event ON_ERROR " + std::to_string(code) + " " + Quoted(message));
}

void EventSink::OnProgress(int value, const std::string& message) {
  // A logo transfer reports every one of its 98 rows: one line for all of
  // them, and in a console a bar that moves.
  ++FSteps;
  FLastValue = value;
  FLastMessage = message;
  if (OutputIsConsole()) {
    const int done = std::clamp(value, 0, 98) * 30 / 98;
    std::string number = std::to_string(value);
    if (number.size() < 3) number.insert(0, 3 - number.size(), ' ');
    OutPart("\r  [" + std::string(static_cast<std::size_t>(done), '#') +
            std::string(static_cast<std::size_t>(30 - done), '.') + "] " + number + " " +
            CodePoints(Shown(message), 30));
    FBarShown = true;
  }
}

void EventSink::OnStartProgress() {
  FSteps = 0;
  Out("event OnStartProgress");
}

void EventSink::OnEndProgress() {
  if (FBarShown) OutPart("\r\n");
  FBarShown = false;
  if (FSteps > 0)
    Out("event OnProgress: " + std::to_string(FSteps) + " steps, the last " + std::to_string(FLastValue) + " " +
        Quoted(FLastMessage));
  FSteps = 0;
  Out("event OnEndProgress");
}

}  // namespace orbantis::cli
