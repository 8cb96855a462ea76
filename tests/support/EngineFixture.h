// An engine connected to a scripted printer over a pseudo-terminal, with
// short time-outs so that failure paths run in a fraction of a second.
#pragma once

#include <memory>

#include "printer_model/TFP_ZORVIK.h"
#include "support/PtyPair.h"
#include "support/ScriptedPeer.h"
#include "support/TempDir.h"

namespace orbantis::test {

// Read time-out of one byte in these tests (the port's default is 3200 ms).
inline constexpr std::uint32_t kTestReadTimeoutMs = 150;

struct EngineOnPty {
  explicit EngineOnPty(Script script, bool firstCommand = false) {
    engine = std::make_unique<TFP_ZORVIK>(1, 115200);
    auto& c = *engine->SERIAL_CONNECTION;
    c.DevicePath = pty.SlavePath();
    c.FCommTimeouts.ReadTotalTimeoutConstant = kTestReadTimeoutMs;
    c.EXIT_BYTIMEVAR = 100;
    c.SET_FIRST_COMMAND(firstCommand);
    peer = std::make_unique<ScriptedPeer>(pty.Master(), std::move(script));
    openResult = c.Open();
  }
  ~EngineOnPty() {
    engine.reset();
    peer.reset();
  }
  TConnector& connector() { return *engine->SERIAL_CONNECTION; }

  PtyPair pty;
  std::unique_ptr<TFP_ZORVIK> engine;
  std::unique_ptr<ScriptedPeer> peer;
  int openResult = -999;
};

}  // namespace orbantis::test
