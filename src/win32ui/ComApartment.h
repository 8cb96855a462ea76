// COM on the current thread for as long as a scope needs it.
//
// The imaging component and the client's event sink are COM objects. The
// threads that use them are the server's RPC threads (already in the
// multithreaded apartment), the user-interface thread (in whatever apartment
// the server gave it) and the logo form's transfer thread (which joins the
// multithreaded apartment here). A thread already in an apartment stays in
// it: joining is counted and undone, a different apartment is left alone.
#pragma once

#include <objbase.h>

namespace orbantis::win32ui {

class ComApartment {
 public:
  explicit ComApartment(DWORD model = COINIT_MULTITHREADED) : FResult(CoInitializeEx(nullptr, model)) {}
  ~ComApartment() {
    if (SUCCEEDED(FResult)) CoUninitialize();
  }
  ComApartment(const ComApartment&) = delete;
  ComApartment& operator=(const ComApartment&) = delete;

  // COM can be used on this thread: it joined here or was in an apartment before.
  bool Usable() const { return SUCCEEDED(FResult) || FResult == RPC_E_CHANGED_MODE; }

 private:
  HRESULT FResult;
};

}  // namespace orbantis::win32ui
