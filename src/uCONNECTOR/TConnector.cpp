#include "uCONNECTOR/TConnector.h"

#include <cerrno>
#include <cstring>
#include <cstdio>

#include "uCONNECTOR/ComPortPath.h"
#include "uErrLog/uErrLog.h"
#include "foundation/Strings.h"

namespace orbantis {
namespace {

template <typename... Args>
std::string format(const char* fmt, Args... args) {
  char buf[512];
  std::snprintf(buf, sizeof buf, fmt, args...);
  return buf;
}

std::string charText(char c) { return std::string(1, c); }

}  // namespace

TConnector::TConnector(std::int32_t Port, std::int32_t BaudRate, std::uint8_t StopBits, std::uint8_t Parity,
                       std::uint8_t ByteSize)
    : FPort(Port),
      FBaudRate(BaudRate),
      FStopBits(StopBits),
      FParity(Parity),
      FByteSize(ByteSize),
      DEBUG_FOLDER(DefaultTraceFolder()) {}

TConnector::~TConnector() {
  try {
    Close();
  } catch (...) {
  }
  FP_TCP.reset();
}

std::string TConnector::DeviceName() const { return DevicePath.empty() ? ComPortDevicePath(FPort) : DevicePath; }

void TConnector::log(const std::string& text) {
  // Without a folder there is no log: writing beside whatever the current
  // directory happens to be would scatter files holding receipts.
  if (LOG_FOLDER.empty()) return;
  try {
    WRITE_LOG(LOG_FOLDER, text);
  } catch (...) {
  }
}

void TConnector::fail(const std::string& logText, const std::string& raiseText) {
  if (DEBUGMODE) log(logText);
  if (RAISEMODE) throw Exception(raiseText);
}

void TConnector::PutByte_ToHEXStr(std::uint8_t TRGT, std::string& TRGT_STR, const std::string& IncreaseStr) {
  static const char digits[] = "0123456789ABCDEF";
  TRGT_STR += digits[TRGT >> 4];
  TRGT_STR += digits[TRGT & 0x0F];
  TRGT_STR += IncreaseStr;
}

bool TConnector::Active() {
  switch (COMUNICATION_TYPE) {
    case ct_RS232:
    case ct_LINEARS: return FHandle != serial::kInvalidHandle;
    case ct_TCPIP: return FP_TCP != nullptr && FP_TCP->GET_CONNECTED_STATE();
    case ct_BLUETOOTH: return BT_ACTIVE;
    default: return false;
  }
}

// ---------------------------------------------------------------- Open / Close

int TConnector::Open() {
  switch (COMUNICATION_TYPE) {
    case ct_RS232:
    case ct_LINEARS: return OPEN_THIS_RS();
    case ct_TCPIP: return OPEN_THIS_TCP();
    default: return -1;
  }
}

int TConnector::OPEN_THIS_RS() {
  if (Active()) return 0;
  OpenErrorDetail.clear();
  PortAdvice.clear();
  OpenErrno = 0;
  int result;
  try {
    result = openSerialSteps();
  } catch (const std::exception& e) {
    if (DEBUGMODE) log(std::string("CONNECTOR.OPEN_THIS_RS:") + e.what());
    result = -100;
  }
  // A port that failed a step is not left open: it would look active and the
  // next Open would report success on a port with the wrong settings.
  if (result != 0) {
    closeSerial();
    if (OpenErrorDetail.empty())
      OpenErrorDetail = DeviceName() + ": the port could not be set up (step " + std::to_string(result) + ").";
    log("TConnector.Open : " + OpenErrorDetail);
  }
  return result;
}

int TConnector::openSerialSteps() {
  try {
    FHandle = serial::Open(DeviceName());
  } catch (const std::exception& e) {
    const std::string port = DevicePath.empty() ? format("COM%d", FPort) : DevicePath;
    log("Hm... . I can't touch the \"" + port + "\" port. Error: " + e.what());
    return -1;
  }
  if (FHandle == serial::kInvalidHandle) {
    const int err = errno;
    OpenErrno = err;
    const std::string path = DeviceName();
    const std::string reason = std::strerror(err);
    switch (err) {
      case EBUSY: {
        // Support's first question: who has the printer?
        const std::string holder = serial::LockHolder(path);
        log("TConnector.Open : the port " + path + " is held by " +
            (holder.empty() ? std::string("another program") : holder) + ".");
        OpenErrorDetail = path + " is held by " + (holder.empty() ? std::string("another program") : holder) +
                          ": close that program (or its connection) first.";
        break;
      }
      case ENOENT:
        OpenErrorDetail = path + " does not exist (" + reason + "): " + serial::OpenAdvice(err);
        break;
      case EACCES:
      case EPERM:
        OpenErrorDetail = path + ": permission denied. " + serial::OpenAdvice(err);
        break;
      case ENOTTY:
        OpenErrorDetail = path + " is not a serial port (" + reason + ").";
        break;
      default: OpenErrorDetail = path + ": " + reason + ".";
    }
    fail("TConnector.Open : error openning.", "Error openning.");
    return -2;
  }
  if (!GET_COMSTATE()) return -3;
  if (!SERVICE_MODE) {
    if (!SET_DCB_PROPS()) return -4;
    if (!SET_COM_STATE()) return -5;
  } else if (!serial::MakeBinary(FHandle)) {
    // Service mode keeps the port's rate, parity and flow control, but a
    // line left cooked by another program would echo our frames back to
    // the printer and hand answers over line by line, CR turned into LF.
    fail("TConnector.Open : cannot make the line binary.");
    return -5;
  }
  if (!SET_TIMEOUTS(FCommTimeouts.ReadIntervalTimeout, FCommTimeouts.ReadTotalTimeoutMultiplier,
                    FCommTimeouts.ReadTotalTimeoutConstant, FCommTimeouts.WriteTotalTimeoutMultiplier,
                    FCommTimeouts.WriteTotalTimeoutConstant))
    return -6;
  // Answers come through as they arrive where the port's driver can be told
  // to; an adapter that holds them for its latency timer is named, with what
  // to do.
  // Service mode leaves the port's settings alone, this one included.
  if (!SERVICE_MODE) serial::RequestLowLatency(FHandle);
  PortAdvice = serial::LatencyAdvice(DeviceName());
  if (!PortAdvice.empty()) log("TConnector.Open : " + PortAdvice);
  return 0;
}

bool TConnector::GET_COMSTATE() {
  if (serial::GetCommState(FHandle, DCB)) return true;
  fail("GET_COMSTATE : Error in GetCommState.");
  return false;
}

bool TConnector::SET_DCB_PROPS() {
  try {
    if (FBaudRate <= 0 || !serial::IsSupportedBaudRate(static_cast<std::uint32_t>(FBaudRate))) {
      OpenErrorDetail = DeviceName() + format(": unsupported baud rate %d (use 1200 to 230400).", FBaudRate);
      throw Exception(format("Unsupported baud rate %d (use 1200 to 230400).", FBaudRate));
    }
    DCB.DCBlength = 28;
    DCB.BaudRate = static_cast<std::uint32_t>(FBaudRate);
    DCB.ByteSize = FByteSize;
    DCB.Parity = FParity;
    DCB.StopBits = FStopBits;
    DCB.XonLim = 2048;
    DCB.XoffLim = 2048;
    DCB.XonChar = 0x11;
    DCB.XoffChar = 0x13;
    // Binary mode and "transmit continues on XOFF"; no parity check, no
    // hardware or software flow control, DTR and RTS under our explicit
    // control, no character replacement, no abort on error.
    constexpr std::uint32_t cleared = 0x7FFEu & ~dcbflag::fTXContinueOnXoff;  // bits 1..6 and 8..14
    DCB.Flags = (DCB.Flags & ~cleared) | dcbflag::fBinary | dcbflag::fTXContinueOnXoff;
    return true;
  } catch (const std::exception& e) {
    log(std::string("SET_DCB_PROPS : ") + e.what());
    return false;
  }
}

void TConnector::logDcb() {
  log("TBaseCommPort.Open : error setting DCB.");
  log("DCB.DCBlength = " + std::to_string(DCB.DCBlength));
  log("DCB.BaudRate = " + std::to_string(DCB.BaudRate));
  log("DCB.Flags = " + std::to_string(DCB.Flags));
  log("DCB.wReserved = " + std::to_string(DCB.wReserved));
  log("DCB.XonLim = " + std::to_string(DCB.XonLim));
  log("DCB.XoffLim = " + std::to_string(DCB.XoffLim));
  log("DCB.ByteSize = " + std::to_string(DCB.ByteSize));
  log("DCB.Parity = " + std::to_string(DCB.Parity));
  log("DCB.StopBits = " + std::to_string(DCB.StopBits));
  log("DCB.XonChar = " + charText(DCB.XonChar));
  log("DCB.XoffChar = " + charText(DCB.XoffChar));
  log("DCB.ErrorChar = " + charText(DCB.ErrorChar));
  log("DCB.EofChar = " + charText(DCB.EofChar));
  log("DCB.EvtChar = " + charText(DCB.EvtChar));
  log("DCB.wReserved1 = " + std::to_string(DCB.wReserved1));
}

bool TConnector::SET_COM_STATE() {
  try {
    if (serial::SetCommState(FHandle, DCB)) return true;
    log("SetCommState[GetLastError] = " + std::to_string(serial::LastError()));
    logDcb();
    return false;
  } catch (const std::exception& e) {
    log(std::string("SET_COM_STATE : ") + e.what());
    return false;
  }
}

int TConnector::OPEN_THIS_TCP() {
  OpenErrorDetail.clear();
  try {
    if (!FP_TCP) throw Exception("No TCP client: CREATE_TCP was not called.");
    const int result = FP_TCP->SET_CONNECTED_STATE(true);
    if (result != 0) {
      const auto& client = *FP_TCP->TCP_Client;
      OpenErrorDetail = client.LastError.empty() ? client.Host + ":" + std::to_string(client.Port) + ": no connection"
                                                 : client.LastError;
      OpenErrorDetail += ". Check the printer's address and port, that it is on the network and switched on.";
      log("TConnector.Open : " + OpenErrorDetail);
    }
    return result;
  } catch (const std::exception& e) {
    if (DEBUGMODE) log(std::string("CONNECTOR.OPEN_THIS_TCP:") + e.what());
    OpenErrorDetail = e.what();
    return -100;
  }
}

void TConnector::closeSerial() {
  FInputPos = FInputEnd = 0;
  if (FHandle != serial::kInvalidHandle) {
    serial::Close(FHandle);
    FHandle = serial::kInvalidHandle;
  }
}

void TConnector::Close() {
  if (!Active()) return;
  switch (COMUNICATION_TYPE) {
    case ct_RS232:
    case ct_LINEARS: closeSerial(); break;
    case ct_TCPIP: FP_TCP->SET_CONNECTED_STATE(false); break;
    default: break;
  }
}

void TConnector::Clear() {
  switch (COMUNICATION_TYPE) {
    case ct_RS232:
    case ct_LINEARS:
      FInputPos = FInputEnd = 0;
      if (FHandle == serial::kInvalidHandle) return;
      try {
        serial::Purge(FHandle);
      } catch (const std::exception& e) {
        fail("TConnector.Clear - exception", std::string("TConnector.Clear ") + e.what());
      }
      break;
    case ct_TCPIP:
      if (FP_TCP && !FP_TCP->TCP_Client->InputBufferIsEmpty()) FP_TCP->TCP_Client->DiscardInput();
      break;
    default: break;
  }
}

// ---------------------------------------------------------------- time-outs and lines

bool TConnector::SET_TIMEOUTS(std::uint32_t NEW_ReadIntervalTimeout, std::uint32_t NEW_ReadTotalTimeoutMultiplier,
                              std::uint32_t NEW_ReadTotalTimeoutConstant,
                              std::uint32_t NEW_WriteTotalTimeoutMultiplier,
                              std::uint32_t NEW_WriteTotalTimeoutConstant) {
  INIT_TIMEOUTS(NEW_ReadIntervalTimeout, NEW_ReadTotalTimeoutMultiplier, NEW_ReadTotalTimeoutConstant,
                NEW_WriteTotalTimeoutMultiplier, NEW_WriteTotalTimeoutConstant);
  const auto& t = FCommTimeouts;
  try {
    // Every read and write of the port applies FCommTimeouts itself; the port
    // only has to be there.
    if (serial::IsOpen(FHandle)) return true;
    log(format("%u, %u, %u, %u, %u", t.ReadIntervalTimeout, t.ReadTotalTimeoutMultiplier, t.ReadTotalTimeoutConstant,
               t.WriteTotalTimeoutMultiplier, t.WriteTotalTimeoutConstant));
    return false;
  } catch (const std::exception& e) {
    log(format("%u, %u, %u, %u, %u, %s", t.ReadIntervalTimeout, t.ReadTotalTimeoutMultiplier,
               t.ReadTotalTimeoutConstant, t.WriteTotalTimeoutMultiplier, t.WriteTotalTimeoutConstant, e.what()));
    return false;
  }
}

void TConnector::INIT_TIMEOUTS(std::uint32_t NEW_ReadIntervalTimeout, std::uint32_t NEW_ReadTotalTimeoutMultiplier,
                               std::uint32_t NEW_ReadTotalTimeoutConstant,
                               std::uint32_t NEW_WriteTotalTimeoutMultiplier,
                               std::uint32_t NEW_WriteTotalTimeoutConstant) {
  FCommTimeouts = {NEW_ReadIntervalTimeout, NEW_ReadTotalTimeoutMultiplier, NEW_ReadTotalTimeoutConstant,
                   NEW_WriteTotalTimeoutMultiplier, NEW_WriteTotalTimeoutConstant};
}

void TConnector::SET_DTR(bool State) {
  // A pseudo-terminal or an adapter without modem lines refuses this; the
  // printer works without them.
  if (isSerial() && FHandle != serial::kInvalidHandle) serial::SetDtr(FHandle, State);
}

void TConnector::SET_RTS(bool State) {
  if (isSerial() && FHandle != serial::kInvalidHandle) serial::SetRts(FHandle, State);
}

// ---------------------------------------------------------------- TCP client

void TConnector::CREATE_TCP(const std::string& IP_ADDR, int TCP_PORT) {
  try {
    if (FP_TCP) {
      if (FP_TCP->SET_CONNECTED_STATE(false) < 0) return;
      FP_TCP.reset();
    }
    FP_TCP = std::make_unique<TFP_TCP>(IP_ADDR, TCP_PORT);
  } catch (...) {
    log("TConnector.CREATE_TCP: [" + IP_ADDR + "],[" + std::to_string(TCP_PORT) + "]");
  }
}

// ---------------------------------------------------------------- reads

std::uint8_t TConnector::readByte() {
  switch (COMUNICATION_TYPE) {
    case ct_RS232:
    case ct_LINEARS: return readByteSerial();
    case ct_TCPIP: return readByteTcp();
    case ct_BLUETOOTH:
      if (BT_ACTIVE) return 0;
      [[fallthrough]];
    default: fail("TBaseCommPort.ReadByte: Error reading byte.", "Error reading byte."); return 0;
  }
}

bool TConnector::serialReadOne(std::uint8_t& b) {
  if (FInputPos == FInputEnd) {
    FInputPos = FInputEnd = 0;
    std::size_t n = 0;
    if (FHandle == serial::kInvalidHandle || !serial::ReadAvailable(FHandle, FInput.data(), FInput.size(), FCommTimeouts, &n) ||
        n == 0)
      return false;
    FInputEnd = n;
  }
  b = FInput[FInputPos++];
  return true;
}

std::uint8_t TConnector::readByteSerial() {
  std::uint8_t b = 0;
  if (!serialReadOne(b)) {
    fail("TBaseCommPort.ReadByte: Error reading byte.", "Error reading byte.");
    return 0;
  }
  PutByte_ToHEXStr(b, tmpHEX_ANSWER, " ");
  return b;
}

std::uint8_t TConnector::readByteTcp() {
  std::uint8_t b = 0;
  try {
    if (!FP_TCP) throw Exception("no client");
    b = FP_TCP->TCP_Client->ReadByte();
  } catch (const std::exception&) {
    fail("TConnector.GET_BY_TCP : ReadByte");
    return 0;
  }
  PutByte_ToHEXStr(b, tmpHEX_ANSWER, " ");
  return b;
}

bool TConnector::readByte(std::uint8_t& b, std::uint32_t& readBytesCount) {
  readBytesCount = 0;
  switch (COMUNICATION_TYPE) {
    case ct_RS232:
    case ct_LINEARS: {
      if (!serialReadOne(b)) return false;
      readBytesCount = 1;
      PutByte_ToHEXStr(b, tmpHEX_ANSWER, " ");
      return true;
    }
    case ct_TCPIP:
      try {
        if (!FP_TCP) throw Exception("no client");
        b = FP_TCP->TCP_Client->ReadByte();
      } catch (const std::exception&) {
        fail("TConnector.GET_BY_TCP : ReadByte");
        return false;
      }
      readBytesCount = 1;
      PutByte_ToHEXStr(b, tmpHEX_ANSWER, " ");
      return true;
    default: return false;
  }
}

std::int32_t TConnector::ReadBuffer(std::uint8_t* Buffer, std::int32_t BufLength) {
  switch (COMUNICATION_TYPE) {
    case ct_RS232:
    case ct_LINEARS: return readBufferSerial(Buffer, BufLength);
    case ct_TCPIP: return readBufferTcp(Buffer, BufLength);
    default: return 0;
  }
}

std::int32_t TConnector::readBufferSerial(std::uint8_t* Buffer, std::int32_t BufLength) {
  if (FHandle == serial::kInvalidHandle) {
    fail("TConnector.readBufferRS232: not active");
    return 0;
  }
  std::size_t buffered = 0;
  while (BufLength > 0 && buffered < static_cast<std::size_t>(BufLength) && FInputPos < FInputEnd)
    Buffer[buffered++] = FInput[FInputPos++];
  std::size_t n = 0;
  if (BufLength > 0 && buffered < static_cast<std::size_t>(BufLength) &&
      !serial::ReadFile(FHandle, Buffer + buffered, static_cast<std::size_t>(BufLength) - buffered, FCommTimeouts, &n)) {
    fail("TConnector.readBufferRS232: ReadFile");
    return 0;
  }
  const auto cRead = static_cast<std::int32_t>(buffered + n);
  if (BufLength < 0 || cRead < BufLength) fail(format("ReadBuffer: cRead=%d Wanted=%d", cRead, BufLength));
  return cRead;
}

std::int32_t TConnector::readBufferTcp(std::uint8_t* Buffer, std::int32_t BufLength) {
  if (!Active()) {
    fail("TConnector.readBufferTcp: not active");
    return 0;
  }
  auto& client = *FP_TCP->TCP_Client;
  std::int32_t cRead = 0;
  try {
    if (client.InputBufferIsEmpty() && BufLength > 0 && client.CheckForDataOnSource(1000)) {
      client.ReadBytes(Buffer, static_cast<std::size_t>(BufLength));
      cRead = BufLength;
    }
  } catch (const std::exception&) {
    client.DiscardInput();
    fail("TConnector.readBufferTcp: ReadBytes");
    return 0;
  }
  client.DiscardInput();
  if (cRead != BufLength) fail(format("TConnector.readBufferTcp: cRead=%d Wanted=%d", cRead, BufLength));
  return cRead;
}

// ---------------------------------------------------------------- writes

std::int32_t TConnector::WriteBuffer(const std::uint8_t* Buffer, std::int32_t BufLength) {
  switch (COMUNICATION_TYPE) {
    case ct_RS232:
    case ct_LINEARS: return writeBufferSerial(Buffer, BufLength);
    case ct_TCPIP: return writeBufferTcp(Buffer, BufLength);
    default: return 0;
  }
}

std::int32_t TConnector::writeBufferSerial(const std::uint8_t* Buffer, std::int32_t BufLength) {
  if (FHandle == serial::kInvalidHandle) {
    fail("TConnector.WriteBuffer : not active");
    return 0;
  }
  std::size_t n = 0;
  const std::size_t want = BufLength > 0 ? static_cast<std::size_t>(BufLength) : 0;
  if (!serial::WriteFile(FHandle, Buffer, want, FCommTimeouts, &n)) {
    fail("TConnector.WriteBuffer : WriteFile");
    return 0;
  }
  const auto cWrite = static_cast<std::int32_t>(n);
  if (cWrite == BufLength) {
    serial::FlushFileBuffers(FHandle);  // a failing flush changes nothing for the caller
  } else {
    fail(format("TConnector.WriteBuffer: cWrite=%d trgtLength=%d", cWrite, BufLength));
  }
  return cWrite;
}

std::int32_t TConnector::writeBufferTcp(const std::uint8_t* Buffer, std::int32_t BufLength) {
  if (!Active()) {
    fail("TConnector.writeBufferTcp: not active");
    return 0;
  }
  try {
    FP_TCP->TCP_Client->Write(Buffer, BufLength > 0 ? static_cast<std::size_t>(BufLength) : 0);
    return BufLength;
  } catch (const std::exception&) {
    fail("TConnector.writeBufferTcp: Error writing - flush buffers.");
    return 0;
  }
}

bool TConnector::WriteByte(std::uint8_t byteValue) {
  try {
    switch (COMUNICATION_TYPE) {
      case ct_RS232:
      case ct_LINEARS: return writeByteSerial(byteValue);
      case ct_TCPIP: return writeByteTcp(byteValue);
      default: return false;
    }
  } catch (...) {
    return false;
  }
}

bool TConnector::writeByteSerial(std::uint8_t byteValue) {
  if (FHandle == serial::kInvalidHandle) {
    fail("TConnector.writeByteRS232: not active", "TConnector.SEND_BY_RS.writeByteRS232: not active");
    return false;
  }
  std::size_t n = 0;
  if (!serial::WriteFile(FHandle, &byteValue, 1, FCommTimeouts, &n)) {
    fail("TConnector.SEND_BY_RS.writeByteRS232: WriteFile");
    return false;
  }
  if (n == 1) {
    serial::FlushFileBuffers(FHandle);
    return true;
  }
  fail(format("TConnector.SEND_BY_RS.writeByteRS232: cWrite=%d trgtLength=%d", static_cast<int>(n), 1));
  return false;
}

bool TConnector::writeByteTcp(std::uint8_t byteValue) {
  if (!Active()) {
    fail("TConnector.writeByteTcp: not active");
    return false;
  }
  try {
    FP_TCP->TCP_Client->Write(&byteValue, 1);
    return true;
  } catch (const std::exception&) {
    fail("TConnector.writeByteTcp: Error writing - flush buffers.");
    return false;
  }
}

}  // namespace orbantis
