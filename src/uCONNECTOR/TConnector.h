// TConnector: the byte stream between the protocol engine and the printer.
//
// One class for every wire; each operation dispatches on COMUNICATION_TYPE in
// this file only, and the serial (SerialPort) and TCP (TFP_TCP) code live
// behind it. The connector also carries the switches the engine and the
// command methods read, and the trace texts of the last exchange.
//
// Failures follow one rule ("log/raise"): the text goes to the connector log
// only while DEBUGMODE is set, and an Exception with the text is raised only
// while RAISEMODE is set (always, in this system). The engine relies on
// failed reads raising.
#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <string>

#include "uCONNECTOR/SerialPort.h"
#include "uCONNECTOR/TFP_TCP.h"

namespace orbantis {

enum TCOMUNICATION_TYPE : std::uint8_t {
  ct_Unknown = 0,
  ct_RS232 = 1,
  ct_TCPIP = 2,
  ct_BLUETOOTH = 3,  // no transport: "active" is BT_ACTIVE, reads and writes do nothing
  ct_LINEARS = 4,    // behaves as ct_RS232
};

struct TTIMEOUTS_REC {
  std::int32_t RC = 0;
  std::uint32_t RIT = 0, RTTM = 0, RTTC = 0, WTTM = 0, WTTC = 0;
};

class TConnector {
 public:
  // Stores the line settings; opens nothing. The engine passes StopBits 0
  // (one), Parity 0 (none), ByteSize 8.
  TConnector(std::int32_t Port, std::int32_t BaudRate, std::uint8_t StopBits, std::uint8_t Parity,
             std::uint8_t ByteSize);
  ~TConnector();
  TConnector(const TConnector&) = delete;
  TConnector& operator=(const TConnector&) = delete;

  // --- fields, in the order support staff know them, with their defaults ---
  TDCB DCB;
  std::int32_t FPort;
  std::int32_t FBaudRate;
  std::uint8_t FStopBits;
  std::uint8_t FParity;
  std::uint8_t FByteSize;
  serial::Handle FHandle = serial::kInvalidHandle;
  TCOMMTIMEOUTS FCommTimeouts {3000, 0, 3200, 3000, 3000};
  std::string LOG_FOLDER;
  bool BT_ACTIVE = false;
  bool RAISEMODE = true;
  std::int32_t FREPEAT_COUNT = 2;
  bool FC = true;
  std::string tmpHEX_INPUT;
  std::string tmpHEX_ANSWER;
  std::string HEX_ID;
  std::string HEX_INPUT;
  std::string HEX_ANSWER;
  std::string HUMAN_O_ANSWER;
  std::string DEBUG_FOLDER;  // the temp folder until a client sets it
  std::string BT_ADDRESS;
  bool DEBUGMODE = false;
  bool SERVICE_MODE = false;  // open without touching the port's settings
  // Why the last Open failed, for a person: the path or address, the
  // system's reason and what to do. Empty after a successful Open.
  std::string OpenErrorDetail;
  // Advice on the serial port that opened (a USB-serial adapter that holds
  // answers for its latency timer); "" when there is none.
  std::string PortAdvice;
  // The system's error number of the last failed open (EBUSY: another
  // program holds the port), 0 after a successful one.
  int OpenErrno = 0;
  bool checkForStatus = true;
  bool FIRST_ANSWER = false;
  bool WITH_SLEEP = true;
  bool BB_MODE = false;  // open and close around every attempt
  bool WITH_INPCHECK = false;
  bool WITH_OUTPCHECK = false;
  bool ALWAYS_GET_OUTPUT = true;
  bool AUTOCUT_ON = true;
  std::uint32_t EXIT_BYTIMEVAR = 120000;  // ms: limit of one byte wait and of the wait for an answer
  std::int32_t TIMEOUT_ERROR = 0;         // -10525 after a byte wait timed out
  std::int32_t byteSleepInterval = 10;    // ms
  std::uint16_t codePage = 1251;          // of the answer text in the trace
  std::unique_ptr<TFP_TCP> FP_TCP;
  TTIMEOUTS_REC TIMEOUTS_REC;
  TCOMUNICATION_TYPE COMUNICATION_TYPE = ct_RS232;

  // A device path to open in place of COM<FPort> (Linux has no port numbers
  // for USB adapters and pseudo-terminals). Empty: COM<FPort>.
  std::string DevicePath;

  // --- properties ---
  serial::Handle Handle() const { return FHandle; }
  bool Active();
  std::int32_t REPEAT_COUNT() const { return FREPEAT_COUNT; }
  void SET_REPEAT_COUNT(std::int32_t value) { FREPEAT_COUNT = value; }
  bool FIRST_COMMAND() const { return FC; }
  void SET_FIRST_COMMAND(bool value) { FC = value; }
  // The device this connector opens for ct_RS232 / ct_LINEARS.
  std::string DeviceName() const;

  // --- operations, dispatched by COMUNICATION_TYPE ---
  // 0 when open; serial: -2..-6 for the failing step, -100 after a raised
  // failure; TCP: -46; Bluetooth and unknown: -1. A failed open leaves the
  // connector closed.
  int Open();
  void Close();
  void Clear();
  // One byte; raises (RAISEMODE) when none arrives within the read time-out.
  std::uint8_t readByte();
  bool readByte(std::uint8_t& b, std::uint32_t& readBytesCount);
  std::int32_t ReadBuffer(std::uint8_t* Buffer, std::int32_t BufLength);
  std::int32_t WriteBuffer(const std::uint8_t* Buffer, std::int32_t BufLength);
  bool WriteByte(std::uint8_t byteValue);

  void SET_DTR(bool State);
  void SET_RTS(bool State);
  bool SET_TIMEOUTS(std::uint32_t NEW_ReadIntervalTimeout, std::uint32_t NEW_ReadTotalTimeoutMultiplier,
                    std::uint32_t NEW_ReadTotalTimeoutConstant, std::uint32_t NEW_WriteTotalTimeoutMultiplier,
                    std::uint32_t NEW_WriteTotalTimeoutConstant);
  void INIT_TIMEOUTS(std::uint32_t NEW_ReadIntervalTimeout, std::uint32_t NEW_ReadTotalTimeoutMultiplier,
                     std::uint32_t NEW_ReadTotalTimeoutConstant, std::uint32_t NEW_WriteTotalTimeoutMultiplier,
                     std::uint32_t NEW_WriteTotalTimeoutConstant);
  void SET_LOG_FOLDER(const std::string& TRGT_FOLDER) { LOG_FOLDER = TRGT_FOLDER; }
  static void PutByte_ToHEXStr(std::uint8_t TRGT, std::string& TRGT_STR, const std::string& IncreaseStr);
  void CREATE_TCP(const std::string& IP_ADDR, int TCP_PORT);

 private:
  std::array<std::uint8_t, 256> FInput {};
  std::size_t FInputPos = 0;
  std::size_t FInputEnd = 0;

  bool isSerial() const { return COMUNICATION_TYPE == ct_RS232 || COMUNICATION_TYPE == ct_LINEARS; }
  // The log/raise rule.
  void fail(const std::string& logText, const std::string& raiseText);
  void fail(const std::string& text) { fail(text, text); }
  // A connector log line, written whatever DEBUGMODE says.
  void log(const std::string& text);

  int OPEN_THIS_RS();
  int openSerialSteps();
  bool GET_COMSTATE();
  bool SET_DCB_PROPS();
  bool SET_COM_STATE();
  void logDcb();
  int OPEN_THIS_TCP();
  void closeSerial();

  std::uint8_t readByteSerial();
  // One byte from the line, through a small input buffer: the answer of a
  // frame arrives in one burst, and one system call takes all of it.
  bool serialReadOne(std::uint8_t& b);
  std::uint8_t readByteTcp();
  std::int32_t readBufferSerial(std::uint8_t* Buffer, std::int32_t BufLength);
  std::int32_t readBufferTcp(std::uint8_t* Buffer, std::int32_t BufLength);
  std::int32_t writeBufferSerial(const std::uint8_t* Buffer, std::int32_t BufLength);
  std::int32_t writeBufferTcp(const std::uint8_t* Buffer, std::int32_t BufLength);
  bool writeByteSerial(std::uint8_t byteValue);
  bool writeByteTcp(std::uint8_t byteValue);
};

}  // namespace orbantis
