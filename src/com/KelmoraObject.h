// KELMORA as a COM object: the dual interface IKELMORA over one TKELMORA.
//
// The table of IKELMORA's methods is generated from the interface table
// (KelmoraVtable.inc); each method hands its arguments to Call with its
// entry. IDispatch goes through the embedded type library
// (ITypeInfo::Invoke on the table's half of the dual interface), after
// turning VBScript's by-reference variants into the declared types.
//
// Objects live in the multithreaded apartment: a call runs on a thread of
// COM's pool, through the object's gate, so that a silent printer on one
// object never holds another object's calls.
#pragma once

#include <atomic>
#include <memory>

#include "uORBANTIS/InterfaceTable.h"
#include "uORBANTIS/TKELMORA.h"

#include <ocidl.h>
#include <windows.h>

#include "ORBANTIS.h"
#include "com/ConnectionPoint.h"
#include "com/ObjectGate.h"

namespace orbantis::com {

// One argument of a call on the table: where its value is, of which type,
// and whether it is written back (in-out answers, the result).
struct ComArg {
  enum Kind { None, Int, Bool, String };
  Kind kind = None;
  void* value = nullptr;  // LONG*, VARIANT_BOOL* or BSTR*
  bool writeBack = false;
};

class KelmoraObject : public IKELMORA,
                      public IConnectionPointContainer,
                      public IProvideClassInfo,
                      public ISupportErrorInfo {
 public:
  KelmoraObject();
  virtual ~KelmoraObject();

  // IUnknown
  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** out) override;
  ULONG STDMETHODCALLTYPE AddRef() override;
  ULONG STDMETHODCALLTYPE Release() override;

  // IDispatch
  HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT* count) override;
  HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT index, LCID lcid, ITypeInfo** info) override;
  HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID riid, LPOLESTR* names, UINT count, LCID lcid,
                                          DISPID* ids) override;
  HRESULT STDMETHODCALLTYPE Invoke(DISPID id, REFIID riid, LCID lcid, WORD flags, DISPPARAMS* params,
                                   VARIANT* result, EXCEPINFO* exception, UINT* argError) override;

  // IConnectionPointContainer
  HRESULT STDMETHODCALLTYPE EnumConnectionPoints(IEnumConnectionPoints** out) override;
  HRESULT STDMETHODCALLTYPE FindConnectionPoint(REFIID riid, IConnectionPoint** out) override;

  // IProvideClassInfo: script hosts find the events through it.
  HRESULT STDMETHODCALLTYPE GetClassInfo(ITypeInfo** info) override;

  // ISupportErrorInfo: a failed call carries its fault's text.
  HRESULT STDMETHODCALLTYPE InterfaceSupportsErrorInfo(REFIID riid) override;

  // IKELMORA's table, generated.
#include "KelmoraVtable.inc"

  // Loads the type library embedded in this executable; false (with the
  // reason in the server's log) when it cannot.
  static bool LoadTypeInfo();

 private:
  HRESULT Call(const automation::InterfaceEntry* entry, ComArg* args, std::size_t count, ComArg result);
  HRESULT Fail(const std::string& text);

  std::atomic<ULONG> FRefs {1};
  std::unique_ptr<TKELMORA> FObject;
  ObjectGate FGate;
  ConnectionPoint FPoint;
};

}  // namespace orbantis::com
