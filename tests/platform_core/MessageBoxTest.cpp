// Message boxes: the test responder sees every box; with no display the text goes to standard
// error and the default button answers.
#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "platform/TZMessageBox.h"

namespace {

// Removes the display variables for one test and puts them back afterwards.
class NoDisplay {
 public:
  NoDisplay() {
    for (const char* name : {"DISPLAY", "WAYLAND_DISPLAY"}) {
      if (const char* value = std::getenv(name)) m_saved.emplace_back(name, value);
      unsetenv(name);
    }
  }
  ~NoDisplay() {
    for (const auto& [name, value] : m_saved) setenv(name.c_str(), value.c_str(), 1);
  }

 private:
  std::vector<std::pair<std::string, std::string>> m_saved;
};

TEST(MessageBoxTest, WithoutDisplayWritesToStandardErrorAndAnswersTheDefault) {
  NoDisplay noDisplay;
  struct Row {
    TZMessageBoxButtons m_buttons;
    TZMessageBoxAnswer m_expected;
  };
  const Row rows[] = {
      {kTZMessageBoxOK, kTZAnswerOK},
      {kTZMessageBoxRetryCancel, kTZAnswerRetry},
      {kTZMessageBoxYesNo, kTZAnswerNo},
  };
  for (const Row& row : rows) {
    TZMessageBoxRequest request;
    request.m_caption = TZString(u"Tarsel Morlix");
    request.m_text = TZString(u"Unable to install Tarsel Morlix. \u20ac");
    request.m_buttons = row.m_buttons;
    ::testing::internal::CaptureStderr();
    const TZMessageBoxAnswer answer = TZRunMessageBox(request);
    const std::string error = ::testing::internal::GetCapturedStderr();
    EXPECT_EQ(row.m_expected, answer) << "buttons " << row.m_buttons;
    EXPECT_EQ(row.m_expected, TZDefaultMessageBoxAnswer(row.m_buttons));
    EXPECT_EQ("Tarsel Morlix: Unable to install Tarsel Morlix. \xE2\x82\xAC\n", error)
        << "buttons " << row.m_buttons;
  }
}

TEST(MessageBoxTest, ResponderAnswersEveryBoxUntilRemoved) {
  NoDisplay noDisplay;
  std::vector<TZMessageBoxRequest> seen;
  TZSetMessageBoxResponder([&seen](const TZMessageBoxRequest& inRequest) {
    seen.push_back(inRequest);
    return kTZAnswerCancel;
  });
  TZMessageBoxRequest request;
  request.m_caption = TZString(u"Caption");
  request.m_text = TZString(u"Text");
  request.m_buttons = kTZMessageBoxRetryCancel;
  ::testing::internal::CaptureStderr();
  EXPECT_EQ(kTZAnswerCancel, TZRunMessageBox(request));
  TZShowMessageBox(TZString(u"kTZExceptionMsg"));
  TZSetMessageBoxResponder(nullptr);
  TZShowMessageBox(TZString(u"after"));
  const std::string error = ::testing::internal::GetCapturedStderr();

  ASSERT_EQ(2u, seen.size());
  EXPECT_EQ(TZString(u"Caption"), seen[0].m_caption);
  EXPECT_EQ(TZString(u"Text"), seen[0].m_text);
  EXPECT_EQ(kTZMessageBoxRetryCancel, seen[0].m_buttons);
  EXPECT_EQ(TZString(u"Tarsel Ostrel"), seen[1].m_caption);
  EXPECT_EQ(TZString(u"kTZExceptionMsg"), seen[1].m_text);
  EXPECT_EQ(kTZMessageBoxOK, seen[1].m_buttons);
  // Only the box after the responder was removed reached standard error.
  EXPECT_EQ("Tarsel Ostrel: after\n", error);
}

}  // namespace
