#include "logo/LogoDots.h"

namespace orbantis::logo {
namespace {

constexpr char kHexDigits[] = "0123456789abcdef";

}  // namespace

Pixels BlankPixels() { return Pixels(kPictureWidth, kPictureHeight, kWhite); }

// ---------------------------------------------------------------- picture to dots

int GreyLevel(std::uint32_t colourValue) {
  const int red = static_cast<int>(colourValue & 0xFF);
  const int green = static_cast<int>((colourValue >> 8) & 0xFF);
  const int blue = static_cast<int>((colourValue >> 16) & 0xFF);
  // Thousandths, so that a half is a half and not a floating-point neighbour of one.
  const int sum = 114 * red + 587 * green + 299 * blue;
  int level = sum / 1000;
  const int rest = sum % 1000;
  if (rest > 500 || (rest == 500 && level % 2 != 0)) ++level;
  return level;
}

// Error diffusion over a grid of signed grey levels. Rows 0 to 94, in each
// row columns 1 to width-2, left to right: a level of at most 128 becomes 0
// (black) and passes its own value on, anything else becomes 255 (white) and
// passes on what it lacked of 255, as a subtraction. The shares are 1/2 right,
// 1/4 below, 1/8 below-right and 1/8 below-left, each rounded down from the
// non-negative error. The outer columns and the last row receive shares but
// pass none on. Dots then are white above 128, black otherwise.
bool DitherLogo(Pixels& picture) {
  if (picture.Null()) return false;
  constexpr int W = kDitherColumns;
  constexpr int H = kLogoRows;
  std::vector<int> level(static_cast<std::size_t>(W * H));
  auto at = [&level](int row, int column) -> int& { return level[static_cast<std::size_t>(row * W + column)]; };

  for (int row = 0; row < H; ++row)
    for (int column = 0; column < W; ++column) at(row, column) = GreyLevel(picture.At(column, row));

  for (int row = 0; row < H - 1; ++row) {
    for (int column = 1; column < W - 1; ++column) {
      int& v = at(row, column);
      const bool toBlack = v <= kWhiteLevel;
      int e = toBlack ? v : 255 - v;
      if (e < 0) e = 0;
      const int sign = toBlack ? 1 : -1;
      at(row, column + 1) += sign * (e / 2);
      at(row + 1, column) += sign * (e / 4);
      at(row + 1, column + 1) += sign * (e / 8);
      at(row + 1, column - 1) += sign * (e / 8);
      v = toBlack ? 0 : 255;
    }
  }

  for (int row = 0; row < H; ++row)
    for (int column = 0; column < W; ++column) picture.Set(column, row, at(row, column) > kWhiteLevel ? kWhite : kBlack);
  return true;
}

bool IsBlackDot(std::uint32_t colourValue) { return static_cast<std::int32_t>(colourValue) <= kBlackThreshold; }

LogoRow RowBits(const Pixels& picture, int row) {
  LogoRow bits {};
  for (int k = 0; k < kRowBytes; ++k) {
    std::uint8_t byte = 0;
    for (int j = 0; j < 8; ++j)
      if (IsBlackDot(picture.At(8 * k + j, row))) byte = static_cast<std::uint8_t>(byte | (0x80u >> j));
    bits[static_cast<std::size_t>(k)] = byte;
  }
  return bits;
}

std::string EncodeRow(const LogoRow& bits) {
  std::string text;
  text.reserve(kRowHexDigits);
  for (const std::uint8_t byte : bits) {
    text += kHexDigits[byte >> 4];
    text += kHexDigits[byte & 0x0F];
  }
  return text;
}

// ---------------------------------------------------------------- dots to picture

int HexDigitValue(char c) {
  int code = static_cast<unsigned char>(c);
  if (code >= '0' && code <= '9') return code - '0';
  if (code >= 'a' && code <= 'z') code = code - 'a' + 'A';
  return (code - 55) & 0xFF;
}

std::optional<LogoRow> DecodeRow(std::string_view text) {
  // A short answer cannot say what its missing dots are; the read fails
  // rather than print a logo with a guessed part.
  if (text.size() < static_cast<std::size_t>(kRowHexDigits)) return std::nullopt;
  LogoRow bits {};
  for (int k = 0; k < kRowBytes; ++k) {
    const int high = HexDigitValue(text[static_cast<std::size_t>(2 * k)]);
    const int low = HexDigitValue(text[static_cast<std::size_t>(2 * k + 1)]);
    bits[static_cast<std::size_t>(k)] = static_cast<std::uint8_t>((16 * high + low) & 0xFF);
  }
  return bits;
}

void PaintRow(Pixels& picture, int row, const LogoRow& bits) {
  for (int k = 0; k < kRowBytes; ++k)
    for (int j = 0; j < 8; ++j) {
      const bool black = (bits[static_cast<std::size_t>(k)] & (0x80u >> j)) != 0;
      picture.Set(8 * k + j, row, black ? kBlack : kWhite);
    }
}

// ---------------------------------------------------------------- whole logos

LogoRows PictureToRows(const Pixels& picture) {
  Pixels work = picture.Null() ? BlankPixels() : picture;
  DitherLogo(work);
  LogoRows rows;
  for (int row = 0; row < kLogoRows; ++row) rows[static_cast<std::size_t>(row)] = EncodeRow(RowBits(work, row));
  return rows;
}

std::optional<Pixels> RowsToPixels(const LogoRows& rows) {
  Pixels picture = BlankPixels();
  for (int row = 0; row < kLogoRows; ++row) {
    const auto bits = DecodeRow(rows[static_cast<std::size_t>(row)]);
    if (!bits) return std::nullopt;
    PaintRow(picture, row, *bits);
  }
  return picture;
}

}  // namespace orbantis::logo
