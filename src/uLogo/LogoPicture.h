// The printer's logo as a picture: 96 rows of 576 dots, one bit per dot.
//
// Pure conversions on QImage, usable on any thread and without a display:
//   picture -> grey levels -> error diffusion -> black/white dots -> row texts
//   row texts answered by the printer -> dots painted into a picture -> BMP file
//
// A row travels as 144 hexadecimal digits, two per byte, 72 bytes; the most
// significant bit of a byte is its leftmost dot and a set bit is a black dot.
// Colour values are 24-bit with red in the low byte (white 0xFFFFFF, black 0),
// the form in which the printer tools and support staff quote them.
#pragma once

#include <QImage>
#include <QString>
#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace orbantis::logo {

inline constexpr int kLogoRows = 96;
inline constexpr int kLogoDots = 576;  // dots per row
inline constexpr int kRowBytes = kLogoDots / 8;
inline constexpr int kRowHexDigits = 2 * kRowBytes;  // 144
// The picture shown by the form is two rows taller than the logo; those two
// rows are never sent and stay white.
inline constexpr int kPictureWidth = kLogoDots;
inline constexpr int kPictureHeight = 98;

// Error diffusion covers the whole row. Leaving the right quarter to the
// plain colour threshold alone would decide those dots by the blue channel
// (the threshold compares the packed value, blue in the high byte), so a
// yellow area there would print solid black next to a dithered left part.
inline constexpr int kDitherColumns = kLogoDots;

inline constexpr std::uint32_t kWhite = 0xFFFFFF;
inline constexpr std::uint32_t kBlack = 0x000000;
// A dot whose colour value is at most this counts as black when a row is built.
inline constexpr std::int32_t kBlackThreshold = 0x808080;  // 8421504
// A grey level above this is white after dithering.
inline constexpr int kWhiteLevel = 128;

// Result codes of the two logo transfers.
inline constexpr std::int32_t LOGO_OK = 0;
inline constexpr std::int32_t LOGO_EXCEPTION = -42000;         // any fault, a failed row command included
inline constexpr std::int32_t LOGO_CANNOT_CREATE_FOLDER = -42001;
inline constexpr std::int32_t LOGO_CANNOT_SAVE_FILE = -42002;
inline constexpr std::int32_t LOGO_WRONG_FILE_NAME = -42003;   // a folder without a file part
inline constexpr std::int32_t LOGO_FILE_NOT_EXIST = -42004;
inline constexpr std::int32_t LOGO_WRONG_FILE_TYPE = -42005;   // not .bmp, .png, .jpg or .jpeg (any case)

// One logo row: byte k holds dots 8k (value 128) to 8k+7 (value 1).
using LogoRow = std::array<std::uint8_t, kRowBytes>;

// --- pictures ---

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

// round(0.114 red + 0.587 green + 0.299 blue), halves to even, computed
// exactly in integers. The weights are the printer tools' own (red light,
// blue heavy) and logos prepared with them print as their authors expect.
int GreyLevel(std::uint32_t colourValue);
// Replaces rows 0..95, columns 0..kDitherColumns-1 by black and white dots
// with error diffusion (see the .cpp for the exact rule). False for a null
// picture, which has nothing to dither.
bool DitherLogo(QImage& picture);
// The threshold that decides each dot of a row: the colour value, compared as
// a signed number, is at most 0x808080.
bool IsBlackDot(std::uint32_t colourValue);
// Row r of the picture as bits (dots outside the picture are white).
LogoRow RowBits(const QImage& picture, int row);
// 144 lowercase hexadecimal digits, high digit first.
std::string EncodeRow(const LogoRow& bits);

// --- dots to picture ---

// The value of one character of an answered row: a digit its value, a letter
// a..z as its capital, anything else (code - 55) modulo 256, so A..F give
// 10..15. Defined for every character, as the printer's tools decode.
int HexDigitValue(char c);
// The 72 bytes of an answered row; each byte is (16 high + low) modulo 256.
// Characters after the 144th are ignored; a shorter row has no value.
std::optional<LogoRow> DecodeRow(std::string_view text);
// Paints the 576 dots of row r black (set bit) or white.
void PaintRow(QImage& picture, int row, const LogoRow& bits);

// --- whole logos (what the tests and tools use) ---

using LogoRows = std::array<std::string, kLogoRows>;
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
