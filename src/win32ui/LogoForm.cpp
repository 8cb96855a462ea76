#include "win32ui/LogoForm.h"

#include <commctrl.h>

#include <algorithm>
#include <exception>
#include <vector>

#include "win32ui/ComApartment.h"
#include "win32ui/FilePaths.h"
#include "win32ui/PictureFileDialogs.h"
#include "win32ui/WinStrings.h"

namespace orbantis::win32ui {
namespace {

constexpr wchar_t kFormClass[] = L"OrbantisLogoForm";
constexpr wchar_t kPictureClass[] = L"OrbantisLogoPicture";

// Layout in dots of the client area, as the form has always looked.
constexpr int kClientWidth = 606;
constexpr int kClientHeight = 173;
constexpr int kBarHeight = 5;
constexpr int kButtonWidth = 106;
constexpr int kButtonHeight = 33;
constexpr int kButtonGap = 15;
constexpr int kPanelWidth = logo::kPictureWidth + 16;
constexpr int kPanelHeight = logo::kPictureHeight + 6;
constexpr int kPanelTop = 10;
constexpr int kPanelLeft = (kClientWidth - kPanelWidth) / 2;
constexpr int kButtonsTop = kPanelTop + kPanelHeight + 9;

// 24-bit colour values of the design, red in the low byte as in a COLORREF.
constexpr COLORREF kBarColour = 0xAEFFAE;
constexpr COLORREF kBarBackground = 0xFFBB77;
constexpr COLORREF kPanelColour = 0xF5F5F5;

enum ControlId : int {
  kGroupId = 100,
  kPictureId,
  kBarId,
  kLoadFromFileId = 1001,
  kSaveToFileId,
  kLoadFromPrinterId,
  kSaveToPrinterId,
  kCloseId = IDCANCEL,  // Escape closes the form as the button does
};

// The transfer thread reports through these; posted, so that it never waits
// for this thread.
constexpr UINT kProgressMessage = WM_APP + 20;  // wParam: the bar's position
constexpr UINT kRowMessage = WM_APP + 21;       // a row was painted into the shown copy
constexpr UINT kDoneMessage = WM_APP + 22;      // the transfer thread has ended
constexpr UINT_PTR kFrontTimer = 1;
constexpr UINT kFrontDelayMs = 10;

// A colour value (red low) as a 32-bit DIB dot (blue low).
std::uint32_t DibDot(std::uint32_t colour) {
  return ((colour & 0xFF) << 16) | (colour & 0xFF00) | ((colour >> 16) & 0xFF);
}

HFONT MessageFont() {
  NONCLIENTMETRICSW metrics {};
  metrics.cbSize = sizeof(metrics);
  if (SystemParametersInfoW(SPI_GETNONCLIENTMETRICS, sizeof(metrics), &metrics, 0))
    if (HFONT font = CreateFontIndirectW(&metrics.lfMessageFont)) return font;
  return nullptr;
}

}  // namespace

LogoForm::LogoForm(HWND owner, TFP_ZORVIK* printer, TKELMORA* events, bool stayOnTop)
    : FOwner(owner), FStayOnTop(stayOnTop), FTransfer(FFiles, printer, events) {}

LogoForm::~LogoForm() {
  // The transfer thread uses the printer object and this form's transfer;
  // neither may go while it runs.
  if (FWorker.joinable()) FWorker.join();
  if (FWindow != nullptr && IsWindow(FWindow)) DestroyWindow(FWindow);
  if (FFont != nullptr) DeleteObject(FFont);
}

void LogoForm::RegisterClasses(HINSTANCE instance) {
  static const bool registered = [instance] {
    INITCOMMONCONTROLSEX controls {sizeof(INITCOMMONCONTROLSEX), ICC_PROGRESS_CLASS | ICC_STANDARD_CLASSES};
    InitCommonControlsEx(&controls);
    WNDCLASSEXW form {};
    form.cbSize = sizeof(form);
    form.lpfnWndProc = FormProc;
    form.hInstance = instance;
    form.hCursor = LoadCursorW(nullptr, reinterpret_cast<LPCWSTR>(IDC_ARROW));
    form.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
    form.lpszClassName = kFormClass;
    WNDCLASSEXW picture = form;
    picture.lpfnWndProc = PictureProc;
    picture.hbrBackground = nullptr;  // painted whole, double-buffered
    picture.lpszClassName = kPictureClass;
    return RegisterClassExW(&form) != 0 && RegisterClassExW(&picture) != 0;
  }();
  if (!registered) throw Exception("The logo form's window classes could not be registered.");
}

// ---------------------------------------------------------------- showing

void LogoForm::ShowModal() {
  const HINSTANCE instance = GetModuleHandleW(nullptr);
  RegisterClasses(instance);

  // Fixed size: a caption and the close box, nothing to resize or maximise.
  const DWORD style = WS_POPUP | WS_CAPTION | WS_SYSMENU | WS_CLIPCHILDREN;
  const DWORD exStyle = WS_EX_DLGMODALFRAME | WS_EX_CONTROLPARENT;
  RECT frame {0, 0, kClientWidth, kClientHeight};
  AdjustWindowRectEx(&frame, style, FALSE, exStyle);
  const int width = frame.right - frame.left;
  const int height = frame.bottom - frame.top;
  RECT work {0, 0, GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN)};
  SystemParametersInfoW(SPI_GETWORKAREA, 0, &work, 0);
  const int left = work.left + (work.right - work.left - width) / 2;
  const int top = work.top + (work.bottom - work.top - height) / 2;

  if (!CreateWindowExW(exStyle, kFormClass, kCaption, style, left, top, width, height, FOwner, nullptr, instance, this))
    throw Exception("The logo form could not be made: " + WinToUtf8(LastErrorMessage()));
  createControls(instance);

  ShowWindow(FWindow, SW_SHOW);
  UpdateWindow(FWindow);
  SetFocus(FLoadFromPrinter);
  SetTimer(FWindow, kFrontTimer, kFrontDelayMs, nullptr);

  FOpen = true;
  MSG msg;
  while (FOpen) {
    const BOOL got = GetMessageW(&msg, nullptr, 0, 0);
    if (got == -1) break;
    if (got == 0) {
      // The server is ending: the form goes once the printer is free.
      FQuitSeen = true;
      FQuitCode = msg.wParam;
      if (!busy()) break;
      continue;
    }
    if (IsDialogMessageW(FWindow, &msg)) continue;
    if (FOwner != nullptr && IsWindowVisible(FOwner) && IsDialogMessageW(FOwner, &msg)) continue;
    TranslateMessage(&msg);
    DispatchMessageW(&msg);
  }

  if (FWorker.joinable()) FWorker.join();
  if (IsWindow(FWindow)) {
    ShowWindow(FWindow, SW_HIDE);
    DestroyWindow(FWindow);
  }
  FWindow = nullptr;
  if (FQuitSeen) PostQuitMessage(static_cast<int>(FQuitCode));
}

void LogoForm::createControls(HINSTANCE instance) {
  FFont = MessageFont();
  const auto font = FFont != nullptr ? FFont : static_cast<HFONT>(GetStockObject(DEFAULT_GUI_FONT));
  const auto child = [&](DWORD exStyle, const wchar_t* cls, const wchar_t* text, DWORD style, int x, int y, int w,
                         int h, int id) {
    HWND control = CreateWindowExW(exStyle, cls, text, WS_CHILD | WS_VISIBLE | style, x, y, w, h, FWindow,
                                   reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)), instance, this);
    if (control == nullptr) throw Exception("A control of the logo form could not be made: " + WinToUtf8(LastErrorMessage()));
    SendMessageW(control, WM_SETFONT, reinterpret_cast<WPARAM>(font), FALSE);
    return control;
  };

  child(0, L"BUTTON", L"", BS_GROUPBOX, 0, 0, kClientWidth, kClientHeight - kBarHeight, kGroupId);
  FPicture = child(WS_EX_CLIENTEDGE, kPictureClass, L"", 0, kPanelLeft, kPanelTop, kPanelWidth, kPanelHeight, kPictureId);

  int left = kPanelLeft;
  const auto button = [&](const wchar_t* caption, int id, DWORD kind) {
    HWND b = child(0, L"BUTTON", caption, WS_TABSTOP | kind, left, kButtonsTop, kButtonWidth, kButtonHeight, id);
    left += kButtonWidth + kButtonGap;
    return b;
  };
  FLoadFromFile = button(L"Load from file", kLoadFromFileId, BS_PUSHBUTTON | WS_GROUP);
  FSaveToFile = button(L"Save to file", kSaveToFileId, BS_PUSHBUTTON);
  FLoadFromPrinter = button(L"Load from printer", kLoadFromPrinterId, BS_DEFPUSHBUTTON);
  FSaveToPrinter = button(L"Save to printer", kSaveToPrinterId, BS_PUSHBUTTON);
  FClose = button(L"&Close", kCloseId, BS_PUSHBUTTON);

  FBar = child(0, PROGRESS_CLASSW, L"", PBS_SMOOTH, 0, kClientHeight - kBarHeight, kClientWidth, kBarHeight, kBarId);
  SendMessageW(FBar, PBM_SETRANGE32, 0, 100);
  SendMessageW(FBar, PBM_SETPOS, 0, 0);
  // Honoured by the classic bar; a themed one keeps the theme's colours.
  SendMessageW(FBar, PBM_SETBARCOLOR, 0, static_cast<LPARAM>(kBarColour));
  SendMessageW(FBar, PBM_SETBKCOLOR, 0, static_cast<LPARAM>(kBarBackground));
}

// A window opened from a background server easily ends up behind the
// client's own window: it is put on top once, and left there only when the
// client asked for it.
void LogoForm::onTimer() {
  KillTimer(FWindow, kFrontTimer);
  constexpr UINT kKeep = SWP_NOMOVE | SWP_NOSIZE;
  SetWindowPos(FWindow, HWND_TOPMOST, 0, 0, 0, 0, kKeep);
  SetForegroundWindow(FWindow);
  if (!FStayOnTop) {
    // Above every window that is not itself kept on top.
    SetWindowPos(FWindow, HWND_NOTOPMOST, 0, 0, 0, 0, kKeep);
    SetForegroundWindow(FWindow);
  }
}

void LogoForm::close() {
  // The printer object must not be left to a transfer nobody waits for.
  if (busy()) return;
  FOpen = false;
}

// ---------------------------------------------------------------- messages

LRESULT CALLBACK LogoForm::FormProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_NCCREATE) {
    auto* form = static_cast<LogoForm*>(reinterpret_cast<CREATESTRUCTW*>(lParam)->lpCreateParams);
    form->FWindow = window;
    SetWindowLongPtrW(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(form));
  }
  auto* form = reinterpret_cast<LogoForm*>(GetWindowLongPtrW(window, GWLP_USERDATA));
  if (form == nullptr) return DefWindowProcW(window, message, wParam, lParam);
  try {
    return form->handle(message, wParam, lParam);
  } catch (const std::exception& e) {
    // A fault in one button's action must not unwind through the system's
    // window code; the user hears of it and the form stays usable.
    form->tellUser(Utf8ToWin(e.what()));
    return 0;
  } catch (...) {
    return 0;
  }
}

LRESULT LogoForm::handle(UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_COMMAND:
      if (HIWORD(wParam) != BN_CLICKED) break;
      switch (LOWORD(wParam)) {
        case kLoadFromFileId: loadFromFileClick(); return 0;
        case kSaveToFileId: saveToFileClick(); return 0;
        case kLoadFromPrinterId: startTransfer(true); return 0;
        case kSaveToPrinterId: startTransfer(false); return 0;
        case kCloseId: close(); return 0;
        default: break;
      }
      break;
    case DM_GETDEFID:
      return MAKELRESULT(kLoadFromPrinterId, DC_HASDEFID);
    case WM_CLOSE:
      close();
      return 0;
    case WM_TIMER:
      if (wParam == kFrontTimer) onTimer();
      return 0;
    case kProgressMessage:
      SendMessageW(FBar, PBM_SETPOS, wParam, 0);
      return 0;
    case kRowMessage:
      if (IsWindowVisible(FWindow)) InvalidateRect(FPicture, nullptr, FALSE);
      return 0;
    case kDoneMessage:
      onTransferDone();
      return 0;
    case WM_DESTROY:
      FOpen = false;
      return 0;
    default:
      break;
  }
  return DefWindowProcW(FWindow, message, wParam, lParam);
}

LRESULT CALLBACK LogoForm::PictureProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_NCCREATE) {
    auto* form = static_cast<LogoForm*>(reinterpret_cast<CREATESTRUCTW*>(lParam)->lpCreateParams);
    SetWindowLongPtrW(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(form));
  }
  auto* form = reinterpret_cast<LogoForm*>(GetWindowLongPtrW(window, GWLP_USERDATA));
  if (form != nullptr) {
    if (message == WM_ERASEBKGND) return 1;
    if (message == WM_PAINT) {
      form->paintPicture(window);
      return 0;
    }
  }
  return DefWindowProcW(window, message, wParam, lParam);
}

// ---------------------------------------------------------------- the picture

void LogoForm::showPicture(const logo::Pixels& picture) {
  {
    std::lock_guard<std::mutex> guard(FShownLock);
    FShown = picture;
  }
  InvalidateRect(FPicture, nullptr, FALSE);
}

// The panel's colour with the picture at 1:1 in its 576 x 98 place, top
// left; a larger picture is cut there, as the image control always did.
void LogoForm::paintPicture(HWND window) {
  PAINTSTRUCT paint;
  HDC screen = BeginPaint(window, &paint);
  RECT client;
  GetClientRect(window, &client);
  const int width = client.right;
  const int height = client.bottom;
  HDC memory = CreateCompatibleDC(screen);
  HBITMAP canvas = CreateCompatibleBitmap(screen, width, height);
  if (memory != nullptr && canvas != nullptr) {
    HGDIOBJ old = SelectObject(memory, canvas);
    HBRUSH panel = CreateSolidBrush(kPanelColour);
    FillRect(memory, &client, panel);
    DeleteObject(panel);
    {
      std::lock_guard<std::mutex> guard(FShownLock);
      const int w = std::min(FShown.width, logo::kPictureWidth);
      const int h = std::min(FShown.height, logo::kPictureHeight);
      if (w > 0 && h > 0) {
        std::vector<std::uint32_t> dots(static_cast<std::size_t>(w) * static_cast<std::size_t>(h));
        for (int y = 0; y < h; ++y)
          for (int x = 0; x < w; ++x) dots[static_cast<std::size_t>(y * w + x)] = DibDot(FShown.At(x, y));
        BITMAPINFO info {};
        info.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
        info.bmiHeader.biWidth = w;
        info.bmiHeader.biHeight = -h;  // top row first
        info.bmiHeader.biPlanes = 1;
        info.bmiHeader.biBitCount = 32;
        info.bmiHeader.biCompression = BI_RGB;
        const int left = (width - logo::kPictureWidth) / 2;
        const int top = (height - logo::kPictureHeight) / 2;
        SetDIBitsToDevice(memory, left, top, static_cast<DWORD>(w), static_cast<DWORD>(h), 0, 0, 0,
                          static_cast<UINT>(h), dots.data(), &info, DIB_RGB_COLORS);
      }
    }
    BitBlt(screen, 0, 0, width, height, memory, 0, 0, SRCCOPY);
    SelectObject(memory, old);
  }
  if (canvas != nullptr) DeleteObject(canvas);
  if (memory != nullptr) DeleteDC(memory);
  EndPaint(window, &paint);
}

// ---------------------------------------------------------------- printer transfers

void LogoForm::setTransferButtonsEnabled(bool enabled) {
  for (HWND b : {FLoadFromFile, FSaveToFile, FLoadFromPrinter, FSaveToPrinter}) EnableWindow(b, enabled);
  // A disabled button loses the focus; it goes back where Enter works.
  if (enabled && GetFocus() == nullptr) SetFocus(FLoadFromPrinter);
}

void LogoForm::startTransfer(bool read) {
  if (busy()) return;
  setTransferButtonsEnabled(false);
  if (read) {
    FTransfer.clearLogo();
    showPicture(FTransfer.picture());
  }
  const HWND window = FWindow;
  logo::LogoTransfer::Observer observer;
  observer.progressChanged = [window](int position) {
    PostMessageW(window, kProgressMessage, static_cast<WPARAM>(position), 0);
  };
  observer.rowRead = [this, window](int row, const logo::LogoRow& bits) {
    {
      std::lock_guard<std::mutex> guard(FShownLock);
      logo::PaintRow(FShown, row, bits);
    }
    PostMessageW(window, kRowMessage, 0, 0);
  };
  FTransfer.setObserver(std::move(observer));
  try {
    FWorker = std::thread([this, read, window] {
      {
        // The client's events reach its sink through COM.
        ComApartment com;
        try {
          if (read)
            FTransfer.readLogoRows();
          else
            FTransfer.writeLogoRows();
        } catch (...) {
        }
      }
      PostMessageW(window, kDoneMessage, 0, 0);
    });
  } catch (const std::exception& e) {
    FTransfer.setObserver({});
    setTransferButtonsEnabled(true);
    tellUser(L"The transfer could not be started: " + Utf8ToWin(e.what()));
  }
}

void LogoForm::onTransferDone() {
  if (FWorker.joinable()) FWorker.join();
  FTransfer.setObserver({});
  showPicture(FTransfer.picture());
  SendMessageW(FBar, PBM_SETPOS, static_cast<WPARAM>(FTransfer.progressPosition()), 0);
  setTransferButtonsEnabled(true);
  if (FQuitSeen) FOpen = false;
}

// ---------------------------------------------------------------- files

void LogoForm::loadFromFileClick() {
  if (busy()) return;
  EnableWindow(FLoadFromFile, FALSE);
  std::wstring fileName;
  try {
    fileName = ChoosePictureToOpen(FWindow, ExecutableFolder());
  } catch (const std::exception& e) {
    tellUser(Utf8ToWin(e.what()));
  }
  if (!fileName.empty()) {
    if (!FTransfer.loadPictureFromFile(WinToUtf8(fileName))) tellUser(Utf8ToWin(FTransfer.lastFileError()));
    showPicture(FTransfer.picture());
  }
  EnableWindow(FLoadFromFile, TRUE);
  if (GetFocus() == nullptr) SetFocus(FLoadFromFile);
}

void LogoForm::saveToFileClick() {
  if (busy()) return;
  FTransfer.setLogoFileName({});
  std::wstring folder = Utf8ToWin(FTransfer.targetFolder());
  if (folder.empty() || !IsFolder(folder)) {
    FTransfer.setTargetFolder({});
    folder = ExecutableFolder();
  }
  const std::wstring chosen = ChooseBitmapToSave(FWindow, folder);
  if (chosen.empty()) return;
  const std::wstring fileName = Utf8ToWin(logo::WithBitmapSuffix(WinToUtf8(chosen)));
  // The dialog asked about the name the user typed; a name that only now
  // gets its ".bmp" may hit a file the user was never asked about.
  if (fileName != chosen && IsFile(fileName) && !confirmOverwrite(fileName)) return;
  FTransfer.setLogoFileName(WinToUtf8(fileName));
  if (!FTransfer.saveLogoToFile())
    tellUser(L"The logo could not be saved to " + fileName + L".\r\n\r\n" + Utf8ToWin(FTransfer.lastFileError()));
}

void LogoForm::tellUser(const std::wstring& text) {
  MessageBoxW(FWindow, text.c_str(), kCaption, MB_OK | MB_ICONWARNING);
}

bool LogoForm::confirmOverwrite(const std::wstring& fileName) {
  const std::wstring text = fileName + L" already exists.\r\nDo you want to replace it?";
  return MessageBoxW(FWindow, text.c_str(), kCaption, MB_YESNO | MB_ICONQUESTION | MB_DEFBUTTON2) == IDYES;
}

}  // namespace orbantis::win32ui
