// The serial port calls of the connector.
//
// The connector keeps the settings in the shape of the Win32 device control
// block and the five Win32 time-outs, because that is what the driver has
// always exposed and logged. SerialPort_win32.cpp hands them to the Win32
// serial calls; SerialPort_posix.cpp maps them onto a POSIX terminal.
//
// On Windows the parity and stop-bit names and MAXDWORD are macros of
// <windows.h> with the same values; they are set aside while the constants
// are declared, so the headers may come in any order.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "uCONNECTOR/SerialNative.h"

namespace orbantis {

// Bits of TDCB::Flags.
namespace dcbflag {
inline constexpr std::uint32_t fBinary = 1u << 0;
inline constexpr std::uint32_t fParity = 1u << 1;
inline constexpr std::uint32_t fOutxCtsFlow = 1u << 2;
inline constexpr std::uint32_t fOutxDsrFlow = 1u << 3;
inline constexpr std::uint32_t fDtrControlMask = 3u << 4;
inline constexpr std::uint32_t fDtrControlEnable = 1u << 4;
inline constexpr std::uint32_t fDsrSensitivity = 1u << 6;
inline constexpr std::uint32_t fTXContinueOnXoff = 1u << 7;
inline constexpr std::uint32_t fOutX = 1u << 8;
inline constexpr std::uint32_t fInX = 1u << 9;
inline constexpr std::uint32_t fErrorChar = 1u << 10;
inline constexpr std::uint32_t fNull = 1u << 11;
inline constexpr std::uint32_t fRtsControlMask = 3u << 12;
inline constexpr std::uint32_t fRtsControlEnable = 1u << 12;
inline constexpr std::uint32_t fRtsControlHandshake = 2u << 12;
inline constexpr std::uint32_t fAbortOnError = 1u << 14;
}  // namespace dcbflag

#pragma push_macro("NOPARITY")
#undef NOPARITY
#pragma push_macro("ODDPARITY")
#undef ODDPARITY
#pragma push_macro("EVENPARITY")
#undef EVENPARITY
#pragma push_macro("ONESTOPBIT")
#undef ONESTOPBIT
#pragma push_macro("ONE5STOPBITS")
#undef ONE5STOPBITS
#pragma push_macro("TWOSTOPBITS")
#undef TWOSTOPBITS
#pragma push_macro("MAXDWORD")
#undef MAXDWORD

// Parity and stop-bit codes of the device control block.
inline constexpr std::uint8_t NOPARITY = 0, ODDPARITY = 1, EVENPARITY = 2;
inline constexpr std::uint8_t ONESTOPBIT = 0, ONE5STOPBITS = 1, TWOSTOPBITS = 2;

// The device control block: the port's line settings.
struct TDCB {
  std::uint32_t DCBlength = 0;
  std::uint32_t BaudRate = 0;
  std::uint32_t Flags = 0;
  std::uint16_t wReserved = 0;
  std::uint16_t XonLim = 0;
  std::uint16_t XoffLim = 0;
  std::uint8_t ByteSize = 0;
  std::uint8_t Parity = 0;
  std::uint8_t StopBits = 0;
  char XonChar = 0;
  char XoffChar = 0;
  char ErrorChar = 0;
  char EofChar = 0;
  char EvtChar = 0;
  std::uint16_t wReserved1 = 0;
  // The platform's own settings the block was read from; applying the block
  // changes only what the block describes and keeps the rest.
  serial::LineState Native {};
};

// The five time-outs, in milliseconds, with their Win32 meaning:
//  - a read of n bytes waits at most ReadTotalTimeoutMultiplier * n +
//    ReadTotalTimeoutConstant (0 and 0: no total limit), and at most
//    ReadIntervalTimeout between two bytes once the first arrived (0: none);
//  - ReadIntervalTimeout = MAXDWORD with both totals 0 returns at once with
//    what is buffered; with the multiplier MAXDWORD and a constant between
//    0 and MAXDWORD it returns as soon as a byte is there, waiting at most
//    the constant;
//  - a write of n bytes waits at most WriteTotalTimeoutMultiplier * n +
//    WriteTotalTimeoutConstant (both 0: no limit).
struct TCOMMTIMEOUTS {
  std::uint32_t ReadIntervalTimeout = 0;
  std::uint32_t ReadTotalTimeoutMultiplier = 0;
  std::uint32_t ReadTotalTimeoutConstant = 0;
  std::uint32_t WriteTotalTimeoutMultiplier = 0;
  std::uint32_t WriteTotalTimeoutConstant = 0;
};

inline constexpr std::uint32_t MAXDWORD = 0xFFFFFFFFu;
#pragma pop_macro("MAXDWORD")
#pragma pop_macro("TWOSTOPBITS")
#pragma pop_macro("ONE5STOPBITS")
#pragma pop_macro("ONESTOPBIT")
#pragma pop_macro("EVENPARITY")
#pragma pop_macro("ODDPARITY")
#pragma pop_macro("NOPARITY")

namespace serial {

// Opens a port for reading and writing, exclusively (a second opener is
// refused, an administrator included: errno EBUSY), without making it the
// controlling terminal. Returns kInvalidHandle and sets errno on failure.
Handle Open(const std::string& path);

// What the user can do about an open that failed with errno err on path
// ("" when there is nothing more to say than the system's reason).
std::string OpenAdvice(int err);

// Who holds the exclusive lock on path: "name (pid N)", or "" when nobody
// or when it cannot be told.
std::string LockHolder(const std::string& path);

void Close(Handle fd);

// Asks the port's driver to pass received bytes on at once (Linux:
// ASYNC_LOW_LATENCY through TIOCGSERIAL/TIOCSSERIAL). A port or platform that
// has no such setting is left as it is: that is not an error.
enum class LowLatency { set, alreadySet, notSupported };
LowLatency RequestLowLatency(Handle fd);

// A USB-serial adapter holds received bytes up to its latency timer before it
// passes them on, and every exchange waits that long for its answer. For the
// device at path: what to do when the timer (read under sysRoot, normally
// /sys) is above 1 ms, naming the value and how to lower it; "" when it is 1
// ms or less, or not to be seen (not such an adapter, another platform).
std::string LatencyAdvice(const std::string& path, const std::string& sysRoot = "/sys");

// Reads the port's settings into dcb. False with errno on failure.
bool GetCommState(Handle fd, TDCB& dcb);

// True for the rates the port supports: 1200 to 230400 bit/s.
bool IsSupportedBaudRate(std::uint32_t baud);

// Applies dcb (raw 8-bit line, no echo, no translation). False with errno.
bool SetCommState(Handle fd, const TDCB& dcb);

// Makes the line binary as a Windows port always is (no canonical mode, no
// echo, no CR/LF translation, no signal characters, no output processing)
// and keeps its rate, character size, parity, stop bits and flow control.
bool MakeBinary(Handle fd);

// Drops unread input and unsent output.
bool Purge(Handle fd);

// Raises or drops DTR / RTS. A pseudo-terminal has no modem lines: false.
bool SetDtr(Handle fd, bool state);
bool SetRts(Handle fd, bool state);

// Reads up to count bytes under the time-outs. False on an error of the
// device (e.g. its other end is gone); true otherwise, with *read < count
// when the time ran out.
bool ReadFile(Handle fd, std::uint8_t* buffer, std::size_t count, const TCOMMTIMEOUTS& timeouts, std::size_t* read);

// Waits for input as a read of one byte would (the same time-outs), then takes
// whatever has arrived, up to capacity, without waiting for more. False on an
// error of the device; true with *read == 0 when the time ran out.
bool ReadAvailable(Handle fd, std::uint8_t* buffer, std::size_t capacity, const TCOMMTIMEOUTS& timeouts,
                   std::size_t* read);

// Writes count bytes under the write time-outs. False on an error.
bool WriteFile(Handle fd, const std::uint8_t* buffer, std::size_t count, const TCOMMTIMEOUTS& timeouts,
               std::size_t* written);

// Waits until everything written has left the port.
bool FlushFileBuffers(Handle fd);

// The system's code for the last failed call of this thread (errno; on
// Windows GetLastError), for the log.
unsigned long LastError();

// True when fd is an open port.
bool IsOpen(Handle fd);

}  // namespace serial
}  // namespace orbantis
