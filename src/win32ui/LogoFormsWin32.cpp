#include "win32ui/LogoFormsWin32.h"

#include <exception>
#include <memory>

#include "uErrLog/uErrLog.h"
#include "win32ui/LogoForm.h"
#include "uORBANTIS/LogoTransfer.h"
#include "win32ui/WicPicture.h"
#include "win32ui/ServerWindow.h"
#include "win32ui/WinStrings.h"

namespace orbantis::win32ui {

LogoFormsWin32::LogoFormsWin32(ServerWindow& window) : FWindow(window) {}

void LogoFormsWin32::ShowLogoForm(TKELMORA& object, bool stayOnTop) {
  TKELMORA* target = &object;
  FWindow.Invoke([this, target, stayOnTop] {
    if (FFormOpen) return;
    FFormOpen = true;
    struct Reset {
      bool& flag;
      ~Reset() { flag = false; }
    } reset {FFormOpen};
    try {
      LogoForm form(FWindow.Handle(), target->printer(), target, stayOnTop);
      form.ShowModal();
    } catch (const std::exception& e) {
      // The client's call returns as it would after the form; support
      // finds the reason in the program-side log.
      try {
        WRITE_EXE_LOG(std::string("LogoForms.ShowLogoForm: ") + e.what());
      } catch (...) {
      }
    }
  });
}

std::int32_t LogoFormsWin32::GetLogoFromPrinterToFile(TKELMORA& object, const WideString& fileName,
                                                      const std::string& folder) {
  WicPictureFiles files;
  logo::LogoTransfer transfer(files, object.printer(), &object);
  transfer.setLogoFileName(WideToUtf8(fileName));
  transfer.setTargetFolder(folder);
  return transfer.getLogoFromPrinterToFile();
}

std::int32_t LogoFormsWin32::SaveLogoFromFileToPrinter(TKELMORA& object, const WideString& fileName,
                                                       const std::string& folder) {
  WicPictureFiles files;
  logo::LogoTransfer transfer(files, object.printer(), &object);
  transfer.setLogoFileName(WideToUtf8(fileName));
  transfer.setTargetFolder(folder);
  return transfer.saveLogoFromFileToPrinter();
}

std::shared_ptr<ILogoForms> MakeLogoForms(ServerWindow& window) { return std::make_shared<LogoFormsWin32>(window); }

}  // namespace orbantis::win32ui
