#include "uCONNECTOR/SerialPort.h"

#include <fcntl.h>
#include <poll.h>
#include <linux/serial.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstdio>
#include <fstream>
#include <limits>
#include <sstream>

#include "foundation/Clock.h"

namespace orbantis::serial {
namespace {

struct BaudEntry {
  std::uint32_t rate;
  speed_t code;
};

constexpr BaudEntry kBaudRates[] = {
    {1200, B1200},   {2400, B2400},   {4800, B4800},     {9600, B9600},     {19200, B19200},
    {38400, B38400}, {57600, B57600}, {115200, B115200}, {230400, B230400},
};

std::uint32_t rateOf(speed_t code) {
  for (const auto& e : kBaudRates)
    if (e.code == code) return e.rate;
  return 0;
}

bool codeOf(std::uint32_t rate, speed_t& code) {
  for (const auto& e : kBaudRates)
    if (e.rate == rate) {
      code = e.code;
      return true;
    }
  return false;
}

// Waits for fd to become readable (POLLIN) or writable (POLLOUT) for at most
// timeoutMs (negative: no limit). 1 ready, 0 time out, -1 error or hang-up
// without data.
int waitFor(Handle fd, short events, long long timeoutMs) {
  pollfd p {fd, events, 0};
  int ms = timeoutMs < 0 ? -1 : static_cast<int>(std::min<long long>(timeoutMs, std::numeric_limits<int>::max()));
  while (true) {
    int r = ::poll(&p, 1, ms);
    if (r < 0 && errno == EINTR) continue;
    if (r < 0) return -1;
    if (r == 0) return 0;
    if (p.revents & (events | POLLHUP | POLLERR)) return 1;  // the read or write tells which
    return -1;
  }
}

}  // namespace

Handle Open(const std::string& path) {
  // O_NONBLOCK: do not wait for carrier; every wait below goes through poll().
  int fd = ::open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0) return kInvalidHandle;
  if (::isatty(fd) == 0) {
    int err = errno;
    ::close(fd);
    errno = err == 0 ? ENOTTY : err;
    return kInvalidHandle;
  }
  // The port is not shared: a second program writing frames into the same
  // line would corrupt both exchanges (a sale put into another program's
  // open receipt). TIOCEXCL does not stop root; the lock does.
  if (::ioctl(fd, TIOCEXCL) != 0) {
    int err = errno;
    ::close(fd);
    errno = err;
    return kInvalidHandle;
  }
  if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
    int err = errno;
    ::close(fd);
    errno = err == EWOULDBLOCK ? EBUSY : err;
    return kInvalidHandle;
  }
  return fd;
}

LowLatency RequestLowLatency(Handle fd) {
  serial_struct s {};
  if (::ioctl(fd, TIOCGSERIAL, &s) != 0) return LowLatency::notSupported;
  if ((s.flags & ASYNC_LOW_LATENCY) != 0) return LowLatency::alreadySet;
  s.flags |= ASYNC_LOW_LATENCY;
  if (::ioctl(fd, TIOCSSERIAL, &s) != 0) return LowLatency::notSupported;
  return LowLatency::set;
}

std::string LatencyAdvice(const std::string& path, const std::string& sysRoot) {
  // /dev/serial/by-id/... and other links lead to the tty whose name sysfs uses.
  char resolved[PATH_MAX];
  const std::string real = ::realpath(path.c_str(), resolved) != nullptr ? resolved : path;
  const std::string name = real.substr(real.rfind('/') + 1);
  if (name.empty()) return {};
  const std::string timer = sysRoot + "/bus/usb-serial/devices/" + name + "/latency_timer";
  std::ifstream in(timer);
  int ms = 0;
  if (!(in >> ms) || ms <= 1) return {};
  return "The USB-serial adapter " + name + " holds received bytes up to " + std::to_string(ms) +
         " ms (its latency timer) before passing them on, so every exchange with the printer waits that long. "
         "Lower it to 1 ms: echo 1 | sudo tee /sys/bus/usb-serial/devices/" + name +
         "/latency_timer (until the adapter is plugged in again), or for good with a udev rule (see "
         "linux-platform.md, \"USB-serial adapters\").";
}

std::string OpenAdvice(int err) {
  switch (err) {
    case ENOENT:
      return "check the device path, that the printer is plugged in and switched on, or the COM link in "
             "$XDG_CONFIG_HOME/ORBANTIS/ports/.";
    case EACCES:
    case EPERM:
      return "Add the user to the group that owns the port (usually dialout: sudo adduser $USER dialout), then log "
             "in again.";
    default: return {};
  }
}

std::string LockHolder(const std::string& path) {
  struct stat st {};
  if (::stat(path.c_str(), &st) != 0) return {};
  char id[64];
  std::snprintf(id, sizeof id, "%02x:%02x:%lu", major(st.st_dev), minor(st.st_dev),
                static_cast<unsigned long>(st.st_ino));
  // "1: FLOCK  ADVISORY  WRITE 1234 00:05:87 0 EOF"
  std::ifstream locks("/proc/locks");
  std::string line;
  while (std::getline(locks, line)) {
    std::istringstream fields(line);
    std::string number, kind, mode, access, pid, file;
    if (!(fields >> number >> kind)) continue;
    if (kind == "->") fields >> kind;  // a waiter
    if (!(fields >> mode >> access >> pid >> file)) continue;
    if (kind != "FLOCK" || file != id) continue;
    std::ifstream comm("/proc/" + pid + "/comm");
    std::string name;
    std::getline(comm, name);
    return (name.empty() ? std::string("a program") : name) + " (pid " + pid + ")";
  }
  return {};
}

void Close(Handle fd) {
  if (fd >= 0) {
    ::ioctl(fd, TIOCNXCL);
    ::close(fd);
  }
}

bool IsOpen(Handle fd) { return fd >= 0 && ::fcntl(fd, F_GETFL) != -1; }

bool GetCommState(Handle fd, TDCB& dcb) {
  termios t {};
  if (::tcgetattr(fd, &t) != 0) return false;
  dcb.Native.Terminal = t;
  dcb.DCBlength = 28;
  dcb.BaudRate = rateOf(::cfgetospeed(&t));
  switch (t.c_cflag & CSIZE) {
    case CS5: dcb.ByteSize = 5; break;
    case CS6: dcb.ByteSize = 6; break;
    case CS7: dcb.ByteSize = 7; break;
    default: dcb.ByteSize = 8; break;
  }
  dcb.Parity = (t.c_cflag & PARENB) ? ((t.c_cflag & PARODD) ? ODDPARITY : EVENPARITY) : NOPARITY;
  dcb.StopBits = (t.c_cflag & CSTOPB) ? TWOSTOPBITS : ONESTOPBIT;
  std::uint32_t f = dcbflag::fBinary | dcbflag::fDtrControlEnable;
  if (t.c_iflag & INPCK) f |= dcbflag::fParity;
  if (t.c_cflag & CRTSCTS) f |= dcbflag::fOutxCtsFlow | dcbflag::fRtsControlHandshake;
  else f |= dcbflag::fRtsControlEnable;
  if (t.c_iflag & IXON) f |= dcbflag::fOutX;
  if (t.c_iflag & IXOFF) f |= dcbflag::fInX;
  if (!(t.c_iflag & IXANY)) f |= dcbflag::fTXContinueOnXoff;
  dcb.Flags = f;
  dcb.XonChar = static_cast<char>(t.c_cc[VSTART]);
  dcb.XoffChar = static_cast<char>(t.c_cc[VSTOP]);
  dcb.EofChar = static_cast<char>(t.c_cc[VEOF]);
  dcb.ErrorChar = 0;
  dcb.EvtChar = 0;
  dcb.XonLim = 2048;
  dcb.XoffLim = 512;
  return true;
}

bool IsSupportedBaudRate(std::uint32_t baud) {
  speed_t code;
  return codeOf(baud, code);
}

bool SetCommState(Handle fd, const TDCB& dcb) {
  termios t = dcb.Native.Terminal;
  speed_t speed;
  if (!codeOf(dcb.BaudRate, speed)) {
    errno = EINVAL;
    return false;
  }
  ::cfmakeraw(&t);
  t.c_cflag |= CLOCAL | CREAD;
  t.c_cflag &= ~CSIZE;
  switch (dcb.ByteSize) {
    case 5: t.c_cflag |= CS5; break;
    case 6: t.c_cflag |= CS6; break;
    case 7: t.c_cflag |= CS7; break;
    case 8: t.c_cflag |= CS8; break;
    default: errno = EINVAL; return false;
  }
  t.c_cflag &= ~(PARENB | PARODD);
  if (dcb.Parity == ODDPARITY) t.c_cflag |= PARENB | PARODD;
  else if (dcb.Parity == EVENPARITY) t.c_cflag |= PARENB;
  else if (dcb.Parity != NOPARITY) {
    errno = EINVAL;
    return false;
  }
  if (dcb.StopBits == TWOSTOPBITS) t.c_cflag |= CSTOPB;
  else t.c_cflag &= ~CSTOPB;
  if (dcb.Flags & dcbflag::fParity) t.c_iflag |= INPCK;
  const bool hardwareFlow =
      (dcb.Flags & dcbflag::fOutxCtsFlow) || (dcb.Flags & dcbflag::fRtsControlMask) == dcbflag::fRtsControlHandshake;
  if (hardwareFlow) t.c_cflag |= CRTSCTS;
  else t.c_cflag &= ~CRTSCTS;
  t.c_iflag &= ~(IXON | IXOFF | IXANY);
  if (dcb.Flags & dcbflag::fOutX) t.c_iflag |= IXON;
  if (dcb.Flags & dcbflag::fInX) t.c_iflag |= IXOFF;
  t.c_cc[VSTART] = static_cast<cc_t>(dcb.XonChar);
  t.c_cc[VSTOP] = static_cast<cc_t>(dcb.XoffChar);
  t.c_cc[VMIN] = 1;
  t.c_cc[VTIME] = 0;
  if (::cfsetispeed(&t, speed) != 0 || ::cfsetospeed(&t, speed) != 0) return false;
  return ::tcsetattr(fd, TCSANOW, &t) == 0;
}

bool MakeBinary(Handle fd) {
  termios t {};
  if (::tcgetattr(fd, &t) != 0) return false;
  t.c_lflag &= ~(ICANON | ECHO | ECHOE | ECHOK | ECHONL | ISIG | IEXTEN);
  t.c_iflag &= ~(IGNBRK | BRKINT | PARMRK | ISTRIP | INLCR | IGNCR | ICRNL);
  t.c_oflag &= ~OPOST;
  t.c_cflag |= CREAD;
  t.c_cc[VMIN] = 1;
  t.c_cc[VTIME] = 0;
  return ::tcsetattr(fd, TCSANOW, &t) == 0;
}

bool Purge(Handle fd) { return ::tcflush(fd, TCIOFLUSH) == 0; }

bool SetDtr(Handle fd, bool state) {
  int bits = TIOCM_DTR;
  return ::ioctl(fd, state ? TIOCMBIS : TIOCMBIC, &bits) == 0;
}

bool SetRts(Handle fd, bool state) {
  int bits = TIOCM_RTS;
  return ::ioctl(fd, state ? TIOCMBIS : TIOCMBIC, &bits) == 0;
}

bool ReadFile(Handle fd, std::uint8_t* buffer, std::size_t count, const TCOMMTIMEOUTS& t, std::size_t* read) {
  *read = 0;
  if (count == 0) return true;

  // -1: no limit.
  long long total = -1;
  long long interval = t.ReadIntervalTimeout == 0 ? -1 : static_cast<long long>(t.ReadIntervalTimeout);
  bool returnOnFirstByte = false;
  if (t.ReadIntervalTimeout == MAXDWORD && t.ReadTotalTimeoutMultiplier == 0 && t.ReadTotalTimeoutConstant == 0) {
    total = 0;
    interval = -1;
  } else if (t.ReadIntervalTimeout == MAXDWORD && t.ReadTotalTimeoutMultiplier == MAXDWORD &&
             t.ReadTotalTimeoutConstant > 0 && t.ReadTotalTimeoutConstant < MAXDWORD) {
    total = t.ReadTotalTimeoutConstant;
    interval = -1;
    returnOnFirstByte = true;
  } else if (t.ReadTotalTimeoutMultiplier != 0 || t.ReadTotalTimeoutConstant != 0) {
    total = static_cast<long long>(t.ReadTotalTimeoutMultiplier) * static_cast<long long>(count) +
            static_cast<long long>(t.ReadTotalTimeoutConstant);
    if (interval == static_cast<long long>(MAXDWORD)) interval = -1;
  }

  const std::uint64_t start = GetTickCount64();
  std::uint64_t lastByte = start;
  while (*read < count) {
    long long wait = -1;
    const std::uint64_t now = GetTickCount64();
    if (total >= 0) wait = std::max<long long>(0, total - static_cast<long long>(now - start));
    if (interval >= 0 && *read > 0) {
      long long left = std::max<long long>(0, interval - static_cast<long long>(now - lastByte));
      wait = wait < 0 ? left : std::min(wait, left);
    }
    // Take what is already there before judging the time.
    ssize_t n = ::read(fd, buffer + *read, count - *read);
    if (n > 0) {
      *read += static_cast<std::size_t>(n);
      lastByte = GetTickCount64();
      if (returnOnFirstByte) return true;
      continue;
    }
    if (n == 0) return false;  // end of file: the device is gone
    if (errno == EINTR) continue;
    if (errno != EAGAIN && errno != EWOULDBLOCK) return false;
    if (wait == 0) return true;
    int r = waitFor(fd, POLLIN, wait);
    if (r < 0) return false;
    if (r == 0) return true;
  }
  return true;
}

bool ReadAvailable(Handle fd, std::uint8_t* buffer, std::size_t capacity, const TCOMMTIMEOUTS& t, std::size_t* read) {
  *read = 0;
  if (capacity == 0) return true;
  if (!ReadFile(fd, buffer, 1, t, read)) return false;
  if (*read == 0) return true;
  // The first byte is there; the rest of what has arrived comes with it.
  while (*read < capacity) {
    const ssize_t n = ::read(fd, buffer + *read, capacity - *read);
    if (n > 0) {
      *read += static_cast<std::size_t>(n);
      continue;
    }
    if (n < 0 && errno == EINTR) continue;
    break;
  }
  return true;
}

bool WriteFile(Handle fd, const std::uint8_t* buffer, std::size_t count, const TCOMMTIMEOUTS& t, std::size_t* written) {
  *written = 0;
  long long total = -1;
  if (t.WriteTotalTimeoutMultiplier != 0 || t.WriteTotalTimeoutConstant != 0)
    total = static_cast<long long>(t.WriteTotalTimeoutMultiplier) * static_cast<long long>(count) +
            static_cast<long long>(t.WriteTotalTimeoutConstant);
  const std::uint64_t start = GetTickCount64();
  while (*written < count) {
    ssize_t n = ::write(fd, buffer + *written, count - *written);
    if (n > 0) {
      *written += static_cast<std::size_t>(n);
      continue;
    }
    if (n < 0 && errno == EINTR) continue;
    if (n < 0 && errno != EAGAIN && errno != EWOULDBLOCK) return false;
    long long wait = -1;
    if (total >= 0) {
      wait = total - static_cast<long long>(GetTickCount64() - start);
      if (wait <= 0) return true;
    }
    int r = waitFor(fd, POLLOUT, wait);
    if (r < 0) return false;
    if (r == 0) return true;
  }
  return true;
}

unsigned long LastError() { return static_cast<unsigned long>(errno); }

bool FlushFileBuffers(Handle fd) { return ::tcdrain(fd) == 0; }

}  // namespace orbantis::serial
