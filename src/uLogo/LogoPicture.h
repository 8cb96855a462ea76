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

namespace orbantis::logo {

// Result codes of the two logo transfers.
inline constexpr std::int32_t LOGO_OK = 0;
inline constexpr std::int32_t LOGO_EXCEPTION = -42000;         // any fault, a failed row command included
inline constexpr std::int32_t LOGO_CANNOT_CREATE_FOLDER = -42001;
inline constexpr std::int32_t LOGO_CANNOT_SAVE_FILE = -42002;
inline constexpr std::int32_t LOGO_WRONG_FILE_NAME = -42003;   // a folder without a file part
inline constexpr std::int32_t LOGO_FILE_NOT_EXIST = -42004;
inline constexpr std::int32_t LOGO_WRONG_FILE_TYPE = -42005;   // not .bmp, .png, .jpg or .jpeg (any case)


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
// The name with ".bmp" appended unless it already contains ".bmp" (exact,
// lowercase, anywhere in the name).
QString WithBitmapSuffix(const QString& fileName);
// The extension from the last "." of the file part, "." included; empty when
// the file part has none.
QString FileExtension(const QString& fileName);
// True when the extension is ".BMP" in any letter case.
bool HasPictureExtension(const QString& fileName);
// Everything before the last "/" ("/" for a file in the root folder), empty
// when there is none.
QString FolderOf(const QString& fileName);

}  // namespace orbantis::logo
