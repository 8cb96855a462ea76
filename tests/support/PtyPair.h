// A pseudo-terminal pair: the driver opens SlavePath as its serial port, the
// test plays the printer on the master side.
#pragma once

#include <string>

namespace orbantis::test {

class PtyPair {
 public:
  PtyPair();
  ~PtyPair();
  PtyPair(const PtyPair&) = delete;
  PtyPair& operator=(const PtyPair&) = delete;

  int Master() const { return FMaster; }
  const std::string& SlavePath() const { return FSlavePath; }
  // Closes the master: the printer is "unplugged".
  void CloseMaster();

 private:
  int FMaster = -1;
  int FSlaveKeepOpen = -1;  // keeps the line from hanging up between opens
  std::string FSlavePath;
};

}  // namespace orbantis::test
