// The process-wide logger: line forms, the enabled switch, log file switching, echo, atomic lines.
#include <gtest/gtest.h>

#include <string>
#include <thread>
#include <vector>

#include "CoreTestSupport.h"
#include "platform/TZAssert.h"
#include "platform/TZBKException.h"
#include "platform/TZException.h"
#include "platform/TZLogger.h"
#include "platform/TZWorkerThread.h"

using coretest::Lines;
using coretest::Match;
using coretest::ReadFile;
using coretest::ScratchDir;

namespace {

const char kDatedPrefix[] =
    R"re(date="(Sun|Mon|Tue|Wed|Thu|Fri|Sat), [0-9]{2} (Jan|Feb|Mar|Apr|May|Jun|Jul|Aug|Sep|Oct|Nov|Dec) )re"
    R"re([0-9]{4} [0-9]{2}:[0-9]{2}:[0-9]{2} GMT" thread="([0-9]+)" )re";

// Points the logger at a fresh file for one test and restores the switches afterwards.
class LoggerTest : public ::testing::Test {
 protected:
  void SetUp() override {
    m_logPath = m_dir.File("test_log.txt");
    Logger().SetLogFile(TZString(m_logPath.c_str()));
    Logger().m_enabled = true;
    Logger().m_echoToStdout = false;
  }
  void TearDown() override {
    Logger().m_enabled = true;
    Logger().m_echoToStdout = false;
    Logger().m_dated = true;
  }
  static TZLogger& Logger() { return TZLogger::Instance(); }
  // The messages of the log, each line's prefix checked and removed.
  std::vector<std::string> Messages() const {
    std::vector<std::string> messages;
    for (const std::string& line : Lines(ReadFile(m_logPath))) {
      const auto match = Match(line, std::string(kDatedPrefix) + "(.*)");
      EXPECT_TRUE(match) << line;
      messages.push_back(match ? match->back() : line);
    }
    return messages;
  }

  ScratchDir m_dir;
  std::string m_logPath;
};

TEST_F(LoggerTest, DatedLineCarriesDateThreadAndMessage) {
  Logger().Log("OS: %s", "Linux_6.1.0_64-bit");
  const std::string text = ReadFile(m_logPath);
  const auto match = Match(text, std::string(kDatedPrefix) + "OS: Linux_6\\.1\\.0_64-bit\n");
  ASSERT_TRUE(match) << text;
  EXPECT_EQ(std::to_string(TZGetCurrentThreadId()), (*match)[3]);
}

TEST_F(LoggerTest, ClockFormBeforeSetLogFile) {
  Logger().m_dated = false;
  Logger().Log("clock %d", 7);
  const std::string text = ReadFile(m_logPath);
  EXPECT_TRUE(Match(text, "[0-9]+ " + std::to_string(TZGetCurrentThreadId()) + " clock 7\n")) << text;
}

TEST_F(LoggerTest, FormatsOnlyWhenTheFormatHasAPercentSign) {
  struct Row {
    const char* m_format;
    const char* m_expected;
  };
  // A format without "%" is written exactly as given; one with "%" always goes through the
  // formatter, so "%%" becomes "%".
  const Row rows[] = {
      {"plain text \\n {0}", "plain text \\n {0}"},
      {"100%% done", "100% done"},
      {"", ""},
  };
  for (const Row& row : rows) Logger().Log(row.m_format, 0);
  Logger().Log("%s and %d", "text", -12);
  const auto messages = Messages();
  ASSERT_EQ(4u, messages.size());
  for (size_t i = 0; i < 3; ++i) EXPECT_EQ(rows[i].m_expected, messages[i]) << "format: " << rows[i].m_format;
  EXPECT_EQ("text and -12", messages[3]);
}

TEST_F(LoggerTest, LongFormattedLineIsNotCut) {
  const std::string big(10000, 'x');
  Logger().Log("[%s]", big.c_str());
  const auto messages = Messages();
  ASSERT_EQ(1u, messages.size());
  EXPECT_EQ("[" + big + "]", messages[0]);
}

TEST_F(LoggerTest, WideTextIsWrittenAsUtf8) {
  // U+00E9, U+20AC and U+1F600 (a surrogate pair) must survive, not be cut to their low bytes.
  Logger().WriteLineW(TZString(u"caf\u00e9 \u20ac \U0001F600"));
  Logger().LogW(u"%s \u20ac%d", "n", 5);
  const auto messages = Messages();
  ASSERT_EQ(2u, messages.size());
  EXPECT_EQ("caf\xC3\xA9 \xE2\x82\xAC \xF0\x9F\x98\x80", messages[0]);
  EXPECT_EQ(
      "n \xE2\x82\xAC"
      "5",
      messages[1]);
}

TEST_F(LoggerTest, DisabledLoggerWritesNothingAnywhere) {
  Logger().m_echoToStdout = true;
  Logger().m_enabled = false;
  ::testing::internal::CaptureStdout();
  Logger().Log("hidden %d", 1);
  Logger().Log("hidden");
  Logger().WriteLine("hidden");
  Logger().WriteLineW(TZString(u"hidden"));
  Logger().LogW(u"hidden %d", 2);
  TZReportAssert("hidden", "file", 1);
  TZBKException exception(9001, "x/BKInstallerService.cpp", 10);
  const std::string echoed = ::testing::internal::GetCapturedStdout();
  EXPECT_EQ("", echoed);
  EXPECT_EQ("", ReadFile(m_logPath));
}

TEST_F(LoggerTest, EchoesEachLineToStandardOutput) {
  Logger().m_echoToStdout = true;
  ::testing::internal::CaptureStdout();
  Logger().Log("echo %d", 1);
  Logger().Log("echo two");
  const std::string echoed = ::testing::internal::GetCapturedStdout();
  EXPECT_EQ(ReadFile(m_logPath), echoed);
  EXPECT_EQ(2u, Lines(echoed).size());
}

TEST_F(LoggerTest, SetLogFileClosesTheOldFileAndEmptiesTheNewOne) {
  Logger().Log("first file");
  const std::string second = m_dir.File("second.txt");
  {
    std::ofstream junk(second);
    junk << "left over from an earlier run\n";
  }
  Logger().SetLogFile(TZString(second.c_str()));
  EXPECT_EQ(TZString(second.c_str()), Logger().GetLogFile());
  Logger().Log("second file");
  const auto first = Lines(ReadFile(m_logPath));
  ASSERT_EQ(1u, first.size());
  EXPECT_NE(std::string::npos, first[0].find("first file"));
  const auto next = Lines(ReadFile(second));
  ASSERT_EQ(1u, next.size());
  EXPECT_NE(std::string::npos, next[0].find("second file"));
}

TEST_F(LoggerTest, UnopenableFileLosesLinesQuietly) {
  Logger().SetLogFile(TZString(m_dir.File("missing/folder/log.txt").c_str()));
  Logger().m_echoToStdout = true;
  ::testing::internal::CaptureStdout();
  Logger().Log("still echoed");
  EXPECT_NE(std::string::npos, ::testing::internal::GetCapturedStdout().find("still echoed"));
}

TEST_F(LoggerTest, LinesFromManyThreadsStayWhole) {
  constexpr int kThreads = 4;
  constexpr int kLines = 200;
  const std::string payload(300, 'p');
  std::vector<std::thread> threads;
  for (int t = 0; t < kThreads; ++t)
    threads.emplace_back([t, &payload] {
      for (int i = 0; i < kLines; ++i)
        TZLogger::Instance().Log("thread %d line %d %s end", t, i, payload.c_str());
    });
  for (auto& thread : threads) thread.join();
  const auto messages = Messages();
  ASSERT_EQ(static_cast<size_t>(kThreads * kLines), messages.size());
  const std::string whole = "thread ([0-9]) line ([0-9]+) p{300} end";
  std::vector<int> next(kThreads, 0);
  for (const std::string& message : messages) {
    const auto match = Match(message, whole);
    ASSERT_TRUE(match) << message;
    const int t = std::stoi((*match)[1]);
    // Each thread's lines appear in the order it wrote them.
    EXPECT_EQ(next[t]++, std::stoi((*match)[2]));
  }
}

TEST_F(LoggerTest, ReportAssertLineForms) {
  struct Row {
    const char* m_message;
    const char* m_file;
    int32_t m_line;
    const char* m_expected;
  };
  const Row rows[] = {
      {"Failed to install", "..\\..\\..\\source\\private\\exceptions\\WTZExceptionUtils", 97,
       "Assert failed: Failed to install at ..\\..\\..\\source\\private\\exceptions\\WTZExceptionUtils:97"},
      {nullptr, "src/Foo", 5, "Assert failed at src/Foo:5"},
      {"100% sure", "f", -1, "Assert failed: 100% sure at f:-1"},
  };
  for (const Row& row : rows) TZReportAssert(row.m_message, row.m_file, row.m_line);
  const auto messages = Messages();
  ASSERT_EQ(3u, messages.size());
  for (size_t i = 0; i < 3; ++i) EXPECT_EQ(rows[i].m_expected, messages[i]) << "row " << i;
}

TEST_F(LoggerTest, BKExceptionLogsInternalErrorWithBaseName) {
  TZBKException coded(9001, "C:\\work\\source\\installer\\BKInstallerService.cpp", 314);
  TZBKException keyed(TZString(kTZErrorInternal), "network/src/TZCurlSession.cpp", 20);
  const auto messages = Messages();
  ASSERT_EQ(2u, messages.size());
  EXPECT_EQ("Internal Error: BKInstallerService, 314", messages[0]);
  EXPECT_EQ("Internal Error: TZCurlSession, 20", messages[1]);
}

TEST(BKExceptionTest, FieldsOfBothConstructors) {
  const TZBKException coded(9002, "a/b/BKInstallerService.cpp", 77);
  EXPECT_EQ(9002, coded.GetCode());
  EXPECT_TRUE(coded.GetMessageKey().empty());
  EXPECT_EQ(TZString(u"BKInstallerService"), coded.GetFile());
  EXPECT_EQ(77, coded.GetLine());

  const TZBKException keyed(TZString(kTZErrorInternal), "Window.cpp", 3);
  EXPECT_EQ(kTZErrorInternalCode, keyed.GetCode());
  EXPECT_EQ(TZString(u"kTZErrorInternal"), keyed.GetMessageKey());
  EXPECT_EQ(TZString(u"Window"), keyed.GetFile());

  const TZBKException copy = keyed;
  EXPECT_EQ(keyed.GetCode(), copy.GetCode());
  EXPECT_EQ(keyed.GetMessageKey(), copy.GetMessageKey());
  EXPECT_EQ(keyed.GetFile(), copy.GetFile());
  EXPECT_EQ(keyed.GetLine(), copy.GetLine());
}

TEST(BKExceptionTest, SourceBaseNames) {
  struct Row {
    const char* m_path;
    const char16_t* m_expected;
  };
  const Row rows[] = {
      {"Foo.src", u"Foo"},
      {"Foo", u"Foo"},
      {"C:\\src\\Module.src", u"Module"},
      {"..\\..\\..\\source\\components\\briskencore\\TZBKWorkerThread", u"TZBKWorkerThread"},
      {"/home/u/installer/src/BKInstallerApp.cpp", u"BKInstallerApp"},
      {"dir.d/file", u"file"},
      {"a.b.c", u"a.b"},
      {"", u""},
      {nullptr, u""},
  };
  for (const Row& row : rows)
    EXPECT_EQ(TZString(row.m_expected), TZSourceBaseName(row.m_path))
        << "path: " << (row.m_path ? row.m_path : "(null)");
}

TEST(MessageTableTest, KeysAreComparedByIdentity) {
  EXPECT_EQ(TZString(u"kTZExceptionMsg"), TZFatalException().GetDisplayMessage());

  static const char kKey[] = "kTestKey";
  static const char kSameTextOtherKey[] = "kTestKey";
  TZMessageTable::Add(kKey, TZString(u"Shown text"));
  EXPECT_EQ(TZString(u"Shown text"), TZMessageTable::Lookup(kKey));
  EXPECT_EQ(TZString(u"kTestKey"), TZMessageTable::Lookup(kSameTextOtherKey));
}

}  // namespace
