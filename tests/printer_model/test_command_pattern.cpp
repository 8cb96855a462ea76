// The command pattern: what goes on the wire, what comes back, which code.
#include <gtest/gtest.h>

#include "CommandTables.h"
#include "printer_model/ErrorMessages.h"
#include "support/EngineFixture.h"
#include "foundation/CodePage.h"

namespace orbantis {
namespace {

using test::AnswerCase;
using test::AnswerFrame;
using test::AnswerWith;
using test::CodeCase;
using test::EngineOnPty;
using test::PeerRequest;
using test::Reply;
using test::ServerSwitches;
using test::Status;
using test::Switches;
using test::WireCase;

TEST(CommandPattern, DataFieldsOnTheWire) {
  using enum Switches;
  const WireCase cases[] = {
      {"CMD_74_0_0", {"X"}, Server, 0x4A, "X"},
      {"CMD_74_0_1", {}, Server, 0x4A, ""},
      {"CMD_90_0_0", {}, Server, 0x5A, "1"},
      {"CMD_62_0_0", {}, Server, 0x3E, ""},
      {"CMD_86_0_1", {}, Server, 0x56, "T"},
      {"CMD_64_0_0", {"1"}, Server, 0x40, "1"},
      {"CMD_64_0_0", {"7"}, Server, 0x40, "7"},  // unchecked: the printer decides
      {"CMD_65_0_0", {"0"}, Server, 0x41, "0"},
      {"CMD_76_0_0", {""}, Server, 0x4C, ""},
      {"CMD_76_0_0", {"TX"}, Server, 0x4C, "T"},
      {"CMD_76_0_0", {"TX"}, Uncut, 0x4C, "TX"},
      {"CMD_89_0_0", {}, Server, 0x97, "T"},
      {"CMD_89_0_1", {}, Server, 0x98, ""},
      {"CMD_103_0_0", {}, Server, 0x67, ""},
  };
  test::ExpectDataFields(cases);
}

TEST(CommandPattern, FailedInputChecksSendNothing) {
  const CodeCase cases[] = {
      {"CMD_64_0_0", {""}, -10500},
      {"CMD_64_0_0", {"2"}, -10504},
      {"CMD_65_0_0", {"a"}, -10504},
      {"CMD_76_0_0", {"TX"}, -10502},
  };
  test::ExpectInputChecks(cases, {.switches = Switches::Checked, .quietMs = 50});
}

TEST(CommandPattern, AnswersAreCutIntoValuesAndChecked) {
  const AnswerCase cases[] = {
      {"CMD_90_0_0", {}, "FP-2026,1.0 01Jan26,A1B2,11110000,ZK123456",
       {"FP-2026", "1.0 01Jan26", "A1B2", "11110000", "ZK123456"}, 0},
      {"CMD_90_0_0", {}, "FP-2026,1.0,A1B2,11110000", {"FP-2026", "1.0", "A1B2", "11110000", ""}, -10524},
      {"CMD_62_0_0", {}, "10-12-26 05:10:33", {"10-12-26 05:10:33"}, 0},
      {"CMD_62_0_0", {}, "10-12-2026 05:10:3", {"10-12-2026 05:10:3"}, -10513},
      {"CMD_62_0_1", {}, "10-12-26 05:10:33", {"10", "12", "26", "05", "10", "33"}, 0},
      {"CMD_62_0_1", {}, "10-12-26 05", {"10", "12", "26", "05", "", ""}, -10524},
      {"CMD_86_0_1", {}, "09-11-2026 23:59:01,extra", {"09", "11", "2026", "23", "59", "01"}, 0},
      {"CMD_86_0_0", {}, "09-11-2026 23:59:01", {"09-11-2026 23:59:01"}, 0},
      {"CMD_64_0_0", {"0"}, "12,1.00,2.00,3.00,4.00,5.00,6.00,101226", {"12", "1.00", "2.00", "3.00", "4.00", "5.00", "6.00", "101226"}, 0},
      {"CMD_64_0_0", {"0"}, "12,1,2,3,4,5,6,1012260", {"12", "1", "2", "3", "4", "5", "6", "1012260"}, -10513},
      {"CMD_68_0_0", {}, "12345", {"12345"}, -10513},
      {"CMD_76_0_0", {"T"}, "1,3,12.50,0.00", {"1", "3", "12.50", "0.00"}, 0},
      {"CMD_76_0_0", {"T"}, "1,x,12.50,0.00", {"1", "x", "12.50", "0.00"}, -10521},
      {"CMD_89_0_0", {}, "P,1830", {"P", "1830"}, 0},
      {"CMD_89_0_1", {}, "Q,1830", {"Q", "1830"}, -10515},
      {"CMD_93_0_0", {}, "1,2.00,0,abc", {"1", "2.00", "0", "abc"}, -10516},
      {"CMD_97_0_0", {}, "20.00,9.00,0.00,0.00,0.00,0.00", {"20.00", "9.00", "0.00", "0.00", "0.00", "0.00"}, 0},
      {"CMD_99_0_0", {}, "123456789,987654321", {"123456789", "987654321"}, 0},
      {"CMD_99_0_0", {}, "12345678,987654321", {"12345678", "987654321"}, -10514},
      {"CMD_99_0_0", {}, "1234567890,987654321", {"1234567890", "987654321"}, -10513},
      {"CMD_103_0_0", {}, "2,1,1,1,1,1,1", {"2", "1", "1", "1", "1", "1", "1"}, -10515},
      {"CMD_65_0_0", {"1"}, "1,,3", {"1", "", "3", "", "", ""}, -10524},
      {"CMD_90_0_0", {}, "", {"", "", "", "", ""}, -10524},
  };
  test::ExpectAnswers(cases);
}

TEST(CommandPattern, AnswerChecksRunOnlyWithOutputChecksOn) {
  EngineOnPty e(AnswerWith("12345678,1"));
  ServerSwitches(e.connector());
  e.connector().WITH_OUTPCHECK = false;
  AnsiString tin, vrn;
  EXPECT_EQ(e.engine->CMD_99_0_0(tin, vrn), 0);
  EXPECT_EQ(tin, "12345678");
  EXPECT_EQ(vrn, "1");
}

// Rows the model does not have, to show the four shapes of the pattern.
const cmd::CommandRow kNoParamsNoAnswer {"CMD_TEST_A", 0x21, {}, "", {}, {}};
const cmd::CommandRow kParamsNoAnswer {"CMD_TEST_B", 0x22, {{"Text"}}, "{Text:5}", {}, {}};
const cmd::CommandRow kAnswerNoParams {"CMD_TEST_C", 0x23, {}, "", cmd::SplitAt(), {{"A"}, {"B"}}};

struct ShapeCase {
  const cmd::CommandRow* row;
  AnsiStrings in;
  std::int32_t silentCode;
};

TEST(CommandPattern, ShapesWithoutAnswerValuesFailWithMinus4AndOthersWithMinus5) {
  const ShapeCase cases[] = {{&kNoParamsNoAnswer, {}, -4}, {&kParamsNoAnswer, {"abcdefgh"}, -4},
                             {&kAnswerNoParams, {}, -5}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.row->name);
    const cmd::Command command {c.row, cmd::CompileField(*c.row)};
    {
      EngineOnPty e(AnswerWith("x,y"));
      ServerSwitches(e.connector());
      AnsiStrings out;
      EXPECT_EQ(e.engine->Run(command, c.in, out), 0);
      EXPECT_EQ(out.size(), c.row->out.size());
      if (!c.in.empty()) {
        EXPECT_EQ(e.peer->Requests().at(0).data, "abcde");
      }
    }
    {
      EngineOnPty e([](const PeerRequest&, int) { return Reply {}; });
      ServerSwitches(e.connector());
      AnsiStrings out;
      EXPECT_EQ(e.engine->Run(command, c.in, out), c.silentCode);
      EXPECT_EQ(e.engine->FLastErrorMessage,
                "Unsuccessful command execution.\r\nPlease check the link with this fiscal!");
      EXPECT_EQ(e.engine->FLastErrorMessage_BG,
                EncodeCodePage(u"Неуспешно изпълнение на командата.\r\n"
                               u"Моля проверете връзката с фискалното устройство!",
                               CP_CYRILLIC));
    }
  }
}

TEST(CommandPattern, PrinterErrorTextListsTheStatusBits) {
  EngineOnPty e(AnswerWith("Name,rev,chk,sw,serial", {0, 0, 0x01, 0, 0, 0}));
  ServerSwitches(e.connector());
  AnsiStrings out;
  EXPECT_EQ(e.engine->Run("CMD_90_0_0", {}, out), -5);
  EXPECT_EQ(e.engine->FLastErrorMessage,
            "Unsuccessful command execution.\r\nSome of the status bytes:\r\n# No paper.\r\n");
  EXPECT_EQ(e.engine->FLastErrorMessage_BG,
            EncodeCodePage(u"Неуспешно изпълнение на командата.\r\nСъстояние на някои от статус байтовете:\r\n\r\n",
                           CP_CYRILLIC));
  EXPECT_EQ(out[0], "Name") << "with ALWAYS_GET_OUTPUT the answer is split although the command failed";
  EXPECT_EQ(out[4], "serial");

  e.connector().ALWAYS_GET_OUTPUT = false;
  EXPECT_EQ(e.engine->Run("CMD_90_0_0", {}, out), -5);
  EXPECT_EQ(out[0], "");
}

TEST(CommandPattern, SuccessLeavesCodeZeroWithTheUnknownErrorText) {
  EngineOnPty e(AnswerWith("123456789,123456789"));
  ServerSwitches(e.connector());
  AnsiString tin, vrn;
  EXPECT_EQ(e.engine->CMD_99_0_0(tin, vrn), 0);
  EXPECT_EQ(e.engine->FLastErrorCode, 0);
  EXPECT_EQ(e.engine->FLastErrorMessage, "Unknown error.");
  EXPECT_EQ(e.engine->FLastErrorMessage_BG, EncodeCodePage(u"Неизвестна грешка.", CP_CYRILLIC));
}

TEST(CommandPattern, OverlongDataFieldIsRefusedWithATextThatSaysSo) {
  const cmd::Command command {&kParamsNoAnswer, {{true, 0, 0, {}, "Value", {}}}};
  EngineOnPty e(AnswerWith(""));
  ServerSwitches(e.connector());
  AnsiStrings out;
  EXPECT_EQ(e.engine->Run(command, {AnsiString(220, 'x')}, out), -4);
  EXPECT_EQ(e.engine->FLastErrorMessage,
            "Unsuccessful command execution.\r\nThe data field is longer than 219 bytes; nothing was sent to the printer.");
  EXPECT_FALSE(e.peer->WaitForRequests(1, 50));
}

// ---------------------------------------------------------------- command 74

TEST(StatusRead, OptionIsTestedWhateverTheSwitchesSay) {
  struct {
    const char* option;
    std::int32_t code;
  } cases[] = {{"", -74001}, {"x", -74002}, {"XW", -74002}, {"w", -74002}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.option);
    EngineOnPty e(AnswerWith(""));
    ServerSwitches(e.connector());
    e.engine->FLastErrorCode = 123;
    e.engine->FLastErrorMessage = "before";
    AnsiStrings out;
    EXPECT_EQ(e.engine->Run("CMD_74_0_0", {c.option}, out), c.code);
    EXPECT_EQ(e.engine->FLastErrorCode, 123) << "the status read leaves the last error alone";
    EXPECT_EQ(e.engine->FLastErrorMessage, "before");
    EXPECT_FALSE(e.peer->WaitForRequests(1, 50));
  }
}

TEST(StatusRead, StatusBytesComeBackAsDecimalTexts) {
  EngineOnPty e(AnswerWith("ignored,data", {0x80, 0, 0x21, 0x01, 0xFF, 7}));
  ServerSwitches(e.connector());
  AnsiString s0 = "old", s1, s2, s3, s4, s5;
  EXPECT_EQ(e.engine->CMD_74_0_0("W", s0, s1, s2, s3, s4, s5), 0);
  EXPECT_EQ((AnsiStrings {s0, s1, s2, s3, s4, s5}), (AnsiStrings {"128", "0", "33", "1", "255", "7"}));
  EXPECT_EQ(e.engine->CMD_74_0_1(s0, s1, s2, s3, s4, s5), 0);
  EXPECT_EQ(e.peer->Requests().at(1).data, "");
}

TEST(StatusRead, SilentPrinterGivesMinus4AndEmptyValues) {
  EngineOnPty e([](const PeerRequest&, int) { return Reply {}; });
  ServerSwitches(e.connector());
  e.engine->FLastErrorCode = 5;
  AnsiStrings out;
  EXPECT_EQ(e.engine->Run("CMD_74_0_1", {}, out), -4);
  EXPECT_EQ(out, AnsiStrings(6));
  EXPECT_EQ(e.engine->FLastErrorCode, 5);
}

// ---------------------------------------------------------------- texts

TEST(ErrorTexts, FixedTexts) {
  struct {
    std::int32_t code;
    const char16_t* english;
    const char16_t* bulgarian;
  } cases[] = {
      {0, u"Unknown error.", u"Неизвестна грешка."},
      {-1, u"Failed execution of internal initialization.", u"Неуспешно изпълнение на вътрешна инициализация."},
      {-10500, u"Missing input parameter.", u"Липсващ входящ параметър."},
      {-10501, u"Unknown error.", u"Неизвестна грешка."},
      {-10513, u"Check for exceeding the upper limit.",
       u"Проверка за превишаване на горна граница на дължината на параметъра."},
      {-10517, u"Check for exceeding the upper limit of the parameter (Currency value).",
       u"Проверка за превишаване на горна граница на параметъра.(Currency value)."},
      {-10524, u"Missing output parameter.",
       u"При отговор от устройството - липсва изходящ параметър, описан в документацията."},
      {-42004, u"saveLogoFromFileToPrinter: file not exist.", u"saveLogoFromFileToPrinter: file not exist."},
      {-74001, u"Unknown error.", u"Неизвестна грешка."},
      {7, u"Unknown error.", u"Неизвестна грешка."},
  };
  TFP_ZORVIK model(1, 9600);
  for (const auto& c : cases) {
    SCOPED_TRACE(c.code);
    model.SET_ERROR_MESSAGE(c.code);
    EXPECT_EQ(model.FLastErrorCode, c.code);
    EXPECT_EQ(model.FLastErrorMessage, EncodeCodePage(c.english, CP_WESTERN));
    EXPECT_EQ(model.FLastErrorMessage_BG, EncodeCodePage(c.bulgarian, CP_CYRILLIC));
    EXPECT_EQ(model.GET_LASTERROR(1), model.FLastErrorMessage);
    EXPECT_EQ(model.GET_LASTERROR(0), model.FLastErrorMessage_BG);
    EXPECT_EQ(model.GET_LASTERROR(2), "");
  }
}

TEST(ErrorTexts, StatusBitDescriptionsAndStates) {
  TFP_ZORVIK model(1, 9600);
  EXPECT_EQ(model.getStatusDescription(0, 6, 1), u"Cover is open");
  EXPECT_EQ(model.GET_STATUS_DESCRIPTIONEX(0, 6, 0), "");
  EXPECT_EQ(model.GET_STATUS_DESCRIPTIONEX(4, 5, 1), "OR of all mistakes marked by \x91*\x92 from bytes 4 and 5");
  EXPECT_EQ(model.getStatusDescription(4, 5, 7), u"OR of all mistakes marked by \u2018*\u2019 from bytes 4 and 5");
  for (int b = 0; b < 6; ++b)
    for (int k = 0; k < 8; ++k) EXPECT_FALSE(model.GET_BIT_STATE(b, k));
  for (auto [b, k] : {std::pair {-1, 0}, {6, 0}, {0, 8}, {0, -1}, {1000000, 1000000}}) {
    EXPECT_FALSE(model.GET_BIT_STATE(b, k));
    EXPECT_FALSE(model.getBitState(b, k));
    EXPECT_EQ(model.getStatusDescription(b, k, 1), u"");
    EXPECT_EQ(model.GET_STATUS_DESCRIPTIONEX(b, k, 1), "");
  }
}

TEST(RawCommands, CustomCmdTwoAnswersUnicode) {
  EngineOnPty e(AnswerWith("\x80 5"));
  AnsiString in = "x";
  EXPECT_EQ(e.engine->CUSTOM_CMD_2(0x21, in), u"\u20AC 5");
}

}  // namespace
}  // namespace orbantis
