// The printer's logo as a picture on Qt: loading and saving pictures, and
// the QImage side of the conversions. The conversions themselves (dithering,
// rows, decoding) are the core's (logo/LogoDots.h), so that every platform
// sends the same rows for the same picture: Qt only loads and saves pixels.
#pragma once

#include <QImage>
#include <QString>
#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "logo/LogoDots.h"
#include "uORBANTIS/LogoTransfer.h"

namespace orbantis::logo {

// --- pictures ---

// The picture's colour values, for the core's conversions (a null image
// gives a null picture; transparency is laid over white).
Pixels ToPixels(const QImage& picture);
// The colour values as a picture in the working format.
QImage ToImage(const Pixels& pixels);

// A white picture of the form's size (576 x 98).
QImage BlankPicture();
// The picture in the one pixel format the conversions work on (32-bit RGB);
// transparent parts are laid over white, since the paper is white.
QImage NormalizePicture(const QImage& picture);
// The 24-bit colour value of the dot at column x, row y. Dots outside the
// picture are paper, so they read white.
std::uint32_t ColourValue(const QImage& picture, int x, int y);
// Sets the dot when it lies inside the picture; outside it there is nothing to paint.
void SetColourValue(QImage& picture, int x, int y, std::uint32_t colour);

// --- picture to dots ---

// Replaces rows 0..95, columns 0..kDitherColumns-1 by black and white dots
// with error diffusion (see the .cpp for the exact rule). False for a null
// picture, which has nothing to dither.
bool DitherLogo(QImage& picture);
// Row r of the picture as bits (dots outside the picture are white).
LogoRow RowBits(const QImage& picture, int row);

// --- dots to picture ---

// Paints the 576 dots of row r black (set bit) or white.
void PaintRow(QImage& picture, int row, const LogoRow& bits);

// --- whole logos (what the tests and tools use) ---

// Dithers a copy of the picture and encodes its 96 rows.
LogoRows PictureToRows(const QImage& picture);
// A white 576 x 98 picture with the 96 rows painted; no value when a row is short.
std::optional<QImage> RowsToPicture(const LogoRows& rows);

// --- files ---

// Loads a BMP or JPEG (any format the platform reads), normalized; a null
// image when the file cannot be read as a picture.
QImage LoadPicture(const QString& fileName);
// Writes the picture as a 24-bit BMP. The file is replaced only once the new
// one is complete, so a failed save leaves an older file as it was. True when
// the new file was written.
bool SavePictureAsBitmap(const QImage& picture, const QString& fileName);
// The picture files of the logo transfers (uORBANTIS/LogoTransfer.h), with
// Qt: file names are UTF-8.
class QtPictureFiles : public PictureFiles {
 public:
  bool Load(const std::string& name, Pixels& picture, std::string& error) override;
  bool SaveBitmap(const Pixels& picture, const std::string& name, std::string& error) override;
  bool IsFile(const std::string& name) override;
  bool IsFolder(const std::string& name) override;
  bool MakeFolders(const std::string& folder) override;
};

}  // namespace orbantis::logo
