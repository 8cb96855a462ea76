#include "printer_model/TFP_ZORVIK.h"

#include "printer_model/StatusBits.h"
#include "uErrLog/uErrLog.h"
#include "u_FP_BASE/CodePage.h"

namespace orbantis {

TFP_ZORVIK::TFP_ZORVIK(std::int32_t port, std::int32_t baudrate) : TFP_BASE(port, baudrate) {
  TFP_ZORVIK::INIT_ERROR_SWITCHES();
}

void TFP_ZORVIK::INIT_ERROR_SWITCHES() {
  TFP_BASE::INIT_ERROR_SWITCHES();
  const auto& texts = StatusBitTexts();
  for (std::size_t i = 0; i < ERROR_SWITCHES.size(); ++i) {
    ERROR_SWITCHES[i].SW_VAL = false;
    ERROR_SWITCHES[i].ERR_MEN = texts[i];
  }
}

void TFP_ZORVIK::GET_STBYTE(int byteIndex) {
  try {
    TFP_BASE::GET_STBYTE(byteIndex);
    if (byteIndex < 0 || byteIndex > 5) return;
    const std::uint8_t value = StatusByte(byteIndex);
    for (int k = 0; k < 8; ++k)
      if (value & (1u << k)) ERROR_SWITCHES[static_cast<std::size_t>(8 * byteIndex + k)].SW_VAL = true;
  } catch (const std::exception& e) {
    try {
      WRITE_EXE_LOG(std::string("TFP_ZORVIK.GET_STBYTE: ") + e.what());
    } catch (...) {
    }
  }
}

bool TFP_ZORVIK::Check_Status() {
  bool verdict = true;
  FLastErrorMessage.clear();
  FLastErrorMessage_BG.clear();
  try {
    for (const auto& id : ErrorStatusBits()) {
      const auto& sw = ERROR_SWITCHES[static_cast<std::size_t>(8 * id.byte + id.bit)];
      if (!sw.SW_VAL) continue;
      verdict = false;
      FLastErrorMessage += EncodeCodePage(sw.ERR_MEN + u"\r\n", CP_CYRILLIC);
      FLastErrorMessage_BG += EncodeCodePage(sw.ERR_MSG + u"\r\n", CP_WESTERN);
    }
  } catch (const std::exception& e) {
    try {
      WRITE_EXE_LOG(std::string("TFP_ZORVIK.Check_Status: ") + e.what());
    } catch (...) {
    }
    return verdict;
  }
  if (verdict) {
    FLastErrorMessage.clear();
    FLastErrorMessage_BG.clear();
  }
  return verdict;
}

}  // namespace orbantis
