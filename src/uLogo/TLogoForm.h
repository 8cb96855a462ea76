// TfmSetGetLogo: the logo form.
//
// Shows the printer's logo (576 x 96 dots in a 576 x 98 picture), reads it
// from the printer, loads a picture file, writes the picture to the printer
// as black and white dots, and saves the shown picture as a bitmap file.
//
// Printer transfers run on a thread of their own: the main thread also
// dispatches the bus for every other client and must not wait 96 exchanges
// (or a silent printer's time-outs). While one runs, the four transfer
// buttons are disabled and the form cannot be closed, since the printer
// object belongs to the automation object whose call opened the form and
// must not outlive that call in use.
#pragma once

#include <QDialog>
#include <QImage>
#include <QTimer>
#include <atomic>
#include <cstdint>

#include "uLogo/LogoPicture.h"
#include "uORBANTIS/LogoTransfer.h"

class QLabel;
class QProgressBar;
class QPushButton;
class QThread;

namespace orbantis::logo {

class TfmSetGetLogo : public QDialog {
  Q_OBJECT

 public:
  explicit TfmSetGetLogo(QWidget* owner = nullptr);
  ~TfmSetGetLogo() override;

  // --- set by the creator before the form is shown ---
  void setTmpDORRIK(TFP_ZORVIK* printer) { FTransfer.setPrinter(printer); }
  void setMyComServerInstance(TKELMORA* object) { FTransfer.setMyComServerInstance(object); }
  bool toStayOnTop = false;
  QString logoFileName() const { return QString::fromStdString(FTransfer.logoFileName()); }
  void setLogoFileName(const QString& name) { FTransfer.setLogoFileName(name.toStdString()); }
  QString targetFolder() const { return QString::fromStdString(FTransfer.targetFolder()); }
  void setTargetFolder(const QString& folder) { FTransfer.setTargetFolder(folder.toStdString()); }

  // The two transfers of the automation interface, on the form's thread and
  // without showing anything but the result; -42000 while a button's
  // transfer runs.
  std::int32_t getLogoFromPrinterToFile();
  std::int32_t saveLogoFromFileToPrinter();

  // A printer transfer started by a button is running.
  bool busy() const { return FThread != nullptr; }
  // The picture the form shows.
  const QImage& shownPicture() const { return FShown; }

 public slots:
  void LoadFromFileClick();
  void SaveToFileClick();
  void LoadFromPrinterClick();
  void SaveToPrinterClick();

 signals:
  // A button's printer transfer ended (the buttons are enabled again).
  void transferFinished(bool ok);
  // The form was brought to the front after showing.
  void broughtToFront();

 protected:
  void showEvent(QShowEvent* event) override;
  // Closing is refused while a printer transfer runs.
  void done(int result) override;

  // The user's choices; the file dialogs by default.
  virtual QString choosePictureToOpen(const QString& folder);
  virtual QString chooseFileToSave(const QString& folder);
  virtual bool confirmOverwrite(const QString& fileName);
  virtual void tellUser(const QString& text);

 private:
  enum class Transfer { Read, Write };
  void buildControls();
  void startTransfer(Transfer kind);
  void onTransferDone();
  void onTimer();
  void setOnTop(bool on);
  void setTransferButtonsEnabled(bool enabled);
  void refreshImage();

  QtPictureFiles FFiles;
  LogoTransfer FTransfer {FFiles};
  // The shown copy: a running transfer works on FTransfer's picture on its
  // own thread and sends the rows here as they arrive.
  QImage FShown;
  QThread* FThread = nullptr;
  std::atomic<bool> FResult {false};
  QTimer FTimer;
  bool FBroughtToFront = false;
  bool FCentred = false;

  QLabel* FImage = nullptr;
  QProgressBar* FBar = nullptr;
  QPushButton* FLoadFromFile = nullptr;
  QPushButton* FSaveToFile = nullptr;
  QPushButton* FLoadFromPrinter = nullptr;
  QPushButton* FSaveToPrinter = nullptr;
  QPushButton* FClose = nullptr;
};

}  // namespace orbantis::logo
