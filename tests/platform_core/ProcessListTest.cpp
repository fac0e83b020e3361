// FindProcessesByImageName over /proc: a running copy of a program under a unique name.
#include <gtest/gtest.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <chrono>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

#include "CoreTestSupport.h"
#include "platform/TZProcessList.h"

extern char** environ;

namespace {

// A copy of sleep(1) under the given file name, running until the object is destroyed.
class RunningCopy {
 public:
  RunningCopy(const std::string& inPath) {
    std::filesystem::copy_file("/bin/sleep", inPath);
    std::filesystem::permissions(inPath, std::filesystem::perms::owner_all);
    const char* argv[] = {inPath.c_str(), "60", nullptr};
    if (posix_spawn(&m_pid, inPath.c_str(), nullptr, nullptr, const_cast<char**>(argv), environ) != 0)
      m_pid = 0;
    // The image path is the copy's only once the exec has happened.
    const std::string exe = "/proc/" + std::to_string(m_pid) + "/exe";
    for (int i = 0; i < 500; ++i) {
      std::error_code error;
      if (std::filesystem::read_symlink(exe, error).string() == inPath) break;
      std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
  }
  ~RunningCopy() {
    if (m_pid > 0) {
      kill(m_pid, SIGKILL);
      waitpid(m_pid, nullptr, 0);
    }
  }
  pid_t Pid() const { return m_pid; }

 private:
  pid_t m_pid = 0;
};

std::string Upper(std::string inText) {
  for (char& c : inText) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  return inText;
}

TEST(ProcessListTest, FindsRunningCopiesBySubstringIgnoringCase) {
  coretest::ScratchDir dir;
  const std::string unique = "tzproc-" + std::to_string(getpid()) + "-installer";
  RunningCopy exact(dir.File(unique));
  RunningCopy longer(dir.File("my-" + unique));
  ASSERT_GT(exact.Pid(), 0);
  ASSERT_GT(longer.Pid(), 0);

  struct Row {
    std::string m_name;
    std::vector<pid_t> m_expected;
  };
  const std::vector<Row> rows = {
      {unique, {exact.Pid(), longer.Pid()}},
      {Upper(unique), {exact.Pid(), longer.Pid()}},
      {"my-" + unique, {longer.Pid()}},
      {unique + "-not-running", {}},
  };
  for (const Row& row : rows) {
    std::vector<uint32_t> ids;
    const bool found = FindProcessesByImageName(TZString(row.m_name.c_str()), &ids);
    std::sort(ids.begin(), ids.end());
    std::vector<uint32_t> expected(row.m_expected.begin(), row.m_expected.end());
    std::sort(expected.begin(), expected.end());
    EXPECT_EQ(!expected.empty(), found) << row.m_name;
    EXPECT_EQ(expected, ids) << row.m_name;
    EXPECT_EQ(!expected.empty(), FindProcessesByImageName(TZString(row.m_name.c_str()), nullptr))
        << row.m_name;
  }
}

TEST(ProcessListTest, KeepsTheProcessArguments) {
  const char* argv[] = {"/opt/x/morlix-installer", "campaign \xC3\xA9", ""};
  TZSetProcessArguments(3, argv);
  const auto& arguments = TZGetProcessArguments();
  ASSERT_EQ(3u, arguments.size());
  EXPECT_EQ(TZString(u"/opt/x/morlix-installer"), arguments[0]);
  EXPECT_EQ(TZString(u"campaign \u00e9"), arguments[1]);
  EXPECT_TRUE(arguments[2].empty());
}

}  // namespace
