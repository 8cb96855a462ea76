// The orbantis-emulator command line, as scripts use it: the first line names the wire, the
// options switch on what they say, and SIGTERM ends it cleanly.
// The build passes the program's path as ORBANTIS_EMULATOR_EXE.
#include <gtest/gtest.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <thread>
#include <vector>

#include "ScriptedClient.h"

namespace orbantis::emulator {
namespace {

using testing::ScriptedClient;
using namespace std::chrono_literals;

#ifdef ORBANTIS_EMULATOR_EXE
constexpr const char* kExe = ORBANTIS_EMULATOR_EXE;
#else
constexpr const char* kExe = nullptr;
#endif

// The program with its standard output on a pipe; killed on destruction if still running.
class Program {
 public:
  explicit Program(std::vector<std::string> args) {
    int out[2];
    if (::pipe(out) != 0) throw std::runtime_error("pipe");
    pid_ = ::fork();
    if (pid_ == 0) {
      ::dup2(out[1], STDOUT_FILENO);
      ::close(out[0]);
      ::close(out[1]);
      std::vector<char*> argv{const_cast<char*>(kExe)};
      for (auto& a : args) argv.push_back(a.data());
      argv.push_back(nullptr);
      ::execv(kExe, argv.data());
      ::_exit(127);
    }
    ::close(out[1]);
    out_ = out[0];
  }
  ~Program() {
    if (pid_ > 0) {
      ::kill(pid_, SIGKILL);
      ::waitpid(pid_, nullptr, 0);
    }
    ::close(out_);
  }

  // The next line of standard output, or "" after the time limit.
  std::string line(std::chrono::milliseconds limit = 5000ms) {
    const auto deadline = std::chrono::steady_clock::now() + limit;
    std::string text;
    for (;;) {
      const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
      pollfd p{out_, POLLIN, 0};
      if (left.count() <= 0 || ::poll(&p, 1, static_cast<int>(left.count())) <= 0) return {};
      char c = 0;
      if (::read(out_, &c, 1) != 1) return {};
      if (c == '\n') return text;
      text.push_back(c);
    }
  }

  // Everything up to the end of standard output (bounded by the time limit).
  std::string all(std::chrono::milliseconds limit = 5000ms) {
    const auto deadline = std::chrono::steady_clock::now() + limit;
    std::string text;
    while (std::chrono::steady_clock::now() < deadline) {
      pollfd p{out_, POLLIN, 0};
      if (::poll(&p, 1, 100) <= 0) continue;
      char buf[4096];
      const ssize_t n = ::read(out_, buf, sizeof buf);
      if (n <= 0) break;
      text.append(buf, static_cast<std::size_t>(n));
    }
    return text;
  }

  // Sends the signal and returns the exit status (or -1 if it did not end within the limit).
  int stop(int signal = SIGTERM) {
    ::kill(pid_, signal);
    return wait();
  }

  pid_t pid() const { return pid_; }

  int wait() {
    for (int i = 0; i < 500; ++i) {
      int status = 0;
      if (::waitpid(pid_, &status, WNOHANG) == pid_) {
        pid_ = -1;
        return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
      }
      std::this_thread::sleep_for(10ms);
    }
    return -1;
  }

 private:
  pid_t pid_ = -1;
  int out_ = -1;
};

class CommandLine : public ::testing::Test {
 protected:
  void SetUp() override {
    if (kExe == nullptr) GTEST_SKIP() << "ORBANTIS_EMULATOR_EXE not given by the build";
    dir_ = std::filesystem::temp_directory_path() / ("orbantis-cli-" + std::to_string(::getpid()));
    std::filesystem::create_directories(dir_);
  }
  void TearDown() override {
    if (!dir_.empty()) std::filesystem::remove_all(dir_);
  }
  std::filesystem::path dir_;
};

TEST_F(CommandLine, PtyPrintsItsDeviceFirstAndStopsOnSigterm) {
  const auto link = dir_ / "printer";
  Program emulator({"--pty", "--link", link.string()});
  const auto first = emulator.line();
  ASSERT_EQ(first.rfind("device: /dev/pts/", 0), 0u) << first;
  const auto device = first.substr(8);
  EXPECT_EQ(std::filesystem::read_symlink(link).string(), device);
  {
    auto client = ScriptedClient::pty(link.string());
    const auto reply = client.exchange(48, "1,0000,1");
    ASSERT_TRUE(reply.answer.has_value());
    EXPECT_EQ(reply.answer->data, "1,1");
  }
  // The paper roll follows the first line on standard output.
  EXPECT_NE(emulator.line().find("ORBANTIS SOFTWARE PRINTER"), std::string::npos);
  EXPECT_EQ(emulator.stop(), 0);
  EXPECT_FALSE(std::filesystem::exists(std::filesystem::symlink_status(link)));
}

TEST_F(CommandLine, TcpWithPaperFileAndForcedStatus) {
  const auto paper = dir_ / "roll.txt";
  Program emulator({"--tcp", "0", "--paper", paper.string(), "--status", "2.0", "--status", "5.3=0"});
  const auto first = emulator.line();
  ASSERT_EQ(first.rfind("listening: 127.0.0.1:", 0), 0u) << first;
  auto client = ScriptedClient::tcp(static_cast<std::uint16_t>(std::stoi(first.substr(21))));
  const auto reply = client.exchange(48, "1,0000,1");
  ASSERT_TRUE(reply.answer.has_value());
  EXPECT_EQ(reply.answer->status[2] & 0x01, 0x01);
  EXPECT_EQ(reply.answer->status[5] & 0x08, 0x00);
  EXPECT_EQ(emulator.stop(SIGINT), 0);
  std::ifstream in(paper);
  std::stringstream roll;
  roll << in.rdbuf();
  EXPECT_NE(roll.str().find("TILL 1"), std::string::npos);
}

TEST_F(CommandLine, HelpNamesEveryOption) {
  Program help({"--help"});
  const auto text = help.all();
  EXPECT_EQ(help.wait(), 0);
  for (const char* option : {"--pty", "--link", "--tcp", "--paper", "--baud", "--print-time", "--nak-every",
                             "--bad-checksum", "--wrong-seq", "--wrong-cmd", "--truncate", "--silent", "--drop-after",
                             "--lose-request", "--lose-answer", "--drop-link", "SIGUSR1", "--power-cycle", "SIGUSR2", "--status", "--state", "--trace",
                             "device: /dev/pts/N", "listening: 127.0.0.1:PORT"}) {
    EXPECT_NE(text.find(option), std::string::npos) << option;
  }
}

// A frame fault from the command line: the second request is carried out and
// its answer lost, the printer stays cut off, and SIGUSR1 brings it back.
TEST_F(CommandLine, LostAnswerCutsThePrinterOffUntilSigusr1) {
  Program emulator({"--tcp", "0", "--lose-answer", "2", "--paper", (dir_ / "roll.txt").string()});
  const auto first = emulator.line();
  ASSERT_EQ(first.rfind("listening: 127.0.0.1:", 0), 0u) << first;
  auto client = ScriptedClient::tcp(static_cast<std::uint16_t>(std::stoi(first.substr(21))));
  ASSERT_TRUE(client.exchange(48, "1,0000,1").answer.has_value());
  EXPECT_FALSE(client.exchange(49, "Tea\tA1.00", 300ms).answer.has_value()) << "the answer was lost";
  EXPECT_FALSE(client.exchange(76, "", 300ms).answer.has_value()) << "cut off";
  ::kill(emulator.pid(), SIGUSR1);
  std::this_thread::sleep_for(100ms);
  const auto status = client.exchange(76, "");
  ASSERT_TRUE(status.answer.has_value());
  EXPECT_EQ(status.answer->data.substr(0, 4), "1,1,") << "the lost one was sold, once";
  EXPECT_EQ(emulator.stop(), 0);
}

// SIGUSR2 switches the printer off and on: the open receipt stays, the last
// request is forgotten, so its repeat is carried out again.
TEST_F(CommandLine, Sigusr2IsAPowerCycle) {
  Program emulator({"--tcp", "0", "--paper", (dir_ / "roll.txt").string()});
  const auto first = emulator.line();
  ASSERT_EQ(first.rfind("listening: 127.0.0.1:", 0), 0u) << first;
  auto client = ScriptedClient::tcp(static_cast<std::uint16_t>(std::stoi(first.substr(21))));
  ASSERT_TRUE(client.exchange(48, "1,0000,1").answer.has_value());
  ASSERT_TRUE(client.exchange(49, "Tea\tA1.00").answer.has_value());
  ::kill(emulator.pid(), SIGUSR2);
  // Until the signal is taken, a repeat gets the remembered answer and sells
  // nothing; the first repeat after it sells again (the roll shows it).
  const auto roll = dir_ / "roll.txt";
  auto teas = [&] {
    std::ifstream file(roll);
    std::stringstream read;
    read << file.rdbuf();
    const std::string text = read.str();
    std::size_t n = 0;
    for (auto at = text.find("Tea"); at != std::string::npos; at = text.find("Tea", at + 1)) ++n;
    return n;
  };
  for (int i = 0; i < 100 && teas() < 2; ++i) {
    ASSERT_TRUE(client.repeat().answer.has_value());
    if (teas() < 2) std::this_thread::sleep_for(20ms);
  }
  const auto status = client.exchange(76, "");
  ASSERT_TRUE(status.answer.has_value());
  EXPECT_EQ(status.answer->data.substr(0, 4), "1,2,") << "still open, and the repeat sold again";
  EXPECT_EQ(emulator.stop(), 0);
}

// Killed and started again on its state file, the printer is the same device: the receipt it held
// is still open with its sale, and the numbers go on.
TEST_F(CommandLine, StateFileKeepsThePrinterAcrossAKill) {
  const std::string state = (dir_ / "printer.json").string();
  auto startOn = [&](Program& emulator) {
    const auto first = emulator.line();
    EXPECT_EQ(first.rfind("listening: 127.0.0.1:", 0), 0u) << first;
    return ScriptedClient::tcp(static_cast<std::uint16_t>(std::stoi(first.substr(21))));
  };
  {
    Program emulator({"--tcp", "0", "--paper", (dir_ / "roll.txt").string(), "--state", state});
    auto client = startOn(emulator);
    ASSERT_TRUE(client.exchange(48, "1,0000,1").answer.has_value());
    ASSERT_TRUE(client.exchange(49, "Tea\tA1.00").answer.has_value());
    ASSERT_TRUE(client.exchange(56, "").answer.has_value());
    ASSERT_TRUE(client.exchange(48, "1,0000,1").answer.has_value());
    ASSERT_TRUE(client.exchange(49, "Cake\tA2.00").answer.has_value());
    ::kill(emulator.pid(), SIGKILL);
  }
  // --serial gives way to the device's own number in the file.
  Program again({"--tcp", "0", "--paper", (dir_ / "roll.txt").string(), "--state", state, "--serial", "OB00000009"});
  auto client = startOn(again);
  const auto open = client.exchange(76, "");
  ASSERT_TRUE(open.answer.has_value());
  EXPECT_EQ(open.answer->data.substr(0, 9), "1,1,2.00,") << "the receipt of Cake is still open";
  ASSERT_TRUE(client.exchange(56, "").answer.has_value());
  const auto next = client.exchange(48, "1,0000,1");
  ASSERT_TRUE(next.answer.has_value());
  EXPECT_EQ(next.answer->data, "3,3");
  const auto serial = client.exchange(90, "");
  ASSERT_TRUE(serial.answer.has_value());
  EXPECT_NE(serial.answer->data.find("OB00000001"), std::string::npos) << serial.answer->data;
  EXPECT_EQ(again.stop(), 0);

  // A file it cannot read stops the start with a message, and the file stays as it was.
  std::ofstream(state, std::ios::trunc) << "{\"format\": 99}";
  Program damaged({"--tcp", "0", "--state", state});
  EXPECT_EQ(damaged.wait(), 1);
  std::ifstream kept(state);
  std::stringstream text;
  text << kept.rdbuf();
  EXPECT_EQ(text.str(), "{\"format\": 99}");
}

TEST_F(CommandLine, MistakesEndWithUsageErrors) {
  const std::vector<std::vector<std::string>> kCases = {
      {"--frobnicate"}, {"--tcp"}, {"--tcp", "x"}, {"--status", "6.0"}, {"--status", "2.8"}, {"--baud", "-5"},
  };
  for (const auto& args : kCases) {
    Program bad(args);
    EXPECT_EQ(bad.wait(), 2) << args.front();
  }
}

}  // namespace
}  // namespace orbantis::emulator
