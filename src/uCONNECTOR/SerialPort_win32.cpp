// The serial port on Windows: CreateFile, the device control block and the
// five time-outs are the platform's own, so this file mostly hands them on.
//
// Two things are added. A named guard per port guards it as well as the
// share mode, which Wine does not enforce. The guard is a semaphore of one:
// a Win32 mutex belongs to a thread and can be taken again by it, and the
// COM calls of two objects may well come on the same thread of the pool.
// Only the holder keeps a handle to it, so a crashed holder frees the port. Reads never use "return at the
// first byte" time-outs (MAXDWORD interval and multiplier), which Wine
// serves only after the whole total time: a read for what has arrived asks
// the driver how much is queued instead.
#include <cerrno>
#include <map>
#include <mutex>

#include "uCONNECTOR/SerialPort.h"

// After the project's headers: the parity and stop-bit names are macros here.
#include <windows.h>

#include "foundation/Clock.h"
#include "foundation/Win32Text.h"

namespace orbantis::serial {
namespace {

// The guard of each open port, by its handle.
std::mutex gGuardsLock;
std::map<Handle, HANDLE> gGuards;
// The time-outs last given to each port: set again only when they change.
std::map<Handle, TCOMMTIMEOUTS> gTimeouts;

// "Global\ORBANTIS.port.COM5" for \\.\COM5: one name per port for every
// session of the machine.
std::wstring guardName(const std::string& path) {
  std::string port = path;
  const auto cut = port.find_last_of("\\/");
  if (cut != std::string::npos) port = port.substr(cut + 1);
  for (char& c : port)
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
  return L"Global\\ORBANTIS.port." + win32::Widen(port);
}

int errnoOf(DWORD error) {
  switch (error) {
    case ERROR_FILE_NOT_FOUND:
    case ERROR_PATH_NOT_FOUND: return ENOENT;
    case ERROR_ACCESS_DENIED:
    case ERROR_SHARING_VIOLATION: return EBUSY;  // the port is open elsewhere
    default: return EIO;
  }
}

bool applyTimeouts(Handle h, const TCOMMTIMEOUTS& t) {
  {
    std::lock_guard<std::mutex> guard(gGuardsLock);
    auto it = gTimeouts.find(h);
    if (it != gTimeouts.end() && it->second.ReadIntervalTimeout == t.ReadIntervalTimeout &&
        it->second.ReadTotalTimeoutMultiplier == t.ReadTotalTimeoutMultiplier &&
        it->second.ReadTotalTimeoutConstant == t.ReadTotalTimeoutConstant &&
        it->second.WriteTotalTimeoutMultiplier == t.WriteTotalTimeoutMultiplier &&
        it->second.WriteTotalTimeoutConstant == t.WriteTotalTimeoutConstant)
      return true;
  }
  COMMTIMEOUTS c {t.ReadIntervalTimeout, t.ReadTotalTimeoutMultiplier, t.ReadTotalTimeoutConstant,
                  t.WriteTotalTimeoutMultiplier, t.WriteTotalTimeoutConstant};
  if (!::SetCommTimeouts(static_cast<HANDLE>(h), &c)) return false;
  std::lock_guard<std::mutex> guard(gGuardsLock);
  gTimeouts[h] = t;
  return true;
}

DWORD queued(Handle h) {
  DWORD errors = 0;
  COMSTAT stat {};
  if (!::ClearCommError(static_cast<HANDLE>(h), &errors, &stat)) return 0;
  return stat.cbInQue;
}

}  // namespace

Handle Open(const std::string& path) {
  HANDLE guard = ::CreateSemaphoreW(nullptr, 1, 1, guardName(path).c_str());
  if (guard == nullptr) {
    // Made by another user's server, which holds the port.
    errno = ::GetLastError() == ERROR_ACCESS_DENIED ? EBUSY : EIO;
    return kInvalidHandle;
  }
  if (::WaitForSingleObject(guard, 0) != WAIT_OBJECT_0) {
    ::CloseHandle(guard);
    errno = EBUSY;
    return kInvalidHandle;
  }
  HANDLE h = ::CreateFileW(win32::Widen(path).c_str(), GENERIC_READ | GENERIC_WRITE, 0 /* not shared */, nullptr,
                           OPEN_EXISTING, 0, nullptr);
  if (h == INVALID_HANDLE_VALUE) {
    const DWORD error = ::GetLastError();
    ::ReleaseSemaphore(guard, 1, nullptr);
    ::CloseHandle(guard);
    errno = errnoOf(error);
    return kInvalidHandle;
  }
  if (::GetFileType(h) != FILE_TYPE_CHAR) {
    ::CloseHandle(h);
    ::ReleaseSemaphore(guard, 1, nullptr);
    ::CloseHandle(guard);
    errno = ENOTTY;
    return kInvalidHandle;
  }
  std::lock_guard<std::mutex> lock(gGuardsLock);
  gGuards[h] = guard;
  gTimeouts.erase(h);  // a port of the same handle value before this one
  return h;
}

// Windows serial drivers pass bytes on by their own settings (an FTDI
// adapter's latency is set in its driver's advanced port settings).
LowLatency RequestLowLatency(Handle) { return LowLatency::notSupported; }

std::string LatencyAdvice(const std::string&, const std::string&) { return {}; }

std::string OpenAdvice(int err) {
  switch (err) {
    case ENOENT: return "check the port number in the Device Manager, and that the printer is plugged in and switched on.";
    case EACCES:
    case EPERM: return "check that this user may use the port.";
    default: return {};
  }
}

// The guard cannot tell who holds it; the message says "another program".
std::string LockHolder(const std::string&) { return {}; }

void Close(Handle h) {
  if (h == kInvalidHandle) return;
  // The entries go before the handle does: Windows hands the same value to
  // the next port opened, whose entries must not be taken for these.
  HANDLE guard = nullptr;
  {
    std::lock_guard<std::mutex> lock(gGuardsLock);
    auto it = gGuards.find(h);
    if (it != gGuards.end()) {
      guard = it->second;
      gGuards.erase(it);
    }
    gTimeouts.erase(h);
  }
  ::CloseHandle(static_cast<HANDLE>(h));
  if (guard != nullptr) {
    ::ReleaseSemaphore(guard, 1, nullptr);
    ::CloseHandle(guard);
  }
}

bool IsOpen(Handle h) {
  if (h == kInvalidHandle) return false;
  DWORD flags = 0;
  return ::GetHandleInformation(static_cast<HANDLE>(h), &flags) != 0;
}

bool GetCommState(Handle h, TDCB& dcb) {
  DCB d {};
  d.DCBlength = sizeof d;
  if (!::GetCommState(static_cast<HANDLE>(h), &d)) return false;
  dcb.DCBlength = d.DCBlength;
  dcb.BaudRate = d.BaudRate;
  dcb.Flags = 0;
  if (d.fBinary) dcb.Flags |= dcbflag::fBinary;
  if (d.fParity) dcb.Flags |= dcbflag::fParity;
  if (d.fOutxCtsFlow) dcb.Flags |= dcbflag::fOutxCtsFlow;
  if (d.fOutxDsrFlow) dcb.Flags |= dcbflag::fOutxDsrFlow;
  dcb.Flags |= (static_cast<std::uint32_t>(d.fDtrControl) << 4) & dcbflag::fDtrControlMask;
  if (d.fDsrSensitivity) dcb.Flags |= dcbflag::fDsrSensitivity;
  if (d.fTXContinueOnXoff) dcb.Flags |= dcbflag::fTXContinueOnXoff;
  if (d.fOutX) dcb.Flags |= dcbflag::fOutX;
  if (d.fInX) dcb.Flags |= dcbflag::fInX;
  if (d.fErrorChar) dcb.Flags |= dcbflag::fErrorChar;
  if (d.fNull) dcb.Flags |= dcbflag::fNull;
  dcb.Flags |= (static_cast<std::uint32_t>(d.fRtsControl) << 12) & dcbflag::fRtsControlMask;
  if (d.fAbortOnError) dcb.Flags |= dcbflag::fAbortOnError;
  dcb.XonLim = d.XonLim;
  dcb.XoffLim = d.XoffLim;
  dcb.ByteSize = d.ByteSize;
  dcb.Parity = d.Parity;
  dcb.StopBits = d.StopBits;
  dcb.XonChar = d.XonChar;
  dcb.XoffChar = d.XoffChar;
  dcb.ErrorChar = d.ErrorChar;
  dcb.EofChar = d.EofChar;
  dcb.EvtChar = d.EvtChar;
  return true;
}

bool IsSupportedBaudRate(std::uint32_t baud) {
  switch (baud) {
    case 1200:
    case 2400:
    case 4800:
    case 9600:
    case 19200:
    case 38400:
    case 57600:
    case 115200:
    case 230400: return true;
    default: return false;
  }
}

bool SetCommState(Handle h, const TDCB& dcb) {
  if (!IsSupportedBaudRate(dcb.BaudRate)) {
    errno = EINVAL;
    return false;
  }
  DCB d {};
  d.DCBlength = sizeof d;
  d.BaudRate = dcb.BaudRate;
  d.fBinary = 1;  // Windows supports binary mode only
  d.fParity = (dcb.Flags & dcbflag::fParity) != 0;
  d.fOutxCtsFlow = (dcb.Flags & dcbflag::fOutxCtsFlow) != 0;
  d.fOutxDsrFlow = (dcb.Flags & dcbflag::fOutxDsrFlow) != 0;
  d.fDtrControl = (dcb.Flags & dcbflag::fDtrControlMask) >> 4;
  d.fDsrSensitivity = (dcb.Flags & dcbflag::fDsrSensitivity) != 0;
  d.fTXContinueOnXoff = (dcb.Flags & dcbflag::fTXContinueOnXoff) != 0;
  d.fOutX = (dcb.Flags & dcbflag::fOutX) != 0;
  d.fInX = (dcb.Flags & dcbflag::fInX) != 0;
  d.fErrorChar = (dcb.Flags & dcbflag::fErrorChar) != 0;
  d.fNull = (dcb.Flags & dcbflag::fNull) != 0;
  d.fRtsControl = (dcb.Flags & dcbflag::fRtsControlMask) >> 12;
  d.fAbortOnError = (dcb.Flags & dcbflag::fAbortOnError) != 0;
  d.XonLim = dcb.XonLim;
  d.XoffLim = dcb.XoffLim;
  d.ByteSize = dcb.ByteSize;
  d.Parity = dcb.Parity;
  d.StopBits = dcb.StopBits;
  d.XonChar = dcb.XonChar;
  d.XoffChar = dcb.XoffChar;
  d.ErrorChar = dcb.ErrorChar;
  d.EofChar = dcb.EofChar;
  d.EvtChar = dcb.EvtChar;
  return ::SetCommState(static_cast<HANDLE>(h), &d) != 0;
}

// A Windows port is always binary: there is nothing to change.
bool MakeBinary(Handle h) { return IsOpen(h); }

bool Purge(Handle h) {
  return ::PurgeComm(static_cast<HANDLE>(h), PURGE_RXCLEAR | PURGE_TXCLEAR | PURGE_RXABORT | PURGE_TXABORT) != 0;
}

// A port without modem lines (a pseudo-terminal under Wine) refuses these:
// false, which the connector treats as "not supported".
bool SetDtr(Handle h, bool state) { return ::EscapeCommFunction(static_cast<HANDLE>(h), state ? SETDTR : CLRDTR) != 0; }
bool SetRts(Handle h, bool state) { return ::EscapeCommFunction(static_cast<HANDLE>(h), state ? SETRTS : CLRRTS) != 0; }

bool ReadFile(Handle h, std::uint8_t* buffer, std::size_t count, const TCOMMTIMEOUTS& t, std::size_t* read) {
  *read = 0;
  if (count == 0) return true;
  if (!applyTimeouts(h, t)) return false;
  DWORD n = 0;
  if (!::ReadFile(static_cast<HANDLE>(h), buffer, static_cast<DWORD>(count), &n, nullptr)) return false;
  *read = n;
  return true;
}

bool ReadAvailable(Handle h, std::uint8_t* buffer, std::size_t capacity, const TCOMMTIMEOUTS& t, std::size_t* read) {
  *read = 0;
  if (capacity == 0) return true;
  if (!ReadFile(h, buffer, 1, t, read)) return false;
  if (*read == 0) return true;
  // The first byte is there; what has arrived with it is read by its length,
  // which the driver answers at once.
  const DWORD more = std::min<DWORD>(queued(h), static_cast<DWORD>(capacity - 1));
  if (more == 0) return true;
  DWORD n = 0;
  if (!::ReadFile(static_cast<HANDLE>(h), buffer + 1, more, &n, nullptr)) return false;
  *read += n;
  return true;
}

bool WriteFile(Handle h, const std::uint8_t* buffer, std::size_t count, const TCOMMTIMEOUTS& t, std::size_t* written) {
  *written = 0;
  if (count == 0) return true;
  if (!applyTimeouts(h, t)) return false;
  DWORD n = 0;
  if (!::WriteFile(static_cast<HANDLE>(h), buffer, static_cast<DWORD>(count), &n, nullptr)) return false;
  *written = n;
  return true;
}

unsigned long LastError() { return ::GetLastError(); }

bool FlushFileBuffers(Handle h) { return ::FlushFileBuffers(static_cast<HANDLE>(h)) != 0; }

}  // namespace orbantis::serial
