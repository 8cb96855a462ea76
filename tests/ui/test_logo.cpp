// The logo: picture conversions, row encoding, the transfers with every
// result code and event, the form, and the forms the server installs.
// Runs on Qt's offscreen platform; transfers go to the software printer.
#include <gtest/gtest.h>
#include <stdlib.h>

#include <QApplication>
#include <QDir>
#include <QEventLoop>
#include <QFile>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QThread>
#include <QTimer>
#include <QWindow>
#include <functional>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "Emulator.h"
#include "printer_model/ErrorMessages.h"
#include "support/TempDir.h"
#include "uLogo/LogoForms.h"
#include "uLogo/LogoPicture.h"
#include "uORBANTIS/LogoTransfer.h"
#include "uLogo/TLogoForm.h"
#include "uORBANTIS/TKELMORA.h"
#include "foundation/CodePage.h"

namespace orbantis::logo {
namespace {

// ---------------------------------------------------------------- helpers

constexpr QRgb kBlackRgb = 0xFF000000;
constexpr QRgb kWhiteRgb = 0xFFFFFFFF;

QImage Filled(int width, int height, QRgb rgb) {
  QImage picture(width, height, QImage::Format_RGB32);
  picture.fill(rgb);
  return picture;
}

// A black-and-white logo with detail in every byte column and at both edges.
bool PatternDot(int x, int y) { return (x / 8 + y) % 5 == 0 || x % 37 == y % 37 || x == 575 || (x == 0 && y % 2 == 0); }

QImage PatternPicture() {
  QImage picture(kLogoDots, kLogoRows, QImage::Format_RGB32);
  for (int y = 0; y < kLogoRows; ++y)
    for (int x = 0; x < kLogoDots; ++x) picture.setPixel(x, y, PatternDot(x, y) ? kBlackRgb : kWhiteRgb);
  return picture;
}

// The pattern's row text, built from the dots themselves, not through the
// conversion under test.
std::string PatternRowText(int y) {
  static const char* digits = "0123456789abcdef";
  std::string text;
  for (int k = 0; k < kRowBytes; ++k) {
    int byte = 0;
    for (int j = 0; j < 8; ++j)
      if (PatternDot(8 * k + j, y)) byte |= 0x80 >> j;
    text += digits[byte >> 4];
    text += digits[byte & 15];
  }
  return text;
}

// Empty when rows 0..rows-1 match dot for dot, else where they first differ.
std::string DotDifference(const QImage& a, const QImage& b, int rows = kLogoRows) {
  for (int y = 0; y < rows; ++y)
    for (int x = 0; x < kLogoDots; ++x)
      if (ColourValue(a, x, y) != ColourValue(b, x, y))
        return "dot " + std::to_string(x) + " of row " + std::to_string(y) + " differs";
  return {};
}

std::string Repeat(const std::string& piece, int times) {
  std::string out;
  for (int i = 0; i < times; ++i) out += piece;
  return out;
}

// ---------------------------------------------------------------- events

struct Event {
  enum Kind { Error, Progress, Start, End } kind;
  int value = 0;
  WideString text;
};

class RecordingSink : public IKELMORAEvents {
 public:
  void ON_ERROR(std::int32_t code, const WideString& message) override { add({Event::Error, code, message}); }
  void OnProgress(std::int32_t value, const WideString& message) override {
    add({Event::Progress, value, message});
    std::function<void(int)> hook;
    {
      std::lock_guard<std::mutex> guard(FLock);
      hook = onProgress;
    }
    if (hook) hook(value);
  }
  void OnStartProgress() override { add({Event::Start, 0, {}}); }
  void OnEndProgress() override { add({Event::End, 0, {}}); }

  std::vector<Event> Events() {
    std::lock_guard<std::mutex> guard(FLock);
    return FEvents;
  }
  void Clear() {
    std::lock_guard<std::mutex> guard(FLock);
    FEvents.clear();
  }
  // The events as short lines: "start", "progress 7", "error -42004", "end".
  std::vector<std::string> Trace() {
    std::vector<std::string> lines;
    for (const auto& e : Events()) {
      switch (e.kind) {
        case Event::Start: lines.push_back("start"); break;
        case Event::End: lines.push_back("end"); break;
        case Event::Error: lines.push_back("error " + std::to_string(e.value)); break;
        case Event::Progress:
          lines.push_back("progress " + std::to_string(e.value) + (e.text.empty() ? "" : " with a message"));
          break;
      }
    }
    return lines;
  }
  std::vector<Event> Errors() {
    std::vector<Event> errors;
    for (const auto& e : Events())
      if (e.kind == Event::Error) errors.push_back(e);
    return errors;
  }

  std::function<void(int)> onProgress;

 private:
  void add(Event e) {
    std::lock_guard<std::mutex> guard(FLock);
    FEvents.push_back(std::move(e));
  }
  std::mutex FLock;
  std::vector<Event> FEvents;
};

// "start", "progress 0", "progress 1" .. "progress last", then what follows.
std::vector<std::string> Opening(int last) {
  std::vector<std::string> lines {"start", "progress 0"};
  for (int i = 1; i <= last; ++i) lines.push_back("progress " + std::to_string(i));
  return lines;
}

std::vector<std::string> Closing(std::vector<std::string> lines) {
  lines.push_back("progress 0");
  lines.push_back("end");
  return lines;
}

const std::vector<std::string> kWholeTransfer = Closing(Opening(kLogoRows));

// ---------------------------------------------------------------- the printer

// An automation object connected to the software printer, with a recording sink.
struct KelmoraOnEmulator {
  KelmoraOnEmulator() {
    const std::string device = emu.startPty();
    initResult = object.initFiscalPrinterDevice(Utf8ToWide(device), 115200, true, true);
    connectResult = object.CONNECT_TO_PRINTER();
    object.EventSinkChanged(sink);
  }
  ~KelmoraOnEmulator() {
    object.EventSinkChanged(nullptr);
    object.ReleaseConnection();
    emu.stop();
  }
  std::string Row(int r) const {
    return emu.inspect([r](const emulator::Printer& p) { return p.logoRow(r); });
  }
  std::uint64_t RowCommands() const { return emu.executions(115); }
  void FailFromNowOn() { emu.faults().forceBit(emulator::bits::syntaxError, true); }
  // The printer's logo set directly, row by row.
  void StoreRows(const std::function<std::string(int)>& rowText) {
    for (int r = 0; r < kLogoRows; ++r) ASSERT_EQ(object.printer()->CMD_115_0(std::to_string(r), rowText(r)), 0);
  }

  emulator::Emulator emu;
  TKELMORA object;
  std::shared_ptr<RecordingSink> sink = std::make_shared<RecordingSink>();
  int initResult = -999;
  int connectResult = -999;
};

class LogoOnPrinter : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_EQ(p.initResult, 0);
    ASSERT_EQ(p.connectResult, 0) << WideToUtf8(p.object.GetLastErrorMessage());
  }
  QString Path(const std::string& name) const { return QString::fromStdString(dir.Path() + name); }
  void SavePattern(const std::string& name) { ASSERT_TRUE(SavePictureAsBitmap(PatternPicture(), Path(name))); }

  test::TempDir dir;
  KelmoraOnEmulator p;
  LogoForms forms;
};

WideString Wide(const QString& s) { return s.toStdU16String(); }

// =============================================================== conversions

TEST(LogoGrey, LevelsFollowTheWeightsWithHalvesToEven) {
  struct Case {
    std::uint32_t colour;
    int level;
  } cases[] = {
      {0x0000FF, 29},   // pure red
      {0xFF0000, 76},   // pure blue
      {0x00FF00, 150},  // pure green
      {0xFFFFFF, 255},  {0x000000, 0}, {0x808080, 128},
      // 114 r + 587 g + 299 b ends in exactly 500 thousandths:
      {0xBB0100, 56},  // 56.5 -> 56
      {0x390B00, 24},  // 23.5 -> 24
      {0x311B00, 30},  // 30.5 -> 30
  };
  for (const auto& c : cases) EXPECT_EQ(GreyLevel(c.colour), c.level) << std::hex << c.colour;
}

TEST(LogoRowText, DecodesEveryCharacterByTheRule) {
  struct Case {
    std::string text;
    int byteIndex;
    int value;
  } cases[] = {
      {"80" + std::string(142, '0'), 0, 0x80},
      {Repeat("ff", 72), 71, 0xFF},
      {std::string(142, '0') + "AB", 71, 0xAB},
      {"aB" + std::string(142, '0'), 0, 0xAB},
      {"0G" + std::string(142, '0'), 0, 0x10},  // G counts 16
      {"G0" + std::string(142, '0'), 0, 0x00},  // 16 * 16 modulo 256
      {"zz" + std::string(142, '0'), 0, 0x53},  // Z counts 35: 16 * 35 + 35 = 595
      {",0" + std::string(142, '0'), 0, 0x50},  // "," counts 245: 16 * 245 modulo 256
      {std::string(144, '0') + "ff", 71, 0x00},  // characters after the 144th are not read
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.text.substr(0, 4));
    const auto bits = DecodeRow(c.text);
    ASSERT_TRUE(bits.has_value());
    EXPECT_EQ((*bits)[static_cast<std::size_t>(c.byteIndex)], c.value);
  }
  EXPECT_FALSE(DecodeRow(std::string(143, '0')).has_value()) << "a short row";
  EXPECT_FALSE(DecodeRow("").has_value());
}

TEST(LogoRowText, FirstDigitsEightZeroPaintOnlyDotZeroBlack) {
  QImage picture = BlankPicture();
  PaintRow(picture, 3, *DecodeRow("80" + std::string(142, '0')));
  EXPECT_EQ(ColourValue(picture, 0, 3), kBlack);
  for (int x = 1; x < kLogoDots; ++x) ASSERT_EQ(ColourValue(picture, x, 3), kWhite) << x;
}

TEST(LogoRowText, EncodesLowercaseHighDigitFirstLeftmostDotInTheTopBit) {
  struct Case {
    std::vector<int> blackDots;
    std::string text;
  } cases[] = {
      {{}, std::string(144, '0')},
      {{0}, "80" + std::string(142, '0')},
      {{7}, "01" + std::string(142, '0')},
      {{8}, "0080" + std::string(140, '0')},
      {{575}, std::string(142, '0') + "01"},
      // 0xAB 0xCD 0xEF
      {{0, 2, 4, 6, 7, 8, 9, 12, 13, 15, 16, 17, 18, 20, 21, 22, 23}, "abcdef" + std::string(138, '0')},
  };
  for (const auto& c : cases) {
    QImage picture = BlankPicture();
    for (int x : c.blackDots) picture.setPixel(x, 0, kBlackRgb);
    EXPECT_EQ(EncodeRow(RowBits(picture, 0)), c.text);
  }
}

TEST(LogoConversion, LeftHalfBlackGivesThirtySixFfBytesThenZeros) {
  QImage picture = Filled(kLogoDots, kLogoRows, kWhiteRgb);
  for (int y = 0; y < kLogoRows; ++y)
    for (int x = 0; x < kLogoDots / 2; ++x) picture.setPixel(x, y, kBlackRgb);
  const LogoRows rows = PictureToRows(picture);
  for (const auto& row : rows) ASSERT_EQ(row, Repeat("ff", 36) + Repeat("00", 36));
}

TEST(LogoConversion, PictureToRowsAndBackIsTheSamePicture) {
  const QImage picture = PatternPicture();
  const LogoRows rows = PictureToRows(picture);
  for (int y = 0; y < kLogoRows; ++y) ASSERT_EQ(rows[static_cast<std::size_t>(y)], PatternRowText(y)) << y;
  const auto back = RowsToPicture(rows);
  ASSERT_TRUE(back.has_value());
  EXPECT_EQ(back->size(), QSize(kPictureWidth, kPictureHeight));
  EXPECT_EQ(DotDifference(picture, *back), "");
  for (int x = 0; x < kLogoDots; ++x) ASSERT_EQ(ColourValue(*back, x, 97), kWhite) << "rows 96 and 97 stay white";
}

TEST(LogoConversion, ABitmapFileKeepsEveryDot) {
  test::TempDir dir;
  const QString name = QString::fromStdString(dir.Path() + "pattern.bmp");
  ASSERT_TRUE(SavePictureAsBitmap(PatternPicture(), name));
  const QImage loaded = LoadPicture(name);
  ASSERT_FALSE(loaded.isNull());
  EXPECT_EQ(DotDifference(PatternPicture(), loaded), "");
  EXPECT_EQ(PictureToRows(loaded), PictureToRows(PatternPicture()));
}

TEST(LogoConversion, QtOnlyLoadsThePixelsTheCoreMakesTheRows) {
  // Colours, a grey ramp and transparency, as pixels first: the rows the
  // core makes of them are what any platform must send once its picture
  // library has loaded the same file (lossless formats, so WIC on Windows
  // decodes the very same pixels).
  Pixels pixels(kPictureWidth, kPictureHeight);
  for (int y = 0; y < kPictureHeight; ++y)
    for (int x = 0; x < kPictureWidth; ++x) {
      const auto g = static_cast<std::uint32_t>((x + 3 * y) % 256);
      pixels.Set(x, y, x < 200 ? (g | (255 - g) << 8 | (g / 2) << 16) : (g | g << 8 | g << 16));
    }
  const LogoRows expected = PictureToRows(pixels);
  test::TempDir dir;
  for (const char* format : {"png", "bmp"}) {
    SCOPED_TRACE(format);
    const QString name = QString::fromStdString(dir.Path() + "picture." + format);
    ASSERT_TRUE(ToImage(pixels).save(name, format));
    EXPECT_EQ(PictureToRows(LoadPicture(name)), expected);
  }
  // Transparent parts are paper: a half-transparent PNG loads over white.
  QImage clear(kPictureWidth, kPictureHeight, QImage::Format_ARGB32);
  clear.fill(qRgba(0, 0, 0, 0));
  const QString name = QString::fromStdString(dir.Path() + "clear.png");
  ASSERT_TRUE(clear.save(name, "png"));
  EXPECT_EQ(PictureToRows(LoadPicture(name)), PictureToRows(BlankPixels()));
}

// ---------------------------------------------------------------- dithering

struct DitherCase {
  const char* what;
  std::vector<std::tuple<int, int, int>> greys;  // column, row, grey level; the rest is white
  std::vector<std::pair<int, int>> black;         // the dots expected black; the rest white
};

TEST(LogoDithering, DiffusesTheErrorToItsFourNeighbours) {
  const DitherCase cases[] = {
      {"a dark dot turns black and its error leaves the white around it white", {{1, 0, 100}}, {{1, 0}}},
      {"a light dot turns white and darkens its right neighbour below the threshold",
       {{1, 0, 200}, {2, 0, 150}},
       {{2, 0}}},
      {"without the diffusion the right dot would stay white", {{2, 0, 150}}, {}},
      // Had column 0 passed on its 100, the 120 beside it would have turned white.
      {"column 0 passes nothing on", {{0, 0, 100}, {1, 0, 120}}, {{0, 0}, {1, 0}}},
      {"a dark dot's error lightens the dot on its right", {{1, 0, 60}, {2, 0, 100}}, {{1, 0}}},
      {"the last row passes nothing on", {{5, 95, 120}, {6, 95, 120}}, {{5, 95}, {6, 95}}},
      {"the last column receives shares", {{574, 10, 200}, {575, 10, 150}}, {{575, 10}}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    QImage picture = Filled(kLogoDots, kLogoRows, kWhiteRgb);
    for (const auto& [x, y, grey] : c.greys) picture.setPixel(x, y, qRgb(grey, grey, grey));
    ASSERT_TRUE(DitherLogo(picture));
    QImage expected = Filled(kLogoDots, kLogoRows, kWhiteRgb);
    for (const auto& [x, y] : c.black) expected.setPixel(x, y, kBlackRgb);
    EXPECT_EQ(DotDifference(picture, expected), "");
  }
}

TEST(LogoDithering, TheWholeWidthIsDithered) {
  // Blue is light by value (above 0x808080) but dark by grey level (76);
  // yellow is dark by value but light by grey level (179). Decided by the
  // value alone, the right quarter would come out all white or all black;
  // dithered, every part of the row gets a mix of dots.
  for (const QRgb colour : {qRgb(0, 0, 255), qRgb(255, 255, 0)}) {
    SCOPED_TRACE(std::to_string(colour));
    QImage picture = Filled(kLogoDots, kLogoRows, colour);
    ASSERT_TRUE(DitherLogo(picture));
    for (const auto& [from, to] : {std::pair{0, 432}, std::pair{432, 576}}) {
      int black = 0;
      for (int y = 0; y < kLogoRows; ++y)
        for (int x = from; x < to; ++x) black += ColourValue(picture, x, y) == kBlack;
      EXPECT_GT(black, 0) << "columns from " << from;
      EXPECT_LT(black, (to - from) * kLogoRows) << "columns from " << from;
    }
  }
}

TEST(LogoDithering, DotsOutsideASmallerPictureArePaper) {
  const LogoRows rows = PictureToRows(Filled(100, 50, kBlackRgb));
  for (int y = 0; y < 50; ++y) ASSERT_EQ(rows[static_cast<std::size_t>(y)], Repeat("ff", 12) + "f0" + Repeat("00", 59)) << y;
  for (int y = 50; y < kLogoRows; ++y) ASSERT_EQ(rows[static_cast<std::size_t>(y)], std::string(144, '0')) << y;
}

TEST(LogoDithering, PureBlackAndWhiteStayAsTheyAre) {
  QImage picture = PatternPicture();
  ASSERT_TRUE(DitherLogo(picture));
  EXPECT_EQ(DotDifference(picture, PatternPicture()), "");
  QImage none;
  EXPECT_FALSE(DitherLogo(none));
}

// ---------------------------------------------------------------- file names

TEST(LogoFileNames, SuffixExtensionAndFolder) {
  const std::pair<const char*, const char*> suffixes[] = {
      {"/t/a", "/t/a.bmp"},         {"/t/a.bmp", "/t/a.bmp"},  {"/t/a.BMP", "/t/a.BMP.bmp"},
      {"/t/a.bmpx", "/t/a.bmpx"},   {"/t/", "/t/.bmp"},        {"/t/a.jpg", "/t/a.jpg.bmp"},
  };
  for (const auto& [in, out] : suffixes) EXPECT_EQ(WithBitmapSuffix(in), out);

  const std::pair<const char*, bool> types[] = {
      {"a.bmp", true},      {"a.BMP", true},        {"a.BmP", true},      {"/t/x.y/a.bmp", true},
      {"a.jpg", true},      {"a.JPEG", true},       {"a.png", true},      {"a.bmp.jpg", true},
      {"a", false},         {"/t/dir.bmp/a", false}, {"a.gif", false},    {"a.bmpx", false},
      {"a.png.txt", false}, {"", false},
  };
  for (const auto& [name, ok] : types) EXPECT_EQ(HasPictureExtension(name), ok) << name;

  const std::pair<const char*, const char*> folders[] = {
      {"/t/x/a.bmp", "/t/x"}, {"a.bmp", ""}, {"/a.bmp", "/"}, {"/t/x/", "/t/x"}, {"x/a", "x"},
  };
  for (const auto& [name, folder] : folders) EXPECT_EQ(FolderOf(name), folder);
}

// =============================================================== transfers without a printer

TEST(LogoTransferAlone, APictureThatCannotBeDitheredEndsWithoutStarting) {
  TKELMORA object;
  auto sink = std::make_shared<RecordingSink>();
  object.EventSinkChanged(sink);
  QtPictureFiles files;
  LogoTransfer transfer(files, nullptr, &object);
  transfer.setPicture(Pixels());
  EXPECT_FALSE(transfer.writeLogoRows());
  EXPECT_EQ(sink->Trace(), (std::vector<std::string> {"progress 0", "end"}));
  EXPECT_EQ(transfer.picture().width, kPictureWidth) << "the picture was cleared";
  EXPECT_EQ(transfer.picture().height, kPictureHeight);
}

TEST(LogoTransferAlone, NoPrinterObjectFailsTheTransfersWithTheExceptionCode) {
  test::TempDir dir;
  TKELMORA object;
  auto sink = std::make_shared<RecordingSink>();
  object.EventSinkChanged(sink);

  QtPictureFiles files;
  LogoTransfer read(files, nullptr, &object);
  read.setLogoFileName(dir.Path() + "logo.bmp");
  read.setTargetFolder(dir.Path());
  EXPECT_EQ(read.getLogoFromPrinterToFile(), LOGO_EXCEPTION);
  EXPECT_EQ(sink->Trace(), Closing({"start", "progress 0"}));
  EXPECT_FALSE(QFile::exists(QString::fromStdString(dir.Path() + "logo.bmp")));

  sink->Clear();
  ASSERT_TRUE(SavePictureAsBitmap(PatternPicture(), QString::fromStdString(dir.Path() + "in.bmp")));
  LogoTransfer write(files, nullptr, &object);
  write.setLogoFileName(dir.Path() + "in.bmp");
  EXPECT_EQ(write.saveLogoFromFileToPrinter(), LOGO_EXCEPTION);
  EXPECT_EQ(sink->Trace(), Closing({"start", "progress 0", "progress 1"}));

  // The file checks still report to the client.
  sink->Clear();
  write.setLogoFileName(dir.Path() + "missing.bmp");
  EXPECT_EQ(write.saveLogoFromFileToPrinter(), LOGO_FILE_NOT_EXIST);
  ASSERT_EQ(sink->Errors().size(), 1u);
  EXPECT_EQ(sink->Errors()[0].text, FixedErrorTexts(LOGO_FILE_NOT_EXIST).language1);
}

TEST(LogoTransferAlone, SavingWritesTheShownPictureWhateverItsSource) {
  test::TempDir dir;
  QImage colours(300, 80, QImage::Format_RGB32);
  for (int y = 0; y < 80; ++y)
    for (int x = 0; x < 300; ++x) colours.setPixel(x, y, qRgb(x % 256, (y * 3) % 256, (x + y) % 256));
  const QString jpeg = QString::fromStdString(dir.Path() + "photo.jpg");
  ASSERT_TRUE(colours.save(jpeg, "JPG"));

  QtPictureFiles files;
  LogoTransfer transfer(files);
  ASSERT_TRUE(transfer.loadPictureFromFile(jpeg.toStdString()));
  transfer.setLogoFileName(dir.Path() + "copy");
  ASSERT_TRUE(transfer.saveLogoToFile());
  EXPECT_EQ(transfer.logoFileName(), dir.Path() + "copy.bmp");
  EXPECT_EQ(transfer.targetFolder(), dir.Path().substr(0, dir.Path().size() - 1));
  const QImage saved = LoadPicture(QString::fromStdString(transfer.logoFileName()));
  EXPECT_EQ(saved, ToImage(transfer.picture())) << "the JPEG's own picture, not an empty bitmap";
}

TEST(LogoTransferAlone, AFailedSaveIsAFailureEvenBesideAnOlderFile) {
  test::TempDir dir;
  const QString name = QString::fromStdString(dir.Path() + "old.bmp");
  ASSERT_TRUE(SavePictureAsBitmap(PatternPicture(), name));
  const QByteArray before = [&] {
    QFile f(name);
    f.open(QIODevice::ReadOnly);
    return f.readAll();
  }();
  QtPictureFiles files;
  LogoTransfer transfer(files);
  transfer.setPicture(Pixels());  // nothing to save
  transfer.setLogoFileName(name.toStdString());
  EXPECT_FALSE(transfer.saveLogoToFile());
  QFile f(name);
  ASSERT_TRUE(f.open(QIODevice::ReadOnly));
  EXPECT_EQ(f.readAll(), before) << "the older file is untouched";
}

// =============================================================== transfers with the printer

TEST_F(LogoOnPrinter, AllRowsGoToThePrinterAndComeBackByteForByte) {
  SavePattern("logo.BMP");  // upper-case extension passes the type test
  EXPECT_EQ(forms.SaveLogoFromFileToPrinter(p.object, Wide(Path("logo.BMP")), dir.Path()), LOGO_OK);
  for (int r = 0; r < kLogoRows; ++r) ASSERT_EQ(p.Row(r), PatternRowText(r)) << "row " << r;
  EXPECT_EQ(p.RowCommands(), 96u);
  EXPECT_EQ(p.sink->Trace(), kWholeTransfer);

  p.sink->Clear();
  EXPECT_EQ(forms.GetLogoFromPrinterToFile(p.object, Wide(Path("out/sub/back.bmp")), dir.Path() + "out/sub"), LOGO_OK);
  EXPECT_EQ(p.RowCommands(), 192u);
  EXPECT_EQ(p.sink->Trace(), kWholeTransfer);
  const QImage back = LoadPicture(Path("out/sub/back.bmp"));
  ASSERT_FALSE(back.isNull()) << "the missing folders were created";
  EXPECT_EQ(back.size(), QSize(kPictureWidth, kPictureHeight));
  EXPECT_EQ(DotDifference(back, PatternPicture()), "");
  const LogoRows rows = PictureToRows(back);
  for (int r = 0; r < kLogoRows; ++r) ASSERT_EQ(rows[static_cast<std::size_t>(r)], p.Row(r)) << "row " << r;
}

TEST_F(LogoOnPrinter, GetLogoCodesAndTheirEvents) {
  ASSERT_TRUE(QDir().mkpath(Path("isdir.bmp")));
  QFile plain(Path("afile"));
  ASSERT_TRUE(plain.open(QIODevice::WriteOnly));
  plain.close();

  struct Case {
    std::string name;  // under the temp folder unless bare
    bool bare;
    std::int32_t code;
    const char* written;  // the file expected afterwards, or nullptr
  } cases[] = {
      {"logo.bmp", true, LOGO_EXCEPTION, nullptr},  // no folder part: nothing to create
      {"afile/sub/logo.bmp", false, LOGO_CANNOT_CREATE_FOLDER, nullptr},
      {"isdir.bmp", false, LOGO_CANNOT_SAVE_FILE, nullptr},
      {"", false, LOGO_WRONG_FILE_NAME, nullptr},  // the folder alone
      {"new/deeper/logo", false, LOGO_OK, "new/deeper/logo.bmp"},
      {"LOGO.BMP", false, LOGO_OK, "LOGO.BMP.bmp"},  // the ".bmp" test is case-sensitive
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    p.sink->Clear();
    const std::uint64_t before = p.RowCommands();
    const QString name = c.bare ? QString::fromStdString(c.name) : Path(c.name);
    const std::int32_t result = forms.GetLogoFromPrinterToFile(p.object, Wide(name), FolderOf(name.toStdString()));
    EXPECT_EQ(result, c.code);
    EXPECT_EQ(p.RowCommands() - before, 96u) << "the logo is read before the file is looked at";
    auto trace = kWholeTransfer;
    const bool reported = c.code != LOGO_OK && c.code != LOGO_EXCEPTION;
    if (reported) trace.push_back("error " + std::to_string(c.code));
    EXPECT_EQ(p.sink->Trace(), trace);
    if (reported) {
      EXPECT_EQ(p.sink->Errors()[0].text, FixedErrorTexts(c.code).language1);
      EXPECT_EQ(p.object.GetLastErrorCode(), c.code);
    }
    if (c.written) {
      EXPECT_TRUE(QFile::exists(Path(c.written)));
    }
  }
  EXPECT_FALSE(QFile::exists(QStringLiteral("logo.bmp"))) << "nothing beside the current directory";
}

TEST_F(LogoOnPrinter, SaveLogoCodesAndTheirEvents) {
  SavePattern("a.bmp");
  SavePattern("b.BMP");
  SavePattern("c.BmP");
  SavePattern("noext");
  ASSERT_TRUE(PatternPicture().save(Path("photo.jpg"), "JPG"));
  ASSERT_TRUE(PatternPicture().save(Path("logo.png"), "PNG"));
  ASSERT_TRUE(PatternPicture().save(Path("logo.gif.txt"), "PNG"));  // a picture under a name of another type
  {
    QFile garbage(Path("garbage.bmp"));
    ASSERT_TRUE(garbage.open(QIODevice::WriteOnly));
    garbage.write("this is no picture");
  }

  struct Case {
    const char* name;
    std::int32_t code;
    bool writes;
  } cases[] = {
      {"missing.bmp", LOGO_FILE_NOT_EXIST, false}, {"logo.gif.txt", LOGO_WRONG_FILE_TYPE, false},
      {"noext", LOGO_WRONG_FILE_TYPE, false},      {"garbage.bmp", LOGO_EXCEPTION, false},
      {"logo.png", LOGO_OK, true},                 {"photo.jpg", LOGO_OK, true},
      {"a.bmp", LOGO_OK, true},                    {"b.BMP", LOGO_OK, true},
      {"c.BmP", LOGO_OK, true},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    p.sink->Clear();
    const std::uint64_t before = p.RowCommands();
    EXPECT_EQ(forms.SaveLogoFromFileToPrinter(p.object, Wide(Path(c.name)), dir.Path()), c.code);
    EXPECT_EQ(p.RowCommands() - before, c.writes ? 96u : 0u);
    if (c.writes) {
      EXPECT_EQ(p.sink->Trace(), kWholeTransfer);
    } else if (c.code == LOGO_EXCEPTION) {
      EXPECT_TRUE(p.sink->Events().empty());
    } else {
      EXPECT_EQ(p.sink->Trace(), std::vector<std::string> {"error " + std::to_string(c.code)});
      EXPECT_EQ(p.sink->Errors()[0].text, FixedErrorTexts(c.code).language1);
      EXPECT_EQ(p.object.GetLastErrorCode(), c.code);
    }
  }
}

TEST_F(LogoOnPrinter, AReadThatFailsAtRowTenStopsThereAndWritesNoFile) {
  // When row 9 has been reported, the printer starts refusing.
  p.sink->onProgress = [this](int value) {
    if (value == 10) p.FailFromNowOn();
  };
  EXPECT_EQ(forms.GetLogoFromPrinterToFile(p.object, Wide(Path("logo.bmp")), dir.Path()), LOGO_EXCEPTION);
  EXPECT_EQ(p.RowCommands(), 11u) << "rows 11 to 95 are not requested";
  auto trace = Opening(10);
  trace.push_back("error " + std::to_string(p.object.GetLastErrorCode()));
  EXPECT_EQ(p.sink->Trace(), Closing(trace));
  EXPECT_NE(p.object.GetLastErrorCode(), 0);
  EXPECT_EQ(p.sink->Errors()[0].text, p.object.GetLastErrorMessage());
  EXPECT_FALSE(QFile::exists(Path("logo.bmp")));
}

TEST_F(LogoOnPrinter, AWriteThatFailsAtRowTenStopsThere) {
  SavePattern("logo.bmp");
  p.sink->onProgress = [this](int value) {
    if (value == 11) p.FailFromNowOn();  // reported before row 10 is sent
  };
  EXPECT_EQ(forms.SaveLogoFromFileToPrinter(p.object, Wide(Path("logo.bmp")), dir.Path()), LOGO_EXCEPTION);
  EXPECT_EQ(p.RowCommands(), 11u);
  auto trace = Opening(11);
  trace.push_back("error " + std::to_string(p.object.GetLastErrorCode()));
  EXPECT_EQ(p.sink->Trace(), Closing(trace));
  EXPECT_NE(p.object.GetLastErrorCode(), 0);
}

TEST_F(LogoOnPrinter, TheAutomationMethodsUseTheInstalledForms) {
  SavePattern("logo.bmp");
  TKELMORA::SetLogoForms(std::make_shared<LogoForms>());
  EXPECT_EQ(p.object.saveLogoToPrinter(Wide(Path("logo.bmp"))), LOGO_OK);
  EXPECT_EQ(p.object.getLogoFromPrinter(Wide(Path("plain"))), LOGO_OK);
  EXPECT_EQ(DotDifference(LoadPicture(Path("plain.bmp")), PatternPicture()), "");
  EXPECT_EQ(p.object.saveLogoToPrinter(Wide(Path("photo.png"))), LOGO_FILE_NOT_EXIST);
  TKELMORA::SetLogoForms(nullptr);
  EXPECT_EQ(p.object.getLogoFromPrinter(Wide(Path("plain"))), -2) << "no user interface installed";
}

// =============================================================== the form

class ScriptedForm : public TfmSetGetLogo {
 public:
  QString openName;
  QString saveName;
  bool overwrite = false;
  int overwriteAsked = 0;
  QStringList told;

 protected:
  QString choosePictureToOpen(const QString&) override { return openName; }
  QString chooseFileToSave(const QString&) override { return saveName; }
  bool confirmOverwrite(const QString&) override {
    ++overwriteAsked;
    return overwrite;
  }
  void tellUser(const QString& text) override { told << text; }
};

bool WaitForTransfer(TfmSetGetLogo& form) {
  QEventLoop loop;
  bool result = false;
  const auto c = QObject::connect(&form, &TfmSetGetLogo::transferFinished, &loop, [&](bool ok) {
    result = ok;
    loop.quit();
  });
  loop.exec();
  QObject::disconnect(c);
  return result;
}

QPushButton* Button(QWidget& form, const char* name) { return form.findChild<QPushButton*>(QLatin1String(name)); }

TEST(LogoForm, ControlsAsDesigned) {
  TfmSetGetLogo form;
  EXPECT_EQ(form.windowTitle(), QStringLiteral("Get/Set logo"));
  EXPECT_EQ(form.minimumSize(), QSize(606, 173));
  EXPECT_EQ(form.maximumSize(), QSize(606, 173));
  const std::pair<const char*, const char*> buttons[] = {
      {"btnLoadFromFile", "Load from file"},       {"btnSaveToFile", "Save to file"},
      {"btnLoadFromPrinter", "Load from printer"}, {"btnSaveToPrinter", "Save to printer"},
      {"btnClose", "&Close"},
  };
  int left = -1;
  for (const auto& [name, caption] : buttons) {
    QPushButton* b = Button(form, name);
    ASSERT_NE(b, nullptr) << name;
    EXPECT_EQ(b->text(), QString::fromLatin1(caption));
    EXPECT_EQ(b->size(), QSize(106, 33));
    EXPECT_GT(b->x(), left) << "left to right";
    left = b->x();
  }
  EXPECT_TRUE(Button(form, "btnLoadFromPrinter")->isDefault());
  auto* image = form.findChild<QLabel*>(QStringLiteral("imgLogo"));
  ASSERT_NE(image, nullptr);
  EXPECT_EQ(image->size(), QSize(576, 98));
  auto* bar = form.findChild<QProgressBar*>(QStringLiteral("pbProgress"));
  ASSERT_NE(bar, nullptr);
  EXPECT_EQ(bar->height(), 5);
  EXPECT_EQ(bar->y() + bar->height(), 173);
  EXPECT_FALSE(bar->isTextVisible());
  EXPECT_FALSE(form.toStayOnTop);
  EXPECT_TRUE(form.logoFileName().isEmpty());
  EXPECT_TRUE(form.targetFolder().isEmpty());
}

TEST(LogoForm, StaysOnTopOnlyWhenAsked) {
  for (const bool onTop : {false, true}) {
    TfmSetGetLogo form;
    form.toStayOnTop = onTop;
    QEventLoop loop;
    QObject::connect(&form, &TfmSetGetLogo::broughtToFront, &loop, &QEventLoop::quit);
    form.show();
    loop.exec();
    ASSERT_NE(form.windowHandle(), nullptr);
    EXPECT_EQ(form.windowHandle()->flags().testFlag(Qt::WindowStaysOnTopHint), onTop);
    EXPECT_TRUE(form.isVisible());
  }
}

TEST_F(LogoOnPrinter, TheFormLoadsFromThePrinterWithoutBlockingAndCannotCloseMeanwhile) {
  p.StoreRows(PatternRowText);
  p.sink->Clear();
  TfmSetGetLogo form;
  form.setTmpDORRIK(p.object.printer());
  form.setMyComServerInstance(&p.object);
  form.show();
  Button(form, "btnLoadFromPrinter")->click();
  EXPECT_TRUE(form.busy());
  for (const char* name : {"btnLoadFromFile", "btnSaveToFile", "btnLoadFromPrinter", "btnSaveToPrinter"})
    EXPECT_FALSE(Button(form, name)->isEnabled()) << name;
  EXPECT_TRUE(Button(form, "btnClose")->isEnabled());
  form.reject();
  EXPECT_TRUE(form.isVisible()) << "closing waits for the transfer";

  EXPECT_TRUE(WaitForTransfer(form));
  EXPECT_FALSE(form.busy());
  for (const char* name : {"btnLoadFromFile", "btnSaveToFile", "btnLoadFromPrinter", "btnSaveToPrinter"})
    EXPECT_TRUE(Button(form, name)->isEnabled()) << name;
  EXPECT_EQ(DotDifference(form.shownPicture(), PatternPicture()), "");
  EXPECT_EQ(form.findChild<QProgressBar*>(QStringLiteral("pbProgress"))->value(), 0);
  EXPECT_EQ(p.sink->Trace(), kWholeTransfer);
  form.reject();
  EXPECT_FALSE(form.isVisible());
}

// A picture of the form showing a logo read from the software printer, under
// the build folder, for anyone to look at.
TEST_F(LogoOnPrinter, RenderingOfTheFormIsLeftForPeopleToSee) {
  p.StoreRows(PatternRowText);
  TfmSetGetLogo form;
  form.setTmpDORRIK(p.object.printer());
  form.setMyComServerInstance(&p.object);
  form.show();
  Button(form, "btnLoadFromPrinter")->click();
  ASSERT_TRUE(WaitForTransfer(form));
  QApplication::processEvents();
  QDir().mkpath(QStringLiteral(ORBANTIS_RENDERINGS_DIR));
  EXPECT_TRUE(form.grab().save(QStringLiteral(ORBANTIS_RENDERINGS_DIR "/logo-form.png"), "PNG"));
  form.reject();
}

TEST_F(LogoOnPrinter, TheFormSendsALoadedPictureAndSavesItToAFile) {
  SavePattern("pattern.bmp");
  ScriptedForm form;
  form.setTmpDORRIK(p.object.printer());
  form.setMyComServerInstance(&p.object);
  form.openName = Path("pattern.bmp");
  form.LoadFromFileClick();
  EXPECT_TRUE(Button(form, "btnLoadFromFile")->isEnabled());
  EXPECT_EQ(DotDifference(form.shownPicture(), PatternPicture()), "");

  form.SaveToPrinterClick();
  EXPECT_TRUE(WaitForTransfer(form));
  for (int r = 0; r < kLogoRows; ++r) ASSERT_EQ(p.Row(r), PatternRowText(r)) << "row " << r;

  form.saveName = Path("saved");
  form.SaveToFileClick();
  EXPECT_EQ(form.logoFileName(), Path("saved.bmp"));
  EXPECT_EQ(form.targetFolder(), QString::fromStdString(dir.Path()).chopped(1));
  EXPECT_EQ(DotDifference(LoadPicture(Path("saved.bmp")), PatternPicture()), "");
  EXPECT_TRUE(form.told.isEmpty());

  // "saved" now becomes an existing "saved.bmp" the dialog never asked about.
  form.openName = Path("blank.bmp");
  ASSERT_TRUE(SavePictureAsBitmap(BlankPicture(), form.openName));
  form.LoadFromFileClick();
  form.SaveToFileClick();
  EXPECT_EQ(form.overwriteAsked, 1);
  EXPECT_EQ(DotDifference(LoadPicture(Path("saved.bmp")), PatternPicture()), "") << "kept when the user says no";
}

// =============================================================== the installed forms

TEST(LogoForms, ShowingWithoutADisplayReturnsAtOnce) {
  ASSERT_EQ(QGuiApplication::platformName(), QStringLiteral("offscreen"));
  LogoForms forms;
  TKELMORA object;
  forms.ShowLogoForm(object, true);
  for (QWidget* w : QApplication::topLevelWidgets()) EXPECT_EQ(qobject_cast<TfmSetGetLogo*>(w), nullptr);
}

TEST(LogoForms, AWorkerCallOpensOneModalFormOnTheMainThreadAndWaitsForIt) {
  LogoForms forms;
  forms.SetShowWithoutDisplay(true);
  TKELMORA object, other;
  QEventLoop loop;
  bool returned = false;
  std::thread worker([&] {
    forms.ShowLogoForm(object, false);
    QMetaObject::invokeMethod(&loop, [&] {
      returned = true;
      loop.quit();
    }, Qt::QueuedConnection);
  });

  int formsSeen = 0;
  bool closedWhileOpen = false;
  QTimer look;
  QObject::connect(&look, &QTimer::timeout, [&] {
    auto* form = qobject_cast<TfmSetGetLogo*>(QApplication::activeModalWidget());
    if (form == nullptr || !form->isVisible()) return;
    look.stop();
    ++formsSeen;
    EXPECT_FALSE(returned) << "the call waits while the form is open";
    EXPECT_EQ(QThread::currentThread(), qApp->thread());
    forms.ShowLogoForm(other, false);  // a second form while one is open: returns at once
    EXPECT_EQ(QApplication::activeModalWidget(), form);
    closedWhileOpen = !returned;
    form->reject();
  });
  look.start(0);
  loop.exec();
  worker.join();
  EXPECT_TRUE(returned);
  EXPECT_EQ(formsSeen, 1);
  EXPECT_TRUE(closedWhileOpen);
}

TEST(LogoForms, ACallTheEndedMainLoopWillNeverTakeDoesNotHang) {
  LogoForms forms;
  forms.SetShowWithoutDisplay(true);
  TKELMORA object;
  // The main thread takes no events from here on, as after its loop ended.
  std::thread worker([&] { forms.ShowLogoForm(object, false); });
  ASSERT_TRUE(QMetaObject::invokeMethod(qApp, "aboutToQuit", Qt::DirectConnection));
  worker.join();
  // Should the abandoned call still be delivered, it shows nothing.
  QCoreApplication::sendPostedEvents();
  EXPECT_EQ(QApplication::activeModalWidget(), nullptr);
  // And later calls return at once.
  forms.ShowLogoForm(object, false);
  EXPECT_EQ(QApplication::activeModalWidget(), nullptr);
}

}  // namespace
}  // namespace orbantis::logo

int main(int argc, char** argv) {
  ::setenv("QT_QPA_PLATFORM", "offscreen", 1);
  // The automation objects write their logs under the data folder.
  char data[] = "/tmp/orbantis-ui-test-XXXXXX";
  if (::mkdtemp(data) != nullptr) ::setenv("XDG_DATA_HOME", data, 1);
  QApplication app(argc, argv);
  ::testing::InitGoogleTest(&argc, argv);
  const int status = RUN_ALL_TESTS();
  QDir(QString::fromLatin1(data)).removeRecursively();
  return status;
}
