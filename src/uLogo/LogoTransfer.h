// The logo transfers between the printer, a picture and a bitmap file.
//
// This is the logo form's work without the form: the server runs it on an
// automation object's worker thread for getLogoFromPrinter and
// saveLogoToPrinter (also when there is no display), and the form runs it on
// a thread of its own so that its window stays responsive. One transfer
// object is used by one thread at a time.
//
// Rows go to the printer with CMD_115_0 and come back with CMD_115_1, one
// exchange per row. The client hears of it through the automation object:
//   OnStartProgress, OnProgress 0, OnProgress 1..96 (one per row),
//   OnProgress 0, OnEndProgress
// and ON_ERROR for a failing row command (its code and text) and for each
// logo error -42001 to -42005.
#pragma once

#include <QImage>
#include <QString>
#include <cstdint>
#include <functional>

#include "uLogo/LogoPicture.h"
#include "foundation/Strings.h"

namespace orbantis {
class TFP_ZORVIK;
class TKELMORA;
}  // namespace orbantis

namespace orbantis::logo {

class LogoTransfer {
 public:
  // What a form wants to know while a transfer runs; called on the
  // transfer's thread.
  struct Observer {
    std::function<void(int position)> progressChanged;
    std::function<void(int row, const LogoRow& bits)> rowRead;
  };

  // printer: the printer object for the row commands, not owned, may be null
  // (every transfer then fails with -42000). events: the automation object
  // that fires the client's events, not owned, may be null.
  explicit LogoTransfer(TFP_ZORVIK* printer = nullptr, TKELMORA* events = nullptr);

  void setPrinter(TFP_ZORVIK* printer) { tmpDORRIK = printer; }
  TFP_ZORVIK* printer() const { return tmpDORRIK; }
  void setMyComServerInstance(TKELMORA* events) { Ftest = events; }
  TKELMORA* myComServerInstance() const { return Ftest; }
  void setObserver(Observer observer) { FObserver = std::move(observer); }

  const QString& logoFileName() const { return FlogoFileName; }
  void setLogoFileName(const QString& name) { FlogoFileName = name; }
  const QString& targetFolder() const { return FtargetFolder; }
  void setTargetFolder(const QString& folder) { FtargetFolder = folder; }

  // The picture the operations work on (the form shows it).
  const QImage& picture() const { return FPicture; }
  void setPicture(const QImage& picture);

  // The progress bar the events report: position and maximum.
  int progressPosition() const { return FBarPosition; }
  int progressMaximum() const { return FBarMaximum; }

  // --- the form's operations; each turns any fault into false ---

  // A fresh white 576 x 98 picture: whatever was shown before (a picture of
  // another size included) does not survive into the next logo.
  bool clearLogo();
  // The 96 rows from the printer painted into the picture.
  bool readLogoRows();
  // The picture turned into black and white dots (rows 0..95); false when
  // there is no picture.
  bool ditherLogo();
  // ditherLogo, then the 96 rows to the printer. When the picture cannot be
  // dithered the picture is cleared and only the ending events fire.
  bool writeLogoRows();
  // The picture to the file logoFileName (".bmp" appended unless the name
  // contains it) as a BMP; targetFolder becomes the file's folder. True only
  // when this save wrote the file.
  bool saveLogoToFile();
  // clearLogo, then the picture of the file (BMP, JPEG). False when the file
  // is no readable picture; the picture then stays clear.
  bool loadPictureFromFile(const QString& fileName);

  // --- the two transfers of the automation interface ---

  // Reads the logo and saves it under logoFileName in targetFolder:
  // 0, -42000 (any fault, a failed row, a name without a folder), -42001,
  // -42002, -42003.
  std::int32_t getLogoFromPrinterToFile();
  // Loads the bitmap logoFileName and writes it to the printer:
  // 0, -42000 (any fault, a failed row), -42004, -42005.
  std::int32_t saveLogoFromFileToPrinter();

 private:
  // The picture as a canvas that holds the whole logo.
  void ensureCanvas();
  void setBar(int position);
  // The client's events. A sink that fails to take an event does not stop
  // a transfer: a write abandoned halfway would leave the printer with a
  // logo that is part old, part new.
  void fireStart();
  void fireProgress(int position);
  void fireEnd();
  void fireError(std::int32_t code, const WideString& message);
  // ON_ERROR with the printer object's last error (a failed row command).
  void reportRowError();
  // Sets the printer object's last error to code and fires ON_ERROR with it.
  void reportLogoError(std::int32_t code);
  // The ending of both row transfers, run in every case.
  void endTransfer();

  TFP_ZORVIK* tmpDORRIK = nullptr;
  TKELMORA* Ftest = nullptr;
  Observer FObserver;
  QString FlogoFileName;
  QString FtargetFolder;
  QImage FPicture;
  int FBarPosition = 0;
  int FBarMaximum = 100;
};

}  // namespace orbantis::logo
