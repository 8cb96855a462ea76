// The logo forms of the server, as the automation objects use them
// (TKELMORA::SetLogoForms installs one for the process).
//
// Calls arrive on an automation object's worker thread. showLogoForm opens
// the modal form on the main (GUI) thread and waits there until the user
// closes it; the object's worker is held meanwhile, so no other call of that
// client touches its printer while the form does. The two transfers need no
// window and run right on the calling worker thread.
#pragma once

#include <QPointer>
#include <QWidget>
#include <memory>

#include "uORBANTIS/TKELMORA.h"

namespace orbantis::logo {

class LogoForms : public ILogoForms {
 public:
  // Create on the GUI thread once the QApplication exists. owner: the main
  // window that owns the forms (may be null).
  explicit LogoForms(QWidget* owner = nullptr);
  ~LogoForms() override;

  void SetOwner(QWidget* owner);
  // Forms are shown even on Qt's offscreen platform (tests drive them there).
  void SetShowWithoutDisplay(bool on);

  // Returns at once when there is no display or no widget application, and
  // when a logo form is already open (there is one at a time).
  void ShowLogoForm(TKELMORA& object, bool stayOnTop) override;
  std::int32_t GetLogoFromPrinterToFile(TKELMORA& object, const WideString& fileName,
                                        const std::string& folder) override;
  std::int32_t SaveLogoFromFileToPrinter(TKELMORA& object, const WideString& fileName,
                                         const std::string& folder) override;

 private:
  struct State;
  std::shared_ptr<State> FState;
};

}  // namespace orbantis::logo
