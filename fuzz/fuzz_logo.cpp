// Fuzz target: the logo rows answered by the printer and the picture files.
//
// Byte 0, bit 0 picks what the rest of the input is:
//   0  the text of one row as the printer answers it (144 hexadecimal digits
//      expected; byte 0 shifted right by one, less one, is the picture row it
//      is painted into, -1..126, so rows outside the picture are tried too);
//   1  the bytes of a picture file: written to a file in a private temporary
//      folder and loaded with LoadPicture, then dithered and turned into rows
//      and back.
//
// Runs on Qt's offscreen platform (set here unless QT_QPA_PLATFORM is set).
// The picture reader's allocation limit is lowered to 16 MB so that a forged
// header cannot make a single run take seconds.
//
// Invariants: no crash; every character has a digit value 0..255; a row
// decodes exactly when it has at least 144 characters, its encoding decodes
// to the same bits, and a row of hexadecimal digits encodes to those digits
// in lowercase; a painted row reads back as its bits (a row outside the
// picture changes nothing); a loaded picture is 32-bit RGB, dithers to black
// and white dots only, gives 96 rows of 144 lowercase digits that match the
// dithered dots, and those rows turn into a picture whose rows read back the
// same.
#include <stdlib.h>
#include <unistd.h>

#include <QBuffer>
#include <QByteArray>
#include <QGuiApplication>
#include <QImage>
#include <QImageReader>
#include <QString>
#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <string>

#include "FuzzSupport.h"
#include "uLogo/LogoPicture.h"

namespace {

using namespace orbantis;
using namespace orbantis::logo;

std::string gFolder;
std::string gPicturePath;

void RemoveFiles() {
  if (!gPicturePath.empty()) ::unlink(gPicturePath.c_str());
  if (!gFolder.empty()) ::rmdir(gFolder.c_str());
}

std::string MakeFolder() {
  for (const char* base : {"/dev/shm", "/tmp"}) {
    std::string pattern = std::string(base) + "/orbantis-fuzz-logo-XXXXXX";
    if (::mkdtemp(pattern.data()) != nullptr) return pattern;
  }
  std::perror("mkdtemp");
  std::abort();
}

bool IsLowerHex(char c) { return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f'); }
bool IsHex(char c) { return IsLowerHex(c) || (c >= 'A' && c <= 'F'); }
char Lower(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; }

bool IsWhiteRow(const QImage& picture, int row) { return RowBits(picture, row) == LogoRow {}; }

void CheckRowText(std::uint8_t selector, const std::string& text) {
  for (char c : text) {
    const int v = HexDigitValue(c);
    FUZZ_CHECK(v >= 0 && v <= 255);
  }
  const auto bits = DecodeRow(text);
  FUZZ_CHECK(bits.has_value() == (text.size() >= static_cast<std::size_t>(kRowHexDigits)));
  if (!bits) return;

  const std::string encoded = EncodeRow(*bits);
  FUZZ_CHECK(encoded.size() == static_cast<std::size_t>(kRowHexDigits));
  FUZZ_CHECK(DecodeRow(encoded) == bits);
  bool allHex = true;
  for (int i = 0; i < kRowHexDigits; ++i) allHex = allHex && IsHex(text[static_cast<std::size_t>(i)]);
  if (allHex)
    for (int i = 0; i < kRowHexDigits; ++i)
      FUZZ_CHECK(encoded[static_cast<std::size_t>(i)] == Lower(text[static_cast<std::size_t>(i)]));

  QImage picture = BlankPicture();
  const int row = static_cast<int>(selector >> 1) - 1;
  PaintRow(picture, row, *bits);
  FUZZ_CHECK(picture.width() == kPictureWidth && picture.height() == kPictureHeight);
  if (row >= 0 && row < kPictureHeight) {
    FUZZ_CHECK(RowBits(picture, row) == *bits);
  } else {
    for (int r = 0; r < kPictureHeight; ++r) FUZZ_CHECK(IsWhiteRow(picture, r));
  }
}

void CheckPictureFile(const std::string& bytes) {
  FILE* file = std::fopen(gPicturePath.c_str(), "wb");
  FUZZ_CHECK(file != nullptr);
  FUZZ_CHECK(std::fwrite(bytes.data(), 1, bytes.size(), file) == bytes.size());
  FUZZ_CHECK(std::fclose(file) == 0);

  const QImage picture = LoadPicture(QString::fromStdString(gPicturePath));
  if (picture.isNull()) return;
  FUZZ_CHECK(picture.format() == QImage::Format_RGB32);

  QImage dithered = picture.copy();
  FUZZ_CHECK(DitherLogo(dithered));
  FUZZ_CHECK(dithered.size() == picture.size());
  const int height = std::min(dithered.height(), kLogoRows);
  const int width = std::min(dithered.width(), kDitherColumns);
  for (int y = 0; y < height; ++y)
    for (int x = 0; x < width; ++x) {
      const std::uint32_t colour = ColourValue(dithered, x, y);
      FUZZ_CHECK(colour == kBlack || colour == kWhite);
    }

  const LogoRows rows = PictureToRows(picture);
  for (int r = 0; r < kLogoRows; ++r) {
    const std::string& row = rows[static_cast<std::size_t>(r)];
    FUZZ_CHECK(row.size() == static_cast<std::size_t>(kRowHexDigits));
    for (char c : row) FUZZ_CHECK(IsLowerHex(c));
    FUZZ_CHECK(row == EncodeRow(RowBits(dithered, r)));
  }

  const auto back = RowsToPicture(rows);
  FUZZ_CHECK(back.has_value());
  FUZZ_CHECK(back->width() == kPictureWidth && back->height() == kPictureHeight);
  for (int r = 0; r < kLogoRows; ++r)
    FUZZ_CHECK(EncodeRow(RowBits(*back, r)) == rows[static_cast<std::size_t>(r)]);
  FUZZ_CHECK(IsWhiteRow(*back, kLogoRows) && IsWhiteRow(*back, kLogoRows + 1));
}

// Loads the image plugins once, so that what they keep for the whole process
// is not taken for memory a run leaked.
void WarmUp() {
  (void)QImageReader::supportedImageFormats();
  QImage sample(2, 2, QImage::Format_RGB32);
  sample.fill(Qt::white);
  for (const char* format : {"BMP", "PNG", "JPEG", "ICO", "PPM", "XPM"}) {
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    if (sample.save(&buffer, format)) (void)QImage::fromData(bytes);
  }
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  ::setenv("QT_QPA_PLATFORM", "offscreen", 0);
  // Qt's own arguments are not libFuzzer's: the application gets a copy of
  // the program name only. It lives as long as the process.
  static int argc = 1;
  static char name[] = "fuzz_logo";
  static char* argv[] = {name, nullptr};
  static QGuiApplication* application = new QGuiApplication(argc, argv);
  (void)application;

  QImageReader::setAllocationLimit(16);
  gFolder = MakeFolder();
  gPicturePath = gFolder + "/picture.bmp";
  std::atexit(RemoveFiles);
  WarmUp();
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  fuzz::ByteReader in(data, size);
  const std::uint8_t selector = in.Byte();
  const std::string rest = in.Rest();
  if ((selector & 1) == 0) {
    CheckRowText(selector, rest);
  } else {
    CheckPictureFile(rest);
  }
  return 0;
}
