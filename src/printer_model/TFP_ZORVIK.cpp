#include "printer_model/TFP_ZORVIK.h"

#include "printer_model/ErrorMessages.h"
#include "printer_model/StatusBits.h"
#include "uErrLog/uErrLog.h"
#include "foundation/CodePage.h"

namespace orbantis {

TFP_ZORVIK::TFP_ZORVIK(std::int32_t port, std::int32_t baudrate) : TFP_BASE(port, baudrate) {
  TFP_ZORVIK::INIT_ERROR_SWITCHES();
}

// ---------------------------------------------------------------- status bits

void TFP_ZORVIK::INIT_ERROR_SWITCHES() {
  TFP_BASE::INIT_ERROR_SWITCHES();
  const auto& texts = StatusBitTexts();
  for (std::size_t i = 0; i < ERROR_SWITCHES.size(); ++i) {
    ERROR_SWITCHES[i].SW_VAL = false;
    ERROR_SWITCHES[i].ERR_MEN = texts[i];
  }
}

void TFP_ZORVIK::GET_STBYTE(int byteIndex) {
  try {
    TFP_BASE::GET_STBYTE(byteIndex);
    if (byteIndex < 0 || byteIndex > 5) return;
    const std::uint8_t value = StatusByte(byteIndex);
    for (int k = 0; k < 8; ++k)
      if (value & (1u << k)) ERROR_SWITCHES[static_cast<std::size_t>(8 * byteIndex + k)].SW_VAL = true;
  } catch (const std::exception& e) {
    try {
      WRITE_EXE_LOG(std::string("TFP_ZORVIK.GET_STBYTE: ") + e.what());
    } catch (...) {
    }
  }
}

bool TFP_ZORVIK::Check_Status() {
  bool verdict = true;
  FLastErrorMessage.clear();
  FLastErrorMessage_BG.clear();
  try {
    for (const auto& id : ErrorStatusBits()) {
      const auto& sw = ERROR_SWITCHES[static_cast<std::size_t>(8 * id.byte + id.bit)];
      if (!sw.SW_VAL) continue;
      verdict = false;
      FLastErrorMessage += EncodeCodePage(sw.ERR_MEN + u"\r\n", CP_CYRILLIC);
      FLastErrorMessage_BG += EncodeCodePage(sw.ERR_MSG + u"\r\n", CP_WESTERN);
    }
  } catch (const std::exception& e) {
    try {
      WRITE_EXE_LOG(std::string("TFP_ZORVIK.Check_Status: ") + e.what());
    } catch (...) {
    }
    return verdict;
  }
  if (verdict) {
    FLastErrorMessage.clear();
    FLastErrorMessage_BG.clear();
  }
  return verdict;
}

const T_SWITCH_VALUE* TFP_ZORVIK::switchAt(int byteIndex, int bitIndex) const {
  // The automation layer passes a client's indexes through unchanged: never
  // read outside the 48 entries.
  if (byteIndex < 0 || byteIndex > 5 || bitIndex < 0 || bitIndex > 7) return nullptr;
  return &ERROR_SWITCHES[static_cast<std::size_t>(8 * byteIndex + bitIndex)];
}

AnsiString TFP_ZORVIK::GET_STATUS_DESCRIPTIONEX(int BYTE_INDEX, int BIT_INDEX, int LANG_TRGT) {
  const auto* sw = switchAt(BYTE_INDEX, BIT_INDEX);
  if (sw == nullptr) return {};
  return LANG_TRGT == LANGUAGE_0 ? EncodeCodePage(sw->ERR_MSG, CP_CYRILLIC) : EncodeCodePage(sw->ERR_MEN, CP_WESTERN);
}

WideString TFP_ZORVIK::getStatusDescription(int byteIndex, int bitIndex, int languageIndex) {
  const auto* sw = switchAt(byteIndex, bitIndex);
  if (sw == nullptr) return {};
  return languageIndex == LANGUAGE_0 ? DecodeCodePage(EncodeCodePage(sw->ERR_MSG, CP_CYRILLIC), CP_CYRILLIC)
                                     : DecodeCodePage(EncodeCodePage(sw->ERR_MEN, CP_WESTERN), CP_WESTERN);
}

bool TFP_ZORVIK::GET_BIT_STATE(int BYTE_INDEX, int BIT_INDEX) {
  const auto* sw = switchAt(BYTE_INDEX, BIT_INDEX);
  return sw != nullptr && sw->SW_VAL;
}

bool TFP_ZORVIK::getBitState(int byteIndex, int bitIndex) { return GET_BIT_STATE(byteIndex, bitIndex); }

// ---------------------------------------------------------------- errors

void TFP_ZORVIK::SET_ERROR_MESSAGE(std::int32_t TRGT_CODE) {
  ErrorTexts texts;
  try {
    if (TRGT_CODE == -4 || TRGT_CODE == -5)
      texts = ExchangeFailureTexts(DecodeCodePage(FLastErrorMessage_BG, CP_WESTERN),
                                   DecodeCodePage(FLastErrorMessage, CP_WESTERN), FLastExchangeRefused);
    else if (TRGT_CODE == -3 && FFieldRefusal)
      texts = *FFieldRefusal;
    else
      texts = FixedErrorTexts(TRGT_CODE);
  } catch (const std::exception& e) {
    texts = {u"Неизвестна грешка - при получаване на грешката ?!?", u"Unknown error - error in obtaining ?!?"};
    WriteEngineLog(std::string("TFP_ZORVIK.SET_ERROR_MESSAGE:") + e.what());
  }
  FLastErrorCode = TRGT_CODE;
  FLastErrorMessage = EncodeCodePage(texts.language1, CP_WESTERN);
  FLastErrorMessage_BG = EncodeCodePage(texts.language0, CP_CYRILLIC);
}

std::int32_t TFP_ZORVIK::RefuseInput(std::string_view rowName, const cmd::FieldRefused& refusal) {
  std::lock_guard<std::recursive_mutex> guard(ExchangeLock());
  FLastExchange = ExchangeOutcome::NotSent;
  FLastAnsweredOnRepeat = false;
  WriteEngineLog("TFP_ZORVIK." + std::string(rowName) + ".CONSTRUCT_INPUT: " + refusal.what());
  FFieldRefusal = ErrorTexts {Utf8ToWide(refusal.Bulgarian), Utf8ToWide(refusal.what())};
  SET_ERROR_MESSAGE(-3);
  FFieldRefusal.reset();
  return -3;
}

AnsiString TFP_ZORVIK::GET_LASTERROR(int LANG_TRGT) {
  if (LANG_TRGT == LANGUAGE_0) return FLastErrorMessage_BG;
  if (LANG_TRGT == LANGUAGE_1) return FLastErrorMessage;
  return {};
}

// ---------------------------------------------------------------- raw commands

bool TFP_ZORVIK::CUSTOM_CMD(std::int32_t Cmd, AnsiString& INPUT_STR, AnsiString& OUTPUT_STR) {
  try {
    return CUSTOM_CMD_1(Cmd, INPUT_STR, OUTPUT_STR);
  } catch (const std::exception& e) {
    WriteEngineLog(std::string("Exception in TFP_ZORVIK.CUSTOM_CMD:") + e.what());
    return false;
  }
}

WideString TFP_ZORVIK::CUSTOM_CMD_2(std::int32_t Cmd, AnsiString& INPUT_STR) {
  AnsiString answer;
  try {
    CUSTOM_CMD_1(Cmd, INPUT_STR, answer);
  } catch (const std::exception& e) {
    WriteEngineLog(std::string("Exception in TFP_ZORVIK.CUSTOM_CMD_2:") + e.what());
  }
  return DecodeCodePage(answer, CP_WESTERN);
}

// ---------------------------------------------------------------- the pattern

bool TFP_ZORVIK::getOutput(const std::string& prefix, const cmd::CommandRow& row, const AnsiString& answer,
                           AnsiStrings& out) {
  try {
    const WideStrings items = row.answer(DecodeCodePage(answer, CP_WESTERN));
    for (std::size_t i = 0; i < items.size() && i < out.size(); ++i)
      if (!items[i].empty()) out[i] = EncodeCodePage(items[i], CP_WESTERN);
    return true;
  } catch (const std::exception& e) {
    WriteEngineLog(prefix + ".GET_OUTPUT: " + e.what());
    return false;
  }
}

std::int32_t TFP_ZORVIK::Run(const cmd::Command& command, const AnsiStrings& in, AnsiStrings& out) {
  std::lock_guard<std::recursive_mutex> guard(ExchangeLock());
  const cmd::CommandRow& row = *command.row;
  FLastExchange = ExchangeOutcome::NotSent;
  FLastAnsweredOnRepeat = false;
  out.assign(row.out.size(), AnsiString());
  if (in.size() != row.in.size()) {
    SET_ERROR_MESSAGE(-1);
    return -1;
  }
  if (row.special) return row.special(*this, in, out);

  const std::string prefix = std::string("TFP_ZORVIK.") + row.name;
  auto& c = *SERIAL_CONNECTION;
  std::int32_t code = -1;

  auto steps = [&]() -> void {
    // CHECK_INPUT
    if (!row.in.empty() && c.WITH_INPCHECK) {
      try {
        code = 0;
        for (std::size_t i = 0; i < row.in.size(); ++i) {
          const auto failed = cmd::RunRules(in[i], row.in[i].rules);
          if (failed == cmd::CHECKS_END_WITH_SUCCESS) break;
          if (failed != 0) {
            code = failed;
            return;
          }
        }
      } catch (...) {
        code = -1;
        return;
      }
    }
    // CONSTRUCT_INPUT
    AnsiString data;
    code = -3;
    try {
      data = cmd::BuildField(command.field, in, c.AUTOCUT_ON);
      code = 0;
    } catch (const cmd::FieldRefused& e) {
      FFieldRefusal = ErrorTexts {Utf8ToWide(e.Bulgarian), Utf8ToWide(e.what())};
      WriteEngineLog(prefix + ".CONSTRUCT_INPUT: " + e.what());
      return;
    } catch (const std::exception& e) {
      WriteEngineLog(prefix + ".CONSTRUCT_INPUT: " + e.what());
      return;
    }
    // The exchange
    code = -4;
    AnsiString answer;
    tmpBoRes = CUSTOM_CMD(row.code, data, answer);
    if (!row.answer) {
      if (tmpBoRes) code = 0;
      return;
    }
    if (!tmpBoRes) {
      if (c.ALWAYS_GET_OUTPUT) getOutput(prefix, row, answer, out);
      code = -5;
      return;
    }
    // GET_OUTPUT
    code = -2;
    if (!getOutput(prefix, row, answer, out)) return;
    code = 0;
    // CHECK_OUTPUT
    if (c.WITH_OUTPCHECK) {
      for (std::size_t i = 0; i < row.out.size(); ++i) {
        const auto failed = cmd::RunRules(out[i], row.out[i].rules);
        if (failed == cmd::CHECKS_END_WITH_SUCCESS) return;
        if (failed != 0) {
          code = failed;
          return;
        }
      }
    }
  };

  FFieldRefusal.reset();
  try {
    steps();
  } catch (const std::exception& e) {
    WriteEngineLog(prefix + ": " + e.what());
  }
  SET_ERROR_MESSAGE(code);
  FFieldRefusal.reset();
  return code;
}

std::int32_t TFP_ZORVIK::Run(std::string_view name, const AnsiStrings& in, AnsiStrings& out) {
  const cmd::Command* command = cmd::FindCommand(name);
  if (command == nullptr) {
    out.clear();
    SET_ERROR_MESSAGE(-1);
    return -1;
  }
  return Run(*command, in, out);
}

std::int32_t TFP_ZORVIK::runNamed(const char* name, std::initializer_list<const AnsiString*> in,
                                  std::initializer_list<AnsiString*> out) {
  AnsiStrings values;
  values.reserve(in.size());
  for (const AnsiString* v : in) values.push_back(*v);
  AnsiStrings answers;
  const std::int32_t result = Run(name, values, answers);
  std::size_t i = 0;
  for (AnsiString* target : out) *target = i < answers.size() ? answers[i++] : AnsiString();
  return result;
}

// The named methods: each hands its parameters to the row of the same name.
#define ORBANTIS_ARG_IN(x) , &x
#define ORBANTIS_ARG_OUT(x)
#define ORBANTIS_ARG(p) ORBANTIS_ARG_##p
#define ORBANTIS_RES_IN(x)
#define ORBANTIS_RES_OUT(x) , &x
#define ORBANTIS_RES(p) ORBANTIS_RES_##p
#define COMMAND(NAME, ...)                                                                     \
  std::int32_t TFP_ZORVIK::NAME(ORBANTIS_STRIP_FIRST(ORBANTIS_FOR_EACH(ORBANTIS_SIG, __VA_ARGS__))) { \
    return runNamed(#NAME, {ORBANTIS_STRIP_FIRST(ORBANTIS_FOR_EACH(ORBANTIS_ARG, __VA_ARGS__))},       \
                    {ORBANTIS_STRIP_FIRST(ORBANTIS_FOR_EACH(ORBANTIS_RES, __VA_ARGS__))});            \
  }
#include "printer_model/CommandMethods.def"
#undef COMMAND

}  // namespace orbantis
