// AString8: the standard byte string's errors with their messages, bytewise comparison, moves.
#include <tarsel/orn/AString8.h>

#include <gtest/gtest.h>

#include <stdexcept>
#include <string>
#include <vector>

using tarsel::orn::AString8;

namespace {

TEST(AString8, AtThrowsInvalidStringPosition) {
  AString8 text("abcde");
  EXPECT_EQ(text.at(4), 'e');
  text.at(0) = 'A';
  EXPECT_EQ(text, "Abcde");
  for (std::size_t pos : {std::size_t{5}, std::size_t{6}, AString8::npos}) {
    try {
      text.at(pos);
      ADD_FAILURE() << "no exception at " << pos;
    } catch (const std::out_of_range& e) {
      EXPECT_STREQ(e.what(), "invalid string position") << pos;
    }
  }
  EXPECT_THROW(text.erase(6), std::out_of_range);
  EXPECT_EQ(text.erase(5), "Abcde");
}

TEST(AString8, TooLongThrowsStringTooLong) {
  AString8 text("x");
  try {
    text.reserve(AString8::npos - 1);
    ADD_FAILURE() << "no exception";
  } catch (const std::length_error& e) {
    EXPECT_STREQ(e.what(), "string too long");
  }
  EXPECT_EQ(text, "x");
}

TEST(AString8, ComparesUnsignedBytesThenLength) {
  // {a, b, sign of a compared with b}
  const std::vector<std::tuple<std::string, std::string, int>> rows = {
      {"a", "b", -1},          {"ab", "abc", -1},       {"\x80", "a", 1},
      {"", "", 0},             {std::string("a\0b", 3), std::string("a\0c", 3), -1},
      {std::string("a\0", 2), "a", 1}, {"B", "a", -1},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(std::to_string(&row - rows.data()));
    const AString8 a(std::get<0>(row).data(), std::get<0>(row).size());
    const AString8 b(std::get<1>(row).data(), std::get<1>(row).size());
    const int sign = std::get<2>(row);
    EXPECT_EQ(a == b, sign == 0);
    EXPECT_EQ(a != b, sign != 0);
    EXPECT_EQ(a < b, sign < 0);
    EXPECT_EQ(a <= b, sign <= 0);
    EXPECT_EQ(a > b, sign > 0);
    EXPECT_EQ(a >= b, sign >= 0);
  }
}

TEST(AString8, EditsAndMoves) {
  AString8 text(nullptr, 4);
  EXPECT_TRUE(text.empty());
  text += "ab";
  text += 'c';
  text += AString8("de");
  EXPECT_EQ(text, "abcde");
  EXPECT_EQ(text + 'f', "abcdef");
  EXPECT_EQ(text + "fg", "abcdefg");
  text += text;
  EXPECT_EQ(text, "abcdeabcde");
  text.erase(1, 3);
  EXPECT_EQ(text, "aeabcde");
  text.reserve(1000);
  EXPECT_EQ(text, "aeabcde");
  EXPECT_EQ(text.length(), 7u);

  AString8 moved(std::move(text));
  EXPECT_EQ(moved, "aeabcde");
  EXPECT_TRUE(text.empty());  // a moved-from string reads as empty
  EXPECT_STREQ(text.c_str(), "");
  text = "reused";
  EXPECT_EQ(text, "reused");
  text.swap(moved);
  EXPECT_EQ(text, "aeabcde");
  EXPECT_EQ(moved, "reused");
  text.clear();
  EXPECT_EQ(text.size(), 0u);
  EXPECT_EQ(text.c_str()[0], 0);
}

}  // namespace
