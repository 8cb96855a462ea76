// Engine log, program-side log, start-up log.
#include <gtest/gtest.h>

#include <sys/stat.h>

#include <unistd.h>

#include <cstdlib>

#include "printer_model/TFP_ZORVIK.h"
#include "support/EngineFixture.h"
#include "support/ScopedEnv.h"
#include "support/TempDir.h"
#include "uErrLog/uErrLog.h"

namespace orbantis {
namespace {

mode_t ModeOf(const std::string& path) {
  struct stat st {};
  ::stat(path.c_str(), &st);
  return st.st_mode & 0777;
}

using test::ScopedEnv;

TEST(EngineLog, SetLogFolderCreatesAFreshPrivateLog) {
  test::TempDir dir;
  const std::string folder = dir.Path() + "a/b/";
  TFP_ZORVIK engine(1, 9600);
  ASSERT_EQ(engine.SET_LOG_FOLDER(folder), 0);
  const std::string file = folder + "orbantis_LOG.txt";
  std::string text = test::ReadFile(file);
  ASSERT_GE(text.size(), std::string(":Log file creation\r\n").size());
  EXPECT_EQ(text.substr(text.size() - 20), ":Log file creation\r\n");
  EXPECT_EQ(text.find("\r\n"), text.size() - 2) << "one line only";
  EXPECT_EQ(ModeOf(file), 0600u);
  EXPECT_EQ(ModeOf(folder), 0700u);
  EXPECT_EQ(engine.LOG_FOLDER, folder);
  EXPECT_EQ(engine.SERIAL_CONNECTION->LOG_FOLDER, folder);

  engine.WriteEngineLog("something happened");
  EXPECT_NE(test::ReadFile(file).find(":something happened\r\n"), std::string::npos);

  // The next connect starts a fresh log and keeps this one as .1.
  TFP_ZORVIK again(1, 9600);
  ASSERT_EQ(again.SET_LOG_FOLDER(folder), 0);
  EXPECT_EQ(test::ReadFile(file).find("something happened"), std::string::npos);
  EXPECT_NE(test::ReadFile(file + ".1").find(":something happened\r\n"), std::string::npos);
  EXPECT_EQ(ModeOf(file + ".1"), 0600u);
  ASSERT_EQ(engine.SET_LOG_FOLDER(folder), 0);
  EXPECT_EQ(test::ReadFile(file).find("something happened"), std::string::npos) << "every connection starts afresh";
}

TEST(EngineLog, UnusableFolderIsReported) {
  TFP_ZORVIK engine(1, 9600);
  EXPECT_EQ(engine.SET_LOG_FOLDER("/proc/orbantis-no/"), -1);
  EXPECT_EQ(engine.SET_LOG_FOLDER(""), -1);
  EXPECT_EQ(engine.LOG_FOLDER, "");
}

TEST(EngineLog, FolderWithoutTrailingSlashPrefixesTheFileName) {
  test::TempDir dir;
  WRITE_LOG(dir.Path() + "logs", "x");
  EXPECT_TRUE(test::FileExists(dir.Path() + "logsorbantis_LOG.txt"));
}

TEST(EngineLog, RawEntriesCarryNoTimeStamp) {
  test::TempDir dir;
  WRITE_LOG_RAW(dir.Path(), "line one\r\nline two");
  EXPECT_EQ(test::ReadFile(dir.Path() + "orbantis_LOG.txt"), "line one\r\nline two\r\n");
}

TEST(EngineLog, WritersRaiseWhenTheFileCannotBeWritten) {
  EXPECT_THROW(WRITE_LOG("/proc/orbantis-no/", "x"), Exception);
}

TEST(ProgramLog, LivesInTheUsersLogFolder) {
  test::TempDir dir;
  ScopedEnv data("XDG_DATA_HOME", dir.Path() + "data");
  WRITE_EXE_LOG("TFP_ZORVIK.Check_Status: test");
  const std::string file = dir.Path() + "data/ORBANTIS/orbantis_log.txt";
  EXPECT_NE(test::ReadFile(file).find(":TFP_ZORVIK.Check_Status: test\r\n"), std::string::npos);
  EXPECT_EQ(ModeOf(file), 0600u);
}

TEST(StartupLog, PrefersTheDocumentsFolder) {
  test::TempDir dir;
  int handle = 0;
  EXPECT_TRUE(INIT_ERR_SUPPORT(&handle, "ORBANTIS", dir.Path() + "docs", dir.Path() + "appdata/"));
  const std::string file = dir.Path() + "docs/ORBANTIS/LOG_FOLDER/orbantis_LOG.txt";
  EXPECT_NE(test::ReadFile(file).find(":Log file creation\r\n"), std::string::npos);
  EXPECT_TRUE(test::FileExists(dir.Path() + "appdata/ORBANTIS"));
  EXPECT_EQ(ErrSupportWindowHandle(), &handle);
  EXPECT_EQ(ErrSupportCaption(), "ORBANTIS");

  // A second start keeps the existing log.
  WRITE_LOG(dir.Path() + "docs/ORBANTIS/LOG_FOLDER/", "kept");
  EXPECT_TRUE(INIT_ERR_SUPPORT(&handle, "ORBANTIS", dir.Path() + "docs", dir.Path() + "appdata"));
  EXPECT_NE(test::ReadFile(file).find("kept"), std::string::npos);
}

TEST(StartupLog, FallsBackToTheApplicationFolder) {
  test::TempDir dir;
  EXPECT_TRUE(INIT_ERR_SUPPORT(nullptr, "ORBANTIS", "/proc/orbantis-no", dir.Path()));
  EXPECT_TRUE(test::FileExists(dir.Path() + "ORBANTIS/LOG_FOLDER/orbantis_LOG.txt"));
  EXPECT_FALSE(INIT_ERR_SUPPORT(nullptr, "ORBANTIS", "/proc/orbantis-no", "/proc/orbantis-no"));
}

// The trace may go to a folder other users can write to. A file planted
// there (a symbolic link to a file of the victim's, or a file of another
// user's that would then receive operator passwords) is never written into.
TEST(TraceFile, NeverWritesThroughASymlinkOrIntoAnotherUsersFile) {
  test::TempDir dir;
  const std::string folder = dir.Path();
  const std::string target = folder + "victim.txt";
  {
    FILE* f = std::fopen(target.c_str(), "w");
    std::fputs("precious\n", f);
    std::fclose(f);
  }
  ASSERT_EQ(::symlink(target.c_str(), (folder + "orbantis_LOG.txt").c_str()), 0);
  EXPECT_THROW(WRITE_LOG_RAW(folder, "Request : 01 25 ..."), Exception);
  EXPECT_THROW(WRITE_LOG(folder, "password 0000"), Exception);
  EXPECT_EQ(test::ReadFile(target), "precious\n");

  // A file of another user: only root can make one here.
  if (::geteuid() != 0) GTEST_SKIP() << "needs root to give a file to another user";
  test::TempDir other;
  const std::string planted = other.Path() + "orbantis_LOG.txt";
  {
    FILE* f = std::fopen(planted.c_str(), "w");
    std::fclose(f);
  }
  ASSERT_EQ(::chown(planted.c_str(), 65534, 65534), 0);
  ASSERT_EQ(::chmod(planted.c_str(), 0666), 0);
  EXPECT_THROW(WRITE_LOG_RAW(other.Path(), "Request : 01 25 ..."), Exception);
  EXPECT_EQ(test::ReadFile(planted), "");
}

TEST(TraceFile, TheDefaultFolderIsPerUser) {
  const std::string perUserTmp = "/tmp/ORBANTIS-" + std::to_string(::geteuid()) + "/";
  const struct {
    const char* runtime;
    std::string folder;
  } cases[] = {
      {"/run/user/1000", "/run/user/1000/ORBANTIS/"},
      {"/run/user/1000/", "/run/user/1000/ORBANTIS/"},
      {"", perUserTmp},               // no runtime folder
      {"relative/run", perUserTmp},   // not a usable one
  };
  for (const auto& c : cases) {
    test::ScopedEnv runtime("XDG_RUNTIME_DIR", c.runtime);
    EXPECT_EQ(DefaultTraceFolder(), c.folder) << c.runtime;
  }
}

// With debug mode on and no folder given, the trace lands in the user's
// private runtime folder, made 0700, in a file made 0600.
TEST(TraceFile, ATraceWithoutAFolderGoesToThePrivateDefault) {
  test::TempDir dir;
  test::ScopedEnv runtime("XDG_RUNTIME_DIR", dir.Path() + "run");
  test::EngineOnPty e(test::AnswerWith("ok"));
  e.connector().DEBUGMODE = true;
  AnsiString in, out;
  ASSERT_TRUE(e.engine->CUSTOM_CMD_1(0x21, in, out));
  const std::string file = dir.Path() + "run/ORBANTIS/orbantis_LOG.txt";
  EXPECT_NE(test::ReadFile(file).find("Request : 01 24 20 21 05"), std::string::npos);
  EXPECT_EQ(ModeOf(file), 0600u);
  EXPECT_EQ(ModeOf(dir.Path() + "run/ORBANTIS"), 0700u);
}

// Without a documents folder of the user's, the start-up log goes with the
// other state instead of the server making ~/Documents.
TEST(StartupLog, WithoutADocumentsFolderTheStateFolderIsUsed) {
  test::TempDir dir;
  test::ScopedEnv config("XDG_CONFIG_HOME", dir.Path() + "config");  // no user-dirs.dirs
  test::ScopedEnv documents("XDG_DOCUMENTS_DIR", "");
  test::ScopedEnv home("HOME", dir.Path() + "home");
  {
    test::ScopedEnv state("XDG_STATE_HOME", "");
    EXPECT_EQ(UserDocumentsFolder(), dir.Path() + "home/.local/state");
  }
  test::ScopedEnv state("XDG_STATE_HOME", dir.Path() + "state");
  EXPECT_EQ(UserDocumentsFolder(), dir.Path() + "state");
  test::ScopedEnv mine("XDG_DOCUMENTS_DIR", dir.Path() + "Docs");
  EXPECT_EQ(UserDocumentsFolder(), dir.Path() + "Docs");
}

}  // namespace
}  // namespace orbantis
