// Small helpers shared by the fuzz targets: a failed invariant that libFuzzer
// reports as a crash (with the condition in the log), and a reader that cuts
// an input into fields without ever running past its end.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

namespace orbantis::fuzz {

[[noreturn]] inline void Fail(const char* condition, const char* file, int line) {
  std::fprintf(stderr, "%s:%d: invariant broken: %s\n", file, line, condition);
  std::fflush(stderr);
  std::abort();
}

// Reads fields from the front of an input; once it is used up every field
// reads as zero bytes, so any input is a valid layout.
class ByteReader {
 public:
  ByteReader(const std::uint8_t* data, std::size_t size) : FData(data), FSize(size) {}

  std::size_t remaining() const { return FSize - FPos; }
  bool empty() const { return FPos >= FSize; }

  std::uint8_t Byte() { return empty() ? 0 : FData[FPos++]; }

  bool Bool() { return (Byte() & 1) != 0; }

  // Four bytes, least significant first.
  std::int32_t Int32() {
    std::uint32_t v = 0;
    for (int i = 0; i < 4; ++i) v |= static_cast<std::uint32_t>(Byte()) << (8 * i);
    return static_cast<std::int32_t>(v);
  }

  // At most n bytes.
  std::string Bytes(std::size_t n) {
    if (n > remaining()) n = remaining();
    std::string s(reinterpret_cast<const char*>(FData + FPos), n);
    FPos += n;
    return s;
  }

  std::string Rest() { return Bytes(remaining()); }

  // At most n UTF-16 code units, two bytes each, least significant first.
  std::u16string Units(std::size_t n) {
    std::u16string s;
    while (n-- > 0 && remaining() >= 2) {
      const auto lo = Byte();
      const auto hi = Byte();
      s.push_back(static_cast<char16_t>(lo | (hi << 8)));
    }
    return s;
  }

 private:
  const std::uint8_t* FData;
  std::size_t FSize;
  std::size_t FPos = 0;
};

}  // namespace orbantis::fuzz

#define FUZZ_CHECK(condition)                                                     \
  do {                                                                            \
    if (!(condition)) ::orbantis::fuzz::Fail(#condition, __FILE__, __LINE__);     \
  } while (0)
