#include "com/ConnectionPoint.h"

#include <olectl.h>

#include "ORBANTIS.h"
#include "foundation/Strings.h"

namespace orbantis::com {
namespace {

IGlobalInterfaceTable* Git() {
  IGlobalInterfaceTable* git = nullptr;
  ::CoCreateInstance(CLSID_StdGlobalInterfaceTable, nullptr, CLSCTX_INPROC_SERVER, IID_IGlobalInterfaceTable,
                     reinterpret_cast<void**>(&git));
  return git;
}

// The client's sink as the object sees it: each event a dispatch call on
// the sink, arguments in reverse order as COM passes them. A failing sink
// raises; the object decides whether that matters (ON_ERROR does not).
class DispatchSink : public IKELMORAEvents {
 public:
  DispatchSink(DWORD gitCookie, ObjectGate& gate) : FCookie(gitCookie), FGate(gate) {}

  void ON_ERROR(std::int32_t code, const WideString& message) override {
    VARIANT args[2];
    ::VariantInit(&args[0]);
    ::VariantInit(&args[1]);
    args[1].vt = VT_I4;
    args[1].lVal = code;
    args[0].vt = VT_BSTR;
    args[0].bstrVal = ::SysAllocStringLen(reinterpret_cast<const OLECHAR*>(message.data()),
                                          static_cast<UINT>(message.size()));
    fire(201, args, 2);
    ::VariantClear(&args[0]);
  }
  void OnProgress(std::int32_t value, const WideString& message) override {
    VARIANT args[2];
    ::VariantInit(&args[0]);
    ::VariantInit(&args[1]);
    args[1].vt = VT_I4;
    args[1].lVal = value;
    args[0].vt = VT_BSTR;
    args[0].bstrVal = ::SysAllocStringLen(reinterpret_cast<const OLECHAR*>(message.data()),
                                          static_cast<UINT>(message.size()));
    fire(202, args, 2);
    ::VariantClear(&args[0]);
  }
  void OnStartProgress() override { fire(203, nullptr, 0); }
  void OnEndProgress() override { fire(204, nullptr, 0); }

 private:
  void fire(DISPID id, VARIANT* args, UINT count) {
    IGlobalInterfaceTable* git = Git();
    if (git == nullptr) throw Exception("The event sink cannot be reached (no global interface table).");
    IDispatch* sink = nullptr;
    HRESULT hr = git->GetInterfaceFromGlobal(FCookie, IID_IDispatch, reinterpret_cast<void**>(&sink));
    git->Release();
    if (FAILED(hr) || sink == nullptr) throw Exception("The event sink is gone.");
    DISPPARAMS params {args, nullptr, count, 0};
    {
      GateOpenedForEvent open(FGate);
      hr = sink->Invoke(id, IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_METHOD, &params, nullptr, nullptr, nullptr);
    }
    sink->Release();
    if (FAILED(hr)) throw Exception("The event sink failed the event (HRESULT " + std::to_string(hr) + ").");
  }

  DWORD FCookie;
  ObjectGate& FGate;
};

}  // namespace

ConnectionPoint::ConnectionPoint(IConnectionPointContainer* container, TKELMORA& object, ObjectGate& gate)
    : FContainer(container), FObject(object), FGate(gate) {}

ConnectionPoint::~ConnectionPoint() { Disconnect(); }

HRESULT ConnectionPoint::QueryInterface(REFIID riid, void** out) {
  if (out == nullptr) return E_POINTER;
  if (riid == IID_IUnknown || riid == IID_IConnectionPoint) {
    *out = static_cast<IConnectionPoint*>(this);
    AddRef();
    return S_OK;
  }
  *out = nullptr;
  return E_NOINTERFACE;
}

ULONG ConnectionPoint::AddRef() { return FContainer->AddRef(); }
ULONG ConnectionPoint::Release() { return FContainer->Release(); }

HRESULT ConnectionPoint::GetConnectionInterface(IID* iid) {
  if (iid == nullptr) return E_POINTER;
  *iid = DIID_IKELMORAEvents;
  return S_OK;
}

HRESULT ConnectionPoint::GetConnectionPointContainer(IConnectionPointContainer** out) {
  if (out == nullptr) return E_POINTER;
  *out = FContainer;
  FContainer->AddRef();
  return S_OK;
}

HRESULT ConnectionPoint::Advise(IUnknown* sink, DWORD* cookie) {
  if (sink == nullptr || cookie == nullptr) return E_POINTER;
  *cookie = 0;
  std::lock_guard<std::mutex> guard(FLock);
  if (FGitCookie != 0) return CONNECT_E_ADVISELIMIT;
  // The sink must take the events as dispatch calls.
  IDispatch* dispatch = nullptr;
  if (FAILED(sink->QueryInterface(DIID_IKELMORAEvents, reinterpret_cast<void**>(&dispatch))) &&
      FAILED(sink->QueryInterface(IID_IDispatch, reinterpret_cast<void**>(&dispatch))))
    return CONNECT_E_CANNOTCONNECT;
  IGlobalInterfaceTable* git = Git();
  if (git == nullptr) {
    dispatch->Release();
    return E_UNEXPECTED;
  }
  DWORD gitCookie = 0;
  const HRESULT hr = git->RegisterInterfaceInGlobal(dispatch, IID_IDispatch, &gitCookie);
  git->Release();
  dispatch->Release();
  if (FAILED(hr)) return hr;
  FGitCookie = gitCookie;
  FObject.EventSinkChanged(std::make_shared<DispatchSink>(gitCookie, FGate));
  *cookie = 1;
  return S_OK;
}

HRESULT ConnectionPoint::Unadvise(DWORD cookie) {
  DWORD gitCookie = 0;
  {
    std::lock_guard<std::mutex> guard(FLock);
    if (cookie != 1 || FGitCookie == 0) return CONNECT_E_NOCONNECTION;
    gitCookie = FGitCookie;
    FGitCookie = 0;
  }
  FObject.EventSinkChanged(nullptr);
  if (IGlobalInterfaceTable* git = Git()) {
    git->RevokeInterfaceFromGlobal(gitCookie);
    git->Release();
  }
  return S_OK;
}

// Clients find the point with FindConnectionPoint; none of them enumerates
// connections, which COM allows a point not to offer.
HRESULT ConnectionPoint::EnumConnections(IEnumConnections** out) {
  if (out != nullptr) *out = nullptr;
  return E_NOTIMPL;
}

void ConnectionPoint::Disconnect() {
  DWORD cookie = 0;
  {
    std::lock_guard<std::mutex> guard(FLock);
    cookie = FGitCookie;
    FGitCookie = 0;
  }
  if (cookie == 0) return;
  FObject.EventSinkChanged(nullptr);
  if (IGlobalInterfaceTable* git = Git()) {
    git->RevokeInterfaceFromGlobal(cookie);
    git->Release();
  }
}

}  // namespace orbantis::com
