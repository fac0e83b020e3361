// The program entry: the start-up sequence up to the window, its refusals and its log.
//
// The second-copy check looks for running processes whose image path contains the program's file
// name, so every test here runs programs under file names unique to the test, and nothing depends
// on which other copies of these tests run at the same time.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "CoreTestSupport.h"
#include "analytics/BKTelvoEventQueue.h"
#include "installer/BKInstallerApp.h"
#include "platform/TZFileUtil.h"
#include "platform/TZLogger.h"
#include "platform/TZMessageBox.h"
#include "platform/TZProcessList.h"

extern char** environ;

namespace fs = std::filesystem;
using coretest::Match;

namespace {

// Worker threads and the entry install the fault translator, which makes the run's session folder;
// it goes when the tests are done, as the installer's teardown removes it.
class SessionFolderCleanup : public ::testing::Environment {
 public:
  void TearDown() override { TZFileUtil::DeleteSessionTempFolder(); }
};
::testing::Environment* const s_cleanup = ::testing::AddGlobalTestEnvironment(new SessionFolderCleanup);

const char kAnotherInstanceText[] =
    "Another instance of Tarsel Morlix Installer is running. Please wait for it to finish.";
const char kDatedLine[] =
    R"re(date="(Sun|Mon|Tue|Wed|Thu|Fri|Sat), [0-9]{2} [A-Z][a-z]{2} [0-9]{4} [0-9]{2}:[0-9]{2}:[0-9]{2} GMT" thread="[0-9]+" (.*))re";

std::string ReadFile(const fs::path& inPath) {
  std::ifstream in(inPath, std::ios::binary);
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

std::vector<std::string> Lines(const std::string& inText) {
  std::vector<std::string> lines;
  std::istringstream in(inText);
  for (std::string line; std::getline(in, line);) lines.push_back(line);
  return lines;
}

class Scratch {
 public:
  Scratch() {
    std::string pattern = (fs::temp_directory_path() / "tzentry-XXXXXX").string();
    if (mkdtemp(&pattern[0])) m_path = pattern;
    fs::create_directory(m_path / "tmp");
  }
  ~Scratch() {
    std::error_code ignored;
    fs::remove_all(m_path, ignored);
  }
  const fs::path& Path() const { return m_path; }
  // The folder given to the programs as their temporary folder.
  fs::path Temp() const { return m_path / "tmp"; }

 private:
  fs::path m_path;
};

// The environment of the programs the tests start: no display, the given temporary folder.
std::vector<std::string> ChildEnvironment(const fs::path& inTemp,
                                          const std::vector<std::string>& inExtra = {}) {
  std::vector<std::string> environment;
  for (char** entry = environ; *entry; ++entry) {
    const std::string text = *entry;
    if (text.rfind("DISPLAY=", 0) == 0 || text.rfind("WAYLAND_DISPLAY=", 0) == 0 ||
        text.rfind("TMPDIR=", 0) == 0)
      continue;
    environment.push_back(text);
  }
  environment.push_back("TMPDIR=" + inTemp.string());
  environment.insert(environment.end(), inExtra.begin(), inExtra.end());
  return environment;
}

// Starts a program; its standard output and error go to the given files when named.
pid_t Spawn(const std::vector<std::string>& inArguments, const std::vector<std::string>& inEnvironment,
            const fs::path& inStdout = {}, const fs::path& inStderr = {}) {
  std::vector<char*> argv;
  for (const auto& argument : inArguments) argv.push_back(const_cast<char*>(argument.c_str()));
  argv.push_back(nullptr);
  std::vector<char*> envp;
  for (const auto& entry : inEnvironment) envp.push_back(const_cast<char*>(entry.c_str()));
  envp.push_back(nullptr);
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  if (!inStdout.empty())
    posix_spawn_file_actions_addopen(&actions, 1, inStdout.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
  if (!inStderr.empty())
    posix_spawn_file_actions_addopen(&actions, 2, inStderr.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
  pid_t pid = 0;
  if (posix_spawn(&pid, argv[0], &actions, nullptr, argv.data(), envp.data()) != 0) pid = 0;
  posix_spawn_file_actions_destroy(&actions);
  return pid;
}

int WaitExit(pid_t inPid) {
  int status = 0;
  if (waitpid(inPid, &status, 0) != inPid) return -1;
  return WIFEXITED(status) ? WEXITSTATUS(status) : 1000 + WTERMSIG(status);
}

// A copy of sleep(1) running under the given path until the object is destroyed.
class RunningStandIn {
 public:
  explicit RunningStandIn(const fs::path& inPath) {
    fs::copy_file("/bin/sleep", inPath);
    m_pid = Spawn({inPath.string(), "60"}, ChildEnvironment(fs::temp_directory_path()));
    const std::string exe = "/proc/" + std::to_string(m_pid) + "/exe";
    for (int i = 0; i < 500; ++i) {
      std::error_code error;
      if (fs::read_symlink(exe, error) == inPath) break;
      std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
  }
  ~RunningStandIn() {
    if (m_pid > 0) {
      kill(m_pid, SIGKILL);
      waitpid(m_pid, nullptr, 0);
    }
  }
  bool StillRunning() const { return m_pid > 0 && kill(m_pid, 0) == 0; }
  pid_t Pid() const { return m_pid; }

 private:
  pid_t m_pid = 0;
};

std::string UniqueName(const char* inStem) {
  return std::string(inStem) + "-" + std::to_string(getpid()) + "-installer";
}

// --- the real executable ---------------------------------------------------------------------

TEST(InstallerExecutableTest, NormalRunWritesTheInstallerLogAndExitsZero) {
  Scratch scratch;
  const fs::path exe = scratch.Path() / UniqueName("run");
  fs::copy_file(TZ_INSTALLER_EXE, exe);
  const pid_t pid = Spawn({exe.string(), "campaign7"}, ChildEnvironment(scratch.Temp()),
                          scratch.Path() / "out.txt", scratch.Path() / "err.txt");
  ASSERT_GT(pid, 0);
  EXPECT_EQ(0, WaitExit(pid));

  const std::string log = ReadFile(scratch.Temp() / "tzbk_installer_log.txt");
  const auto lines = Lines(log);
  std::vector<std::string> messages;
  for (const std::string& line : lines) {
    const auto match = Match(line, kDatedLine);
    ASSERT_TRUE(match) << line;
    messages.push_back(match->back());
  }
  ASSERT_EQ(3u, messages.size()) << log;
  EXPECT_EQ("Tarsel Morlix Installer Version 1.0.0.1", messages[0]);
  EXPECT_TRUE(Match(messages[1], R"(OS: Linux_[0-9]+\.[0-9]+\.[0-9]+_(64|32)-bit)")) << messages[1];
  EXPECT_EQ("Done. Exiting ...", messages[2]);
  // Every line is echoed to standard output; nothing goes to standard error.
  EXPECT_EQ(log, ReadFile(scratch.Path() / "out.txt"));
  EXPECT_EQ("", ReadFile(scratch.Path() / "err.txt"));
  // The default log was made (emptied) at start-up and got nothing.
  EXPECT_TRUE(fs::exists(scratch.Temp() / "tzbk_log.txt"));
  EXPECT_EQ("", ReadFile(scratch.Temp() / "tzbk_log.txt"));
}

TEST(InstallerExecutableTest, SecondCopyIsRefusedAndLogsToTheDefaultLog) {
  Scratch scratch;
  const std::string name = UniqueName("second");
  // The running first copy: its file name is longer but ends the same way.
  RunningStandIn first(scratch.Path() / ("my-" + name));
  ASSERT_GT(first.Pid(), 0);
  const fs::path exe = scratch.Path() / name;
  fs::copy_file(TZ_INSTALLER_EXE, exe);
  const pid_t pid = Spawn({exe.string()}, ChildEnvironment(scratch.Temp()), scratch.Path() / "out.txt",
                          scratch.Path() / "err.txt");
  ASSERT_GT(pid, 0);
  EXPECT_EQ(0, WaitExit(pid));

  EXPECT_EQ(std::string("Tarsel Morlix: ") + kAnotherInstanceText + "\n",
            ReadFile(scratch.Path() / "err.txt"));
  EXPECT_FALSE(fs::exists(scratch.Temp() / "tzbk_installer_log.txt"));
  // The default log, in the clock form: the exception's line, the caught code, the end.
  const auto lines = Lines(ReadFile(scratch.Temp() / "tzbk_log.txt"));
  ASSERT_EQ(3u, lines.size());
  const std::string prefix = "[0-9]+ [0-9]+ ";
  EXPECT_TRUE(Match(lines[0], prefix + "Internal Error: BKInstallerApp, [0-9]+")) << lines[0];
  EXPECT_TRUE(Match(lines[1], prefix + "Caught exception: 9006")) << lines[1];
  EXPECT_TRUE(Match(lines[2], prefix + "Done\\. Exiting \\.\\.\\.")) << lines[2];
  // The first copy is not affected.
  EXPECT_TRUE(first.StillRunning());
}

TEST(InstallerExecutableTest, TwoCopiesStartedAtOnceBothExitZero) {
  Scratch scratch;
  const fs::path exe = scratch.Path() / UniqueName("twin");
  fs::copy_file(TZ_INSTALLER_EXE, exe);
  fs::create_directory(scratch.Path() / "tmp2");
  const pid_t one = Spawn({exe.string()}, ChildEnvironment(scratch.Temp()), scratch.Path() / "out1.txt",
                          scratch.Path() / "err1.txt");
  const pid_t two = Spawn({exe.string()}, ChildEnvironment(scratch.Path() / "tmp2"),
                          scratch.Path() / "out2.txt", scratch.Path() / "err2.txt");
  ASSERT_GT(one, 0);
  ASSERT_GT(two, 0);
  EXPECT_EQ(0, WaitExit(one));
  EXPECT_EQ(0, WaitExit(two));
  // Each copy either ran through or was refused as the second one; a refused copy said so.
  for (const auto& [temp, error] : {std::pair{scratch.Temp(), scratch.Path() / "err1.txt"},
                                    std::pair{scratch.Path() / "tmp2", scratch.Path() / "err2.txt"}}) {
    const bool ran = fs::exists(temp / "tzbk_installer_log.txt");
    const bool refused = ReadFile(error).find(kAnotherInstanceText) != std::string::npos;
    EXPECT_NE(ran, refused) << temp;
  }
}

// --- in-process ------------------------------------------------------------------------------

fs::path OwnExecutable() { return fs::read_symlink("/proc/self/exe"); }

void DrainQueue() {
  BKTelvoEventQueue& queue = BKTelvoEventQueue::Instance();
  while (queue.Size()) queue.PopFront();
}

std::vector<BKTelvoEvent> TakeQueue() {
  std::vector<BKTelvoEvent> events;
  BKTelvoEventQueue& queue = BKTelvoEventQueue::Instance();
  while (queue.Size()) {
    events.push_back(queue.WaitFront());
    queue.PopFront();
  }
  return events;
}

TEST(InstallerEntryTest, AnotherInstanceSendsLastErrorAndShowsTheBox) {
  Scratch scratch;
  RunningStandIn other(scratch.Path() / ("long-" + OwnExecutable().filename().string()));
  ASSERT_TRUE(other.StillRunning());
  DrainQueue();
  std::vector<TZMessageBoxRequest> boxes;
  TZSetMessageBoxResponder([&boxes](const TZMessageBoxRequest& inRequest) {
    boxes.push_back(inRequest);
    return kTZAnswerOK;
  });
  const char* argv[] = {"prog", "campaign"};
  TZSetProcessArguments(2, argv);
  const int result = BKInstallerMain(nullptr, nullptr, TZString(u"campaign"), 1);
  TZSetMessageBoxResponder(nullptr);

  EXPECT_EQ(0, result);
  ASSERT_EQ(1u, boxes.size());
  EXPECT_EQ(TZString(u"Tarsel Morlix"), boxes[0].m_caption);
  EXPECT_EQ(TZString(kAnotherInstanceText), boxes[0].m_text);
  EXPECT_EQ(kTZMessageBoxOK, boxes[0].m_buttons);
  // The refusal comes before the "Test" event: only "LastError" was queued.
  const auto events = TakeQueue();
  ASSERT_EQ(1u, events.size());
  EXPECT_EQ(TZString(u"LastError"), events[0].m_name);
  EXPECT_EQ(TZString(u"9006"), events[0].m_value);
}

// Runs only as the child of NormalRunSendsTestThenLaunch, in a copy of this executable under a
// unique file name, so that no other running test counts as another instance.
TEST(InstallerEntryChild, NormalRun) {
  if (!std::getenv("TZ_ENTRY_CHILD"))
    GTEST_SKIP() << "runs only as the child of NormalRunSendsTestThenLaunch";
  DrainQueue();
  const char* argv[] = {"prog", "campaign7", "ignored"};
  TZSetProcessArguments(3, argv);
  std::vector<TZMessageBoxRequest> boxes;
  TZSetMessageBoxResponder([&boxes](const TZMessageBoxRequest& inRequest) {
    boxes.push_back(inRequest);
    return kTZAnswerOK;
  });
  EXPECT_EQ(0, BKInstallerMain(nullptr, nullptr, TZString(u"campaign7 ignored"), 1));
  EXPECT_TRUE(boxes.empty());
  const auto events = TakeQueue();
  ASSERT_EQ(2u, events.size());
  EXPECT_EQ(TZString(u"Test"), events[0].m_name);
  EXPECT_EQ(TZString(u"campaign7"), events[0].m_value);
  EXPECT_EQ(TZString(u"Launch"), events[1].m_name);
  EXPECT_EQ(GetOSDescription(), events[1].m_value);
  EXPECT_TRUE(TZLogger::Instance().m_enabled);
  EXPECT_TRUE(TZLogger::Instance().m_echoToStdout);
}

TEST(InstallerEntryTest, NormalRunSendsTestThenLaunch) {
  Scratch scratch;
  const fs::path copy = scratch.Path() / UniqueName("entry");
  fs::copy_file(OwnExecutable(), copy);
  const pid_t pid = Spawn({copy.string(), "--gtest_filter=InstallerEntryChild.NormalRun"},
                          ChildEnvironment(scratch.Temp(), {"TZ_ENTRY_CHILD=1"}), scratch.Path() / "out.txt",
                          scratch.Path() / "err.txt");
  ASSERT_GT(pid, 0);
  EXPECT_EQ(0, WaitExit(pid)) << ReadFile(scratch.Path() / "out.txt") << ReadFile(scratch.Path() / "err.txt");
  const std::string out = ReadFile(scratch.Path() / "out.txt");
  EXPECT_NE(std::string::npos, out.find("[  PASSED  ] 1 test")) << out;
  EXPECT_TRUE(fs::exists(scratch.Temp() / "tzbk_installer_log.txt"));
}

TEST(InstallerEntryTest, StartupErrorTexts) {
  struct Row {
    int32_t m_code;
    const char* m_text;
  };
  const Row rows[] = {
      {9006, kAnotherInstanceText},
      {9, "Tarsel Morlix requires Linux 3.2 or greater to run."},
      {9001, ""},
      {11, ""},
      {9999, ""},
  };
  for (const Row& row : rows)
    EXPECT_EQ(TZString(row.m_text), GetStartupErrorMessage(row.m_code)) << "code " << row.m_code;
}

TEST(InstallerEntryTest, OSVersionParsingAndMinimum) {
  struct Row {
    const char* m_version;
    int m_major, m_minor, m_build;
    bool m_supported;
  };
  const Row rows[] = {
      {"Linux 6.1.0", 6, 1, 0, true},    {"Linux 3.2.0", 3, 2, 0, true}, {"Linux 3.1.99", 3, 1, 99, false},
      {"Linux 2.6.32", 2, 6, 32, false}, {"Linux 4", 4, 0, 0, true},     {"Linux 10.0.1", 10, 0, 1, true},
      {"Linux ", 0, 0, 0, false},        {"", 0, 0, 0, false},
  };
  for (const Row& row : rows) {
    int major = -1, minor = -1, build = -1;
    ParseOSVersion(TZString(row.m_version), major, minor, build);
    EXPECT_EQ(row.m_major, major) << row.m_version;
    EXPECT_EQ(row.m_minor, minor) << row.m_version;
    EXPECT_EQ(row.m_build, build) << row.m_version;
    EXPECT_EQ(row.m_supported, IsSystemAtLeast(TZString(row.m_version), 3, 2)) << row.m_version;
  }
}

TEST(InstallerEntryTest, OSDescriptionForm) {
  const std::string description = GetOSDescription().ToUTF8();
  EXPECT_TRUE(Match(description, R"(Linux_[0-9]+\.[0-9]+\.[0-9]+_(64|32)-bit)")) << description;
}

}  // namespace
