// The six status bytes the printer sends with every answer, and the names of their bits.
#pragma once

#include <cstdint>

#include "Frame.h"

namespace orbantis::emulator {

struct StatusBit {
  std::uint8_t byte;
  std::uint8_t bit;
  constexpr std::uint8_t mask() const { return static_cast<std::uint8_t>(1u << bit); }
};

namespace bits {
// Byte 0: general.
inline constexpr StatusBit syntaxError{0, 0};
inline constexpr StatusBit invalidCommand{0, 1};
inline constexpr StatusBit clockNotSet{0, 2};
inline constexpr StatusBit displayDisconnected{0, 3};
inline constexpr StatusBit mechanismFailure{0, 4};
inline constexpr StatusBit generalError{0, 5};  // OR of the bits marked "#" in bytes 0 to 2
inline constexpr StatusBit coverOpen{0, 6};
// Byte 1.
inline constexpr StatusBit sumOverflow{1, 0};
inline constexpr StatusBit notAllowed{1, 1};
inline constexpr StatusBit ramCleared{1, 2};
inline constexpr StatusBit batteryLow{1, 3};
inline constexpr StatusBit ramFailure{1, 4};
inline constexpr StatusBit drawerOpen{1, 5};
// Byte 2: paper, receipts and journal.
inline constexpr StatusBit noPaper{2, 0};
inline constexpr StatusBit paperNearEnd{2, 1};
inline constexpr StatusBit journalEnd{2, 2};
inline constexpr StatusBit fiscalReceiptOpen{2, 3};
inline constexpr StatusBit journalNearEnd{2, 4};
inline constexpr StatusBit nonFiscalReceiptOpen{2, 5};
inline constexpr StatusBit journalNotEmpty{2, 6};
// Byte 3 mirrors the switches SW1 to SW7 in its bits 0 to 6.
// Byte 4: fiscal memory.
inline constexpr StatusBit fiscalMemoryWriteError{4, 0};
inline constexpr StatusBit tinVrnSet{4, 1};
inline constexpr StatusBit serialNumberSet{4, 2};
inline constexpr StatusBit fiscalMemoryNearlyFull{4, 3};
inline constexpr StatusBit fiscalMemoryFull{4, 4};
inline constexpr StatusBit fiscalMemoryError{4, 5};  // OR of the bits marked "*" in bytes 4 and 5
// Byte 5: fiscal mode.
inline constexpr StatusBit fiscalMemoryReadOnly{5, 0};
inline constexpr StatusBit fiscalMemoryFormatted{5, 1};
inline constexpr StatusBit lastClosureFailed{5, 2};
inline constexpr StatusBit fiscalMode{5, 3};
inline constexpr StatusBit taxRatesSet{5, 4};
inline constexpr StatusBit fiscalMemoryReadError{5, 5};
}  // namespace bits

// Bit 7 of every status byte is reserved. Printers of this protocol family keep it set, so that a
// status byte never looks like one of the control bytes (01h to 05h, 15h, 16h) to a line monitor;
// we do the same, so the bytes a driver sees match what it sees from a device on the desk.
// `--status 0.7=0` and the like clear it where a test wants plain zero bytes.
inline constexpr std::uint8_t kReservedBits = 0x80;

inline void setBit(StatusBytes& s, StatusBit b, bool on = true) {
  if (on) {
    s[b.byte] = static_cast<std::uint8_t>(s[b.byte] | b.mask());
  } else {
    s[b.byte] = static_cast<std::uint8_t>(s[b.byte] & ~b.mask());
  }
}

inline bool testBit(const StatusBytes& s, StatusBit b) { return (s[b.byte] & b.mask()) != 0; }

}  // namespace orbantis::emulator
