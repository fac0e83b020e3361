#include <gtest/gtest.h>

#include "PkgPath.h"
#include "PkgTestUtil.h"

namespace {

struct PathRow {
  const char* input;
  const char* expected;
};

TEST(PkgPath, Normalize) {
  const PathRow rows[] = {
      {"/", "/"},
      {"a//./b", "a/b"},
      {"a/x/../b/", "a/b/"},
      {"../b", "b"},
      {"a/b#c/../d", "a/b#c/../d"},
      {"/META-INF/pkgproperties.xml", "META-INF/pkgproperties.xml"},
      {"/a/./b.txt", "a/b.txt"},
      {"a/.x/.../b", "a/.x/.../b"},
      {"a/..", "/"},
      {"./.", "/"},
      {"//", "/"},
      {"a/#frag", "a/#frag"},
      {"a/b/..#frag", "a/#frag"},
      {"a/./#frag", "a/#frag"},
      {"a/b/../", "a/"},
  };
  const pkg::PkgSeparators separators;
  for (const auto& row : rows) {
    SCOPED_TRACE(row.input);
    EXPECT_EQ(pkg::NormalizePkgPath(row.input, separators), row.expected);
  }
  EXPECT_EQ(pkgtest::CodeOf([&] { pkg::NormalizePkgPath("", separators); }), 22);
}

TEST(PkgPath, ResolveRelativeToAFile) {
  const PathRow rows[] = {
      {"d.txt", "/a/b/d.txt"},
      {"../d.txt", "/a/d.txt"},
      {"#x", "/a/b/c.txt#x"},
      {"/z/./y", "/z/y"},
      {"//host/share", "//host/share"},
      {"http://example/x", "http://example/x"},
      {"mailto:x", "mailto:x"},
      {"../../../up", "/up"},
  };
  const pkg::PkgSeparators separators;
  for (const auto& row : rows) {
    SCOPED_TRACE(row.input);
    EXPECT_EQ(pkg::ResolvePkgPath(row.input, "a/b/c.txt", separators), row.expected);
  }
  EXPECT_EQ(pkg::ResolvePkgPath("d.txt", "top.txt", separators), "/d.txt");
}

TEST(PkgPath, JoinToADirectory) {
  const pkg::PkgSeparators separators;
  EXPECT_EQ(pkg::JoinPkgPath("b.txt", "a/", separators), "a/b.txt");
  EXPECT_EQ(pkg::JoinPkgPath("b.txt", "a", separators), "a/b.txt");
  EXPECT_EQ(pkg::JoinPkgPath("/b.txt", "a/", separators), "/b.txt");
  EXPECT_EQ(pkg::JoinPkgPath("b.txt", "/", separators), "/b.txt");
}

}  // namespace
