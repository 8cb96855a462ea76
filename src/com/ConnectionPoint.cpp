#include "com/ConnectionPoint.h"

#include <olectl.h>

#include "ORBANTIS.h"
#include "foundation/Strings.h"

#include <cstdio>

namespace orbantis::com {
namespace {

// The client's sink as the object sees it: each event a dispatch call on
// the sink, arguments in reverse order as COM passes them. A failing sink
// raises; the object decides whether that matters (ON_ERROR does not).
//
// The sink's proxy belongs to the multithreaded apartment it was advised
// in, where every thread that fires lives: the calls' threads of COM's pool
// and the logo form's transfer thread. (Wine's global interface table hands
// out a proxy that works for one call only, so the proxy is kept as it is.)
class DispatchSink : public IKELMORAEvents {
 public:
  DispatchSink(IDispatch* sink, ObjectGate& gate) : FSink(sink), FGate(gate) { FSink->AddRef(); }
  ~DispatchSink() override { FSink->Release(); }
  DispatchSink(const DispatchSink&) = delete;
  DispatchSink& operator=(const DispatchSink&) = delete;

  void ON_ERROR(std::int32_t code, const WideString& message) override { fireWith(201, code, message); }
  void OnProgress(std::int32_t value, const WideString& message) override { fireWith(202, value, message); }
  void OnStartProgress() override { fire(203, nullptr, 0); }
  void OnEndProgress() override { fire(204, nullptr, 0); }

 private:
  void fireWith(DISPID id, std::int32_t number, const WideString& text) {
    VARIANT args[2];
    ::VariantInit(&args[0]);
    ::VariantInit(&args[1]);
    args[1].vt = VT_I4;
    args[1].lVal = number;
    args[0].vt = VT_BSTR;
    args[0].bstrVal =
        ::SysAllocStringLen(reinterpret_cast<const OLECHAR*>(text.data()), static_cast<UINT>(text.size()));
    try {
      fire(id, args, 2);
    } catch (...) {
      ::VariantClear(&args[0]);
      throw;
    }
    ::VariantClear(&args[0]);
  }

  void fire(DISPID id, VARIANT* args, UINT count) {
    DISPPARAMS params {args, nullptr, count, 0};
    HRESULT hr;
    {
      GateOpenedForEvent open(FGate);
      hr = FSink->Invoke(id, IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_METHOD, &params, nullptr, nullptr, nullptr);
    }
    if (FAILED(hr)) {
      char code[16];
      std::snprintf(code, sizeof code, "%08lX", static_cast<unsigned long>(hr));
      throw Exception("The event sink failed event " + std::to_string(id) + " (HRESULT 0x" + code + ").");
    }
  }

  IDispatch* FSink;
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
  if (FConnected) return CONNECT_E_ADVISELIMIT;
  // The sink must take the events as dispatch calls.
  IDispatch* dispatch = nullptr;
  if (FAILED(sink->QueryInterface(DIID_IKELMORAEvents, reinterpret_cast<void**>(&dispatch))) &&
      FAILED(sink->QueryInterface(IID_IDispatch, reinterpret_cast<void**>(&dispatch))))
    return CONNECT_E_CANNOTCONNECT;
  FObject.EventSinkChanged(std::make_shared<DispatchSink>(dispatch, FGate));
  dispatch->Release();
  FConnected = true;
  *cookie = 1;
  return S_OK;
}

HRESULT ConnectionPoint::Unadvise(DWORD cookie) {
  {
    std::lock_guard<std::mutex> guard(FLock);
    if (cookie != 1 || !FConnected) return CONNECT_E_NOCONNECTION;
    FConnected = false;
  }
  FObject.EventSinkChanged(nullptr);
  return S_OK;
}

// Clients find the point with FindConnectionPoint; none of them enumerates
// connections, which COM allows a point not to offer.
HRESULT ConnectionPoint::EnumConnections(IEnumConnections** out) {
  if (out != nullptr) *out = nullptr;
  return E_NOTIMPL;
}

void ConnectionPoint::Disconnect() {
  {
    std::lock_guard<std::mutex> guard(FLock);
    if (!FConnected) return;
    FConnected = false;
  }
  FObject.EventSinkChanged(nullptr);
}

}  // namespace orbantis::com
