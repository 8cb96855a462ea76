#include "uLogo/LogoPicture.h"

#include <QDir>
#include <QFileInfo>
#include <QImageReader>
#include <QPainter>
#include <QSaveFile>
#include <vector>

namespace orbantis::logo {
namespace {

std::uint32_t ToColourValue(QRgb rgb) {
  return static_cast<std::uint32_t>(qRed(rgb)) | (static_cast<std::uint32_t>(qGreen(rgb)) << 8) |
         (static_cast<std::uint32_t>(qBlue(rgb)) << 16);
}

QRgb ToRgb(std::uint32_t colour) {
  return qRgb(static_cast<int>(colour & 0xFF), static_cast<int>((colour >> 8) & 0xFF),
              static_cast<int>((colour >> 16) & 0xFF));
}

bool IsWorkingFormat(const QImage& picture) {
  return picture.format() == QImage::Format_RGB32;
}

}  // namespace

// ---------------------------------------------------------------- pictures

Pixels ToPixels(const QImage& picture) {
  const QImage flat = IsWorkingFormat(picture) ? picture : NormalizePicture(picture);
  if (flat.isNull()) return {};
  Pixels pixels(flat.width(), flat.height());
  for (int y = 0; y < flat.height(); ++y) {
    const auto* line = reinterpret_cast<const QRgb*>(flat.constScanLine(y));
    for (int x = 0; x < flat.width(); ++x) pixels.Set(x, y, ToColourValue(line[x]));
  }
  return pixels;
}

QImage ToImage(const Pixels& pixels) {
  if (pixels.Null()) return {};
  QImage picture(pixels.width, pixels.height, QImage::Format_RGB32);
  for (int y = 0; y < pixels.height; ++y) {
    auto* line = reinterpret_cast<QRgb*>(picture.scanLine(y));
    for (int x = 0; x < pixels.width; ++x) line[x] = ToRgb(pixels.At(x, y));
  }
  return picture;
}

QImage BlankPicture() { return ToImage(BlankPixels()); }

QImage NormalizePicture(const QImage& picture) {
  if (picture.isNull()) return {};
  if (!picture.hasAlphaChannel()) return picture.convertToFormat(QImage::Format_RGB32);
  QImage flat(picture.size(), QImage::Format_RGB32);
  flat.fill(ToRgb(kWhite));
  QPainter painter(&flat);
  painter.drawImage(0, 0, picture);
  painter.end();
  return flat;
}

std::uint32_t ColourValue(const QImage& picture, int x, int y) {
  if (!picture.valid(x, y)) return kWhite;
  return ToColourValue(picture.pixel(x, y));
}

void SetColourValue(QImage& picture, int x, int y, std::uint32_t colour) {
  if (!picture.valid(x, y)) return;
  picture.setPixel(x, y, ToRgb(colour));
}

// ---------------------------------------------------------------- the core's conversions on a QImage

bool DitherLogo(QImage& picture) {
  Pixels pixels = ToPixels(picture);
  if (!DitherLogo(pixels)) return false;
  picture = ToImage(pixels);
  return true;
}

LogoRow RowBits(const QImage& picture, int row) {
  // Only the row itself is read: a transfer asks for all 96 in turn.
  Pixels line(kLogoDots, 1);
  for (int x = 0; x < kLogoDots; ++x) line.Set(x, 0, ColourValue(picture, x, row));
  return RowBits(line, 0);
}

void PaintRow(QImage& picture, int row, const LogoRow& bits) {
  if (!IsWorkingFormat(picture)) picture = NormalizePicture(picture);
  Pixels line(kLogoDots, 1);
  PaintRow(line, 0, bits);
  for (int x = 0; x < kLogoDots; ++x) SetColourValue(picture, x, row, line.At(x, 0));
}

LogoRows PictureToRows(const QImage& picture) { return PictureToRows(ToPixels(picture)); }

std::optional<QImage> RowsToPicture(const LogoRows& rows) {
  const auto pixels = RowsToPixels(rows);
  if (!pixels) return std::nullopt;
  return ToImage(*pixels);
}

// ---------------------------------------------------------------- files

QImage LoadPicture(const QString& fileName) {
  // The reader refuses pictures whose header asks for more memory than its
  // allocation limit, so a forged file cannot exhaust the server.
  QImageReader reader(fileName);
  return NormalizePicture(reader.read());
}

bool SavePictureAsBitmap(const QImage& picture, const QString& fileName) {
  if (picture.isNull() || fileName.isEmpty()) return false;
  const QImage flat = NormalizePicture(picture);
  QSaveFile file(fileName);
  if (!file.open(QIODevice::WriteOnly)) return false;
  if (!flat.save(&file, "BMP")) {
    file.cancelWriting();
    return false;
  }
  return file.commit();
}

bool QtPictureFiles::Load(const std::string& name, Pixels& picture, std::string& error) {
  const QImage loaded = LoadPicture(QString::fromStdString(name));
  if (loaded.isNull()) {
    error = name + " is not a picture that can be read.";
    return false;
  }
  picture = ToPixels(loaded);
  return true;
}

bool QtPictureFiles::SaveBitmap(const Pixels& picture, const std::string& name, std::string& error) {
  if (SavePictureAsBitmap(ToImage(picture), QString::fromStdString(name))) return true;
  error = "The picture could not be written to " + name + ".";
  return false;
}

bool QtPictureFiles::IsFile(const std::string& name) { return QFileInfo(QString::fromStdString(name)).isFile(); }

bool QtPictureFiles::IsFolder(const std::string& name) {
  return !name.empty() && QFileInfo(QString::fromStdString(name)).isDir();
}

bool QtPictureFiles::MakeFolders(const std::string& folder) { return QDir().mkpath(QString::fromStdString(folder)); }

}  // namespace orbantis::logo
