// The automation object without the bus: connection methods, header and
// footer, debug properties, events.
#include <atomic>
#include <gtest/gtest.h>

#include <fstream>
#include <functional>
#include <iterator>
#include <thread>

#include "Emulator.h"
#include "support/PtyPair.h"
#include "support/ScopedEnv.h"
#include "support/ScriptedPeer.h"
#include "support/TempDir.h"
#include "journal/Journal.h"
#include "receipts/ReceiptService.h"
#include "uORBANTIS/TKELMORA.h"
#include "foundation/CodePage.h"
#include "uErrLog/uErrLog.h"

namespace orbantis {
namespace {

struct RecordingSink : IKELMORAEvents {
  std::vector<std::pair<std::int32_t, WideString>> errors;
  void ON_ERROR(std::int32_t code, const WideString& text) override { errors.emplace_back(code, text); }
  void OnProgress(std::int32_t, const WideString&) override {}
  void OnStartProgress() override {}
  void OnEndProgress() override {}
};

class ObjectTest : public ::testing::Test {
 protected:
  void Connect() {
    ASSERT_EQ(object.initFiscalPrinterDevice(Utf8ToWide(emu.startPty()), 115200, true, true), 0);
    ASSERT_EQ(object.CONNECT_TO_PRINTER(), 0);
  }
  test::TempDir dir;
  test::ScopedEnv data {"XDG_DATA_HOME", dir.Path() + "data"};
  emulator::Emulator emu;
  TKELMORA object;
};

// A printer that records what it is sent and refuses a footer line "x".
struct ScriptedObject {
  ScriptedObject()
      : peer(pty.Master(), [](const test::PeerRequest& r, int) {
          const std::string data = r.cmd == 0x5A ? "FP,1.0,CHK,SW,SERIAL" : "";
          const test::Status status = r.data == "6x" ? test::Status {0x21, 0, 0, 0, 0, 0} : test::Status {};
          return test::Reply {{test::AnswerFrame(r.seq, r.cmd, data, status)}};
        }) {
    EXPECT_EQ(object.initFiscalPrinterDevice(Utf8ToWide(pty.SlavePath()), 115200, true, true), 0);
    EXPECT_EQ(object.CONNECT_TO_PRINTER(), 0);
  }
  std::vector<std::string> Sent(std::uint8_t cmd) {
    std::vector<std::string> data;
    for (const auto& r : peer.Requests())
      if (r.cmd == cmd) data.push_back(r.data);
    return data;
  }
  test::PtyPair pty;
  test::ScriptedPeer peer;
  TKELMORA object;
};

TEST_F(ObjectTest, HeaderLinesAreCutJoinedWithTabsAndCutAgain) {
  ScriptedObject o;
  const WideString line50(50, u'h');
  EXPECT_EQ(o.object.setHeader(line50, line50, line50, line50, line50, line50), 0);
  EXPECT_EQ(o.object.setHeader(u"", u"", u"", u"", u"", u""), 0);
  std::string joined;
  for (int i = 0; i < 6; ++i) joined += (i ? "\t" : "") + std::string(42, 'h');
  EXPECT_EQ(o.Sent(43), (std::vector<std::string> {"0" + joined.substr(0, 218), "0\t\t\t\t\t"}));
}

TEST_F(ObjectTest, FooterGoesAsTwoItemsAndStopsAtTheFirstRefusal) {
  ScriptedObject o;
  EXPECT_EQ(o.object.setFooter(u"Thank you", u"Come again"), 0);
  EXPECT_EQ(o.object.setFooter(u"x", u"never sent"), -4);
  EXPECT_EQ(o.Sent(43), (std::vector<std::string> {"6Thank you", "7Come again", "6x"}));
}

TEST_F(ObjectTest, WithoutAPrinterObject) {
  // The code and the text agree, as after every other method.
  const WideString noPrinter = u"No connection to the printer: call CONNECT_TO_PRINTER first.";
  EXPECT_EQ(object.setHeader(u"a", u"", u"", u"", u"", u""), -1);
  EXPECT_EQ(object.GetLastErrorCode(), -1);
  EXPECT_EQ(object.GetLastErrorMessage(), noPrinter);
  TKELMORA second;
  EXPECT_EQ(second.setFooter(u"a", u"b"), -1);
  EXPECT_EQ(second.GetLastErrorCode(), -1);
  EXPECT_EQ(second.GetLastErrorMessage(), noPrinter);
  EXPECT_EQ(object.CLOSE_CONNECTION(), 0);
  EXPECT_FALSE(object.GET_BIT_STATE(0, 0));
  EXPECT_EQ(object.getLogoFromPrinter(u"x.bmp"), -2) << "no logo forms installed";
}

TEST_F(ObjectTest, ConnectToAMissingPortFiresOnErrorOnce) {
  auto sink = std::make_shared<RecordingSink>();
  object.EventSinkChanged(sink);
  ASSERT_EQ(object.initFiscalPrinterDevice(u"/dev/orbantis-no-such-port", 115200, true, true), 0);
  EXPECT_EQ(object.CONNECT_TO_PRINTER(), -100);
  EXPECT_EQ(object.GetLastErrorMessage(), u"Server can not open COM port.");
  ASSERT_EQ(sink->errors.size(), 1u);
  EXPECT_EQ(sink->errors[0].first, -100);
}

// "Server can not open COM port." stays the message callers compare; the
// detail says which port, why, and what to do.
TEST_F(ObjectTest, AnOpenFailureTellsItsCauseInTheDetail) {
  test::PtyPair held;
  auto holder = std::make_unique<TFP_ZORVIK>(1, 115200);
  holder->SERIAL_CONNECTION->DevicePath = held.SlavePath();
  ASSERT_EQ(holder->SERIAL_CONNECTION->Open(), 0);
  const std::string plainFile = dir.Path() + "plain-file";
  { std::ofstream(plainFile) << "x"; }
  test::PtyPair free;
  const struct {
    const char* name;
    std::string device;
    std::int32_t baud;
    std::string detail;  // a part of it
  } cases[] = {
      {"missing device", "/dev/orbantis-no-such-port", 115200, "/dev/orbantis-no-such-port does not exist"},
      {"not a serial port", plainFile, 115200, plainFile + " is not a serial port"},
      {"bad rate", free.SlavePath(), 250000, "unsupported baud rate 250000 (use 1200 to 230400)"},
      {"held by another", held.SlavePath(), 115200, "is held by "},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    ASSERT_EQ(object.initFiscalPrinterDevice(Utf8ToWide(c.device), c.baud, true, true), 0);
    EXPECT_LT(object.CONNECT_TO_PRINTER(), 0);
    EXPECT_EQ(object.GetLastErrorMessage(), u"Server can not open COM port.");
    EXPECT_NE(WideToUtf8(object.GetLastErrorDetail()).find(c.detail), std::string::npos)
        << WideToUtf8(object.GetLastErrorDetail());
  }
  ASSERT_EQ(object.INIT_MY_FP2(u"127.0.0.1", u"1"), 0);
  EXPECT_LT(object.CONNECT_TO_PRINTER(), 0);
  EXPECT_NE(WideToUtf8(object.GetLastErrorDetail()).find("127.0.0.1:1"), std::string::npos)
      << WideToUtf8(object.GetLastErrorDetail());
  Connect();
  EXPECT_EQ(object.GetLastErrorDetail(), u"") << "empty after a successful connect";
}

TEST_F(ObjectTest, ASecondInitialiserClosesThePort) {
  Connect();
  ASSERT_NE(object.printer(), nullptr);
  EXPECT_EQ(object.INIT_MY_FP(1, 9600, true, true, 0), 0);
  EXPECT_EQ(object.printer(), nullptr);
  EXPECT_EQ(object.GetLastErrorCode(), 0);
}

TEST_F(ObjectTest, DebugFolderGetsItsTrailingSlash) {
  test::ScopedEnv runtime("XDG_RUNTIME_DIR", "/run/user/1000");
  struct {
    const char16_t* given;
    const char16_t* kept;
  } cases[] = {{u"/var/tmp/trace", u"/var/tmp/trace/"},
               {u"/var/tmp/trace/", u"/var/tmp/trace/"},
               {u"", u"/run/user/1000/ORBANTIS/"}};
  for (const auto& c : cases) {
    object.set_debugFolder(c.given);
    EXPECT_EQ(object.debugFolder(), c.kept);
  }
  object.set_debugMode(true);
  Connect();
  EXPECT_TRUE(object.debugMode()) << "kept on the object and given to the printer object";
  EXPECT_EQ(object.printer()->SERIAL_CONNECTION->DEBUG_FOLDER, "/run/user/1000/ORBANTIS/");
}

TEST_F(ObjectTest, TcpAddressWithABadPortIsRefused) {
  EXPECT_EQ(object.INIT_MY_FP2(u"127.0.0.1", u"http"), -2);
  EXPECT_EQ(object.INIT_MY_FP2(u"127.0.0.1", u"70000"), -2);
}

// Cyrillic printers: with codePage 1251 a Cyrillic item name goes to the
// printer in code page 1251 and prints as itself; with the default 1252 the
// low-level methods keep sending "?" for what the code page cannot hold.
TEST(CodePage, CyrillicGoesOutIn1251AndPrintsAsItselfAnd1252RefusesItUnlessAskedToReplace) {
  test::TempDir dir;
  test::ScopedEnv data {"XDG_DATA_HOME", dir.Path() + "data"};
  const struct {
    std::int32_t codePage;
    bool replace;
    std::int32_t result;
    const char* printed;  // nullptr: the line is not on the paper
  } cases[] = {{1251, false, 0, "Кафе"}, {1252, false, -3, nullptr}, {1252, true, 0, "????"}};
  for (const auto& c : cases) {
    SCOPED_TRACE(testing::Message() << c.codePage << (c.replace ? " replacing" : ""));
    emulator::Emulator::Options options;
    options.codePage = static_cast<unsigned>(c.codePage);
    emulator::Emulator emu(options);
    TKELMORA object;
    object.set_codePage(c.codePage);
    object.set_replaceUnmappable(c.replace);
    EXPECT_EQ(object.codePage(), c.codePage);
    ASSERT_EQ(object.initFiscalPrinterDevice(Utf8ToWide(emu.startPty()), 115200, true, true), 0);
    ASSERT_EQ(object.CONNECT_TO_PRINTER(), 0);
    WideStrings none;
    EXPECT_EQ(object.CommandMethod("CMD_48_0_0", {u"1", u"0000", u"1"}, none = {u"", u""}), 0);
    WideStrings out;
    EXPECT_EQ(object.CommandMethod("CMD_49_0_11", {u"Кафе", u"A", u"1.00", u"1", u"pc"}, out), c.result);
    if (c.printed) EXPECT_NE(emu.paperText().find(c.printed), std::string::npos) << emu.paperText();
    else EXPECT_EQ(emu.paperText().find("1.00"), std::string::npos) << emu.paperText();
  }
  TKELMORA object;
  EXPECT_EQ(object.codePage(), 1252) << "the default";
  EXPECT_FALSE(object.replaceUnmappable()) << "the default";
  EXPECT_THROW(object.set_codePage(866), Exception);
  EXPECT_EQ(object.codePage(), 1252);
}

// Every way a text reaches the printer refuses a character the code page
// cannot print: nothing is sent, the call answers the method's code, the last
// error names the parameter and the character in both languages, the engine
// log has the refusal, and ON_ERROR comes only from the methods that fire it.
TEST_F(ObjectTest, TextTheCodePageCannotPrintIsRefusedOnEveryPath) {
  const WideString line50(50, u'h');
  const WideString beyondTheCut = WideString(42, u'h') + u"Ж";  // the Ж is cut off: nothing is lost
  const struct {
    const char* name;
    std::function<std::int32_t(TKELMORA&)> call;
    std::int32_t result;
    const char* parameter;  // nullptr: the call goes through
    char32_t character;
    const char* logRow;  // the refusal's log line; or, for a call that goes through, what it sends:
    bool fires;
    std::uint8_t sentCommand = 0;
    std::string sentData = {};
  } cases[] = {
      {"a sale's text",
       [](TKELMORA& o) {
         WideStrings out;
         return o.CommandMethod("CMD_49_0_11", {u"Кафе", u"A", u"1.00", u"1", u"pc"}, out);
       },
       -3, "L1", 0x041A, "CMD_49_0_11", false},
      {"a buyer's line, before any unfinished receipt is looked at",
       [](TKELMORA& o) {
         WideStrings out(2);
         return o.CommandMethod("CMD_48_0_1",
                                {u"1", u"0000", u"1", u"Acme", u"Main St. 1", u"Sofia \U0001F600", u"1", u"2"}, out);
       },
       -3, "BuyerLine3", 0x1F600, "CMD_48_0_1", false},
      {"a status read's option",
       [](TKELMORA& o) {
         WideStrings out(6);
         return o.CommandMethod("CMD_74_0_0", {u"Ж"}, out);
       },
       -3, "Option", 0x0416, "CMD_74_0_0", true},
      {"CUSTOM_CMD's data, with the method's own code",
       [](TKELMORA& o) {
         WideString in = u"1Caf\u00E9 \u0426", out;
         return o.CUSTOM_CMD(43, in, out) ? 0 : -4;
       },
       -4, "INPUT_STR", 0x0426, "CUSTOM_CMD", true},
      {"a header line",
       [line50](TKELMORA& o) { return o.setHeader(line50, u"ok", u"Ц", u"", u"", u""); }, -3, "headerLine3", 0x0426,
       "CMD_43_0_0", false},
      {"a header line whose character the cut leaves out",
       [beyondTheCut](TKELMORA& o) { return o.setHeader(beyondTheCut, u"", u"", u"", u"", u""); }, 0, nullptr, 0,
       nullptr, false, 43, "0" + std::string(42, 'h') + "\t\t\t\t\t"},
      {"a sale's text whose character the row's cut leaves out",
       [](TKELMORA& o) {
         WideStrings out;
         return o.CommandMethod("CMD_49_0_11", {WideString(36, u'a') + u"Ж", u"A", u"1.00", u"1", u"pc"}, out);
       },
       0, nullptr, 0, nullptr, false, 49, std::string(36, 'a') + "\tA1.00*1#pc"},
      {"a footer's second line: the first is not sent either",
       [](TKELMORA& o) { return o.setFooter(u"Thank you", u"Благодарим"); }, -3, "footerLine2", 0x0411,
       "CMD_43_0_0", false},
      {"a decomposed letter the page has no letter for",
       [](TKELMORA& o) { return o.setFooter(u"\u0438\u0306", u""); }, -3, "footerLine1", 0x0439, "CMD_43_0_0",
       false},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    ScriptedObject o;
    auto sink = std::make_shared<RecordingSink>();
    o.object.EventSinkChanged(sink);
    const std::size_t before = o.peer.Requests().size();
    EXPECT_EQ(c.call(o.object), c.result);
    if (!c.parameter) {
      EXPECT_EQ(o.peer.Requests().size(), before + 1);
      EXPECT_EQ(o.Sent(c.sentCommand), (std::vector<std::string> {c.sentData}));
      continue;
    }
    EXPECT_EQ(o.peer.Requests().size(), before) << "nothing reached the printer";
    const std::string name = CodePointName(c.character);
    const std::string english = "Parameter " + std::string(c.parameter) + " holds " + name +
                                ", a character code page 1252 cannot print; nothing was sent to the printer. Write "
                                "the text without it, or set replaceUnmappable to print \"?\" in its place.";
    EXPECT_EQ(o.object.GetLastErrorCode(), c.result);
    EXPECT_EQ(WideToUtf8(o.object.GetLastErrorMessage()), english);
    const std::string bulgarian = WideToUtf8(DecodeCodePage(o.object.printer()->GET_LASTERROR(0), CP_CYRILLIC));
    EXPECT_EQ(bulgarian.rfind("Параметърът " + std::string(c.parameter) + " съдържа " + name + ", знак, който", 0), 0u)
        << bulgarian;
    if (c.fires) {
      ASSERT_EQ(sink->errors.size(), 1u);
      EXPECT_EQ(sink->errors[0].first, c.result);
      EXPECT_EQ(WideToUtf8(sink->errors[0].second), english);
    } else {
      EXPECT_TRUE(sink->errors.empty());
    }
    std::ifstream log(dir.Path() + "data/ORBANTIS/" + LogFileName());
    const std::string logText((std::istreambuf_iterator<char>(log)), std::istreambuf_iterator<char>());
    EXPECT_NE(logText.find("TFP_ZORVIK." + std::string(c.logRow) + ".CONSTRUCT_INPUT: " + english),
              std::string::npos)
        << logText;
  }
}

// With replaceUnmappable the text goes as before, "?" in place of what the
// code page cannot print; the header and footer cuts never split a character
// written as two UTF-16 units.
TEST_F(ObjectTest, ReplacingPrintsQuestionMarksAndCutsNeverSplitACharacter) {
  ScriptedObject o;
  o.object.set_replaceUnmappable(true);
  EXPECT_EQ(o.object.setFooter(u"Кафе", WideString(41, u'f') + u"\U0001F600"), 0);
  WideString in = u"1\u0426", out;
  EXPECT_TRUE(o.object.CUSTOM_CMD(43, in, out));
  EXPECT_EQ(o.Sent(43), (std::vector<std::string> {"6????", "7" + std::string(41, 'f'), "1?"}));
}

const WideString kNoTarget =
    u"No printer to connect to: the last initialiser failed or none ran. Call initFiscalPrinter, "
    u"initFiscalPrinterDevice, INIT_MY_FP or INIT_MY_FP2 first.";

// A failed INIT_MY_FP2 forgets the printer an earlier call named: the next
// connect fails with its own text instead of reaching the old printer.
TEST_F(ObjectTest, AFailedTcpInitialiserLeavesNoTargetBehind) {
  test::ScriptedPeer peer([](const test::PeerRequest& r, int) {
    return test::Reply {{test::AnswerFrame(r.seq, r.cmd, r.cmd == 0x5A ? "FP,1.0,CHK,SW,SERIAL" : "")}};
  });
  ASSERT_EQ(object.INIT_MY_FP2(u"127.0.0.1", Utf8ToWide(std::to_string(peer.Port()))), 0);
  ASSERT_EQ(object.CONNECT_TO_PRINTER(), 0);
  ASSERT_EQ(peer.Connections(), 1);

  auto sink = std::make_shared<RecordingSink>();
  object.EventSinkChanged(sink);
  EXPECT_EQ(object.INIT_MY_FP2(u"127.0.0.1", u"70000"), -2);
  EXPECT_EQ(object.CONNECT_TO_PRINTER(), -1);
  EXPECT_EQ(object.GetLastErrorCode(), -1);
  EXPECT_EQ(object.GetLastErrorMessage(), kNoTarget);
  EXPECT_EQ(object.printer(), nullptr);
  ASSERT_EQ(sink->errors.size(), 2u) << "the failed initialiser and the failed connect";
  EXPECT_EQ(sink->errors[1], std::make_pair(std::int32_t {-1}, kNoTarget));
  EXPECT_EQ(peer.Connections(), 1) << "the old printer was not reached again";

  // A good initialiser names a printer again.
  ASSERT_EQ(object.INIT_MY_FP2(u"127.0.0.1", Utf8ToWide(std::to_string(peer.Port()))), 0);
  EXPECT_EQ(object.CONNECT_TO_PRINTER(), 0);
}

TEST_F(ObjectTest, ConnectBeforeAnyInitialiserSaysWhatToCallFirst) {
  EXPECT_EQ(object.CONNECT_TO_PRINTER(), -1);
  EXPECT_EQ(object.GetLastErrorMessage(), kNoTarget);
}

// A raw command refused for its length reaches the client with the text a
// command method gives, in the event and in the last error.
TEST_F(ObjectTest, CustomCommandRefusedForItsLengthSaysWhy) {
  ScriptedObject o;
  auto sink = std::make_shared<RecordingSink>();
  o.object.EventSinkChanged(sink);
  WideString in(220, u'x'), out;
  EXPECT_FALSE(o.object.CUSTOM_CMD(0x21, in, out));
  const WideString text =
      u"Unsuccessful command execution.\r\nThe data field is longer than 219 bytes; nothing was sent to the printer.";
  EXPECT_EQ(o.object.GetLastErrorCode(), -4);
  EXPECT_EQ(o.object.GetLastErrorMessage(), text);
  ASSERT_EQ(sink->errors.size(), 1u);
  EXPECT_EQ(sink->errors[0], std::make_pair(std::int32_t {-4}, text));
  EXPECT_TRUE(o.Sent(0x21).empty());
}

// A receipt whose close went out but whose answer was lost is settled when
// the printer is connected again, before anything else: the journal then
// says printed, without the till sending the receipt again.
// An object connected to the software printer with short waits, whose
// whole receipts go to a journal of the test's own.
class ObjectWithJournal : public ObjectTest {
 protected:
  void SetUp() override {
    TKELMORA::SetReceipts(std::make_shared<receipts::ReceiptService>(journal));
    Connect();
    auto& c = *object.printer()->SERIAL_CONNECTION;
    c.EXIT_BYTIMEVAR = 100;
    c.FCommTimeouts.ReadTotalTimeoutConstant = 100;
  }
  void TearDown() override { TKELMORA::SetReceipts(nullptr); }
  journal::Journal journal {dir.Path() + "journal.sqlite"};
};

TEST_F(ObjectWithJournal, AReceiptLeftUnfinishedIsSettledWhenThePrinterIsConnectedAgain) {
  // Open, the sale, subtotal, group sums, payment, then the close: its answer is lost.
  emu.faults().setFrameFault(emulator::FrameFault::loseAnswer, 6);
  WideString answer;
  const std::int32_t first = object.printReceipt(
      uR"({"key": "k", "operator": {"code": 1, "password": "0000", "till": 1},
           "items": [{"text": "Tea", "taxGroup": "A", "price": "1.50", "unit": "cup"}]})",
      answer);
  EXPECT_EQ(first, receipts::RECEIPT_PENDING) << WideToUtf8(answer);
  EXPECT_EQ(object.GetLastErrorCode(), receipts::RECEIPT_PENDING);
  EXPECT_EQ(journal.Find("k")->state, journal::State::Closing);

  emu.faults().restore();
  ASSERT_EQ(object.CONNECT_TO_PRINTER(), 0);
  EXPECT_EQ(object.GetLastErrorCode(), 0) << "settling does not colour the connect's own result";
  const auto settled = journal.Find("k");
  EXPECT_EQ(settled->state, journal::State::Printed);
  EXPECT_EQ(settled->globRecCnt, "1");
  EXPECT_EQ(emu.inspect([](const emulator::Printer& p) { return p.day().fiscalReceipts; }), 1);
}

// A command method or a raw command that opens a receipt waits for the whole
// receipts the printer left unfinished: while one cannot be settled it is
// refused unsent, naming the key; once the printer answers, the unfinished
// receipt is settled first and the command goes out.
TEST_F(ObjectWithJournal, NoReceiptOpensBeforeAWholeReceiptLeftUnfinishedIsSettled) {
  // The close is lost, and the printer stays cut off.
  std::atomic<bool> fired {false};
  emu.setRequestHook([&](std::uint8_t cmd) {
    if (cmd == 56 && !fired.exchange(true)) emu.faults().setFrameFault(emulator::FrameFault::loseRequest, 1);
  });
  WideString answer;
  ASSERT_EQ(object.printReceipt(uR"({"key": "k", "operator": {"code": 1, "password": "0000", "till": 1},
           "items": [{"text": "Tea", "taxGroup": "A", "price": "1.50", "unit": "cup"}]})",
                                answer),
            receipts::RECEIPT_PENDING);
  emu.setRequestHook(nullptr);
  const auto opens = [&] { return emu.executions(48); };
  ASSERT_EQ(opens(), 1u);

  WideStrings out(2);
  EXPECT_EQ(object.CommandMethod("CMD_48_0_0", {u"2", u"0000", u"2"}, out), receipts::OPEN_REFUSED_UNSETTLED);
  EXPECT_EQ(object.GetLastErrorCode(), receipts::OPEN_REFUSED_UNSETTLED);
  const std::string message = WideToUtf8(object.GetLastErrorMessage());
  EXPECT_NE(message.find("The whole receipt k on this printer is not settled"), std::string::npos) << message;
  WideString raw = u"2,0000,2", rawOut;
  EXPECT_FALSE(object.CUSTOM_CMD(48, raw, rawOut));
  EXPECT_EQ(object.GetLastErrorCode(), receipts::OPEN_REFUSED_UNSETTLED);
  EXPECT_EQ(opens(), 1u) << "nothing opened";

  emu.faults().restore();
  EXPECT_EQ(object.CommandMethod("CMD_48_0_0", {u"2", u"0000", u"2"}, out), 0);
  EXPECT_EQ(journal.Find("k")->state, journal::State::Printed);
  EXPECT_EQ(emu.inspect([](const emulator::Printer& p) { return p.day().fiscalReceipts; }), 1);
  EXPECT_EQ(opens(), 2u);
  EXPECT_EQ(WideToUtf8(out[1]), "2") << "the new receipt's number";
}

}  // namespace
}  // namespace orbantis

namespace orbantis {
namespace {

// Objects of one user share the log folder; connecting them at the same
// moment must not make one of them lose its log and fail.
TEST(ObjectsTogether, ConnectAtTheSameMoment) {
  test::TempDir dir;
  test::ScopedEnv data("XDG_DATA_HOME", dir.Path() + "data");
  constexpr int kObjects = 8;
  std::vector<std::unique_ptr<emulator::Emulator>> printers;
  std::vector<std::unique_ptr<TKELMORA>> objects;
  for (int i = 0; i < kObjects; ++i) {
    printers.push_back(std::make_unique<emulator::Emulator>());
    objects.push_back(std::make_unique<TKELMORA>());
    objects.back()->initFiscalPrinterDevice(Utf8ToWide(printers.back()->startPty()), 115200, true, true);
  }
  for (int round = 0; round < 5; ++round) {
    std::vector<std::thread> threads;
    std::vector<std::int32_t> results(kObjects, 1);
    for (int i = 0; i < kObjects; ++i) threads.emplace_back([&, i] { results[i] = objects[i]->CONNECT_TO_PRINTER(); });
    for (auto& t : threads) t.join();
    for (int i = 0; i < kObjects; ++i) EXPECT_EQ(results[i], 0) << "object " << i << ", round " << round;
  }
}

}  // namespace
}  // namespace orbantis
