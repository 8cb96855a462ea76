// orbantis.exe: the COM local server of class KELMORA.
//
//   orbantis.exe /RegServer | /UnregServer | /RegServerPerUser | /UnregServerPerUser
//   orbantis.exe -Embedding      (COM starts it so)
//   orbantis.exe                 (by hand: runs until Exit in the tray menu)
#include <functional>
#include <string>
#include <thread>
#include <vector>

#include "com/ClassFactory.h"
#include "com/ComRegistration.h"
#include "com/KelmoraObject.h"
#include "com/ServerLifetime.h"
#include "com/Switches.h"
#include "uErrLog/uErrLog.h"

#include <shellapi.h>
#include <windows.h>

#include "foundation/Win32Text.h"

#if ORBANTIS_WITH_WIN32UI
#include "win32ui/Dialogs.h"
#include "win32ui/LogoFormsWin32.h"
#include "win32ui/ServerWindow.h"
#endif

namespace {

using namespace orbantis;

void Say(const std::string& text) {
  // A GUI program has a console only when its parent gave it one.
  HANDLE err = ::GetStdHandle(STD_ERROR_HANDLE);
  if (err != nullptr && err != INVALID_HANDLE_VALUE) {
    const std::string line = text + "\r\n";
    DWORD written = 0;
    ::WriteFile(err, line.data(), static_cast<DWORD>(line.size()), &written, nullptr);
  }
  try {
    WRITE_EXE_LOG(text);
  } catch (...) {
  }
}

int Register(const com::Switches& s) {
  std::string error;
  if (s.regServer) error = com::RegisterServer(false);
  if (s.regServerPerUser && error.empty()) error = com::RegisterServer(true);
  if (s.unregServer && error.empty()) error = com::UnregisterServer(false);
  if (s.unregServerPerUser && error.empty()) error = com::UnregisterServer(true);
  if (!error.empty()) {
    Say("orbantis: " + error);
    return 1;
  }
  return 0;
}

// The class object is registered from a thread of the multithreaded
// apartment, so that the objects live there and their calls run on COM's
// pool rather than one after another on the window's thread.
class ClassRegistration {
 public:
  bool Start() {
    FThread = std::thread([this] { run(); });
    std::unique_lock<std::mutex> guard(FLock);
    FChanged.wait(guard, [&] { return FState != State::Starting; });
    return FState == State::Running;
  }
  void Stop() {
    {
      std::lock_guard<std::mutex> guard(FLock);
      FStop = true;
    }
    FChanged.notify_all();
    if (FThread.joinable()) FThread.join();
  }
  HRESULT Result() const { return FResult; }

 private:
  enum class State { Starting, Running, Failed };
  void run() {
    ::CoInitializeEx(nullptr, COINIT_MULTITHREADED);
    DWORD cookie = 0;
    FResult = ::CoRegisterClassObject(CLSID_KELMORA, &FFactory, CLSCTX_LOCAL_SERVER,
                                      REGCLS_MULTIPLEUSE | REGCLS_SUSPENDED, &cookie);
    if (SUCCEEDED(FResult)) FResult = ::CoResumeClassObjects();
    {
      std::lock_guard<std::mutex> guard(FLock);
      FState = SUCCEEDED(FResult) ? State::Running : State::Failed;
    }
    FChanged.notify_all();
    if (SUCCEEDED(FResult)) {
      std::unique_lock<std::mutex> guard(FLock);
      FChanged.wait(guard, [&] { return FStop; });
    }
    if (cookie != 0) ::CoRevokeClassObject(cookie);
    ::CoUninitialize();
  }

  com::ClassFactory FFactory;
  std::thread FThread;
  std::mutex FLock;
  std::condition_variable FChanged;
  State FState = State::Starting;
  bool FStop = false;
  HRESULT FResult = S_OK;
};

std::vector<std::wstring> Arguments() {
  int count = 0;
  LPWSTR* argv = ::CommandLineToArgvW(::GetCommandLineW(), &count);
  std::vector<std::wstring> out;
  for (int i = 1; i < count; ++i) out.emplace_back(argv[i]);
  ::LocalFree(argv);
  return out;
}

}  // namespace

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int) {
  const com::Switches switches = com::ParseSwitches(Arguments());
  if (switches.help) {
    Say("usage: orbantis.exe [/RegServer | /UnregServer | /RegServerPerUser | /UnregServerPerUser | -Embedding]");
    return 0;
  }
  ::CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
  if (switches.regServer || switches.unregServer || switches.regServerPerUser || switches.unregServerPerUser) {
    const int code = Register(switches);
    ::CoUninitialize();
    return code;
  }
  if (!com::KelmoraObject::LoadTypeInfo()) {
    Say("orbantis: the type library embedded in the server cannot be loaded.");
    ::CoUninitialize();
    return 1;
  }

  // Without a window system (a service session, a test prefix) the server
  // runs all the same, without its tray icon and logo form.
  const DWORD mainThread = ::GetCurrentThreadId();
  std::function<void()> quit = [mainThread] { ::PostThreadMessageW(mainThread, WM_QUIT, 0, 0); };
#if ORBANTIS_WITH_WIN32UI
  win32ui::ServerWindow window;
  win32ui::ServerWindowOptions options;
  options.versionText = win32::Widen(ORBANTIS_VERSION);
  const bool windowed = window.Create(instance, options);
  if (windowed) {
    window.ConfirmExit = [&window] {
      return com::ServerLifetime::Instance().Objects() == 0 || win32ui::AskCloseWithActiveObjects(window.Handle());
    };
    TKELMORA::SetLogoForms(win32ui::MakeLogoForms(window));
    quit = [&window] { window.Quit(); };
  } else {
    Say("orbantis: no window system: the server runs without its tray icon.");
    TKELMORA::SetLogoForms(win32ui::MakeLogoForms(window));
  }
#else
  (void)instance;
  const bool windowed = false;
#endif

  com::ServerLifetime::Instance().Start(switches.startedByCom, quit);
  ClassRegistration registration;
  if (!registration.Start()) {
    Say("orbantis: the class cannot be registered with COM: " +
        win32::ErrorText(static_cast<DWORD>(registration.Result())));
    com::ServerLifetime::Instance().Stop();
    ::CoUninitialize();
    return 1;
  }

  int code = 0;
#if ORBANTIS_WITH_WIN32UI
  if (windowed) code = window.Run();
#endif
  if (!windowed) {
    MSG message;
    while (::GetMessageW(&message, nullptr, 0, 0) > 0) {
      ::TranslateMessage(&message);
      ::DispatchMessageW(&message);
    }
  }
  // No new objects; the calls under way end with their printer's answer
  // (or its time-outs) before the process does, so that no receipt is cut
  // off halfway through a command.
  registration.Stop();
  if (!com::ServerLifetime::Instance().WaitForCalls(60000)) Say("orbantis: a call was still under way when the server ended.");
  com::ServerLifetime::Instance().Stop();
  TKELMORA::SetLogoForms(nullptr);
  ::CoUninitialize();
  return code;
}
