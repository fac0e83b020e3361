// TZString: UTF-8 in and out, number formatting, parsing, splitting and comparisons.
#include <platform/TZString.h>

#include <gtest/gtest.h>

#include <climits>
#include <string>
#include <vector>

namespace {

TEST(TZString, ConstructsFromUTF8AndBytes) {
  EXPECT_EQ(TZString("caf\xC3\xA9 \xF0\x9F\x98\x80"), u"caf\u00E9 \U0001F600");
  EXPECT_EQ(TZString("ab\xF8" "c"), u"ab\uFFFDc");
  EXPECT_EQ(TZString(static_cast<const char*>(nullptr)), u"");
  EXPECT_EQ(TZString(""), u"");
  EXPECT_EQ(TZString("a\xC3\xA9", TZString::kBytesASCII), u"a\uFFFD\uFFFD");
  EXPECT_EQ(TZString(static_cast<const char16_t*>(nullptr)), u"");
  EXPECT_EQ(TZString(tarsel::orn::AString(u"x\U0001F600")), u"x\U0001F600");
}

TEST(TZString, ConvertsOut) {
  const TZString text(u"caf\u00E9 \U0001F600 \xD800");
  EXPECT_EQ(text.ToUTF8(), "caf\xC3\xA9 \xF0\x9F\x98\x80 \xED\xA0\x80");
  EXPECT_EQ(TZString(text.ToUTF8().c_str()), text);
  EXPECT_TRUE(text.ToAString() == text.c_str());
  EXPECT_EQ(text.ToWString(), std::u16string(text));
}

TEST(TZString, FormatsNumbers) {
  struct Row {
    TZString (*make)();
    std::u16string expected;
  };
  const std::vector<Row> rows = {
      {[] { return TZString(u"n=").AppendInt(-42); }, u"n=-42"},
      {[] { return TZString().AppendInt(INT32_MIN); }, u"-2147483648"},
      {[] { return TZString().AppendInt(7, TZString(u"%03d")); }, u"007"},
      {[] { return TZString().AppendInt(255, TZString(u"<%x> 100%%")); }, u"<ff> 100%"},
      {[] { return TZString().AppendInt(7, TZString(u"%s")); }, u""},
      {[] { return TZString().AppendInt(7, TZString(u"%d %d")); }, u""},
      {[] { return TZString().AppendInt(7, TZString(u"no conversion")); }, u""},
      {[] { return TZString().AppendInt(7, TZString(u"%*d")); }, u""},
      {[] { return TZString().AppendInt(7, TZString(u"%0120d")).Substring(94); }, u"00000"},
      {[] { return TZString().AppendUInt(UINT32_MAX); }, u"4294967295"},
      {[] { return TZString().AppendUInt64(UINT64_MAX); }, u"18446744073709551615"},
      {[] {
         TZString range;
         range.AppendUInt64(10485760) += u'-';
         return range.AppendUInt64(20971519);
       },
       u"10485760-20971519"},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(std::to_string(&row - rows.data()));
    EXPECT_EQ(row.make(), row.expected);
  }
  EXPECT_EQ(TZString().AppendInt(7, TZString(u"%0120d")).size(), 99u);
}

TEST(TZString, ParsesUInt64) {
  const std::vector<std::pair<std::u16string, uint64_t>> rows = {
      {u"123", 123},  {u" 42x", 42}, {u"abc", 0}, {u"", 0}, {u"-5", 0}, {u"+7", 7},
      {u"1234\r", 1234}, {u"18446744073709551615", UINT64_MAX}, {u"18446744073709551616", 0},
      {u"\t\n9", 9},
  };
  for (const auto& row : rows) {
    EXPECT_EQ(TZString(row.first).ParseUInt64(), row.second) << TZString(row.first).ToUTF8();
  }
}

TEST(TZString, Splits) {
  const std::vector<std::pair<std::u16string, std::vector<std::u16string>>> rows = {
      {u"a,b", {u"a", u"b"}},
      {u"a,,b", {u"a", u"", u"b"}},
      {u"a;b,c", {u"a", u"b", u"c"}},
      {u"", {u""}},
      {u"a,", {u"a", u""}},
      {u"abc", {u"abc"}},
  };
  for (const auto& row : rows) {
    const std::vector<TZString> pieces = TZString(row.first).Split(u",;");
    ASSERT_EQ(pieces.size(), row.second.size()) << TZString(row.first).ToUTF8();
    for (std::size_t i = 0; i < pieces.size(); ++i) {
      EXPECT_EQ(pieces[i], row.second[i]) << TZString(row.first).ToUTF8() << " piece " << i;
    }
  }
  EXPECT_EQ(TZString(u"a,b").Split(u"").size(), 1u);
}

TEST(TZString, ComparesAndConcatenates) {
  EXPECT_TRUE(TZString(u"Success").IsNotSuccess());
  EXPECT_TRUE(TZString(u"success ").IsNotSuccess());
  EXPECT_FALSE(TZString(u"success").IsNotSuccess());
  EXPECT_TRUE(TZString(u"caf\u00E9").EqualsUTF8("caf\xC3\xA9"));
  EXPECT_FALSE(TZString(u"Caf\u00E9").EqualsUTF8("caf\xC3\xA9"));
  EXPECT_TRUE(TZString().EqualsUTF8(nullptr));

  TZString text(u"a");
  text += "\xC3\xA9";
  text += u"b";
  const TZString joined = "\xC3\xA9" + text + u'!' + "x" + TZString(u"y") + u"z";
  EXPECT_EQ(joined, u"\u00E9a\u00E9b!xyz");
  EXPECT_EQ(joined.Substring(1, 2), u"a\u00E9");
  EXPECT_THROW(joined.Substring(100), std::out_of_range);
}

}  // namespace
