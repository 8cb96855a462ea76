// The printer's wire frames, as pure functions (no I/O).
//
// Request, n data bytes (n = 0..219), n + 10 bytes:
//   01 | 24h+n | SEQ | CMD | data | 05 | 4 check-sum digits | 03
// Answer, n data bytes, n + 17 bytes:
//   01 | 2Bh+n | SEQ | CMD | data | 04 | S0..S5 | 05 | 4 check-sum digits | 03
// The check sum is the 16-bit sum of the bytes from the length byte through
// the postamble, sent as four hex digits, most significant first, each digit
// as 30h + its value ("0".."?").
#pragma once

#include <array>
#include <cstdint>
#include <string_view>
#include <vector>

namespace orbantis::frame {

inline constexpr std::uint8_t PREAMBLE = 0x01;
inline constexpr std::uint8_t SEPARATOR = 0x04;
inline constexpr std::uint8_t POSTAMBLE = 0x05;
inline constexpr std::uint8_t TERMINATOR = 0x03;
inline constexpr std::uint8_t NAK = 0x15;
inline constexpr std::uint8_t SYN = 0x16;

inline constexpr std::uint8_t REQUEST_LENGTH_BASE = 0x24;
inline constexpr std::uint8_t ANSWER_LENGTH_BASE = 0x2B;

inline constexpr std::uint8_t SEQ_FIRST = 0x20;
inline constexpr std::uint8_t SEQ_LAST = 0x7F;

// The longest data field whose length byte does not wrap (24h + 219 = FFh).
inline constexpr std::size_t MAX_REQUEST_DATA = 219;

inline constexpr std::size_t STATUS_BYTES = 6;

// The command code that reads the status; its error bits never fail it.
inline constexpr std::uint8_t CMD_STATUS = 0x4A;

// The SEQ that follows seq: 20h..7Fh, wrapping to 20h.
constexpr std::uint8_t NextSeq(std::uint8_t seq) { return seq >= SEQ_LAST ? SEQ_FIRST : std::uint8_t(seq + 1); }

// The SEQ an answer must carry when the next request would use nextSeq.
constexpr std::uint8_t PreviousSeq(std::uint8_t nextSeq) {
  return (nextSeq - 1) < SEQ_FIRST ? SEQ_LAST : std::uint8_t(nextSeq - 1);
}

// The four check-sum digits of a 16-bit sum.
std::array<std::uint8_t, 4> EncodeCheckSum(std::uint16_t sum);

// The value of four received digits, each taken as (byte - 30h) modulo 256.
std::uint32_t DecodeCheckSum(const std::array<std::uint8_t, 4>& digits);

// A whole request frame (the length byte wraps for data longer than 219 bytes;
// callers refuse such data before they get here).
std::vector<std::uint8_t> BuildRequest(std::uint8_t seq, std::uint8_t cmd, std::string_view data);

}  // namespace orbantis::frame
