// The sink of one object's events, printed as they arrive:
//   event ON_ERROR -5 "text"
//   event OnStartProgress
//   event OnProgress: 98 steps, the last 98 "text"   (one line for a whole
//                                                     transfer; in a console a
//                                                     bar moves while it runs)
//   event OnEndProgress
// The server calls it by dispatch identifier (IKELMORAEvents: 201 to 204),
// on this program's main thread while one of its calls is under way.
#pragma once

#include <windows.h>
#include <oaidl.h>

#include <string>

namespace orbantis::cli {

class EventSink : public IDispatch {
 public:
  // IUnknown. The sink lives as long as the program: counting only.
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

  void OnError(int code, const std::string& message);
  void OnProgress(int value, const std::string& message);
  void OnStartProgress();
  void OnEndProgress();

 private:
  LONG FRefs = 1;
  int FSteps = 0;
  int FLastValue = 0;
  std::string FLastMessage;
  bool FBarShown = false;
};

}  // namespace orbantis::cli
