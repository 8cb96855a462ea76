// The logo transfers between the printer, a picture and a picture file: the
// logo form's work without the form, the same on every platform.
//
// The server runs it on the calling thread for getLogoFromPrinter and
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
//
// The platform only reads and writes picture files (PictureFiles: Qt on
// Linux, WIC on Windows); the dots, the rows and the file-name rules are
// here and in the core (logo/LogoDots.h). File names are UTF-8.
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

namespace orbantis::logo {

// Result codes of the two logo transfers.
inline constexpr std::int32_t LOGO_OK = 0;
inline constexpr std::int32_t LOGO_EXCEPTION = -42000;  // any fault, a failed row command included
inline constexpr std::int32_t LOGO_CANNOT_CREATE_FOLDER = -42001;
inline constexpr std::int32_t LOGO_CANNOT_SAVE_FILE = -42002;
inline constexpr std::int32_t LOGO_WRONG_FILE_NAME = -42003;  // a folder without a file part
inline constexpr std::int32_t LOGO_FILE_NOT_EXIST = -42004;
inline constexpr std::int32_t LOGO_WRONG_FILE_TYPE = -42005;  // not .bmp, .png, .jpg or .jpeg (any case)

// What the transfers need of the platform's files.
class PictureFiles {
 public:
  virtual ~PictureFiles() = default;
  // The picture of the file (BMP, JPEG, PNG), transparency laid over white;
  // false with a reason for the user when the file is no readable picture.
  virtual bool Load(const std::string& name, Pixels& picture, std::string& error) = 0;
  // The picture as a 24-bit BMP, replacing the file only once the new one is
  // complete; true only when this save wrote it.
  virtual bool SaveBitmap(const Pixels& picture, const std::string& name, std::string& error) = 0;
  virtual bool IsFile(const std::string& name) = 0;
  virtual bool IsFolder(const std::string& name) = 0;
  // Creates the folder and its missing parents; true when it exists afterwards.
  virtual bool MakeFolders(const std::string& folder) = 0;
};

// --- file names, with the platform's separators ("/"; on Windows "\" too) ---

// The name with ".bmp" appended unless it already contains ".bmp" (exact,
// lowercase, anywhere in the name): "a.BMP" becomes "a.BMP.bmp". Clients
// have always been answered by this rule; it stays.
std::string WithBitmapSuffix(const std::string& name);
// The file part: everything after the last separator.
std::string FileNamePart(const std::string& name);
// True for ".bmp", ".png", ".jpg" and ".jpeg" in any letter case: the
// pictures a till has at hand.
bool HasPictureExtension(const std::string& name);
// Everything before the last separator; the root folder itself ("/", "\",
// "C:\") for a file in it; empty when the name has no folder part.
std::string FolderOf(const std::string& name);

class LogoTransfer {
 public:
  // What a form wants to know while a transfer runs; called on the
  // transfer's thread.
  struct Observer {
    std::function<void(int position)> progressChanged;
    std::function<void(int row, const LogoRow& bits)> rowRead;
  };

  // files: the platform's picture files, not owned. printer: the printer
  // object for the row commands, not owned, may be null (every transfer then
  // fails with -42000). events: the automation object that fires the
  // client's events, not owned, may be null.
  explicit LogoTransfer(PictureFiles& files, TFP_ZORVIK* printer = nullptr, TKELMORA* events = nullptr);

  void setPrinter(TFP_ZORVIK* printer) { tmpDORRIK = printer; }
  TFP_ZORVIK* printer() const { return tmpDORRIK; }
  void setMyComServerInstance(TKELMORA* events) { Ftest = events; }
  TKELMORA* myComServerInstance() const { return Ftest; }
  void setObserver(Observer observer) { FObserver = std::move(observer); }

  const std::string& logoFileName() const { return FlogoFileName; }
  void setLogoFileName(const std::string& name) { FlogoFileName = name; }
  const std::string& targetFolder() const { return FtargetFolder; }
  void setTargetFolder(const std::string& folder) { FtargetFolder = folder; }

  // The picture the operations work on (the form shows it).
  const Pixels& picture() const { return FPicture; }
  void setPicture(Pixels picture) { FPicture = std::move(picture); }

  // The progress bar the events report: position and maximum.
  int progressPosition() const { return FBarPosition; }
  int progressMaximum() const { return FBarMaximum; }
  // Why the last load or save of a file failed, for the user.
  const std::string& lastFileError() const { return FLastFileError; }

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
  // clearLogo, then the picture of the file. False when the file is no
  // readable picture; the picture then stays clear.
  bool loadPictureFromFile(const std::string& fileName);

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

  PictureFiles& FFiles;
  TFP_ZORVIK* tmpDORRIK = nullptr;
  TKELMORA* Ftest = nullptr;
  Observer FObserver;
  std::string FlogoFileName;
  std::string FtargetFolder;
  std::string FLastFileError;
  Pixels FPicture;
  int FBarPosition = 0;
  int FBarMaximum = 100;
};

}  // namespace orbantis::logo
