// The pictures of tests/data/logo and what is known of them, for the tests
// that hold Qt (test_logo_golden_rows) and WIC (test_wic_rows.exe) to the
// same 96 rows: each picture's rows are in <name>.rows, one per line. The
// pictures are lossless and their transparent parts fully transparent, so
// every loader must give the very same pixels. Plain C++: both toolchains
// include it.
#pragma once

#include <cstdint>
#include <istream>
#include <string>
#include <vector>

namespace orbantis::logo::golden {

struct Dot {
  int x;
  int y;
  std::uint32_t colour;  // red in the low byte
};

struct Picture {
  const char* file;
  const char* rows;
  const char* what;
  int width;
  int height;
  std::vector<Dot> dots;  // a few dots as the picture was drawn
};

inline const Picture kPictures[] = {
    {"ramp.bmp", "ramp.rows", "24-bit BMP, bottom-up, padded lines, smaller than the logo", 317, 80,
     {{0, 0, 0xDCC800}, {316, 79, 0x00FFFF}, {25, 12, 0x000000}, {250, 42, 0x2828C8}, {160, 70, 0x7EB681}}},
    {"shapes.png", "shapes.rows", "RGBA PNG with a transparent ellipse, larger than the logo", 600, 104,
     {{0, 0, 0x781E1E}, {599, 103, 0xC2EC18}, {300, 50, 0xFFFFFF}, {530, 40, 0x00FFFF}}},
    {"grey.png", "grey.rows", "8-bit grey PNG of the logo's size", 576, 96,
     {{0, 0, 0x000000}, {575, 95, 0x707070}, {401, 21, 0x606060}, {300, 40, 0x414141}}},
};

// The rows of a .rows file (a checkout that turned the line ends into CR LF
// reads the same).
inline std::vector<std::string> ReadRows(std::istream& in) {
  std::vector<std::string> rows;
  for (std::string line; std::getline(in, line);) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    rows.push_back(line);
  }
  return rows;
}

}  // namespace orbantis::logo::golden
