// Message boxes on a real display (Xvfb): the SDL box appears with its caption and answers the
// key pressed; a display that cannot be reached falls back to standard error.
#include <gtest/gtest.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <array>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <future>
#include <string>
#include <thread>

#include "platform/TZMessageBox.h"

extern char** environ;

namespace {

std::string RunCommand(const std::string& inCommand) {
  std::string output;
  if (FILE* pipe = popen(inCommand.c_str(), "r")) {
    std::array<char, 4096> buffer;
    size_t n;
    while ((n = fread(buffer.data(), 1, buffer.size(), pipe)) > 0) output.append(buffer.data(), n);
    pclose(pipe);
  }
  return output;
}

// An X server of our own for one test.
class VirtualDisplay {
 public:
  VirtualDisplay() {
    // A display number no server holds (no lock file), starting from one derived from our id.
    int number = 200 + getpid() % 500;
    while (access(("/tmp/.X" + std::to_string(number) + "-lock").c_str(), F_OK) == 0) ++number;
    m_name = ":" + std::to_string(number);
    const char* argv[] = {"Xvfb", m_name.c_str(), "-screen", "0", "1024x768x24", "-nolisten", "tcp", nullptr};
    if (posix_spawnp(&m_pid, "Xvfb", nullptr, nullptr, const_cast<char**>(argv), environ) != 0) m_pid = 0;
    for (int i = 0; i < 200 && m_pid > 0 && !m_ready; ++i) {
      std::this_thread::sleep_for(std::chrono::milliseconds(25));
      m_ready = RunCommand("xwininfo -root -display " + m_name + " 2>/dev/null").find("Window id") !=
                std::string::npos;
    }
  }
  ~VirtualDisplay() {
    if (m_pid > 0) {
      kill(m_pid, SIGTERM);
      waitpid(m_pid, nullptr, 0);
    }
  }
  bool Ready() const { return m_ready; }
  const std::string& Name() const { return m_name; }

 private:
  std::string m_name;
  pid_t m_pid = 0;
  bool m_ready = false;
};

// The id of the top-level window with the given title, or empty.
std::string FindWindow(const std::string& inDisplay, const std::string& inTitle) {
  const std::string tree = RunCommand("xwininfo -root -tree -display " + inDisplay);
  const size_t at = tree.find("\"" + inTitle + "\"");
  if (at == std::string::npos) return std::string();
  const size_t start = tree.rfind("0x", at);
  return tree.substr(start, tree.find(' ', start) - start);
}

TEST(MessageBoxDisplayTest, SdlBoxShowsTheCaptionAndAnswersTheKeyPressed) {
  VirtualDisplay display;
  ASSERT_TRUE(display.Ready());
  setenv("DISPLAY", display.Name().c_str(), 1);
  struct Row {
    TZMessageBoxButtons m_buttons;
    const char* m_key;
    TZMessageBoxAnswer m_expected;
  };
  const Row rows[] = {
      {kTZMessageBoxRetryCancel, "Return", kTZAnswerRetry},
      {kTZMessageBoxRetryCancel, "Escape", kTZAnswerCancel},
      {kTZMessageBoxYesNo, "Return", kTZAnswerNo},
      {kTZMessageBoxOK, "Return", kTZAnswerOK},
  };
  for (const Row& row : rows) {
    const std::string caption = std::string("Box test ") + row.m_key + " " + std::to_string(row.m_buttons);
    TZMessageBoxRequest request;
    request.m_caption = TZString(caption.c_str());
    request.m_text = TZString(u"Unable to install Tarsel Morlix.");
    request.m_buttons = row.m_buttons;
    // The box blocks the thread that shows it, as the service thread's box does.
    auto answer = std::async(std::launch::async, [&request] { return TZRunMessageBox(request); });
    std::string window;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
    while (window.empty() && std::chrono::steady_clock::now() < deadline) {
      // An answer before any window means the box was not shown (it fell back to stderr).
      if (answer.wait_for(std::chrono::milliseconds(50)) == std::future_status::ready) break;
      window = FindWindow(display.Name(), caption);
    }
    ASSERT_FALSE(window.empty()) << caption;
    // Without a window manager the box has no focus: give it the focus, then press the key.
    RunCommand("xdotool windowfocus --sync " + window + " key --window " + window + " " + row.m_key +
               " 2>&1");
    ASSERT_EQ(std::future_status::ready, answer.wait_for(std::chrono::seconds(20))) << caption;
    EXPECT_EQ(row.m_expected, answer.get()) << caption;
  }
  unsetenv("DISPLAY");
}

TEST(MessageBoxDisplayTest, UnreachableDisplayFallsBackToStandardError) {
  // A display number nobody serves.
  setenv("DISPLAY", ":999", 1);
  TZMessageBoxRequest request;
  request.m_caption = TZString(u"Tarsel Morlix");
  request.m_text = TZString(u"No display here");
  request.m_buttons = kTZMessageBoxYesNo;
  ::testing::internal::CaptureStderr();
  const TZMessageBoxAnswer answer = TZRunMessageBox(request);
  const std::string error = ::testing::internal::GetCapturedStderr();
  unsetenv("DISPLAY");
  EXPECT_EQ(kTZAnswerNo, answer);
  EXPECT_NE(std::string::npos, error.find("Message box not shown: ")) << error;
  EXPECT_NE(std::string::npos, error.find("Tarsel Morlix: No display here\n")) << error;
}

}  // namespace
