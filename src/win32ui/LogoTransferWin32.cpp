#include "win32ui/LogoTransferWin32.h"

#include <algorithm>
#include <string>

#include "foundation/CodePage.h"
#include "printer_model/ErrorMessages.h"
#include "printer_model/TFP_ZORVIK.h"
#include "uORBANTIS/TKELMORA.h"
#include "win32ui/FilePaths.h"
#include "win32ui/WicPicture.h"

namespace orbantis::win32ui {
namespace {

// Thrown inside a transfer that needs the printer object and has none.
struct NoPrinter : Exception {
  NoPrinter() : Exception("No printer object for the logo transfer.") {}
};

// The row number as the printer takes it: decimal, no leading zeros.
AnsiString RowNumber(int row) { return std::to_string(row); }

}  // namespace

LogoTransferWin32::LogoTransferWin32(TFP_ZORVIK* printer, TKELMORA* events) : tmpDORRIK(printer), Ftest(events) {}

void LogoTransferWin32::ensureCanvas() {
  if (FPicture.width >= logo::kLogoDots && FPicture.height >= logo::kLogoRows) return;
  const logo::Pixels old = std::move(FPicture);
  FPicture = logo::BlankPixels();
  for (int y = 0; y < std::min(old.height, logo::kPictureHeight); ++y)
    for (int x = 0; x < std::min(old.width, logo::kPictureWidth); ++x) FPicture.Set(x, y, old.At(x, y));
}

// ---------------------------------------------------------------- events

void LogoTransferWin32::setBar(int position) {
  FBarPosition = position;
  if (FObserver.progressChanged) FObserver.progressChanged(position);
}

void LogoTransferWin32::fireStart() {
  if (!Ftest) return;
  try {
    Ftest->sendOnStartProgress();
  } catch (...) {
  }
}

void LogoTransferWin32::fireProgress(int position) {
  if (!Ftest) return;
  try {
    Ftest->sendOnProgress(position, WideString());
  } catch (...) {
  }
}

void LogoTransferWin32::fireEnd() {
  if (!Ftest) return;
  try {
    Ftest->sendOnEndProgress();
  } catch (...) {
  }
}

void LogoTransferWin32::fireError(std::int32_t code, const WideString& message) {
  if (!Ftest) return;
  try {
    Ftest->sendOnError(code, message);
  } catch (...) {
  }
}

void LogoTransferWin32::reportRowError() {
  if (!tmpDORRIK) return;
  fireError(tmpDORRIK->FLastErrorCode, DecodeCodePage(tmpDORRIK->FLastErrorMessage, CP_WESTERN));
}

void LogoTransferWin32::reportLogoError(std::int32_t code) {
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

void LogoTransferWin32::endTransfer() {
  setBar(0);
  fireProgress(FBarPosition);
  fireEnd();
}

// ---------------------------------------------------------------- operations

bool LogoTransferWin32::clearLogo() {
  try {
    FPicture = logo::BlankPixels();
    return true;
  } catch (...) {
    return false;
  }
}

bool LogoTransferWin32::readLogoRows() {
  bool ok = false;
  try {
    ensureCanvas();
    setBar(0);
    fireStart();
    fireProgress(FBarPosition);
    for (int row = 0; row < logo::kLogoRows; ++row) {
      if (!tmpDORRIK) throw NoPrinter();
      AnsiString answer;
      if (tmpDORRIK->CMD_115_1(RowNumber(row), answer) != 0) {
        reportRowError();
        throw Exception("Logo row " + std::to_string(row) + " was not read.");
      }
      setBar(FBarPosition + 1);
      fireProgress(FBarPosition);
      const auto bits = logo::DecodeRow(answer);
      if (!bits) throw Exception("Logo row " + std::to_string(row) + " is too short.");
      logo::PaintRow(FPicture, row, *bits);
      if (FObserver.rowRead) FObserver.rowRead(row, *bits);
    }
    ok = true;
  } catch (...) {
    ok = false;
  }
  endTransfer();
  return ok;
}

bool LogoTransferWin32::ditherLogo() {
  try {
    return logo::DitherLogo(FPicture);
  } catch (...) {
    return false;
  }
}

bool LogoTransferWin32::writeLogoRows() {
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
      for (int row = 0; row < logo::kLogoRows; ++row) {
        setBar(FBarPosition + 1);
        fireProgress(FBarPosition);
        const AnsiString text = logo::EncodeRow(logo::RowBits(FPicture, row));
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

bool LogoTransferWin32::saveLogoToFile() {
  try {
    FlogoFileName = WithBitmapSuffix(FlogoFileName);
    // Only what this save wrote counts: an older file of the same name must
    // not make a failed save look like a success.
    const bool saved = SavePictureAsBitmap(FPicture, FlogoFileName, FLastFileError);
    FtargetFolder = FolderOf(FlogoFileName);
    return saved && IsFile(FlogoFileName);
  } catch (...) {
    return false;
  }
}

bool LogoTransferWin32::loadPictureFromFile(const std::wstring& fileName) {
  try {
    if (!clearLogo()) return false;
    logo::Pixels loaded;
    if (!LoadPicture(fileName, loaded, FLastFileError)) return false;
    FPicture = std::move(loaded);
    return true;
  } catch (...) {
    return false;
  }
}

// ---------------------------------------------------------------- transfers

std::int32_t LogoTransferWin32::getLogoFromPrinterToFile() {
  try {
    if (!clearLogo()) return LOGO_EXCEPTION;
    if (!readLogoRows()) return LOGO_EXCEPTION;

    if (!IsFolder(FtargetFolder)) {
      FtargetFolder = FolderOf(FlogoFileName);
      // A bare file name gives no folder to create. Writing beside whatever
      // the server's current directory happens to be is no answer either.
      if (FtargetFolder.empty()) return LOGO_EXCEPTION;
      if (!CreateFolderTree(FtargetFolder)) {
        reportLogoError(LOGO_CANNOT_CREATE_FOLDER);
        return LOGO_CANNOT_CREATE_FOLDER;
      }
    }
    if (!EndsWithSeparator(FtargetFolder)) FtargetFolder += L'\\';
    FlogoFileName = WithBitmapSuffix(FlogoFileName);
    // A name that ends in its folder ("C:\logos\" or "C:/logos/") has no
    // file part; ".bmp" alone would make a hidden-looking file of no name.
    if (FlogoFileName == FtargetFolder + L".bmp" || FileNamePart(FlogoFileName) == L".bmp") {
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

std::int32_t LogoTransferWin32::saveLogoFromFileToPrinter() {
  try {
    if (!clearLogo()) return LOGO_EXCEPTION;
    if (!IsFile(FlogoFileName)) {
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

}  // namespace orbantis::win32ui
