// The logo's dots in the core, without any picture library: every platform
// sends these rows for these pixels, whatever loads them.
#include <gtest/gtest.h>

#include "logo/LogoDots.h"

namespace orbantis::logo {
namespace {

std::string Repeat(const std::string& s, int n) {
  std::string out;
  for (int i = 0; i < n; ++i) out += s;
  return out;
}

TEST(LogoDots, SolidAreasKeepTheirDotsThroughTheDithering) {
  // Left half black, right half white: no error to pass on anywhere.
  Pixels half(kPictureWidth, kPictureHeight, kWhite);
  for (int y = 0; y < kPictureHeight; ++y)
    for (int x = 0; x < kLogoDots / 2; ++x) half.Set(x, y, kBlack);
  const LogoRows rows = PictureToRows(half);
  for (const auto& row : rows) EXPECT_EQ(row, Repeat("ff", 36) + Repeat("00", 36));
}

TEST(LogoDots, RowsPaintedBackGiveTheSameRows) {
  // A grey ramp dithers into a pattern; painting its rows and encoding
  // them again changes nothing.
  Pixels ramp(kPictureWidth, kPictureHeight);
  for (int y = 0; y < kPictureHeight; ++y)
    for (int x = 0; x < kPictureWidth; ++x) {
      const auto g = static_cast<std::uint32_t>(x * 255 / (kPictureWidth - 1));
      ramp.Set(x, y, g | g << 8 | g << 16);
    }
  const LogoRows rows = PictureToRows(ramp);
  const auto painted = RowsToPixels(rows);
  ASSERT_TRUE(painted);
  EXPECT_EQ(PictureToRows(*painted), rows);
  // Dark on the left, light on the right.
  EXPECT_EQ(rows[40].substr(0, 4), "ffff");
  EXPECT_EQ(rows[40].substr(140), "0000");
}

TEST(LogoDots, PicturesSmallerOrLargerThanTheLogo) {
  // Outside a small picture is paper; beyond the logo nothing is sent.
  Pixels small(8, 2, kBlack);
  const LogoRows rows = PictureToRows(small);
  EXPECT_EQ(rows[0].substr(0, 2), "ff");
  EXPECT_EQ(rows[0].substr(2), Repeat("00", 71));
  EXPECT_EQ(rows[5], Repeat("00", 72));
  EXPECT_EQ(PictureToRows(Pixels()), PictureToRows(BlankPixels())) << "no picture prints a white logo";
  Pixels large(2000, 500, kBlack);
  for (const auto& row : PictureToRows(large)) EXPECT_EQ(row, Repeat("ff", 72));
}

}  // namespace
}  // namespace orbantis::logo
