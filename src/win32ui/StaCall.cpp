#include "win32ui/StaCall.h"

#include <windows.h>
#include <objbase.h>

#include <exception>
#include <thread>

#include "foundation/Strings.h"
#include "win32ui/ComApartment.h"

namespace orbantis::win32ui {
namespace {

bool InSingleThreadedApartment() {
  APTTYPE type {};
  APTTYPEQUALIFIER qualifier {};
  if (FAILED(CoGetApartmentType(&type, &qualifier))) return false;
  return type == APTTYPE_STA || type == APTTYPE_MAINSTA;
}

}  // namespace

void CallInSta(const std::function<void()>& fn) {
  if (InSingleThreadedApartment()) {
    fn();
    return;
  }
  HANDLE done = CreateEventW(nullptr, TRUE, FALSE, nullptr);
  if (done == nullptr) throw Exception("CallInSta: no event for the helper thread.");
  std::exception_ptr failure;
  std::thread helper([&] {
    {
      ComApartment com(COINIT_APARTMENTTHREADED | COINIT_DISABLE_OLE1DDE);
      try {
        fn();
      } catch (...) {
        failure = std::current_exception();
      }
    }
    SetEvent(done);
  });

  bool quit = false;
  WPARAM quitCode = 0;
  while (MsgWaitForMultipleObjects(1, &done, FALSE, INFINITE, QS_ALLINPUT) == WAIT_OBJECT_0 + 1) {
    MSG msg;
    while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
      if (msg.message == WM_QUIT) {
        quit = true;
        quitCode = msg.wParam;
        continue;
      }
      TranslateMessage(&msg);
      DispatchMessageW(&msg);
    }
  }
  helper.join();
  CloseHandle(done);
  if (quit) PostQuitMessage(static_cast<int>(quitCode));
  if (failure) std::rethrow_exception(failure);
}

}  // namespace orbantis::win32ui
