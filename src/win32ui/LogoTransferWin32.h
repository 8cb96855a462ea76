// The logo transfers between the printer, a picture and a bitmap file, on
// Windows: the logo form's work without the form.
//
// The same operations, result codes and events as the Linux build's
// uLogo/LogoTransfer, on the core's pixels (logo/LogoDots.h) with the
// pictures loaded and saved by WicPicture. getLogoFromPrinter and
// saveLogoToPrinter run it on the client's RPC thread; the logo form runs it
// on a thread of its own. One transfer object is used by one thread at a time.
//
// Rows go to the printer with CMD_115_0 and come back with CMD_115_1, one
// exchange per row. The client hears of it through the automation object:
//   OnStartProgress, OnProgress 0, OnProgress 1..96 (one per row),
//   OnProgress 0, OnEndProgress
// and ON_ERROR for a failing row command (its code and text) and for each
// logo error -42001 to -42005.
#pragma once

#include <cstdint>
#include <functional>
#include <string>

#include "foundation/Strings.h"
#include "logo/LogoDots.h"

namespace orbantis {
class TFP_ZORVIK;
class TKELMORA;
}  // namespace orbantis

namespace orbantis::win32ui {

// Result codes of the two logo transfers.
inline constexpr std::int32_t LOGO_OK = 0;
inline constexpr std::int32_t LOGO_EXCEPTION = -42000;  // any fault, a failed row command included
inline constexpr std::int32_t LOGO_CANNOT_CREATE_FOLDER = -42001;
inline constexpr std::int32_t LOGO_CANNOT_SAVE_FILE = -42002;
inline constexpr std::int32_t LOGO_WRONG_FILE_NAME = -42003;  // a folder without a file part
inline constexpr std::int32_t LOGO_FILE_NOT_EXIST = -42004;
inline constexpr std::int32_t LOGO_WRONG_FILE_TYPE = -42005;  // not .bmp, .png, .jpg or .jpeg (any case)

class LogoTransferWin32 {
 public:
  // What a form wants to know while a transfer runs; called on the
  // transfer's thread.
  struct Observer {
    std::function<void(int position)> progressChanged;
    std::function<void(int row, const logo::LogoRow& bits)> rowRead;
  };

  // printer: the printer object for the row commands, not owned, may be null
  // (every transfer then fails with -42000). events: the automation object
  // that fires the client's events, not owned, may be null.
  explicit LogoTransferWin32(TFP_ZORVIK* printer = nullptr, TKELMORA* events = nullptr);

  void setPrinter(TFP_ZORVIK* printer) { tmpDORRIK = printer; }
  TFP_ZORVIK* printer() const { return tmpDORRIK; }
  void setMyComServerInstance(TKELMORA* events) { Ftest = events; }
  TKELMORA* myComServerInstance() const { return Ftest; }
  void setObserver(Observer observer) { FObserver = std::move(observer); }

  const std::wstring& logoFileName() const { return FlogoFileName; }
  void setLogoFileName(const std::wstring& name) { FlogoFileName = name; }
  const std::wstring& targetFolder() const { return FtargetFolder; }
  void setTargetFolder(const std::wstring& folder) { FtargetFolder = folder; }

  // The picture the operations work on (the form shows it).
  const logo::Pixels& picture() const { return FPicture; }
  void setPicture(logo::Pixels picture) { FPicture = std::move(picture); }

  // The progress bar the events report: position and maximum.
  int progressPosition() const { return FBarPosition; }
  int progressMaximum() const { return FBarMaximum; }
  // Why the last load or save of a file failed, for the user; empty after
  // one that worked.
  const std::wstring& lastFileError() const { return FLastFileError; }

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
  // clearLogo, then the picture of the file (BMP, JPEG, PNG). False when the
  // file is no readable picture; the picture then stays clear.
  bool loadPictureFromFile(const std::wstring& fileName);

  // --- the two transfers of the automation interface ---

  // Reads the logo and saves it under logoFileName in targetFolder:
  // 0, -42000 (any fault, a failed row, a name without a folder), -42001,
  // -42002, -42003.
  std::int32_t getLogoFromPrinterToFile();
  // Loads the picture logoFileName and writes it to the printer:
  // 0, -42000 (any fault, a failed row, no readable picture), -42004, -42005.
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
  std::wstring FlogoFileName;
  std::wstring FtargetFolder;
  std::wstring FLastFileError;
  logo::Pixels FPicture;
  int FBarPosition = 0;
  int FBarMaximum = 100;
};

}  // namespace orbantis::win32ui
