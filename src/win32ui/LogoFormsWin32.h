// The logo forms of the Windows server, as the automation objects use them
// (TKELMORA::SetLogoForms installs the one MakeLogoForms returns).
//
// Calls arrive on the COM server's RPC threads. showLogoForm opens the modal
// form on the user-interface thread through ServerWindow::Invoke and waits
// there until the user closes it; one form at a time, so a second call while
// one is open returns at once. The two transfers need no window and run
// right on the calling thread.
#pragma once

#include <cstdint>
#include <string>

#include "uORBANTIS/TKELMORA.h"

namespace orbantis::win32ui {

class ServerWindow;

class LogoFormsWin32 : public ILogoForms {
 public:
  // window: shows the forms and owns them; it must outlive this object.
  explicit LogoFormsWin32(ServerWindow& window);

  void ShowLogoForm(TKELMORA& object, bool stayOnTop) override;
  std::int32_t GetLogoFromPrinterToFile(TKELMORA& object, const WideString& fileName,
                                        const std::string& folder) override;
  std::int32_t SaveLogoFromFileToPrinter(TKELMORA& object, const WideString& fileName,
                                         const std::string& folder) override;

 private:
  ServerWindow& FWindow;
  bool FFormOpen = false;  // UI thread only
};

}  // namespace orbantis::win32ui
