// The one connection point of an automation object (IKELMORAEvents) and the
// sink it hands to the object.
//
// A single sink, cookie 1; a second Advise gets CONNECT_E_ADVISELIMIT and
// the first sink keeps its events.
#pragma once

#include <memory>
#include <mutex>

#include "uORBANTIS/TKELMORA.h"

#include <ocidl.h>
#include <windows.h>

#include "com/ObjectGate.h"

namespace orbantis::com {

class ConnectionPoint : public IConnectionPoint {
 public:
  ConnectionPoint(IConnectionPointContainer* container, TKELMORA& object, ObjectGate& gate);
  ~ConnectionPoint();

  // IUnknown: lives inside the object; its references are the container's.
  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** out) override;
  ULONG STDMETHODCALLTYPE AddRef() override;
  ULONG STDMETHODCALLTYPE Release() override;

  HRESULT STDMETHODCALLTYPE GetConnectionInterface(IID* iid) override;
  HRESULT STDMETHODCALLTYPE GetConnectionPointContainer(IConnectionPointContainer** out) override;
  HRESULT STDMETHODCALLTYPE Advise(IUnknown* sink, DWORD* cookie) override;
  HRESULT STDMETHODCALLTYPE Unadvise(DWORD cookie) override;
  HRESULT STDMETHODCALLTYPE EnumConnections(IEnumConnections** out) override;

  // Drops the sink (the object is going away).
  void Disconnect();

 private:
  IConnectionPointContainer* FContainer;
  TKELMORA& FObject;
  ObjectGate& FGate;
  std::mutex FLock;
  bool FConnected = false;
};

}  // namespace orbantis::com
