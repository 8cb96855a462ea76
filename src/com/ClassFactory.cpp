#include "com/ClassFactory.h"

#include "com/KelmoraObject.h"
#include "com/ServerLifetime.h"

namespace orbantis::com {

HRESULT ClassFactory::QueryInterface(REFIID riid, void** out) {
  if (out == nullptr) return E_POINTER;
  if (riid == IID_IUnknown || riid == IID_IClassFactory) {
    *out = static_cast<IClassFactory*>(this);
    return S_OK;
  }
  *out = nullptr;
  return E_NOINTERFACE;
}

HRESULT ClassFactory::CreateInstance(IUnknown* outer, REFIID riid, void** out) {
  if (out == nullptr) return E_POINTER;
  *out = nullptr;
  if (outer != nullptr) return CLASS_E_NOAGGREGATION;
  // An ending server makes no more objects; the client's COM starts a new one.
  if (ServerLifetime::Instance().Quitting()) return CO_E_SERVER_STOPPING;
  KelmoraObject* object = nullptr;
  try {
    object = new KelmoraObject();
  } catch (...) {
    return E_OUTOFMEMORY;
  }
  const HRESULT hr = object->QueryInterface(riid, out);
  object->Release();
  return hr;
}

HRESULT ClassFactory::LockServer(BOOL lock) {
  ServerLifetime::Instance().LockServer(lock != FALSE);
  return S_OK;
}

}  // namespace orbantis::com
