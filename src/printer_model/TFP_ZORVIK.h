// TFP_ZORVIK: the model of the printer this server drives.
//
// It gives the engine's status bits their meaning: the 48 texts, the 15
// error bits that fail a command, and how the last-error texts list them.
#pragma once

#include "u_FP_BASE/TFP_BASE.h"

namespace orbantis {

class TFP_ZORVIK : public TFP_BASE {
 public:
  TFP_ZORVIK(std::int32_t port, std::int32_t baudrate);

  // Fails when an error bit of the last answer is set; the language-1 text
  // then lists the English texts of the set error bits, one per line, in
  // check order, and the language-0 text one line per bit.
  bool Check_Status() override;
  void GET_STBYTE(int byteIndex) override;
  void INIT_ERROR_SWITCHES() override;
};

}  // namespace orbantis
