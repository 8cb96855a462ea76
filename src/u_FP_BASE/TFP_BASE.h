// TFP_BASE: the protocol engine of one connected printer.
//
// It frames a command, sends it through its connector, reads and validates
// the answer frame, keeps the six status bytes, repeats a failed attempt with
// the identical frame (same SEQ, so the printer answers a repeat without
// executing it twice), and records a hexadecimal trace of every attempt.
//
// Exchanges on one engine are serialised: a call that arrives while another
// exchange runs waits for it, so two frames never interleave on one wire.
#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>

#include "uCONNECTOR/TConnector.h"
#include "foundation/Strings.h"

namespace orbantis {

// One status bit: its state in the last answer and its texts.
struct T_SWITCH_VALUE {
  bool SW_VAL = false;
  WideString ERR_MSG;  // language 0 (Bulgarian)
  WideString ERR_MEN;  // language 1 (English)
};

inline constexpr int STATUS_BIT_COUNT = 48;
// Entry of byte b (0..5), bit k (0..7, 0 = least significant): 8 * b + k.
using T_ERROR_SWITCHES = std::array<T_SWITCH_VALUE, STATUS_BIT_COUNT>;

inline constexpr std::size_t ENGINE_BUFFER_SIZE = 32768;

// Longest answer text handed out by GetFAnswer2String.
inline constexpr std::size_t MAX_ANSWER_TEXT = 1001;

inline constexpr std::int32_t TIMEOUT_ERROR_CODE = -10525;

// What became of the last exchange: callers that must tell a printer that
// did not answer from one that answered and refused decide by this value,
// never by the words of the error text.
enum class ExchangeOutcome {
  NotSent,          // nothing went out (a check, a field too long, no connection)
  Answered,         // the printer answered and its status bits show no error
  RefusedByStatus,  // the printer answered, and its status bits say it did not do it
  NoAnswer,         // no valid answer came: the printer may or may not have done it
};

class TFP_BASE {
 public:
  // A serial connector for COM<port> at baudrate, 8 data bits, no parity, one
  // stop bit; nothing is opened. FSeqNumber starts at 20h.
  TFP_BASE(std::int32_t port, std::int32_t baudrate);
  virtual ~TFP_BASE();
  TFP_BASE(const TFP_BASE&) = delete;
  TFP_BASE& operator=(const TFP_BASE&) = delete;

  // --- state (the names support staff and traces know) ---
  std::uint8_t FSeqNumber = 0x20;
  std::array<std::uint8_t, ENGINE_BUFFER_SIZE> FMessage {};  // the request frame being sent
  std::int32_t FMessagePos = 0;
  std::array<std::uint8_t, ENGINE_BUFFER_SIZE> FAnswer {};  // data field of the last answer
  std::int32_t FAnswerPos = 0;
  std::int32_t FLastErrorCode = 0;
  AnsiString FLastErrorMessage;     // language 1 (English), code page 1252
  AnsiString FLastErrorMessage_BG;  // language 0 (Bulgarian), code page 1251
  // The last CUSTOM_CMD_1 refused its data field and sent nothing.
  bool FLastExchangeRefused = false;
  ExchangeOutcome FLastExchange = ExchangeOutcome::NotSent;
  // The last exchange's answer came to a repeated frame. A printer keeps the
  // answer to its last request and gives it again for a repeat; one that
  // restarted in between has forgotten it and carries the repeat out anew.
  bool FLastAnsweredOnRepeat = false;
  std::string LOG_FOLDER;           // engine log folder, with its trailing "/"
  T_ERROR_SWITCHES ERROR_SWITCHES;
  std::unique_ptr<TConnector> SERIAL_CONNECTION;
  // The six status bytes S0..S5 of the last answer.
  std::uint8_t F_S0 = 0, F_S1 = 0, F_S2 = 0, F_S3 = 0, F_S4 = 0, F_S5 = 0;

  std::uint8_t StatusByte(int index) const;

  // --- error state accessors; both report success as 0 ---
  int Get_LastErrorCode(std::int32_t& code) const;
  int Get_LastErrorMessage(WideString& message) const;

  // --- status bits; TFP_ZORVIK gives them their meaning ---
  virtual bool Check_Status();
  void GET_STBYTES();
  virtual void GET_STBYTE(int byteIndex);
  virtual void INIT_ERROR_SWITCHES();

  // One exchange of command Cmd (its low byte) with INPUT_STR as data field.
  // True when a valid answer came back without an error bit (command 74 is
  // never failed by its status). OUTPUT_STR holds the answer's data field,
  // also after a failure. A data field longer than 219 bytes is refused and
  // nothing is sent.
  bool CUSTOM_CMD_1(std::int32_t Cmd, AnsiString& INPUT_STR, AnsiString& OUTPUT_STR);

  // The answer's data bytes as text: byte 0 always, then up to the first 00h,
  // at most 1001 bytes. An empty data field gives one 00h byte.
  AnsiString GetFAnswer2String();

  void SET_SERVICE_MODE(bool ToValue) { SERIAL_CONNECTION->SERVICE_MODE = ToValue; }
  void setCheckForStatus(bool ToValue) { SERIAL_CONNECTION->checkForStatus = ToValue; }

  // Unframed I/O on the same connection.
  bool SEND_STR(std::uint16_t CODE_PAGE, const WideString& STR_TO_SEND, bool HasTerminator,
                std::uint8_t TerminatorByte);
  bool TOTAL_READ(bool HasTerminator, std::uint8_t TerminatorByte, std::int32_t TimeOutConst,
                  AnsiString& OUTPUT_STR);

  // Starts a fresh engine log in TRGT_FOLDER (created if missing): 0, or -1
  // folder not created, -3 old log not deletable, -4 log not created, -10.
  int SET_LOG_FOLDER(const std::string& TRGT_FOLDER);

  // Text helpers bound to this engine's log.
  void Str2Strings(const AnsiString& tmpDataStr, WideStrings& tmpA, const AnsiString& MySepartor_1,
                   const AnsiString& MySepartor_2, const AnsiString& MySepartor_3);
  WideString AnsiStringToWideString(const AnsiString& S, std::uint16_t codePage);
  AnsiString WideStringToAnsiString(const WideString& ws, std::uint16_t codePage);
  std::int64_t SciRound(double x);
  long double RoundD(double x, int d);
  double RoundDoubleFromTo(double sourceValue, int toDigits, int startFromDigits);

  // Writes date-time ":" text to the engine log; never raises, and writes
  // nothing before a log folder was set.
  void WriteEngineLog(const std::string& text);

  // Held for the whole of an exchange. A caller that must keep several
  // exchanges together (a command method reading the status it caused) may
  // hold it too; it is recursive.
  std::recursive_mutex& ExchangeLock() { return FExchangeLock; }

 protected:
  void BUILD_FRAME(std::uint8_t cmd, const AnsiString& data);
  bool WAIT_BYTE(std::uint8_t& b);
  bool READ_ANSWER(std::uint8_t cmd);
  bool EXCHANGE_FRAME(std::uint8_t cmd, const AnsiString& data);
  void PutInput_ToHEX();

 private:
  void clearMessage();
  void clearAnswer();
  // Writes a trace entry while DEBUGMODE is set; a trace that cannot be
  // written never fails the exchange.
  void writeTrace(const std::string& text);
  std::string traceLine(int attempt, const char* what, const std::string& hex) const;
  // Tries the connector's read until a byte arrives or limitMs passed (then
  // the line is purged). Only a read that failed at once rests restMs.
  bool readByteWithin(std::uint8_t& b, std::uint64_t limitMs, int restMs);
  // One byte of a raw read, waiting at most TimeOutConst ms.
  bool waitRawByte(std::uint8_t& b, std::int32_t TimeOutConst);
  void appendAnswerByte(std::uint8_t b);

  bool FTimedOut = false;  // set by a byte wait that ran out; fails the rest of the read
  std::recursive_mutex FExchangeLock;
};

}  // namespace orbantis
