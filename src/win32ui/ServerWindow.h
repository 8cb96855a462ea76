// The server's main window on Windows: hidden, with its tray icon and the
// menu "About..." / "Exit", and the about box, which is this window itself.
//
// Created on the user-interface thread before the message loop runs; it
// lives as long as the process. Creating it sets up the start-up log and the
// shared message boxes (INIT_ERR_SUPPORT, CreateMyDialogs). "OK" and the
// window's close box only hide it; only "Exit" ends the loop, after
// ConfirmExit agreed (the server asks AskCloseWithActiveObjects there while
// clients hold objects).
//
// The process-wide decimal separator the original window fixed and restored
// is not touched: every number the printer commands format or parse goes
// through locale-independent conversions.
//
// The COM server's RPC threads reach the user interface through Invoke,
// which the logo forms (MakeLogoForms) use to show their modal form here.
#pragma once

#include <windows.h>

#include <atomic>
#include <functional>
#include <memory>
#include <mutex>
#include <string>

namespace orbantis {
class ILogoForms;
}

namespace orbantis::win32ui {

class AboutBox;

struct ServerWindowOptions {
  bool showTrayIcon = true;
  std::wstring versionText;  // "1.0.0.114"; empty: the executable's file version
};

class ServerWindow {
 public:
  ServerWindow();
  ~ServerWindow();
  ServerWindow(const ServerWindow&) = delete;
  ServerWindow& operator=(const ServerWindow&) = delete;

  // On the UI thread: the hidden main window and the tray icon. The icon is
  // resource 1 of instance when there is one, else the stock application
  // icon. A desktop without a notification area leaves a line in the
  // program-side log and no icon; the window is made all the same. False
  // only when the window could not be made (or was made already).
  bool Create(HINSTANCE instance, const ServerWindowOptions& options);
  // The message loop until Quit or "Exit"; returns the exit code (0).
  // Destroys the window before it returns.
  int Run();
  // Any thread: ends Run, also from inside the logo form (which closes once
  // its transfer is over).
  void Quit();
  // Any thread: runs fn on the UI thread and waits for it (SendMessage); on
  // the UI thread fn is simply called. What fn throws is thrown here. Once
  // Run is ending or over, fn is not run and Invoke returns at once, so no
  // caller waits for a loop that will never take its call.
  void Invoke(const std::function<void()>& fn);
  // Asked on the tray's "Exit"; true ends the server. None set: Exit ends it.
  std::function<bool()> ConfirmExit;
  HWND Handle() const { return FWindow.load(); }

 private:
  struct InvokeCall;
  static LRESULT CALLBACK WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
  LRESULT handle(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
  HMENU buildTrayMenu();
  bool addTrayIcon();
  void removeTrayIcon(HWND window);
  void showTrayMenu();
  void about();
  void exitFromTray();
  void endLoop();
  void setUpErrSupport();
  void runInvoke(InvokeCall& call);

  HINSTANCE FInstance = nullptr;
  ServerWindowOptions FOptions;
  std::atomic<HWND> FWindow {nullptr};
  std::atomic<DWORD> FUiThread {0};
  HICON FIcon = nullptr;
  HICON FAboutImage = nullptr;
  HMENU FMenu = nullptr;
  UINT FTaskbarCreated = 0;
  bool FTrayWanted = false;
  bool FTrayAdded = false;
  bool FTrayFailureLogged = false;
  bool FAsking = false;
  std::wstring FCreationFault;
  std::unique_ptr<AboutBox> FAbout;

  // Invoke's calls on their way to the UI thread.
  std::mutex FLock;
  bool FClosed = false;
  int FInFlight = 0;
  HANDLE FInvokeReturned = nullptr;
};

// The process's logo forms (TKELMORA::SetLogoForms) on this window's thread.
// The window must outlive them: set TKELMORA::SetLogoForms(nullptr) before
// the window goes.
std::shared_ptr<ILogoForms> MakeLogoForms(ServerWindow& window);

}  // namespace orbantis::win32ui
