// Prints a fiscal receipt through the ORBANTIS COM server, early-bound
// through IKELMORA's table, with the error event on a sink.
//
//   receipt.exe [PORT]          (the printer's COM port number, default 5)
//
// Build: with the Windows build (build-windows/examples/windows/receipt.exe),
// or by hand against the header and identifiers widl makes from the type
// library (build-windows/src/com/generated/ORBANTIS.h, ORBANTIS_i.c):
//   x86_64-w64-mingw32-g++-posix -municode -static receipt.cpp ORBANTIS_i.c
//       -I<generated> -lole32 -loleaut32 -luuid -o receipt.exe
#include <objbase.h>
#include <ocidl.h>
#include <oleauto.h>
#include <windows.h>

#include <cstdio>
#include <cwchar>
#include <string>

#include "ORBANTIS.h"

namespace {

// Prints ON_ERROR as it arrives, during the call that failed.
class ErrorSink : public IDispatch {
 public:
  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** out) override {
    if (riid == IID_IUnknown || riid == IID_IDispatch || riid == DIID_IKELMORAEvents) {
      *out = this;
      return S_OK;
    }
    *out = nullptr;
    return E_NOINTERFACE;
  }
  ULONG STDMETHODCALLTYPE AddRef() override { return 2; }
  ULONG STDMETHODCALLTYPE Release() override { return 1; }
  HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT* n) override {
    *n = 0;
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT, LCID, ITypeInfo**) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE Invoke(DISPID id, REFIID, LCID, WORD, DISPPARAMS* p, VARIANT*, EXCEPINFO*,
                                   UINT*) override {
    // ON_ERROR(LastErrorCode, LastErrorMessage): arguments arrive last first.
    if (id == 201 && p->cArgs == 2)
      std::wprintf(L"  event ON_ERROR %ld: %ls\n", static_cast<long>(p->rgvarg[1].lVal), p->rgvarg[0].bstrVal);
    return S_OK;
  }
};

// An answer parameter: a BSTR the server replaces.
struct Answer {
  BSTR value = ::SysAllocString(L"");
  ~Answer() { ::SysFreeString(value); }
};

int Check(const wchar_t* step, HRESULT hr, LONG result, IKELMORA* fp) {
  if (FAILED(hr)) {
    std::wprintf(L"%ls failed: HRESULT 0x%08lX\n", step, static_cast<unsigned long>(hr));
    return 2;
  }
  std::wprintf(L"%ls -> %ld\n", step, static_cast<long>(result));
  if (result < 0) {
    BSTR text = nullptr;
    fp->GetLastErrorMessage(&text);
    std::wprintf(L"  %ls\n", text != nullptr ? text : L"");
    ::SysFreeString(text);
    return 1;
  }
  return 0;
}

int Receipt(IKELMORA* fp, LONG port) {
  LONG r = 0;
  int status = Check(L"initFiscalPrinter", fp->initFiscalPrinter(port, 115200, VARIANT_TRUE, VARIANT_TRUE, &r), r, fp);
  if (status == 0) status = Check(L"CONNECT_TO_PRINTER", fp->CONNECT_TO_PRINTER(&r), r, fp);
  if (status != 0) return status;

  BSTR op = ::SysAllocString(L"1"), pwd = ::SysAllocString(L"0000"), till = ::SysAllocString(L"1");
  Answer recCnt, globRecCnt;
  status = Check(L"CMD_48_0_0", fp->CMD_48_0_0(op, pwd, till, &recCnt.value, &globRecCnt.value, &r), r, fp);
  ::SysFreeString(op);
  ::SysFreeString(pwd);
  ::SysFreeString(till);
  if (status == 0) {
    BSTR tax = ::SysAllocString(L"B"), price = ::SysAllocString(L"1.10");
    status = Check(L"CMD_49_0_0", fp->CMD_49_0_0(tax, price, &r), r, fp);
    ::SysFreeString(tax);
    ::SysFreeString(price);
  }
  if (status == 0) {
    BSTR mode = ::SysAllocString(L"P"), amount = ::SysAllocString(L"10.00");
    Answer paidCode, change;
    status = Check(L"CMD_53_0_0", fp->CMD_53_0_0(mode, amount, &paidCode.value, &change.value, &r), r, fp);
    if (status == 0) std::wprintf(L"  PaidCode = %ls\n  Amount_Out = %ls\n", paidCode.value, change.value);
    ::SysFreeString(mode);
    ::SysFreeString(amount);
  }
  if (status == 0) {
    Answer closedCnt, closedGlob;
    status = Check(L"CMD_56_0_0", fp->CMD_56_0_0(&closedCnt.value, &closedGlob.value, &r), r, fp);
    if (status == 0) std::wprintf(L"  RecCnt = %ls\n", closedCnt.value);
  }
  fp->CLOSE_CONNECTION(&r);
  return status;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  const LONG port = argc > 1 ? std::wcstol(argv[1], nullptr, 10) : 5;
  // A single-threaded apartment: the event arrives while a call waits.
  ::CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
  IKELMORA* fp = nullptr;
  HRESULT hr = ::CoCreateInstance(CLSID_KELMORA, nullptr, CLSCTX_LOCAL_SERVER, IID_IKELMORA,
                                  reinterpret_cast<void**>(&fp));
  if (FAILED(hr)) {
    std::wprintf(L"ORBANTIS.KELMORA cannot be created (HRESULT 0x%08lX): is orbantis.exe registered?\n",
                 static_cast<unsigned long>(hr));
    return 2;
  }
  ErrorSink sink;
  IConnectionPointContainer* container = nullptr;
  IConnectionPoint* point = nullptr;
  DWORD cookie = 0;
  if (SUCCEEDED(fp->QueryInterface(IID_IConnectionPointContainer, reinterpret_cast<void**>(&container))) &&
      SUCCEEDED(container->FindConnectionPoint(DIID_IKELMORAEvents, &point)))
    point->Advise(&sink, &cookie);

  const int status = Receipt(fp, port);

  if (point != nullptr) {
    point->Unadvise(cookie);
    point->Release();
  }
  if (container != nullptr) container->Release();
  fp->Release();
  ::CoUninitialize();
  return status;
}
