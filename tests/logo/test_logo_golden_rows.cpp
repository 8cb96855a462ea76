// The same picture gives the same 96 logo rows on Linux as on Windows.
//
// Qt only loads the pixels (uLogo/LogoPicture); the core makes the rows.
// Each picture under tests/data/logo has its rows in <name>.rows, and
// tests/windows/test_wic_rows.cpp holds the Windows Imaging Component to
// the same file. The pictures are lossless and their transparent parts fully
// transparent, so every loader must give the very same pixels.
//
// ORBANTIS_LOGO_DATA_DIR names the folder. Qt reads BMP and PNG without an
// application object.
#include <gtest/gtest.h>

#include <QImage>
#include <QString>
#include <cstdint>
#include <cstdio>
#include <fstream>
#include <string>
#include <vector>

#include "logo/LogoDots.h"
#include "uLogo/LogoPicture.h"

namespace orbantis::logo {
namespace {

struct Dot {
  int x;
  int y;
  std::uint32_t colour;  // red in the low byte
};

struct GoldenPicture {
  const char* file;
  const char* rows;
  const char* what;
  int width;
  int height;
  std::vector<Dot> dots;  // a few dots as the picture was drawn
};

const GoldenPicture kPictures[] = {
    {"ramp.bmp", "ramp.rows", "24-bit BMP, bottom-up, padded lines, smaller than the logo", 317, 80,
     {{0, 0, 0xDCC800}, {316, 79, 0x00FFFF}, {25, 12, 0x000000}, {250, 42, 0x2828C8}, {160, 70, 0x7EB681}}},
    {"shapes.png", "shapes.rows", "RGBA PNG with a transparent ellipse, larger than the logo", 600, 104,
     {{0, 0, 0x781E1E}, {599, 103, 0xC2EC18}, {300, 50, 0xFFFFFF}, {530, 40, 0x00FFFF}}},
    {"grey.png", "grey.rows", "8-bit grey PNG of the logo's size", 576, 96,
     {{0, 0, 0x000000}, {575, 95, 0x707070}, {401, 21, 0x606060}, {300, 40, 0x414141}}},
};

std::string DataFile(const std::string& name) { return std::string(ORBANTIS_LOGO_DATA_DIR) + "/" + name; }

std::vector<std::string> GoldenRows(const char* name) {
  std::ifstream in(DataFile(name), std::ios::binary);
  std::vector<std::string> rows;
  for (std::string line; std::getline(in, line);) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    rows.push_back(line);
  }
  return rows;
}

std::string Hex(std::uint32_t value) {
  char text[16];
  std::snprintf(text, sizeof(text), "0x%06X", static_cast<unsigned>(value));
  return text;
}

TEST(LogoGoldenRows, EachPictureGivesTheGoldenRows) {
  for (const GoldenPicture& picture : kPictures) {
    SCOPED_TRACE(picture.what);
    const QImage image = LoadPicture(QString::fromStdString(DataFile(picture.file)));
    ASSERT_FALSE(image.isNull()) << picture.file;
    const Pixels pixels = ToPixels(image);
    ASSERT_EQ(pixels.width, picture.width);
    ASSERT_EQ(pixels.height, picture.height);
    for (const Dot& dot : picture.dots)
      EXPECT_EQ(Hex(pixels.At(dot.x, dot.y)), Hex(dot.colour)) << "dot " << dot.x << ", " << dot.y;

    const std::vector<std::string> golden = GoldenRows(picture.rows);
    ASSERT_EQ(golden.size(), static_cast<std::size_t>(kLogoRows)) << picture.rows;
    const LogoRows rows = PictureToRows(pixels);
    for (int r = 0; r < kLogoRows; ++r)
      ASSERT_EQ(rows[static_cast<std::size_t>(r)], golden[static_cast<std::size_t>(r)]) << "row " << r;
    // What the form and the transfers send goes the QImage way.
    EXPECT_EQ(PictureToRows(image), rows);
  }
}

}  // namespace
}  // namespace orbantis::logo
