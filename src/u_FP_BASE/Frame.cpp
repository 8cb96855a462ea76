#include "u_FP_BASE/Frame.h"

namespace orbantis::frame {

std::array<std::uint8_t, 4> EncodeCheckSum(std::uint16_t sum) {
  return {std::uint8_t(0x30 + ((sum >> 12) & 0x0F)), std::uint8_t(0x30 + ((sum >> 8) & 0x0F)),
          std::uint8_t(0x30 + ((sum >> 4) & 0x0F)), std::uint8_t(0x30 + (sum & 0x0F))};
}

std::uint32_t DecodeCheckSum(const std::array<std::uint8_t, 4>& digits) {
  std::uint32_t v = 0;
  for (std::uint8_t d : digits) v = v * 16 + std::uint8_t(d - 0x30);
  return v;
}

std::vector<std::uint8_t> BuildRequest(std::uint8_t seq, std::uint8_t cmd, std::string_view data) {
  std::vector<std::uint8_t> out;
  out.reserve(data.size() + 10);
  out.push_back(PREAMBLE);
  out.push_back(std::uint8_t(data.size() + REQUEST_LENGTH_BASE));
  out.push_back(seq);
  out.push_back(cmd);
  for (char c : data) out.push_back(static_cast<std::uint8_t>(c));
  out.push_back(POSTAMBLE);
  std::uint16_t sum = 0;
  for (std::size_t i = 1; i < out.size(); ++i) sum = std::uint16_t(sum + out[i]);
  for (std::uint8_t d : EncodeCheckSum(sum)) out.push_back(d);
  out.push_back(TERMINATOR);
  return out;
}

}  // namespace orbantis::frame
