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
#include "logo/GoldenPictures.h"
#include "uLogo/LogoPicture.h"

namespace orbantis::logo {
namespace {

using golden::Dot;
using GoldenPicture = golden::Picture;
using golden::kPictures;

std::string DataFile(const std::string& name) { return std::string(ORBANTIS_LOGO_DATA_DIR) + "/" + name; }

std::vector<std::string> GoldenRows(const char* name) {
  std::ifstream in(DataFile(name), std::ios::binary);
  return golden::ReadRows(in);
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
