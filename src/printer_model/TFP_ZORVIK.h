// TFP_ZORVIK: the model of the printer this server drives.
//
// It gives the engine's status bits their meaning (the 48 texts, the 15 error
// bits), records every command's result code with its texts, and runs every
// printer command through one pattern:
//   result -1; CHECK_INPUT (with WITH_INPCHECK); CONSTRUCT_INPUT (-3, cuts with
//   AUTOCUT_ON); the exchange (-4); GET_OUTPUT (-2; also after a failed
//   exchange with ALWAYS_GET_OUTPUT, which then ends at -5); CHECK_OUTPUT
//   (with WITH_OUTPCHECK); SET_ERROR_MESSAGE in every case.
// What differs between commands is data: the rows under commands/.
#pragma once

#include <initializer_list>
#include <optional>

#include "printer_model/CommandTable.h"
#include "printer_model/ErrorMessages.h"
#include "printer_model/ForEach.h"
#include "u_FP_BASE/TFP_BASE.h"

namespace orbantis {

inline constexpr int LANGUAGE_0 = 0;  // Bulgarian
inline constexpr int LANGUAGE_1 = 1;  // English

class TFP_ZORVIK : public TFP_BASE {
 public:
  TFP_ZORVIK(std::int32_t port, std::int32_t baudrate);

  // Outcome of the last exchange a command method made.
  bool tmpBoRes = false;

  // --- status bits ---
  bool Check_Status() override;
  void GET_STBYTE(int byteIndex) override;
  void INIT_ERROR_SWITCHES() override;

  // The text of a status bit: language 0 as code page 1251, any other as
  // 1252. Indexes outside byte 0..5, bit 0..7 give an empty text.
  AnsiString GET_STATUS_DESCRIPTIONEX(int BYTE_INDEX, int BIT_INDEX, int LANG_TRGT);
  WideString getStatusDescription(int byteIndex, int bitIndex, int languageIndex);
  // The bit's state in the last answer; false outside the 48 bits.
  bool GET_BIT_STATE(int BYTE_INDEX, int BIT_INDEX);
  bool getBitState(int byteIndex, int bitIndex);

  // --- errors ---
  // Records code with its two texts (see ErrorMessages.h).
  void SET_ERROR_MESSAGE(std::int32_t TRGT_CODE);
  // A value the caller refused before any data field was built (a text the
  // code page cannot print): recorded as CONSTRUCT_INPUT's -3 of the row or
  // method named, with the refusal's texts and its engine log line; nothing
  // is sent. Returns -3.
  std::int32_t RefuseInput(std::string_view rowName, const cmd::FieldRefused& refusal);
  // FLastErrorMessage_BG for 0, FLastErrorMessage for 1, else empty.
  AnsiString GET_LASTERROR(int LANG_TRGT);

  // --- raw commands ---
  // One exchange with a caller-built data field; never raises.
  bool CUSTOM_CMD(std::int32_t Cmd, AnsiString& INPUT_STR, AnsiString& OUTPUT_STR);
  // The same, answering the data field as Unicode text.
  WideString CUSTOM_CMD_2(std::int32_t Cmd, AnsiString& INPUT_STR);

  // --- the command pattern ---
  // Runs a command row with its value parameters; out receives the answer
  // parameters (as many as the row has). Returns the result code.
  std::int32_t Run(const cmd::Command& command, const AnsiStrings& in, AnsiStrings& out);
  // The same by method name; -1 for a name that is no command.
  std::int32_t Run(std::string_view name, const AnsiStrings& in, AnsiStrings& out);

  // The named command methods, one per row, generated from CommandMethods.def:
  //   std::int32_t CMD_48_0_0(const AnsiString& OpCode, ..., AnsiString& RecCnt, ...);
// <windows.h> defines IN and OUT as empty words; the rows need them as
// their own names here, whatever was included before.
#pragma push_macro("IN")
#pragma push_macro("OUT")
#undef IN
#undef OUT
#define ORBANTIS_SIG_IN(x) , const AnsiString& x
#define ORBANTIS_SIG_OUT(x) , AnsiString& x
#define ORBANTIS_SIG(p) ORBANTIS_SIG_##p
#define ORBANTIS_STRIP_FIRST(...) ORBANTIS_STRIP_FIRST_I(__VA_ARGS__)
#define ORBANTIS_STRIP_FIRST_I(first, ...) __VA_ARGS__
#define COMMAND(NAME, ...) std::int32_t NAME(ORBANTIS_STRIP_FIRST(ORBANTIS_FOR_EACH(ORBANTIS_SIG, __VA_ARGS__)));
#include "printer_model/CommandMethods.def"
#undef COMMAND
#pragma pop_macro("OUT")
#pragma pop_macro("IN")

 private:
  std::int32_t runNamed(const char* name, std::initializer_list<const AnsiString*> in,
                        std::initializer_list<AnsiString*> out);
  // GET_OUTPUT: cuts the answer into out; false (and a log line) on failure.
  bool getOutput(const std::string& prefix, const cmd::CommandRow& row, const AnsiString& answer,
                 AnsiStrings& out);
  const T_SWITCH_VALUE* switchAt(int byteIndex, int bitIndex) const;

  // Set while SET_ERROR_MESSAGE(-3) records a value refused for the structure
  // of its data field: its texts name the parameter and the character.
  std::optional<ErrorTexts> FFieldRefusal;
};

}  // namespace orbantis
