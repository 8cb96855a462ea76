// Small helpers of the COM client tests: owned BSTRs and interface pointers,
// late-bound calls, and an event sink that records what reaches it.
#pragma once

#include <objbase.h>
#include <oleauto.h>
#include <windows.h>

#include <mutex>
#include <string>
#include <vector>

#include "ORBANTIS.h"

namespace orbantis::comtest {

// An owned BSTR.
class Bstr {
 public:
  Bstr() = default;
  explicit Bstr(const wchar_t* text) : FValue(::SysAllocString(text)) {}
  ~Bstr() { ::SysFreeString(FValue); }
  Bstr(const Bstr&) = delete;
  Bstr& operator=(const Bstr&) = delete;
  BSTR* Out() {
    ::SysFreeString(FValue);
    FValue = nullptr;
    return &FValue;
  }
  // For an in-out argument: the value stays and may be replaced.
  BSTR* InOut() { return &FValue; }
  BSTR Get() const { return FValue; }
  std::wstring Text() const { return FValue == nullptr ? std::wstring() : std::wstring(FValue, ::SysStringLen(FValue)); }

 private:
  BSTR FValue = nullptr;
};

template <class T>
class Ptr {
 public:
  Ptr() = default;
  ~Ptr() { Reset(); }
  Ptr(const Ptr&) = delete;
  Ptr& operator=(const Ptr&) = delete;
  T** Out() {
    Reset();
    return &FValue;
  }
  void** OutVoid() { return reinterpret_cast<void**>(Out()); }
  T* operator->() const { return FValue; }
  T* Get() const { return FValue; }
  explicit operator bool() const { return FValue != nullptr; }
  void Reset() {
    if (FValue != nullptr) FValue->Release();
    FValue = nullptr;
  }

 private:
  T* FValue = nullptr;
};

// Records the events of IKELMORAEvents as lines ("ON_ERROR -4 text").
class RecordingSink : public IDispatch {
 public:
  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** out) override {
    if (riid == IID_IUnknown || riid == IID_IDispatch || riid == DIID_IKELMORAEvents) {
      *out = static_cast<IDispatch*>(this);
      AddRef();
      return S_OK;
    }
    *out = nullptr;
    return E_NOINTERFACE;
  }
  ULONG STDMETHODCALLTYPE AddRef() override { return ++FRefs; }
  ULONG STDMETHODCALLTYPE Release() override { return --FRefs; }  // lives on the test's stack
  HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT* n) override {
    *n = 0;
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT, LCID, ITypeInfo**) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE Invoke(DISPID id, REFIID, LCID, WORD, DISPPARAMS* p, VARIANT*, EXCEPINFO*,
                                   UINT*) override {
    std::wstring line;
    switch (id) {
      case 201: line = L"ON_ERROR"; break;
      case 202: line = L"OnProgress"; break;
      case 203: line = L"OnStartProgress"; break;
      case 204: line = L"OnEndProgress"; break;
      default: line = L"?" + std::to_wstring(id);
    }
    // Arguments arrive last first.
    for (UINT i = p->cArgs; i > 0; --i) {
      VARIANT v;
      ::VariantInit(&v);
      if (SUCCEEDED(::VariantChangeType(&v, &p->rgvarg[i - 1], 0, VT_BSTR)))
        line += L" " + std::wstring(v.bstrVal, ::SysStringLen(v.bstrVal));
      ::VariantClear(&v);
    }
    std::lock_guard<std::mutex> guard(FLock);
    FEvents.push_back(line);
    return S_OK;
  }
  std::vector<std::wstring> Events() {
    std::lock_guard<std::mutex> guard(FLock);
    return FEvents;
  }

 private:
  ULONG FRefs = 1;
  std::mutex FLock;
  std::vector<std::wstring> FEvents;
};

}  // namespace orbantis::comtest
