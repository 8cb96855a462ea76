// TfmSetGetLogo on Windows: the logo form, a plain Win32 window.
//
// Shows the printer's logo (576 x 96 dots in a 576 x 98 picture), reads it
// from the printer, loads a picture file, writes the picture to the printer
// as black and white dots, and saves the shown picture as a bitmap file.
//
// It lives on the server's user-interface thread. Printer transfers run on a
// thread of their own: that thread also serves the tray icon and every other
// client's showLogoForm and must not wait 96 exchanges (or a silent
// printer's time-outs). While one runs, the four transfer buttons are
// disabled and the form cannot be closed, since the printer object belongs
// to the automation object whose call opened the form and must not outlive
// that call in use.
#pragma once

#include <windows.h>

#include <mutex>
#include <string>
#include <thread>

#include "uORBANTIS/LogoTransfer.h"
#include "win32ui/WicPicture.h"

namespace orbantis::win32ui {

class LogoForm {
 public:
  static constexpr wchar_t kCaption[] = L"Get/Set logo";

  // owner: the server window (may be null). printer, events: as for
  // the logo transfer. stayOnTop: the form stays above other windows once
  // shown; without it, it is brought to the front once.
  LogoForm(HWND owner, TFP_ZORVIK* printer, TKELMORA* events, bool stayOnTop);
  ~LogoForm();
  LogoForm(const LogoForm&) = delete;
  LogoForm& operator=(const LogoForm&) = delete;

  // Shows the form and runs its loop on the calling thread until the user
  // closes it. A WM_QUIT closes it as soon as no transfer runs and is posted
  // again for the caller's loop. Raises Exception when the window cannot be
  // made.
  void ShowModal();

 private:
  static LRESULT CALLBACK FormProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
  static LRESULT CALLBACK PictureProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
  static void RegisterClasses(HINSTANCE instance);

  LRESULT handle(UINT message, WPARAM wParam, LPARAM lParam);
  void createControls(HINSTANCE instance);
  void close();
  bool busy() const { return FWorker.joinable(); }

  // The buttons.
  void loadFromFileClick();
  void saveToFileClick();
  void startTransfer(bool read);
  void onTransferDone();

  void onTimer();
  void setTransferButtonsEnabled(bool enabled);
  void showPicture(const logo::Pixels& picture);
  void paintPicture(HWND window);
  void tellUser(const std::wstring& text);
  bool confirmOverwrite(const std::wstring& fileName);

  HWND FOwner;
  bool FStayOnTop;
  WicPictureFiles FFiles;
  logo::LogoTransfer FTransfer;

  HWND FWindow = nullptr;
  HWND FPicture = nullptr;
  HWND FBar = nullptr;
  HWND FLoadFromFile = nullptr;
  HWND FSaveToFile = nullptr;
  HWND FLoadFromPrinter = nullptr;
  HWND FSaveToPrinter = nullptr;
  HWND FClose = nullptr;
  HFONT FFont = nullptr;

  // The shown copy: a running transfer works on FTransfer's picture on its
  // own thread and paints the rows here as they arrive.
  std::mutex FShownLock;
  logo::Pixels FShown;
  std::thread FWorker;

  bool FOpen = false;
  bool FQuitSeen = false;
  WPARAM FQuitCode = 0;
};

}  // namespace orbantis::win32ui
