// The printer's logo as dots: 96 rows of 576 dots, one bit per dot, and the
// conversions between a picture's colours and the rows the printer takes.
//
// Plain C++ on a buffer of colour values, so that every platform sends the
// same rows for the same picture; the platforms only load and save pixels
// (Qt on Linux, WIC on Windows).
//
//   picture -> grey levels -> error diffusion -> black/white dots -> row texts
//   row texts answered by the printer -> dots painted into a picture
//
// A row travels as 144 hexadecimal digits, two per byte, 72 bytes; the most
// significant bit of a byte is its leftmost dot and a set bit is a black dot.
// Colour values are 24-bit with red in the low byte (white 0xFFFFFF, black 0),
// the form in which the printer tools and support staff quote them.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

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

// One logo row: byte k holds dots 8k (value 128) to 8k+7 (value 1).
using LogoRow = std::array<std::uint8_t, kRowBytes>;
using LogoRows = std::array<std::string, kLogoRows>;

// A picture's colour values, row after row. Transparency is the loader's
// to settle (laid over white, as the paper is white).
struct Pixels {
  int width = 0;
  int height = 0;
  std::vector<std::uint32_t> colours;

  Pixels() = default;
  Pixels(int w, int h, std::uint32_t fill = kWhite)
      : width(w), height(h), colours(static_cast<std::size_t>(w) * static_cast<std::size_t>(h), fill) {}
  bool Null() const { return width <= 0 || height <= 0; }
  // Dots outside the picture are paper: they read white.
  std::uint32_t At(int x, int y) const {
    return x < 0 || y < 0 || x >= width || y >= height ? kWhite : colours[index(x, y)];
  }
  // Outside the picture there is nothing to paint.
  void Set(int x, int y, std::uint32_t colour) {
    if (x >= 0 && y >= 0 && x < width && y < height) colours[index(x, y)] = colour & 0xFFFFFF;
  }

 private:
  std::size_t index(int x, int y) const { return static_cast<std::size_t>(y) * static_cast<std::size_t>(width) + static_cast<std::size_t>(x); }
};

// A white picture of the form's size (576 x 98).
Pixels BlankPixels();

// --- picture to dots ---

// round(0.114 red + 0.587 green + 0.299 blue), halves to even, computed
// exactly in integers. The weights are the printer tools' own (red light,
// blue heavy) and logos prepared with them print as their authors expect.
int GreyLevel(std::uint32_t colourValue);
// Replaces rows 0..95, columns 0..kDitherColumns-1 by black and white dots
// with error diffusion (see the .cpp for the exact rule). False for a null
// picture, which has nothing to dither.
bool DitherLogo(Pixels& picture);
// The threshold that decides each dot of a row: the colour value, compared as
// a signed number, is at most 0x808080.
bool IsBlackDot(std::uint32_t colourValue);
// Row r of the picture as bits (dots outside the picture are white).
LogoRow RowBits(const Pixels& picture, int row);
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
void PaintRow(Pixels& picture, int row, const LogoRow& bits);

// --- whole logos ---

// Dithers a copy of the picture (a null one: a blank one) and encodes its 96 rows.
LogoRows PictureToRows(const Pixels& picture);
// A white 576 x 98 picture with the 96 rows painted; no value when a row is short.
std::optional<Pixels> RowsToPixels(const LogoRows& rows);

}  // namespace orbantis::logo
