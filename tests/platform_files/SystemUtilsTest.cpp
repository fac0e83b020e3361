#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "TestFolder.h"
#include "platform/SystemUtils.h"

namespace {

std::string Describe(const std::vector<std::string>& inArguments) {
  std::string text;
  for (const std::string& argument : inArguments) text += "[" + argument + "]";
  return text;
}

TZString Text(const std::string& inUtf8) { return TZString(inUtf8.c_str(), 1); }

struct SplitRow {
  const char* commandLine;
  std::vector<std::string> arguments;
};

TEST(SystemUtilsSplit, FollowsTheWindowsRuntimeRules) {
  const SplitRow rows[] = {
      {"a.exe --x --y=1", {"a.exe", "--x", "--y=1"}},
      {"\"C:\\Program Files\\Set-up.exe\" --mode=silent", {"C:\\Program Files\\Set-up.exe", "--mode=silent"}},
      // The program name keeps its backslashes even before a quote, and quotes only group.
      {"C:\\dir\\\"x y\"\\p.exe z", {"C:\\dir\\x y\\p.exe", "z"}},
      {"p a\"b c\"d", {"p", "ab cd"}},
      {"p --deploymentFile=\"/tmp/with space/d.xml\"", {"p", "--deploymentFile=/tmp/with space/d.xml"}},
      // Embedded quotes: backslash-quote and "" inside a quoted part.
      {"p a\\\"b", {"p", "a\"b"}},
      {"p \"a \"\"quoted\"\" word\"", {"p", "a \"quoted\" word"}},
      {"p a\"\"b", {"p", "ab"}},
      // Backslashes before a quote: 2n give n and the quote groups, 2n+1 give n and a quote.
      {"p \"a\\\\\" b", {"p", "a\\", "b"}},
      {"p a\\\\\\\"b", {"p", "a\\\"b"}},
      {"p a\\\\\\\\\"b c\"", {"p", "a\\\\b c"}},
      // Backslashes elsewhere are literal, a trailing one included.
      {"p a\\b\\\\c d\\", {"p", "a\\b\\\\c", "d\\"}},
      {"p \"a b\\\\\\\\\"", {"p", "a b\\\\"}},
      // Empty arguments and blanks.
      {"p \"\" \"\"", {"p", "", ""}},
      {"p\t a \t b  ", {"p", "a", "b"}},
      {"\"\" x", {"", "x"}},
      {"", {""}},
      {"   ", {""}},
      // An unclosed quote runs to the end.
      {"p \"a b", {"p", "a b"}},
      {"\"p q", {"p q"}},
      // The examples the C runtime's documentation gives.
      {"p \"abc\" d e", {"p", "abc", "d", "e"}},
      {"p a\\\\b d\"e f\"g h", {"p", "a\\\\b", "de fg", "h"}},
      {"p a\\\\\\\"b c d", {"p", "a\\\"b", "c", "d"}},
      {"p a\\\\\\\\\"b c\" d e", {"p", "a\\\\b c", "d", "e"}},
      {"p a\"b\"\" c d", {"p", "ab\" c d"}},
      // UTF-8 passes through.
      {"p \"\xC3\xA9t\xC3\xA9 \xE2\x82\xAC\"", {"p", "\xC3\xA9t\xC3\xA9 \xE2\x82\xAC"}},
  };
  for (const SplitRow& row : rows) {
    EXPECT_EQ(Describe(row.arguments), Describe(SystemUtils::SplitCommandLine(row.commandLine)))
        << "command line: " << row.commandLine;
  }
}

class SystemUtilsRun : public ::testing::Test {
 protected:
  TestFolder m_folder;
};

TEST_F(SystemUtilsRun, MissingOrUnstartableProgramLeavesTheCodeUnchanged) {
  const std::string notExecutable = m_folder.Path() + "/plain.txt";
  WriteFileText(notExecutable, "#!/bin/sh\nexit 0\n");
  chmod(notExecutable.c_str(), 0644);
  const std::string garbage = m_folder.Path() + "/garbage";
  WriteFileText(garbage, "\x01\x02\x03\x04 not a program");
  chmod(garbage.c_str(), 0755);
  const std::vector<std::vector<std::string>> rows = {
      {m_folder.Path() + "/missing-program"},
      {"tz-no-such-program-on-the-path"},
      {notExecutable},
      {garbage},
      {m_folder.Path()},
      {},
      {"\"\"", "x"},
  };
  for (const std::vector<std::string>& row : rows) {
    std::vector<TZString> arguments;
    for (const std::string& argument : row) arguments.push_back(Text(argument));
    uint32_t code = 12345;
    EXPECT_TRUE(SystemUtils::RunProcessAndWait(arguments, code)) << Describe(row);
    EXPECT_EQ(12345u, code) << Describe(row);
  }
}

TEST_F(SystemUtilsRun, ReturnsTheExitCode) {
  struct Row {
    const char* script;
    uint32_t code;
  };
  // A child ended by a signal gets 128 + the signal's number.
  const Row rows[] = {
      {"exit 0", 0}, {"exit 3", 3}, {"exit 255", 255}, {"kill -9 $$", 137}, {"kill -15 $$", 143}};
  for (const Row& row : rows) {
    uint32_t code = 12345;
    EXPECT_FALSE(SystemUtils::RunProcessAndWait(
        {Text("/bin/sh"), Text("-c"), Text(std::string("\"") + row.script + "\"")}, code))
        << row.script;
    EXPECT_EQ(row.code, code) << row.script;
  }
}

TEST_F(SystemUtilsRun, QuotedProgramPathWithSpacesGetsItsArguments) {
  const std::string folder = m_folder.Path() + "/set up folder";
  ASSERT_EQ(0, mkdir(folder.c_str(), 0755));
  const std::string program = folder + "/Set-up.sh";
  const std::string output = m_folder.Path() + "/arguments.txt";
  WriteFileText(program, "#!/bin/sh\nfor a in \"$0\" \"$@\"; do printf '[%s]' \"$a\"; done > '" + output +
                             "'\nexit 4\n");
  chmod(program.c_str(), 0755);
  const std::string deployment = m_folder.Path() + "/deploy dir/deployment.xml";

  uint32_t code = 0;
  ASSERT_FALSE(SystemUtils::RunProcessAndWait(
      {Text("\"" + program + "\""), Text("--mode=silent"), Text("--deploymentFile=\"" + deployment + "\"")},
      code));
  EXPECT_EQ(4u, code);
  EXPECT_EQ("[" + program + "][--mode=silent][--deploymentFile=" + deployment + "]", ReadFileText(output));
}

TEST_F(SystemUtilsRun, ChildInheritsNoDescriptorBeyondTheStandardThree) {
  // Deliberately without close-on-exec: the spawn itself must keep it from the child.
  const int descriptor = open((m_folder.Path() + "/open.txt").c_str(), O_WRONLY | O_CREAT, 0644);
  ASSERT_GE(descriptor, 3);
  uint32_t code = 12345;
  const std::string script =
      "\"test ! -e /proc/self/fd/" + std::to_string(descriptor) + " && test -e /proc/self/fd/2\"";
  EXPECT_FALSE(SystemUtils::RunProcessAndWait({Text("/bin/sh"), Text("-c"), Text(script)}, code));
  EXPECT_EQ(0u, code);
  close(descriptor);
}

// 8-4-4-4-12 lower-case hexadecimal digits, version 4, variant 10xx.
bool IsVersion4GuidText(const std::string& inText) {
  if (inText.size() != 36) return false;
  for (size_t i = 0; i < inText.size(); ++i) {
    const char c = inText[i];
    if (i == 8 || i == 13 || i == 18 || i == 23) {
      if (c != '-') return false;
    } else if (!((c >= '0' && c <= '9') || (c >= 'a' && c <= 'f'))) {
      return false;
    }
  }
  return inText[14] == '4' && std::string("89ab").find(inText[19]) != std::string::npos;
}

TEST(SystemUtils, GuidTextsAreLowerCaseVersion4AndDiffer) {
  std::set<std::string> seen;
  for (int i = 0; i < 100; ++i) {
    const std::string guid = SystemUtils::CreateGUIDString().ToUTF8();
    ASSERT_EQ(36u, guid.size()) << guid;
    EXPECT_TRUE(IsVersion4GuidText(guid)) << guid;
    seen.insert(guid);
  }
  EXPECT_EQ(100u, seen.size());
}

TEST(SystemUtils, NamesThePlatformAndTheKernelRelease) {
  EXPECT_EQ("Linux", SystemUtils::GetPlatformName().ToUTF8());
  std::ifstream osrelease("/proc/sys/kernel/osrelease");
  std::string release;
  std::getline(osrelease, release);
  unsigned numbers[3] = {0, 0, 0};
  ASSERT_GE(std::sscanf(release.c_str(), "%u.%u.%u", &numbers[0], &numbers[1], &numbers[2]), 2) << release;
  const std::string expected = "Linux " + std::to_string(numbers[0]) + "." + std::to_string(numbers[1]) +
                               "." + std::to_string(numbers[2]);
  EXPECT_EQ(expected, SystemUtils::GetOSVersionString().ToUTF8());
}

TEST(SystemUtils, DeviceTokenIsEmptyAndA64BitProcessIsNotWow64) {
  EXPECT_TRUE(SystemUtils::GetDeviceToken().empty());
  if (sizeof(void*) == 8) {
    EXPECT_FALSE(SystemUtils::IsWow64());
  }
}

}  // namespace
