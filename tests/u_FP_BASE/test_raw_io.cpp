// Unframed text out and raw bytes in.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <poll.h>
#include <atomic>
#include <thread>
#include <unistd.h>

#include "support/PtyPair.h"
#include "printer_model/TFP_ZORVIK.h"

namespace orbantis {
namespace {

struct RawLine {
  RawLine() {
    engine = std::make_unique<TFP_ZORVIK>(1, 115200);
    auto& c = *engine->SERIAL_CONNECTION;
    c.DevicePath = pty.SlavePath();
    c.FCommTimeouts.ReadTotalTimeoutConstant = 50;
    EXPECT_EQ(c.Open(), 0);
  }
  std::string readMaster(std::size_t n) {
    std::string s;
    while (s.size() < n) {
      pollfd p {pty.Master(), POLLIN, 0};
      if (::poll(&p, 1, 1000) <= 0) break;
      char buf[256];
      ssize_t r = ::read(pty.Master(), buf, sizeof buf);
      if (r <= 0) break;
      s.append(buf, static_cast<std::size_t>(r));
    }
    return s;
  }
  void writeMaster(const std::string& s) { ASSERT_EQ(::write(pty.Master(), s.data(), s.size()), (ssize_t)s.size()); }

  test::PtyPair pty;
  std::unique_ptr<TFP_ZORVIK> engine;
};

TEST(RawIO, SendStrWritesTheTextAndItsTerminator) {
  RawLine line;
  EXPECT_TRUE(line.engine->SEND_STR(1252, u"AB", true, 0x0D));
  EXPECT_EQ(line.readMaster(3), "AB\r");
  EXPECT_TRUE(line.engine->SEND_STR(1251, u"\u0416", false, 0));
  EXPECT_EQ(line.readMaster(1), "\xC6") << "Zhe in code page 1251";
}

TEST(RawIO, SendStrWithEmptyTextSendsNothingNotEvenTheTerminator) {
  RawLine line;
  EXPECT_TRUE(line.engine->SEND_STR(1252, u"", true, 0x0D));
  pollfd p {line.pty.Master(), POLLIN, 0};
  EXPECT_EQ(::poll(&p, 1, 100), 0);
}

TEST(RawIO, SendStrFailsOnAClosedConnection) {
  RawLine line;
  line.engine->SERIAL_CONNECTION->Close();
  EXPECT_FALSE(line.engine->SEND_STR(1252, u"AB", false, 0));
}

TEST(RawIO, TotalReadWithTerminatorStopsAtIt) {
  RawLine line;
  line.writeMaster(std::string("hello\x0D", 6) + "rest");
  AnsiString out;
  EXPECT_TRUE(line.engine->TOTAL_READ(true, 0x0D, 1000, out));
  EXPECT_EQ(out, "hello\r");
  EXPECT_NE(line.engine->SERIAL_CONNECTION->HEX_ANSWER.find("[0]["), std::string::npos);
  EXPECT_NE(line.engine->SERIAL_CONNECTION->HEX_ANSWER.find("] Answer  : 68 65 6C 6C 6F 0D "), std::string::npos);
}

TEST(RawIO, TotalReadWithTerminatorOnASilentLineFails) {
  RawLine line;
  AnsiString out;
  EXPECT_FALSE(line.engine->TOTAL_READ(true, 0x0D, 100, out));
  EXPECT_EQ(out, AnsiString(1, '\0'));
  line.writeMaster("no terminator");
  EXPECT_FALSE(line.engine->TOTAL_READ(true, 0x0D, 100, out));
}

TEST(RawIO, TotalReadWithoutTerminatorReturnsTheBurst) {
  RawLine line;
  line.writeMaster("burst of bytes");
  AnsiString out;
  EXPECT_TRUE(line.engine->TOTAL_READ(false, 0, 40, out));
  EXPECT_EQ(out, "burst of bytes");
  EXPECT_FALSE(line.engine->TOTAL_READ(false, 0, 40, out)) << "nothing arrived";
}

// A stream longer than the engine's buffer ends the read at the buffer's end.
TEST(RawIO, TotalReadNeverWritesPastItsBuffer) {
  RawLine line;
  const int master = line.pty.Master();
  ::fcntl(master, F_SETFL, ::fcntl(master, F_GETFL) | O_NONBLOCK);
  std::atomic<bool> stop {false};
  std::thread writer([&] {
    const std::string chunk(4096, 'z');
    std::size_t total = 0;
    while (!stop && total < 40 * 1024) {
      pollfd p {master, POLLOUT, 0};
      if (::poll(&p, 1, 100) <= 0) continue;
      ssize_t n = ::write(master, chunk.data(), chunk.size());
      if (n > 0) total += static_cast<std::size_t>(n);
    }
  });
  AnsiString out;
  EXPECT_TRUE(line.engine->TOTAL_READ(false, 0, 20000, out));
  stop = true;
  writer.join();
  EXPECT_EQ(line.engine->FAnswerPos, 32768);
  EXPECT_EQ(out.size(), 1001u);
}

}  // namespace
}  // namespace orbantis
