#include "win32ui/WicPicture.h"
#include "win32ui/FilePaths.h"

#include <windows.h>
#include <wincodec.h>
#include <wrl/client.h>

#include <algorithm>
#include <atomic>
#include <cwchar>
#include <new>
#include <vector>

#include "win32ui/ComApartment.h"
#include "win32ui/WinStrings.h"

namespace orbantis::win32ui {
namespace {

using Microsoft::WRL::ComPtr;

// Rows converted per call, so that a large picture is never held twice.
constexpr UINT kStripRows = 64;
// Bitmap files are written in pieces of about this size.
constexpr std::size_t kWriteChunk = 256 * 1024;
// 72 dots per inch, what picture programs assume for a bitmap without a size.
constexpr LONG kDotsPerMetre = 2835;

// One 32-bit BGRA dot as a colour value over white paper:
// round(c * a / 255) + (255 - a) for each channel.
std::uint32_t OverWhite(const BYTE* bgra) {
  const unsigned alpha = bgra[3];
  const auto channel = [alpha](unsigned c) -> std::uint32_t {
    return (c * alpha + 255u * (255u - alpha) + 127u) / 255u;
  };
  return channel(bgra[2]) | (channel(bgra[1]) << 8) | (channel(bgra[0]) << 16);
}

std::wstring Number(std::uint64_t value) { return std::to_wstring(value); }

bool WriteAll(HANDLE file, const std::vector<BYTE>& bytes) {
  std::size_t done = 0;
  while (done < bytes.size()) {
    const DWORD piece = static_cast<DWORD>(std::min<std::size_t>(bytes.size() - done, kWriteChunk));
    DWORD written = 0;
    if (!WriteFile(file, bytes.data() + done, piece, &written, nullptr) || written == 0) return false;
    done += written;
  }
  return true;
}

// A name beside the target for the file being written, unique in this
// process and unlikely to be anybody else's.
std::wstring TemporaryNameFor(const std::wstring& fileName) {
  static std::atomic<unsigned> counter {0};
  wchar_t suffix[40];
  std::swprintf(suffix, 40, L".~%lx-%x.tmp", static_cast<unsigned long>(GetCurrentProcessId()), counter++);
  return fileName + suffix;
}

}  // namespace

bool LoadPicture(const std::wstring& fileName, logo::Pixels& pixels, std::wstring& error) {
  pixels = logo::Pixels();
  error.clear();
  const auto fail = [&](const std::wstring& reason) {
    error = L"Cannot read the picture \"" + fileName + L"\". " + reason;
    return false;
  };
  try {
    ComApartment com;
    if (!com.Usable()) return fail(L"COM cannot be used on this thread.");

    ComPtr<IWICImagingFactory> factory;
    HRESULT hr = CoCreateInstance(CLSID_WICImagingFactory, nullptr, CLSCTX_INPROC_SERVER, IID_IWICImagingFactory,
                                  reinterpret_cast<void**>(factory.GetAddressOf()));
    if (FAILED(hr)) return fail(L"The Windows Imaging Component is not available. " + SystemMessage(hr));

    ComPtr<IWICBitmapDecoder> decoder;
    hr = factory->CreateDecoderFromFilename(fileName.c_str(), nullptr, GENERIC_READ, WICDecodeMetadataCacheOnDemand,
                                            decoder.GetAddressOf());
    if (FAILED(hr)) return fail(SystemMessage(hr));
    ComPtr<IWICBitmapFrameDecode> frame;
    hr = decoder->GetFrame(0, frame.GetAddressOf());
    if (FAILED(hr)) return fail(SystemMessage(hr));

    UINT width = 0;
    UINT height = 0;
    hr = frame->GetSize(&width, &height);
    if (FAILED(hr)) return fail(SystemMessage(hr));
    if (width == 0 || height == 0) return fail(L"The picture has no dots.");
    if (static_cast<std::uint64_t>(width) * height > kMaxPictureDots)
      return fail(L"The picture is too large (" + Number(width) + L" x " + Number(height) + L" dots; at most " +
                  Number(kMaxPictureDots) + L" are read).");

    // Whatever the file holds (palette, grey, 24-bit, 16-bit channels,
    // alpha), the converter hands out 8-bit blue, green, red and alpha.
    ComPtr<IWICFormatConverter> converter;
    hr = factory->CreateFormatConverter(converter.GetAddressOf());
    if (FAILED(hr)) return fail(SystemMessage(hr));
    hr = converter->Initialize(frame.Get(), GUID_WICPixelFormat32bppBGRA, WICBitmapDitherTypeNone, nullptr, 0.0,
                               WICBitmapPaletteTypeCustom);
    if (FAILED(hr)) return fail(SystemMessage(hr));

    logo::Pixels loaded(static_cast<int>(width), static_cast<int>(height));
    const UINT stride = width * 4;
    std::vector<BYTE> strip(static_cast<std::size_t>(stride) * std::min(height, kStripRows));
    for (UINT top = 0; top < height; top += kStripRows) {
      const UINT rows = std::min(kStripRows, height - top);
      const WICRect rect {0, static_cast<INT>(top), static_cast<INT>(width), static_cast<INT>(rows)};
      hr = converter->CopyPixels(&rect, stride, stride * rows, strip.data());
      if (FAILED(hr)) return fail(SystemMessage(hr));
      for (UINT y = 0; y < rows; ++y) {
        const BYTE* line = strip.data() + static_cast<std::size_t>(y) * stride;
        std::uint32_t* out = loaded.colours.data() + static_cast<std::size_t>(top + y) * width;
        for (UINT x = 0; x < width; ++x) out[x] = OverWhite(line + 4 * static_cast<std::size_t>(x));
      }
    }
    pixels = std::move(loaded);
    return true;
  } catch (const std::bad_alloc&) {
    return fail(L"There is not enough memory for the picture.");
  }
}

bool SavePictureAsBitmap(const logo::Pixels& pixels, const std::wstring& fileName, std::wstring& error) {
  error.clear();
  const auto fail = [&](const std::wstring& reason) {
    error = L"Cannot save the picture to \"" + fileName + L"\". " + reason;
    return false;
  };
  if (pixels.Null()) return fail(L"There is no picture to save.");
  if (fileName.empty()) return fail(L"No file name was given.");

  const std::uint64_t stride = (static_cast<std::uint64_t>(pixels.width) * 3 + 3) & ~std::uint64_t {3};
  const std::uint64_t imageSize = stride * static_cast<std::uint64_t>(pixels.height);
  const std::uint64_t headersSize = sizeof(BITMAPFILEHEADER) + sizeof(BITMAPINFOHEADER);
  if (headersSize + imageSize > 0xFFFFFFFFull) return fail(L"The picture is too large for a bitmap file.");

  BITMAPFILEHEADER fileHeader {};
  fileHeader.bfType = 0x4D42;  // "BM"
  fileHeader.bfSize = static_cast<DWORD>(headersSize + imageSize);
  fileHeader.bfOffBits = static_cast<DWORD>(headersSize);
  BITMAPINFOHEADER info {};
  info.biSize = sizeof(BITMAPINFOHEADER);
  info.biWidth = pixels.width;
  info.biHeight = pixels.height;  // positive: the bottom row comes first
  info.biPlanes = 1;
  info.biBitCount = 24;
  info.biCompression = BI_RGB;
  info.biSizeImage = static_cast<DWORD>(imageSize);
  info.biXPelsPerMeter = kDotsPerMetre;
  info.biYPelsPerMeter = kDotsPerMetre;

  const std::wstring temporary = TemporaryNameFor(fileName);
  HANDLE file = CreateFileW(temporary.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return fail(LastErrorMessage());

  bool written = true;
  std::wstring reason;
  try {
    std::vector<BYTE> bytes;
    bytes.reserve(kWriteChunk + static_cast<std::size_t>(stride));
    const auto* fh = reinterpret_cast<const BYTE*>(&fileHeader);
    const auto* ih = reinterpret_cast<const BYTE*>(&info);
    bytes.insert(bytes.end(), fh, fh + sizeof(fileHeader));
    bytes.insert(bytes.end(), ih, ih + sizeof(info));
    for (int y = pixels.height - 1; y >= 0 && written; --y) {
      const std::size_t start = bytes.size();
      bytes.resize(start + static_cast<std::size_t>(stride), 0);
      BYTE* line = bytes.data() + start;
      for (int x = 0; x < pixels.width; ++x) {
        const std::uint32_t colour = pixels.At(x, y);
        line[3 * x] = static_cast<BYTE>(colour >> 16);     // blue
        line[3 * x + 1] = static_cast<BYTE>(colour >> 8);  // green
        line[3 * x + 2] = static_cast<BYTE>(colour);       // red
      }
      if (bytes.size() >= kWriteChunk) {
        written = WriteAll(file, bytes);
        bytes.clear();
      }
    }
    if (written) written = WriteAll(file, bytes);
    if (!written) reason = LastErrorMessage();
  } catch (const std::bad_alloc&) {
    written = false;
    reason = L"There is not enough memory to write it.";
  }
  if (!CloseHandle(file) && written) {
    written = false;
    reason = LastErrorMessage();
  }
  if (written && !MoveFileExW(temporary.c_str(), fileName.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
    written = false;
    reason = LastErrorMessage();
  }
  if (!written) {
    DeleteFileW(temporary.c_str());
    return fail(reason);
  }
  return true;
}

bool WicPictureFiles::Load(const std::string& name, logo::Pixels& picture, std::string& error) {
  std::wstring why;
  if (LoadPicture(Utf8ToWin(name), picture, why)) return true;
  error = WinToUtf8(why);
  return false;
}

bool WicPictureFiles::SaveBitmap(const logo::Pixels& picture, const std::string& name, std::string& error) {
  std::wstring why;
  if (SavePictureAsBitmap(picture, Utf8ToWin(name), why)) return true;
  error = WinToUtf8(why);
  return false;
}

bool WicPictureFiles::IsFile(const std::string& name) { return win32ui::IsFile(Utf8ToWin(name)); }

bool WicPictureFiles::IsFolder(const std::string& name) { return win32ui::IsFolder(Utf8ToWin(name)); }

bool WicPictureFiles::MakeFolders(const std::string& folder) { return CreateFolderTree(Utf8ToWin(folder)); }

}  // namespace orbantis::win32ui
