// Picture files on Windows, for the logo: the Windows Imaging Component
// loads them, a plain writer saves bitmaps.
//
// Only pixels cross here. Dithering, rows and decoding are the core's
// (logo/LogoDots.h), so the same picture file gives the same 96 rows on
// Windows as on Linux, where Qt loads it (uLogo/LogoPicture).
//
// Any thread: each call brings COM up on its thread if it is not up yet.
#pragma once

#include <cstdint>
#include <string>

#include "logo/LogoDots.h"
#include "uORBANTIS/LogoTransfer.h"

namespace orbantis::win32ui {

// Pictures above this many dots are refused before their pixels are read: a
// forged header must not make the server allocate gigabytes (the same limit
// as Qt's reader on Linux, 256 MB of 32-bit pixels).
inline constexpr std::uint64_t kMaxPictureDots = 64ull * 1024 * 1024;

// Loads the first frame of a BMP, JPEG or PNG file (any still picture the
// imaging component decodes) as colour values, red in the low byte;
// transparent parts are laid over white, since the paper is white. False
// with pixels null and error set to a sentence a user can act on.
bool LoadPicture(const std::wstring& fileName, logo::Pixels& pixels, std::wstring& error);

// Writes the pixels as a 24-bit, bottom-up BMP. The file is replaced only
// once the new one is complete, so a failed save leaves an older file of
// that name as it was. False with error set when nothing was written (a
// null picture included).
bool SavePictureAsBitmap(const logo::Pixels& pixels, const std::wstring& fileName, std::wstring& error);

// The picture files of the logo transfers (uORBANTIS/LogoTransfer.h), with
// the imaging component; file names are UTF-8.
class WicPictureFiles : public logo::PictureFiles {
 public:
  bool Load(const std::string& name, logo::Pixels& picture, std::string& error) override;
  bool SaveBitmap(const logo::Pixels& picture, const std::string& name, std::string& error) override;
  bool IsFile(const std::string& name) override;
  bool IsFolder(const std::string& name) override;
  bool MakeFolders(const std::string& folder) override;
};

}  // namespace orbantis::win32ui
