// AString: UTF-8 conversion both ways, growth and Shrink, editing by characters with surrogate
// pairs, searches, GetToken and comparison.
#include <tarsel/orn/AString.h>
#include <tarsel/orn/AString8.h>

#include <gtest/gtest.h>

#include <cstdlib>
#include <functional>
#include <new>
#include <string>
#include <vector>

#include "FoundationTestUtil.h"

using tarsel::orn::AAllocator;
using tarsel::orn::AString;
using tarsel::orn::AString8;

namespace {

AString8 Bytes(const std::string& inBytes) { return AString8(inBytes.data(), inBytes.size()); }

struct DecodeRow {
  const char* name;
  std::string bytes;
  std::u16string units;
  uint32_t chars;
};

TEST(AStringUTF8, DecodesTable) {
  const std::vector<DecodeRow> rows = {
      {"empty", "", u"", 0},
      {"ascii", "abc", u"abc", 3},
      {"two bytes", "\xC3\xA9", u"\u00E9", 1},
      {"two bytes max", "\xDF\xBF", u"\u07FF", 1},
      {"three bytes min", "\xE0\xA0\x80", u"\u0800", 1},
      {"overlong three bytes accepted", "\xE0\x9F\xBF", u"\u07FF", 1},
      {"four bytes make a pair", "\xF0\x9F\x98\x80", u"\U0001F600", 1},
      {"last code point", "\xF4\x8F\xBF\xBF", u"\U0010FFFF", 1},
      {"beyond U+10FFFF is replaced", "\xF4\x90\x80\x80" "a", u"\uFFFDa", 2},
      {"overlong four bytes give the BMP unit", "\xF0\x80\x81\x81", u"A", 1},
      {"lead F8 is replaced and decoding goes on", "\xF8" "A", u"\uFFFDA", 2},
      {"lead FF alone", "\xFF", u"\uFFFD", 1},
      {"three-byte sequence cut short", "\xE2\x82", u"\uFFFD\uFFFD", 2},
      {"two-byte lead at the end", "a\xC3", u"a\uFFFD", 2},
      {"four-byte sequence cut short", "\xF0\x9F\x98", u"\uFFFD\u07D8", 2},
      {"stray continuation taken as a two-byte lead", "\x80" "A", u"\u0001", 1},
      {"0 byte dropped", std::string("a\0b", 3), u"ab", 2},
      {"overlong 0 dropped", "\xC0\x80x", u"x", 1},
      {"encoded lone surrogate", "\xED\xA0\x80", u"\xD800", 1},
      {"two encoded surrogates form a pair", "\xED\xA0\xBD\xED\xB8\x80", u"\U0001F600", 1},
  };
  for (const DecodeRow& row : rows) {
    SCOPED_TRACE(row.name);
    AString out(u"previous text");
    ASSERT_TRUE(AString::UTF8ToAString(Bytes(row.bytes), out));
    EXPECT_EQ(std::u16string(out.GrabWString(), out.UTF16Count()), row.units);
    EXPECT_EQ(out.CharCount(), row.chars);
    EXPECT_EQ(out.GrabWString()[out.UTF16Count()], 0);
  }
}

struct EncodeRow {
  const char* name;
  std::u16string units;
  std::string bytes;
};

TEST(AStringUTF8, EncodesTable) {
  const std::vector<EncodeRow> rows = {
      {"ascii", u"A\u007F", "A\x7F"},
      {"two bytes", u"\u0080\u07FF", "\xC2\x80\xDF\xBF"},
      {"three bytes", u"\u0800\uFFFF", "\xE0\xA0\x80\xEF\xBF\xBF"},
      {"pair", u"\U0001F600", "\xF0\x9F\x98\x80"},
      {"last pair", u"\U0010FFFF", "\xF4\x8F\xBF\xBF"},
      {"lone high", u"\xD800", "\xED\xA0\x80"},
      {"high before a letter", u"\xD800" "a", "\xED\xA0\x80" "a"},
      {"low before high", u"\xDC00\xD800", "\xED\xB0\x80\xED\xA0\x80"},
  };
  for (const EncodeRow& row : rows) {
    SCOPED_TRACE(row.name);
    AString8 out("previous");
    ASSERT_TRUE(AString::AStringToUTF8(AString(row.units.c_str(), static_cast<uint32_t>(row.units.size())), out));
    EXPECT_EQ(std::string(out.c_str(), out.size()), row.bytes);
  }
}

// Every single unit and a spread of pairs comes back unchanged through UTF-8.
TEST(AStringUTF8, RoundTripsEveryUnitAndPairs) {
  for (uint32_t unit = 1; unit <= 0xFFFF; ++unit) {
    const char16_t text[2] = {static_cast<char16_t>(unit), 0};
    AString8 bytes;
    AString back;
    ASSERT_TRUE(AString::AStringToUTF8(AString(text), bytes));
    ASSERT_TRUE(AString::UTF8ToAString(bytes, back));
    ASSERT_TRUE(back == text) << "unit " << std::hex << unit;
  }
  for (uint32_t high = 0xD800; high <= 0xDBFF; high += 0x2F) {
    for (uint32_t low = 0xDC00; low <= 0xDFFF; low += 0x3D) {
      const char16_t text[4] = {static_cast<char16_t>(high), static_cast<char16_t>(low), u'z', 0};
      AString8 bytes;
      AString back;
      ASSERT_TRUE(AString::AStringToUTF8(AString(text), bytes));
      ASSERT_EQ(bytes.size(), 5u);
      ASSERT_TRUE(AString::UTF8ToAString(bytes, back));
      ASSERT_TRUE(back == text) << std::hex << high << " " << low;
      ASSERT_EQ(back.CharCount(), 2u);
    }
  }
}

TEST(AStringBuffer, GrowsInStepsOfHalfTheCapacity) {
  AString text("abc");
  EXPECT_EQ(text.Capacity(), 31u);
  // {length reached by appending, capacity then}
  const std::vector<std::pair<uint32_t, uint32_t>> steps = {
      {31, 31}, {32, 63}, {63, 63}, {64, 95}, {95, 95}, {96, 143}, {143, 143}, {144, 215}};
  for (const auto& step : steps) {
    while (text.UTF16Count() < step.first) {
      ASSERT_TRUE(text.Append(u'x'));
    }
    EXPECT_EQ(text.Capacity(), step.second) << "length " << step.first;
  }
  EXPECT_EQ(text.Substring(0, 4), AString("abcx"));
}

struct ShrinkRow {
  const char* name;
  uint32_t preallocate;
  uint32_t length;
  bool exact;
  uint32_t capacity;
};

TEST(AStringBuffer, ShrinkTable) {
  const std::vector<ShrinkRow> rows = {
      {"inline left alone", 0, 3, true, 31},
      {"empty heap goes inline", 100, 0, false, 31},
      {"to a multiple of 32", 200, 40, false, 63},
      {"exact", 200, 40, true, 40},
      {"small heap text goes inline", 100, 20, false, 31},
      {"exact small text goes inline", 100, 31, true, 31},
      {"already the target", 63, 63, false, 63},
  };
  for (const ShrinkRow& row : rows) {
    SCOPED_TRACE(row.name);
    AString text;
    ASSERT_TRUE(text.Preallocate(row.preallocate));
    std::u16string expected;
    for (uint32_t i = 0; i < row.length; ++i) {
      expected += static_cast<char16_t>(u'a' + i % 26);
    }
    ASSERT_TRUE(text.SetString(expected.c_str()));
    text.Shrink(row.exact);
    EXPECT_EQ(text.Capacity(), row.capacity);
    EXPECT_TRUE(text == expected.c_str());
  }
}

struct EditRow {
  const char* name;
  std::u16string start;
  std::function<void(AString&)> edit;
  std::u16string expected;
};

TEST(AStringEdit, Table) {
  const std::u16string smile = u"\U0001F600";
  const std::vector<EditRow> rows = {
      {"truncate 2", u"abcd", [](AString& s) { s.Truncate(2); }, u"ab"},
      {"truncate all", u"abcd", [](AString& s) { s.Truncate(9); }, u""},
      {"truncate 0", u"abcd", [](AString& s) { s.Truncate(0); }, u"abcd"},
      {"remove clamps", u"abcd", [](AString& s) { s.Remove(1, 100); }, u"a"},
      {"remove at end", u"abcd", [](AString& s) { s.Remove(4, 1); }, u"abcd"},
      {"remove none", u"abcd", [](AString& s) { s.Remove(0, 0); }, u"abcd"},
      {"set char appends", u"abcd", [](AString& s) { s.SetChar(4, u'x'); }, u"abcdx"},
      {"set char past end", u"abcd", [](AString& s) { s.SetChar(9, u'x'); }, u"abcd"},
      {"set char 0", u"abcd", [](AString& s) { s.SetChar(1, 0); }, u"abcd"},
      {"insert inside", u"abcd", [](AString& s) { s.Insert(2, AString(u"XY")); }, u"abXYcd"},
      {"insert at end", u"abcd", [](AString& s) { s.Insert(4, u"XY"); }, u"abcdXY"},
      {"insert past end", u"abcd", [](AString& s) { s.Insert(5, u"XY"); }, u"abcd"},
      {"insert first of", u"abcd", [](AString& s) { s.Insert(0, u"XYZ", 1); }, u"Xabcd"},
      {"append count", u"ab", [](AString& s) { s.Append(AString(u"cdef"), 2); }, u"abcd"},
      {"append 0 unit", u"ab", [](AString& s) { s.Append(char16_t{0}); }, u"ab"},
      {"append null", u"ab", [](AString& s) { s.Append(static_cast<const char16_t*>(nullptr)); }, u"ab"},
      {"set string count", u"ab", [](AString& s) { s.SetString(AString(u"wxyz"), 3); }, u"wxy"},
      {"set string null", u"ab", [](AString& s) { s.SetString(static_cast<const char16_t*>(nullptr)); }, u""},
      {"set buffer first unit 0", u"ab", [](AString& s) { s.SetBuffer(u"\0x", 2); }, u""},
      {"pair replaced by set char", u"a" + smile + u"b", [](AString& s) { s.SetChar(1, u'x'); }, u"axb"},
      {"pair removed as one", u"a" + smile + u"b", [](AString& s) { s.Remove(1, 1); }, u"ab"},
      {"truncate removes the pair", u"a" + smile, [](AString& s) { s.Truncate(1); }, u"a"},
      {"insert after the pair", u"a" + smile + u"b", [](AString& s) { s.Insert(2, u"-"); }, u"a" + smile + u"-b"},
      {"append to self", u"0123456789abcdefghijkl",
       [](AString& s) { s.Append(s); }, u"0123456789abcdefghijkl0123456789abcdefghijkl"},
      {"insert self", u"abc", [](AString& s) { s.Insert(1, s); }, u"aabcbc"},
      {"set string self prefix", u"abcd", [](AString& s) { s.SetString(s, 2); }, u"ab"},
  };
  for (const EditRow& row : rows) {
    SCOPED_TRACE(row.name);
    AString text(row.start.c_str());
    row.edit(text);
    EXPECT_EQ(std::u16string(text.GrabWString(), text.UTF16Count()), row.expected);
    AString fresh(row.expected.c_str());
    EXPECT_EQ(text.CharCount(), fresh.CharCount());
  }
}

TEST(AStringEdit, HighSurrogateAtTheEndPairsWithAppendedLow) {
  AString text(u"a\xD83D");
  EXPECT_EQ(text.CharCount(), 2u);
  text.Append(u'\xDE00');
  EXPECT_EQ(text.CharCount(), 2u);
  EXPECT_EQ(text.UTF16Count(), 3u);
  EXPECT_EQ(text.GetChar(1), 0);
}

TEST(AStringSearch, SurrogatesAndIndexes) {
  const AString text(u"a\U0001F600b\xD800" "c");
  EXPECT_EQ(text.CharCount(), 5u);
  EXPECT_EQ(text.UTF16Count(), 6u);
  EXPECT_EQ(text.GetChar(0), u'a');
  EXPECT_EQ(text.GetChar(1), 0);
  EXPECT_EQ(text[2], u'b');
  EXPECT_EQ(text.GetChar(3), u'\xD800');
  EXPECT_EQ(text.GetChar(5), 0);
  EXPECT_EQ(text.IndexOf(u'\xD83D'), AString::kAtEnd);
  EXPECT_EQ(text.IndexOf(u'\xD800'), AString::kAtEnd);
  EXPECT_EQ(text.IndexOf(u'b'), 2u);
  EXPECT_EQ(text.IndexOf(u'c', 4), 4u);
  EXPECT_EQ(text.IndexOf(u'a', 1), AString::kAtEnd);
  EXPECT_EQ(text.IndexOf(char16_t{0}), AString::kAtEnd);
  EXPECT_EQ(text.IndexOf(AString(u"\U0001F600b")), 1u);
  EXPECT_EQ(text.IndexOf(AString(u"\xDE00")), AString::kAtEnd);
  EXPECT_EQ(text.IndexOf(AString(u"bc")), AString::kAtEnd);
  EXPECT_EQ(text.IndexOf(AString(), 3), 3u);
  EXPECT_EQ(text.IndexOf(AString(), 5), AString::kAtEnd);
  EXPECT_EQ(text.IndexOfAny(AString(u"cb\U0001F600")), 1u);
  EXPECT_EQ(text.IndexOfAny(AString(u"\U0001F601")), AString::kAtEnd);
  EXPECT_EQ(text.IndexOfAny(AString(u"c"), 2), 4u);
  EXPECT_EQ(text.IndexOfAny(AString(), 2), 2u);
  EXPECT_TRUE(text.Contains(u'c'));
  EXPECT_FALSE(text.Contains(AString(u"ab")));
  EXPECT_TRUE(text.ContainsAny(AString(u"xyzc")));
  EXPECT_EQ(text.Substring(1, 2), AString(u"\U0001F600b"));
  EXPECT_TRUE(text.Substring(5).IsEmpty());
  EXPECT_TRUE(text.Substring(0, 0).IsEmpty());
  EXPECT_EQ(AString(u"aaab").IndexOf(AString(u"aab")), 1u);
  EXPECT_EQ(AString(u"ab").IndexOf(AString(u"abc")), AString::kAtEnd);
}

struct TokenRow {
  std::u16string text;
  std::u16string delimiter;
  uint32_t index;
  std::u16string expected;
};

TEST(AStringSearch, GetTokenTable) {
  const std::vector<TokenRow> rows = {
      {u"a,b,c", u",", 1, u"b"},   {u"a,b,c", u",", 2, u"c"},   {u"a,b,c", u",", 0, u""},
      {u"a,b", u",", 3, u""},      {u"a,b", u",", 2, u""},      {u"a,b", u",", 1, u"b"},
      {u"", u",", 1, u""},         {u"a,b", u"", 1, u""},       {u"a::b::c", u"::", 2, u"c"},
      {u"a,,b", u",", 1, u""},     {u"a,,b", u",", 2, u"b"},    {u",a", u",", 1, u"a"},
      {u"abc", u",", 1, u""},      {u"x\U0001F600y\U0001F600z", u"\U0001F600", 1, u"y"},
      {u"a:::b", u"::", 1, u":b"},
  };
  for (const TokenRow& row : rows) {
    SCOPED_TRACE(std::string("row ") + std::to_string(&row - rows.data()));
    const AString text(row.text.c_str());
    EXPECT_EQ(text.GetToken(AString(row.delimiter.c_str()), row.index), AString(row.expected.c_str()));
    if (row.delimiter.size() == 1) {
      EXPECT_EQ(text.GetToken(row.delimiter[0], row.index), AString(row.expected.c_str()));
    }
  }
  EXPECT_TRUE(AString(u"a\0b", 3).GetToken(char16_t{0}, 1).IsEmpty());
}

TEST(AStringCompare, Table) {
  const std::vector<std::tuple<std::u16string, std::u16string, int>> rows = {
      {u"ab", u"abc", -1}, {u"B", u"a", -1},        {u"abc", u"ab", 1},
      {u"", u"", 0},       {u"a", u"a", 0},         {u"\xFFFF", u"a", 1},
      {u"\U0001F600", u"\uFFFD", -1}, {u"", u"a", -1},
  };
  for (const auto& row : rows) {
    const AString a(std::get<0>(row).c_str());
    const AString b(std::get<1>(row).c_str());
    const int expected = std::get<2>(row);
    SCOPED_TRACE(std::string("row ") + std::to_string(&row - rows.data()));
    EXPECT_EQ(a.Compare(b), expected);
    EXPECT_EQ(b.Compare(a), -expected);
    EXPECT_EQ(a == b, expected == 0);
    EXPECT_EQ(a < b, expected < 0);
    EXPECT_EQ(a >= b, expected >= 0);
    EXPECT_EQ(a == std::get<1>(row).c_str(), expected == 0);
  }
}

TEST(AStringConstruct, BytesNullAndCopies) {
  EXPECT_EQ(AString("caf\xE9"), AString(u"caf\u00E9"));
  EXPECT_TRUE(AString(static_cast<const char*>(nullptr)).IsEmpty());
  EXPECT_TRUE(AString(static_cast<const char16_t*>(nullptr)).IsEmpty());
  EXPECT_EQ(tarsel::orn::WLength(nullptr), 0u);
  EXPECT_EQ(tarsel::orn::WLength(u"abc"), 3u);

  AString original(u"a long text that certainly lives on the heap");
  AString copy(original);
  copy.SetChar(0, u'A');
  EXPECT_EQ(original.GetChar(0), u'a');

  char16_t* owned = original.GetWString();
  ASSERT_NE(owned, nullptr);
  EXPECT_TRUE(original == owned);
  AAllocator::Free(owned);

  AString moved(std::move(original));
  EXPECT_TRUE(original.IsEmpty());  // NOLINT(bugprone-use-after-move): a moved-from string reads as empty
  original = u"again";
  EXPECT_TRUE(original == u"again");
  EXPECT_EQ(moved.CharCount(), 44u);
}

// A failed allocation leaves the string as it was.
TEST(AStringAllocation, FailureLeavesTheStringUnchanged) {
  AString text(u"short");
  const AString8 bytes("\xC3\xA9 plus enough bytes to need a heap buffer for the decoded text");
  {
    FailingAllocator failing;
    EXPECT_FALSE(text.Append(u" and now a text long enough to need the heap"));
    EXPECT_FALSE(text.Preallocate(100));
    EXPECT_EQ(text.GetWString(), nullptr);
    EXPECT_FALSE(AString::UTF8ToAString(bytes, text));
  }
  EXPECT_TRUE(text == u"short");
  EXPECT_EQ(text.Capacity(), 31u);
}

TEST(AStringAllocation, GoesThroughRegisteredProcedures) {
  CountingAllocator counting;
  {
    AString text(u"0123456789012345678901234567890123456789");
    EXPECT_EQ(counting.Allocations(), 2);  // the representation and the heap buffer
  }
  EXPECT_EQ(counting.Frees(), 2);
  // The class-level operators route new-expressions of every form the same way.
  AString* single = new AString(u"x");
  EXPECT_EQ(counting.Allocations(), 4);
  delete single;
  AString* array = new AString[2];
  EXPECT_EQ(counting.Allocations(), 7);
  delete[] array;
  EXPECT_EQ(counting.Frees(), 7);
}

}  // namespace
