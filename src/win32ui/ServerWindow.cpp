#include "win32ui/ServerWindow.h"

#include <shellapi.h>

#include <cwchar>
#include <exception>
#include <string>

#include "uErrLog/uErrLog.h"
#include "win32ui/AboutBox.h"
#include "win32ui/Dialogs.h"
#include "win32ui/WinStrings.h"

namespace orbantis::win32ui {
namespace {

constexpr wchar_t kWindowClass[] = L"OrbantisServerWindow";
constexpr wchar_t kCreationFaultPrefix[] = L"Exception in TfmServerWnd.FormCreate metod : ";

// The tray icon: identifier 100, callbacks as the first application message
// number plus one (1025), as the icon has always been registered.
constexpr UINT kTrayIconId = 100;
constexpr UINT kTrayMessage = WM_USER + 1;
// The user interface's own messages.
constexpr UINT kInvokeMessage = WM_APP + 1;     // lParam: an InvokeCall
constexpr UINT kQuitMessage = WM_APP + 2;       // Quit from any thread
constexpr UINT kShowFaultMessage = WM_APP + 3;  // the creation fault, once the loop runs
// Tray menu commands (Open1, Exit1), apart from the buttons' IDOK and IDCANCEL.
constexpr UINT kAboutCommand = 40001;
constexpr UINT kExitCommand = 40002;
constexpr int kMenuImageSize = 16;

void LogLine(const std::string& text) {
  try {
    WRITE_EXE_LOG(text);
  } catch (...) {
  }
}

}  // namespace

struct ServerWindow::InvokeCall {
  const std::function<void()>* fn = nullptr;
  std::exception_ptr failure;
};

ServerWindow::ServerWindow() : FAbout(std::make_unique<AboutBox>()) {}

ServerWindow::~ServerWindow() {
  // A window can only be destroyed by its own thread; Run has done that
  // unless it never ran.
  HWND window = FWindow.exchange(nullptr);
  if (window != nullptr && GetCurrentThreadId() == FUiThread) {
    removeTrayIcon(window);
    DestroyWindow(window);
  }
  if (FMenu != nullptr) DestroyMenu(FMenu);
  if (FInvokeReturned != nullptr) CloseHandle(FInvokeReturned);
}

// ---------------------------------------------------------------- creation

bool ServerWindow::Create(HINSTANCE instance, const ServerWindowOptions& options) {
  if (FWindow.load() != nullptr) return false;
  FInstance = instance != nullptr ? instance : GetModuleHandleW(nullptr);
  FOptions = options;
  FUiThread = GetCurrentThreadId();
  if (FInvokeReturned == nullptr) FInvokeReturned = CreateEventW(nullptr, FALSE, FALSE, nullptr);
  if (FInvokeReturned == nullptr) return false;

  const int small = GetSystemMetrics(SM_CXSMICON);
  FIcon = static_cast<HICON>(LoadImageW(FInstance, MAKEINTRESOURCEW(1), IMAGE_ICON, small, small, LR_SHARED));
  if (FIcon == nullptr) FIcon = LoadIconW(nullptr, reinterpret_cast<LPCWSTR>(IDI_APPLICATION));
  FAboutImage = static_cast<HICON>(LoadImageW(nullptr, reinterpret_cast<LPCWSTR>(IDI_INFORMATION), IMAGE_ICON,
                                              kMenuImageSize, kMenuImageSize, LR_SHARED));

  WNDCLASSEXW windowClass {};
  windowClass.cbSize = sizeof(windowClass);
  windowClass.lpfnWndProc = WindowProc;
  windowClass.hInstance = FInstance;
  windowClass.hIcon = FIcon;
  windowClass.hIconSm = FIcon;
  windowClass.hCursor = LoadCursorW(nullptr, reinterpret_cast<LPCWSTR>(IDC_ARROW));
  windowClass.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
  windowClass.lpszClassName = kWindowClass;
  if (RegisterClassExW(&windowClass) == 0 && GetLastError() != ERROR_CLASS_ALREADY_EXISTS) return false;

  // A caption with the system menu and the close box only; a tool window,
  // so the about box puts no button of its own on the taskbar.
  const DWORD style = WS_POPUP | WS_CAPTION | WS_SYSMENU;
  const DWORD exStyle = WS_EX_TOOLWINDOW | WS_EX_CONTROLPARENT;
  RECT frame {0, 0, kAboutWidth, kAboutHeight};
  AdjustWindowRectEx(&frame, style, FALSE, exStyle);
  if (!CreateWindowExW(exStyle, kWindowClass, kServerCaption, style, CW_USEDEFAULT, CW_USEDEFAULT,
                       frame.right - frame.left, frame.bottom - frame.top, nullptr, nullptr, FInstance, this)) {
    FWindow.store(nullptr);
    return false;
  }
  const HWND window = FWindow.load();
  if (!FAbout->Create(window, FInstance)) LogLine("The about box is missing controls: " + WinToUtf8(LastErrorMessage()));

  FMenu = buildTrayMenu();
  FTaskbarCreated = RegisterWindowMessageW(L"TaskbarCreated");
  FTrayWanted = options.showTrayIcon;
  if (FTrayWanted) addTrayIcon();
  setUpErrSupport();
  return true;
}

HMENU ServerWindow::buildTrayMenu() {
  HMENU menu = CreatePopupMenu();
  if (menu == nullptr) return nullptr;
  AppendMenuW(menu, MF_STRING, kAboutCommand, L"About...");
  AppendMenuW(menu, MF_SEPARATOR, 0, nullptr);
  AppendMenuW(menu, MF_STRING, kExitCommand, L"Exit");
  MENUITEMINFOW image {};
  image.cbSize = sizeof(image);
  image.fMask = MIIM_BITMAP;
  image.hbmpItem = HBMMENU_CALLBACK;  // the information icon, drawn on WM_DRAWITEM
  if (FAboutImage != nullptr) SetMenuItemInfoW(menu, kAboutCommand, FALSE, &image);
  image.hbmpItem = HBMMENU_POPUP_CLOSE;
  SetMenuItemInfoW(menu, kExitCommand, FALSE, &image);
  return menu;
}

void ServerWindow::setUpErrSupport() {
  const HWND window = FWindow.load();
  // The shared boxes get their owner and caption before anything can fail.
  CreateMyDialogs(window, kServerTitle);
  try {
    INIT_ERR_SUPPORT(window, WinToUtf8(kServerTitle), UserDocumentsFolder(), UserDataFolder());
  } catch (const std::exception& e) {
    FCreationFault = kCreationFaultPrefix + Utf8ToWin(e.what());
  } catch (...) {
    FCreationFault = std::wstring(kCreationFaultPrefix) + L"unknown fault";
  }
  if (FCreationFault.empty()) return;
  // The window, its tray icon and the server carry on. The user is told
  // once the loop runs (a box here would hold up the server's start, and a
  // client's activation with it); the log keeps it for a server nobody sees.
  LogLine(WinToUtf8(FCreationFault));
  PostMessageW(window, kShowFaultMessage, 0, 0);
}

// ---------------------------------------------------------------- the tray icon

bool ServerWindow::addTrayIcon() {
  NOTIFYICONDATAW data {};
  data.cbSize = sizeof(data);
  data.hWnd = FWindow.load();
  data.uID = kTrayIconId;
  data.uFlags = NIF_MESSAGE | NIF_ICON | NIF_TIP;
  data.uCallbackMessage = kTrayMessage;
  data.hIcon = FIcon;
  std::wcsncpy(data.szTip, kServerTitle, sizeof(data.szTip) / sizeof(data.szTip[0]) - 1);
  FTrayAdded = Shell_NotifyIconW(NIM_ADD, &data) != FALSE;
  if (!FTrayAdded && !FTrayFailureLogged) {
    // The user sees no icon and no way to Exit: say so where support looks.
    FTrayFailureLogged = true;
    LogLine("No notification area on this desktop: the server runs without its tray icon.");
  }
  return FTrayAdded;
}

void ServerWindow::removeTrayIcon(HWND window) {
  if (!FTrayAdded) return;
  NOTIFYICONDATAW data {};
  data.cbSize = sizeof(data);
  data.hWnd = window;
  data.uID = kTrayIconId;
  Shell_NotifyIconW(NIM_DELETE, &data);
  FTrayAdded = false;
}

void ServerWindow::showTrayMenu() {
  if (FMenu == nullptr) return;
  const HWND window = FWindow.load();
  POINT at {};
  GetCursorPos(&at);
  // In front, or the menu would not close when the user clicks elsewhere.
  SetForegroundWindow(window);
  TrackPopupMenuEx(FMenu, TPM_RIGHTBUTTON, at.x, at.y, window, nullptr);
  PostMessageW(window, WM_NULL, 0, 0);
}

void ServerWindow::about() {
  const HWND window = FWindow.load();
  // Read each time the box is shown: it always states the running program.
  FAbout->ShowVersion(FOptions.versionText.empty() ? ExecutableFileVersion() : ParseFileVersion(FOptions.versionText));
  RECT frame {};
  GetWindowRect(window, &frame);
  RECT work {0, 0, GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN)};
  SystemParametersInfoW(SPI_GETWORKAREA, 0, &work, 0);
  const int width = frame.right - frame.left;
  const int height = frame.bottom - frame.top;
  SetWindowPos(window, HWND_TOP, work.left + (work.right - work.left - width) / 2,
               work.top + (work.bottom - work.top - height) / 2, 0, 0, SWP_NOSIZE);
  ShowWindow(window, SW_SHOW);
  SetForegroundWindow(window);
  if (HWND ok = GetDlgItem(window, IDOK)) SetFocus(ok);
}

void ServerWindow::exitFromTray() {
  // The tray menu stays reachable while the question is open; one question
  // at a time.
  if (FAsking) return;
  bool end = true;
  if (ConfirmExit) {
    FAsking = true;
    try {
      end = ConfirmExit();
    } catch (const std::exception& e) {
      // No clear answer: the clients keep their objects.
      end = false;
      LogLine(std::string("ServerWindow.Exit: ") + e.what());
    } catch (...) {
      end = false;
    }
    FAsking = false;
  }
  // Asked before anything is torn down, so No leaves the icon in place.
  if (end) endLoop();
}

void ServerWindow::endLoop() {
  FTrayWanted = false;
  const HWND window = FWindow.load();
  removeTrayIcon(window);
  ShowWindow(window, SW_HIDE);
  // Messages already queued are still handled before the loop sees WM_QUIT.
  PostQuitMessage(0);
}

// ---------------------------------------------------------------- the loop and Invoke

int ServerWindow::Run() {
  const HWND window = FWindow.load();
  if (window == nullptr) return -1;
  int exitCode = 0;
  MSG msg;
  for (;;) {
    const BOOL got = GetMessageW(&msg, nullptr, 0, 0);
    if (got == 0) {
      exitCode = static_cast<int>(msg.wParam);
      break;
    }
    if (got == -1) {
      exitCode = -1;
      break;
    }
    if (IsWindowVisible(window) && IsDialogMessageW(window, &msg)) continue;
    TranslateMessage(&msg);
    DispatchMessageW(&msg);
  }

  {
    std::lock_guard<std::mutex> guard(FLock);
    FClosed = true;
  }
  // Calls already on their way are answered (without running) before the
  // window goes: a caller must never wait for a window nobody serves.
  for (;;) {
    {
      std::lock_guard<std::mutex> guard(FLock);
      if (FInFlight == 0) break;
    }
    MsgWaitForMultipleObjects(1, &FInvokeReturned, FALSE, INFINITE, QS_SENDMESSAGE);
    MSG sent;
    PeekMessageW(&sent, nullptr, 0, 0, PM_NOREMOVE | PM_QS_SENDMESSAGE);
  }
  removeTrayIcon(window);
  FWindow.store(nullptr);
  DestroyWindow(window);
  return exitCode;
}

void ServerWindow::Quit() {
  if (HWND window = FWindow.load()) PostMessageW(window, kQuitMessage, 0, 0);
}

void ServerWindow::Invoke(const std::function<void()>& fn) {
  const DWORD uiThread = FUiThread.load();
  if (uiThread != 0 && GetCurrentThreadId() == uiThread) {
    fn();
    return;
  }
  HWND window = nullptr;
  {
    std::lock_guard<std::mutex> guard(FLock);
    window = FWindow.load();
    if (FClosed || window == nullptr) return;
    ++FInFlight;
  }
  InvokeCall call;
  call.fn = &fn;
  SendMessageW(window, kInvokeMessage, 0, reinterpret_cast<LPARAM>(&call));
  {
    std::lock_guard<std::mutex> guard(FLock);
    --FInFlight;
  }
  SetEvent(FInvokeReturned);
  if (call.failure) std::rethrow_exception(call.failure);
}

void ServerWindow::runInvoke(InvokeCall& call) {
  {
    std::lock_guard<std::mutex> guard(FLock);
    if (FClosed) return;
  }
  try {
    (*call.fn)();
  } catch (...) {
    call.failure = std::current_exception();
  }
}

// ---------------------------------------------------------------- messages

LRESULT CALLBACK ServerWindow::WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_NCCREATE) {
    auto* self = static_cast<ServerWindow*>(reinterpret_cast<CREATESTRUCTW*>(lParam)->lpCreateParams);
    self->FWindow.store(window);
    SetWindowLongPtrW(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(self));
  }
  auto* self = reinterpret_cast<ServerWindow*>(GetWindowLongPtrW(window, GWLP_USERDATA));
  if (self == nullptr) return DefWindowProcW(window, message, wParam, lParam);
  try {
    if (self->FTaskbarCreated != 0 && message == self->FTaskbarCreated) {
      // Explorer started again: its new notification area knows no icons.
      self->FTrayAdded = false;
      if (self->FTrayWanted) self->addTrayIcon();
      return 0;
    }
    return self->handle(window, message, wParam, lParam);
  } catch (const std::exception& e) {
    // Nothing may unwind through the system's window code.
    LogLine(std::string("ServerWindow: ") + e.what());
  } catch (...) {
  }
  return 0;
}

LRESULT ServerWindow::handle(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case kTrayMessage:
      // The right button opens the menu. The other clicks are inert on
      // purpose: a stray tap on a point-of-sale screen must not put a
      // window over the till.
      if (LOWORD(lParam) == WM_RBUTTONDOWN) showTrayMenu();
      break;
    case WM_COMMAND: {
      const UINT id = LOWORD(wParam);
      const UINT code = HIWORD(wParam);
      if (lParam == 0 && code == 0 && id == kAboutCommand) {
        about();
        return 0;
      }
      if (lParam == 0 && code == 0 && id == kExitCommand) {
        exitFromTray();
        return 0;
      }
      if (id == IDOK || id == IDCANCEL) {
        // "OK" and Escape hide the about box; it stays for the next time.
        ShowWindow(window, SW_HIDE);
        return 0;
      }
      if (code == STN_CLICKED) {
        const std::wstring address = FAbout->LinkAddress(reinterpret_cast<HWND>(lParam));
        if (!address.empty()) {
          OpenContact(window, address);
          return 0;
        }
      }
      break;
    }
    case WM_CTLCOLORSTATIC:
      if (HBRUSH brush = FAbout->LinkColours(reinterpret_cast<HWND>(lParam), reinterpret_cast<HDC>(wParam)))
        return reinterpret_cast<LRESULT>(brush);
      break;
    case WM_SETCURSOR:
      if (!FAbout->LinkAddress(reinterpret_cast<HWND>(wParam)).empty()) {
        SetCursor(LoadCursorW(nullptr, reinterpret_cast<LPCWSTR>(IDC_HAND)));
        return TRUE;
      }
      break;
    case WM_MEASUREITEM: {
      auto* item = reinterpret_cast<MEASUREITEMSTRUCT*>(lParam);
      if (item->CtlType != ODT_MENU) break;
      item->itemWidth = kMenuImageSize;
      item->itemHeight = kMenuImageSize;
      return TRUE;
    }
    case WM_DRAWITEM: {
      auto* item = reinterpret_cast<DRAWITEMSTRUCT*>(lParam);
      if (item->CtlType != ODT_MENU || FAboutImage == nullptr) break;
      const int top = item->rcItem.top + (item->rcItem.bottom - item->rcItem.top - kMenuImageSize) / 2;
      DrawIconEx(item->hDC, item->rcItem.left, top, FAboutImage, kMenuImageSize, kMenuImageSize, 0, nullptr,
                 DI_NORMAL);
      return TRUE;
    }
    case DM_GETDEFID:
      return MAKELRESULT(IDOK, DC_HASDEFID);
    case WM_CLOSE:
      // Closing the about box only hides it; the server goes on.
      ShowWindow(window, SW_HIDE);
      return 0;
    case WM_DESTROY:
      removeTrayIcon(window);
      return 0;
    case kInvokeMessage:
      runInvoke(*reinterpret_cast<InvokeCall*>(lParam));
      return 0;
    case kQuitMessage:
      endLoop();
      return 0;
    case kShowFaultMessage:
      MessageBoxW(window, FCreationFault.c_str(), kServerTitle, MB_OK | MB_ICONERROR);
      return 0;
    default:
      break;
  }
  return DefWindowProcW(window, message, wParam, lParam);
}

}  // namespace orbantis::win32ui
