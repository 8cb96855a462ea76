#include "uORBANTIS/LogoTransfer.h"

#include <algorithm>
#include <string>

#include "foundation/CodePage.h"
#include "printer_model/ErrorMessages.h"
#include "printer_model/TFP_ZORVIK.h"
#include "uORBANTIS/TKELMORA.h"
#include "uErrLog/uErrLog.h"

namespace orbantis::logo {
namespace {

// Thrown inside a transfer that needs the printer object and has none.
struct NoPrinter : Exception {
  NoPrinter() : Exception("No printer object for the logo transfer.") {}
};

// The row number as the printer takes it: decimal, no leading zeros.
AnsiString RowNumber(int row) { return std::to_string(row); }

// Only ASCII letters matter in extensions; the locale must not.
std::string AsciiUpper(std::string s) {
  for (char& c : s)
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
  return s;
}

}  // namespace

// ---------------------------------------------------------------- file names

std::string WithBitmapSuffix(const std::string& name) {
  if (name.find(".bmp") != std::string::npos) return name;
  return name + ".bmp";
}

std::string FileNamePart(const std::string& name) {
  const auto cut = LastPathSeparator(name);
  return cut == std::string::npos ? name : name.substr(cut + 1);
}

bool HasPictureExtension(const std::string& name) {
  const std::string file = FileNamePart(name);
  const auto dot = file.rfind('.');
  const std::string ext = dot == std::string::npos ? std::string() : AsciiUpper(file.substr(dot));
  return ext == ".BMP" || ext == ".PNG" || ext == ".JPG" || ext == ".JPEG";
}

std::string FolderOf(const std::string& name) {
  const auto cut = LastPathSeparator(name);
  if (cut == std::string::npos) return {};
  // A file in a root folder has the root as its folder, not an empty one.
  if (cut == 0) return name.substr(0, 1);
  if (cut == 2 && name[1] == ':') return name.substr(0, 3);
  return name.substr(0, cut);
}

// ---------------------------------------------------------------- the transfer

LogoTransfer::LogoTransfer(PictureFiles& files, TFP_ZORVIK* printer, TKELMORA* events)
    : FFiles(files), tmpDORRIK(printer), Ftest(events) {}

void LogoTransfer::ensureCanvas() {
  if (FPicture.width >= kLogoDots && FPicture.height >= kLogoRows) return;
  const Pixels old = std::move(FPicture);
  FPicture = BlankPixels();
  for (int y = 0; y < std::min(old.height, kPictureHeight); ++y)
    for (int x = 0; x < std::min(old.width, kPictureWidth); ++x) FPicture.Set(x, y, old.At(x, y));
}

// ---------------------------------------------------------------- events

void LogoTransfer::setBar(int position) {
  FBarPosition = position;
  if (FObserver.progressChanged) FObserver.progressChanged(position);
}

void LogoTransfer::fireStart() {
  if (!Ftest) return;
  try {
    Ftest->sendOnStartProgress();
  } catch (...) {
  }
}

void LogoTransfer::fireProgress(int position) {
  if (!Ftest) return;
  try {
    Ftest->sendOnProgress(position, WideString());
  } catch (...) {
  }
}

void LogoTransfer::fireEnd() {
  if (!Ftest) return;
  try {
    Ftest->sendOnEndProgress();
  } catch (...) {
  }
}

void LogoTransfer::fireError(std::int32_t code, const WideString& message) {
  if (!Ftest) return;
  try {
    Ftest->sendOnError(code, message);
  } catch (...) {
  }
}

void LogoTransfer::reportRowError() {
  if (!tmpDORRIK) return;
  fireError(tmpDORRIK->FLastErrorCode, DecodeCodePage(tmpDORRIK->FLastErrorMessage, CP_WESTERN));
}

void LogoTransfer::reportLogoError(std::int32_t code) {
  WideString message;
  try {
    if (tmpDORRIK) {
      tmpDORRIK->SET_ERROR_MESSAGE(code);
      message = DecodeCodePage(tmpDORRIK->FLastErrorMessage, CP_WESTERN);
    } else {
      // Without a printer object there is no last error to keep, but the
      // client still learns what was wrong with its file.
      message = FixedErrorTexts(code).language1;
    }
  } catch (...) {
  }
  fireError(code, message);
}

void LogoTransfer::endTransfer() {
  setBar(0);
  fireProgress(FBarPosition);
  fireEnd();
}

// ---------------------------------------------------------------- operations

bool LogoTransfer::clearLogo() {
  try {
    FPicture = BlankPixels();
    return true;
  } catch (...) {
    return false;
  }
}

bool LogoTransfer::readLogoRows() {
  bool ok = false;
  try {
    ensureCanvas();
    setBar(0);
    fireStart();
    fireProgress(FBarPosition);
    for (int row = 0; row < kLogoRows; ++row) {
      if (!tmpDORRIK) throw NoPrinter();
      AnsiString answer;
      if (tmpDORRIK->CMD_115_1(RowNumber(row), answer) != 0) {
        reportRowError();
        throw Exception("Logo row " + std::to_string(row) + " was not read.");
      }
      setBar(FBarPosition + 1);
      fireProgress(FBarPosition);
      const auto bits = DecodeRow(answer);
      if (!bits) throw Exception("Logo row " + std::to_string(row) + " is too short.");
      PaintRow(FPicture, row, *bits);
      if (FObserver.rowRead) FObserver.rowRead(row, *bits);
    }
    ok = true;
  } catch (...) {
    ok = false;
  }
  endTransfer();
  return ok;
}

bool LogoTransfer::ditherLogo() {
  try {
    return DitherLogo(FPicture);
  } catch (...) {
    return false;
  }
}

bool LogoTransfer::writeLogoRows() {
  bool ok = false;
  try {
    if (!ditherLogo()) {
      clearLogo();
    } else {
      setBar(0);
      FBarMaximum = 100;
      fireStart();
      fireProgress(FBarPosition);
      ok = true;
      for (int row = 0; row < kLogoRows; ++row) {
        setBar(FBarPosition + 1);
        fireProgress(FBarPosition);
        const AnsiString text = EncodeRow(RowBits(FPicture, row));
        if (!tmpDORRIK) throw NoPrinter();
        if (tmpDORRIK->CMD_115_0(RowNumber(row), text) != 0) {
          reportRowError();
          ok = false;
          break;
        }
      }
    }
  } catch (...) {
    ok = false;
  }
  endTransfer();
  return ok;
}

bool LogoTransfer::saveLogoToFile() {
  try {
    FlogoFileName = WithBitmapSuffix(FlogoFileName);
    // Only what this save wrote counts: an older file of the same name must
    // not make a failed save look like a success.
    const bool saved = FFiles.SaveBitmap(FPicture, FlogoFileName, FLastFileError);
    FtargetFolder = FolderOf(FlogoFileName);
    return saved && FFiles.IsFile(FlogoFileName);
  } catch (...) {
    return false;
  }
}

bool LogoTransfer::loadPictureFromFile(const std::string& fileName) {
  try {
    if (!clearLogo()) return false;
    Pixels loaded;
    if (!FFiles.Load(fileName, loaded, FLastFileError)) return false;
    FPicture = std::move(loaded);
    return true;
  } catch (...) {
    return false;
  }
}

// ---------------------------------------------------------------- transfers

std::int32_t LogoTransfer::getLogoFromPrinterToFile() {
  try {
    if (!clearLogo()) return LOGO_EXCEPTION;
    if (!readLogoRows()) return LOGO_EXCEPTION;

    if (!FFiles.IsFolder(FtargetFolder)) {
      FtargetFolder = FolderOf(FlogoFileName);
      // A bare file name gives no folder to create. Writing beside whatever
      // the server's current directory happens to be is no answer either.
      if (FtargetFolder.empty()) return LOGO_EXCEPTION;
      if (!FFiles.MakeFolders(FtargetFolder)) {
        reportLogoError(LOGO_CANNOT_CREATE_FOLDER);
        return LOGO_CANNOT_CREATE_FOLDER;
      }
    }
    FtargetFolder = IncludeTrailingPathDelimiter(FtargetFolder);
    FlogoFileName = WithBitmapSuffix(FlogoFileName);
    // A name that ends in its folder ("/logos/", "C:\logos\") has no file
    // part; ".bmp" alone would make a hidden-looking file of no name.
    if (FlogoFileName == FtargetFolder + ".bmp" || FileNamePart(FlogoFileName) == ".bmp") {
      reportLogoError(LOGO_WRONG_FILE_NAME);
      return LOGO_WRONG_FILE_NAME;
    }
    if (saveLogoToFile()) return LOGO_OK;
    reportLogoError(LOGO_CANNOT_SAVE_FILE);
    return LOGO_CANNOT_SAVE_FILE;
  } catch (...) {
    return LOGO_EXCEPTION;
  }
}

std::int32_t LogoTransfer::saveLogoFromFileToPrinter() {
  try {
    if (!clearLogo()) return LOGO_EXCEPTION;
    if (!FFiles.IsFile(FlogoFileName)) {
      reportLogoError(LOGO_FILE_NOT_EXIST);
      return LOGO_FILE_NOT_EXIST;
    }
    if (!HasPictureExtension(FlogoFileName)) {
      reportLogoError(LOGO_WRONG_FILE_TYPE);
      return LOGO_WRONG_FILE_TYPE;
    }
    if (!loadPictureFromFile(FlogoFileName)) return LOGO_EXCEPTION;
    return writeLogoRows() ? LOGO_OK : LOGO_EXCEPTION;
  } catch (...) {
    return LOGO_EXCEPTION;
  }
}

}  // namespace orbantis::logo
