// The driver's model connected to the software printer on a pseudo-terminal,
// with the switches the server sets when it connects.
#pragma once

#include <memory>

#include "Emulator.h"
#include "printer_model/TFP_ZORVIK.h"

namespace orbantis::test {

struct ModelOnEmulator {
  ModelOnEmulator() {
    const std::string device = emulator.startPty();
    model = std::make_unique<TFP_ZORVIK>(1, 115200);
    auto& c = *model->SERIAL_CONNECTION;
    c.DevicePath = device;
    openResult = c.Open();
    c.WITH_INPCHECK = false;
    c.WITH_OUTPCHECK = true;
    c.ALWAYS_GET_OUTPUT = true;
    c.AUTOCUT_ON = true;
    c.EXIT_BYTIMEVAR = 3000;
    c.SET_REPEAT_COUNT(2);
  }
  ~ModelOnEmulator() {
    model.reset();
    emulator.stop();
  }

  emulator::Emulator emulator;
  std::unique_ptr<TFP_ZORVIK> model;
  int openResult = -999;
};

}  // namespace orbantis::test
