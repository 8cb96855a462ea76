// The same picture gives the same 96 logo rows on Windows as on Linux.
//
// The Windows Imaging Component only loads the pixels; the core makes the
// rows. Each picture under tests/data/logo has its rows in <name>.rows, and
// tests/logo/test_logo_golden_rows.cpp holds Qt's loader to the same file,
// so the two platforms cannot drift apart. The pictures are lossless (BMP,
// PNG), so every decoder must give the very same pixels; transparent parts
// are fully transparent, so laying them over white leaves no rounding.
//
// The pictures are found in ORBANTIS_LOGO_DATA (environment) or in the
// folder the build names with ORBANTIS_LOGO_DATA_DIR (under Wine, a Unix
// folder as "Z:/..."). Runs under Wine.
#include <gtest/gtest.h>
#include <windows.h>

#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "logo/LogoDots.h"
#include "logo/GoldenPictures.h"
#include "win32ui/WicPicture.h"
#include "win32ui/WinStrings.h"

namespace orbantis::win32ui {
namespace {

using logo::golden::Dot;
using GoldenPicture = logo::golden::Picture;
using logo::golden::kPictures;

std::wstring DataFolder() {
  wchar_t value[4096];
  const DWORD length = GetEnvironmentVariableW(L"ORBANTIS_LOGO_DATA", value, 4096);
  if (length > 0 && length < 4096) return value;
#ifdef ORBANTIS_LOGO_DATA_DIR
  return Utf8ToWin(ORBANTIS_LOGO_DATA_DIR);
#else
  return {};
#endif
}

std::filesystem::path DataFile(const std::wstring& name) { return std::filesystem::path(DataFolder()) / name; }

// The golden rows, one per line (a checkout that turned the line ends into
// CR LF reads the same).
std::vector<std::string> GoldenRows(const char* name) {
  std::ifstream in(DataFile(Utf8ToWin(name)), std::ios::binary);
  return logo::golden::ReadRows(in);
}

std::string Hex(std::uint32_t value) {
  char text[16];
  std::snprintf(text, sizeof(text), "0x%06X", static_cast<unsigned>(value));
  return text;
}

// A folder of its own under the temporary folder, removed afterwards.
class TempFolder {
 public:
  TempFolder() {
    wchar_t base[MAX_PATH + 1];
    GetTempPathW(MAX_PATH + 1, base);
    FPath = std::filesystem::path(base) /
            (L"orbantis-wic-" + std::to_wstring(GetCurrentProcessId()) + L"-" + std::to_wstring(GetTickCount64()));
    std::filesystem::create_directories(FPath);
  }
  ~TempFolder() {
    std::error_code ignored;
    std::filesystem::remove_all(FPath, ignored);
  }
  std::wstring File(const wchar_t* name) const { return (FPath / name).wstring(); }

 private:
  std::filesystem::path FPath;
};

TEST(WicRows, EachPictureGivesTheGoldenRows) {
  ASSERT_FALSE(DataFolder().empty()) << "set ORBANTIS_LOGO_DATA to the folder tests/data/logo";
  for (const GoldenPicture& picture : kPictures) {
    SCOPED_TRACE(picture.what);
    logo::Pixels pixels;
    std::wstring error;
    ASSERT_TRUE(LoadPicture(DataFile(Utf8ToWin(picture.file)).wstring(), pixels, error)) << WinToUtf8(error);
    EXPECT_TRUE(error.empty());
    ASSERT_EQ(pixels.width, picture.width);
    ASSERT_EQ(pixels.height, picture.height);
    for (const Dot& dot : picture.dots)
      EXPECT_EQ(Hex(pixels.At(dot.x, dot.y)), Hex(dot.colour)) << "dot " << dot.x << ", " << dot.y;

    const std::vector<std::string> golden = GoldenRows(picture.rows);
    ASSERT_EQ(golden.size(), static_cast<std::size_t>(logo::kLogoRows)) << picture.rows;
    const logo::LogoRows rows = logo::PictureToRows(pixels);
    for (int r = 0; r < logo::kLogoRows; ++r)
      ASSERT_EQ(rows[static_cast<std::size_t>(r)], golden[static_cast<std::size_t>(r)]) << "row " << r;
  }
}

TEST(WicPicture, ABitmapSavedAndLoadedKeepsEveryDot) {
  // An odd width, so every line of the file is padded; colours that tell
  // red from blue; saved twice, so the second save replaces the first.
  TempFolder folder;
  const std::wstring name = folder.File(L"kept.bmp");
  for (const std::uint32_t seed : {0x123456u, 0xFEDCBAu}) {
    SCOPED_TRACE(Hex(seed));
    logo::Pixels picture(37, 5);
    for (int y = 0; y < picture.height; ++y)
      for (int x = 0; x < picture.width; ++x)
        picture.Set(x, y, (seed * static_cast<std::uint32_t>(7 * x + 131 * y + 1)) & 0xFFFFFF);
    std::wstring error;
    ASSERT_TRUE(SavePictureAsBitmap(picture, name, error)) << WinToUtf8(error);
    logo::Pixels loaded;
    ASSERT_TRUE(LoadPicture(name, loaded, error)) << WinToUtf8(error);
    EXPECT_EQ(loaded.width, picture.width);
    EXPECT_EQ(loaded.height, picture.height);
    EXPECT_TRUE(loaded.colours == picture.colours);
    EXPECT_EQ(logo::PictureToRows(loaded), logo::PictureToRows(picture));
  }
}

TEST(WicPicture, WhatCannotBeReadOrWrittenSaysWhyAndTouchesNothing) {
  TempFolder folder;
  const auto write = [&](const wchar_t* file, const std::string& bytes) {
    std::ofstream(std::filesystem::path(folder.File(file)), std::ios::binary) << bytes;
  };
  write(L"text.png", "this is no picture");
  write(L"empty.bmp", "");
  write(L"cut.png", std::string("\x89PNG\r\n\x1a\n", 8));

  for (const wchar_t* file : {L"missing.bmp", L"text.png", L"empty.bmp", L"cut.png"}) {
    SCOPED_TRACE(WinToUtf8(file));
    logo::Pixels pixels(3, 3);
    std::wstring error;
    EXPECT_FALSE(LoadPicture(folder.File(file), pixels, error));
    EXPECT_TRUE(pixels.Null());
    EXPECT_NE(error.find(folder.File(file)), std::wstring::npos) << "the message names the file";
  }

  // A failed save leaves an older file of that name as it was.
  const std::wstring older = folder.File(L"older.bmp");
  std::wstring error;
  ASSERT_TRUE(SavePictureAsBitmap(logo::Pixels(4, 4, 0x0000FF), older, error));
  EXPECT_FALSE(SavePictureAsBitmap(logo::Pixels(), older, error));
  EXPECT_FALSE(error.empty());
  EXPECT_FALSE(SavePictureAsBitmap(logo::Pixels(4, 4), folder.File(L"no-such-folder\\x.bmp"), error));
  logo::Pixels kept;
  ASSERT_TRUE(LoadPicture(older, kept, error));
  EXPECT_EQ(kept.At(3, 3), 0x0000FFu);
}

}  // namespace
}  // namespace orbantis::win32ui
