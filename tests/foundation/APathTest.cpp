// APath, APathComponent, the iterators and CorePathUtils: both text forms (drives, UNC shares,
// the long-path prefix), component splitting, editing by index and by iterator, aliases.
#include <tarsel/orn/APath.h>
#include <tarsel/orn/AString8.h>
#include <tarsel/orn/CorePathUtils.h>

#include <gtest/gtest.h>

#include <unistd.h>

#include <climits>

#include "FoundationTestUtil.h"
#include <string>
#include <vector>

using tarsel::orn::APath;
using tarsel::orn::APathComponent;
using tarsel::orn::APathIterator;
using tarsel::orn::APathReverseIterator;
using tarsel::orn::AString;
using tarsel::orn::AString8;
using tarsel::orn::CorePathUtils;

namespace {

constexpr APath::PathType kNative = APath::kPathTypeNative;
constexpr APath::PathType kPosix = APath::kPathTypePosix;
constexpr APath::PathType kWindows = APath::kPathTypeWindows;

std::string Utf8(const AString& inText) {
  AString8 bytes;
  AString::AStringToUTF8(inText, bytes);
  return std::string(bytes.c_str(), bytes.size());
}

AString Text(const std::string& inUtf8) {
  AString text;
  AString::UTF8ToAString(AString8(inUtf8.data(), inUtf8.size()), text);
  return text;
}

std::vector<std::string> Components(const APath& inPath) {
  std::vector<std::string> texts;
  for (uint32_t i = 0; i < inPath.Size(); ++i) {
    texts.push_back(Utf8(inPath.GetComponent(i).Get()));
  }
  return texts;
}

APath Parse(const std::string& inText, APath::PathType inType) { return APath(Text(inText), inType); }

struct ParseRow {
  std::string text;
  APath::PathType type;
  std::vector<std::string> components;
  bool absolute;
  bool drive;
  std::string posix;
  std::string windows;
};

TEST(APathParse, Table) {
  const std::vector<ParseRow> rows = {
      {"C:\\Program Files\\x", kWindows, {"C:", "Program Files", "x"}, true, true, "/C:/Program Files/x",
       "C:\\Program Files\\x"},
      {"c:", kWindows, {"c:"}, true, true, "/c:", "c:\\"},
      {"C:foo\\bar", kWindows, {"C:", "foo", "bar"}, false, true, "C:/foo/bar", "C:foo\\bar"},
      {"C:/mixed/seps", kWindows, {"C:", "mixed", "seps"}, true, true, "/C:/mixed/seps", "C:\\mixed\\seps"},
      {"C:\\a\\\\\\", kWindows, {"C:", "a"}, true, true, "/C:/a", "C:\\a"},
      {"\\\\?\\C:\\x", kWindows, {"C:", "x"}, true, true, "/C:/x", "C:\\x"},
      {"\\\\server\\share\\dir", kWindows, {"server", "share", "dir"}, true, false, "/server/share/dir",
       "\\\\server\\share\\dir"},
      {"//server/share/dir", kWindows, {"server", "share", "dir"}, true, false, "/server/share/dir",
       "\\\\server\\share\\dir"},
      {"\\\\?\\UNC\\srv\\sh\\f", kWindows, {"srv", "sh", "f"}, true, false, "/srv/sh/f", "\\\\srv\\sh\\f"},
      {"\\\\server", kWindows, {"\\\\server"}, false, false, "\\\\server", "\\\\server"},
      {"\\temp\\x", kWindows, {"\\temp\\x"}, false, false, "\\temp\\x", "\\temp\\x"},
      {"a\\\\b\\", kWindows, {"a", "b"}, false, false, "a/b", "a\\b"},
      {"/", kPosix, {""}, true, false, "/", "\\"},
      {"a//b/", kPosix, {"a", "b", ""}, false, false, "a/b/", "a\\b\\"},
      {"//x", kPosix, {"", "x"}, true, false, "/x", "\\x"},
      {"/C:/x", kPosix, {"", "C:", "x"}, true, false, "/C:/x", "\\C:\\x"},
      {"/usr/x", kNative, {"", "usr", "x"}, true, false, "/usr/x", "\\usr\\x"},
      {"a\\b", kNative, {"a\\b"}, false, false, "a\\b", "a\\b"},
      {"rel/a.txt", kNative, {"rel", "a.txt"}, false, false, "rel/a.txt", "rel\\a.txt"},
      {"", kNative, {}, false, false, "", ""},
      {"", kWindows, {}, false, false, "", ""},
  };
  for (const ParseRow& row : rows) {
    SCOPED_TRACE("text '" + row.text + "' type " + std::to_string(row.type));
    const APath path = Parse(row.text, row.type);
    EXPECT_EQ(Components(path), row.components);
    EXPECT_EQ(path.IsAbsolute(), row.absolute);
    EXPECT_EQ(path.GetComponent(0).IsWinDrive(), row.drive);
    EXPECT_EQ(Utf8(path.GetPath(kPosix)), row.posix);
    EXPECT_EQ(Utf8(path.GetPath(kNative)), row.posix);
    EXPECT_EQ(Utf8(path.GetPath(kWindows)), row.windows);
  }
}

TEST(APathParse, UnknownTypeChangesNothing) {
  APath path = Parse("/a/b", kNative);
  EXPECT_FALSE(path.SetPath(Text("x"), static_cast<APath::PathType>(0)));
  EXPECT_FALSE(path.SetPath(Text("x"), static_cast<APath::PathType>(4)));
  EXPECT_EQ(Components(path), (std::vector<std::string>{"", "a", "b"}));
  EXPECT_TRUE(path.GetPath(static_cast<APath::PathType>(7)).IsEmpty());
  EXPECT_TRUE(APath(Text("x"), static_cast<APath::PathType>(9)).IsEmpty());
}

TEST(APathWrite, ParentPaths) {
  // {text, type, parent written in the same form}
  const std::vector<std::tuple<std::string, APath::PathType, std::string>> rows = {
      {"\\\\server\\share", kWindows, ""},
      {"\\\\server\\share\\d", kWindows, "\\\\server\\share"},
      {"C:\\a", kWindows, "C:\\"},
      {"C:a\\b", kWindows, "C:a"},
      {"C:a", kWindows, "C:"},
      {"/usr/x", kPosix, "/usr"},
      {"/usr", kPosix, "/"},
      {"/", kPosix, ""},
      {"a/b", kPosix, "a"},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(std::get<0>(row));
    EXPECT_EQ(Utf8(Parse(std::get<0>(row), std::get<1>(row)).GetParentPath(std::get<1>(row))), std::get<2>(row));
  }
}

TEST(APathWrite, LongFormPrefixOnlyForLongAbsolutePaths) {
  const std::string name(100, 'n');
  const std::string drive = "C:\\" + name + "\\" + name + "\\" + name;
  const std::string unc = "\\\\server\\share\\" + name + "\\" + name + "\\" + name;
  const std::string relative = name + "\\" + name + "\\" + name;
  EXPECT_EQ(Utf8(Parse(drive, kWindows).GetPath(kWindows, true)), "\\\\?\\" + drive);
  EXPECT_EQ(Utf8(Parse(drive, kWindows).GetPath(kWindows, false)), drive);
  EXPECT_EQ(Utf8(Parse(unc, kWindows).GetPath(kWindows, true)), "\\\\?\\UNC\\" + unc.substr(2));
  EXPECT_EQ(Utf8(Parse(relative, kWindows).GetPath(kWindows, true)), relative);
  const std::string shortDrive = "C:\\" + name;
  EXPECT_EQ(Utf8(Parse(shortDrive, kWindows).GetPath(kWindows, true)), shortDrive);
  // The prefixed text parses back to the same path.
  EXPECT_EQ(Parse(Utf8(Parse(unc, kWindows).GetPath(kWindows, true)), kWindows), Parse(unc, kWindows));
  EXPECT_EQ(Parse(Utf8(Parse(drive, kWindows).GetPath(kWindows, true)), kWindows), Parse(drive, kWindows));
}

struct ComponentRow {
  std::string text;
  std::string base;
  std::string extension;
  bool alias;
  bool valid;
};

TEST(APathComponentSplit, Table) {
  const std::vector<ComponentRow> rows = {
      {"archive.tar.gz", "archive.tar", "gz", false, true},
      {"name.", "name", "", false, true},
      {".profile", "", "profile", false, true},
      {"..", "..", "", true, true},
      {".", ".", "", true, true},
      {"plain", "plain", "", false, true},
      {"", "", "", false, false},
      {"a:b", "a:b", "", false, false},
      {"a*", "a*", "", false, false},
      {"q?.txt", "q?", "txt", false, false},
      {"pipe|", "pipe|", "", false, false},
      {"x\\y", "x\\y", "", false, false},
      {std::string(255, 'a'), std::string(255, 'a'), "", false, true},
      {std::string(256, 'a'), std::string(256, 'a'), "", false, false},
      {"caf\xC3\xA9.t\xC3\xA9", "caf\xC3\xA9", "t\xC3\xA9", false, true},
  };
  for (const ComponentRow& row : rows) {
    SCOPED_TRACE(row.text.substr(0, 40));
    const APathComponent component(Text(row.text));
    EXPECT_EQ(Utf8(component.Get()), row.text);
    EXPECT_EQ(Utf8(component.GetBase()), row.base);
    EXPECT_EQ(Utf8(component.GetExtension()), row.extension);
    EXPECT_EQ(component.IsAlias(), row.alias);
    EXPECT_EQ(component.IsValid(), row.valid);
    EXPECT_EQ(component.IsEmpty(), row.text.empty());
  }
}

struct RenameRow {
  std::string text;
  bool setBase;  // else SetExtension
  std::string value;
  std::string result;
  std::string base;
  std::string extension;
};

TEST(APathComponentSplit, SetBaseAndExtension) {
  const std::vector<RenameRow> rows = {
      {"a.txt", true, "b", "b.txt", "b", "txt"},
      {"a.txt", true, "", ".txt", "", "txt"},
      {"name.", true, "", "", "", ""},
      {"a", true, "..", "..", "..", ""},
      {"a.txt", true, "..", "...txt", "..", "txt"},
      {"a.txt", false, "md", "a.md", "a", "md"},
      {"a.txt", false, "", "a.", "a", ""},
      {"a", false, "txt", "a.txt", "a", "txt"},
      {"a.", false, "txt", "a.txt", "a", "txt"},
      {"..", false, "txt", ".txt", "", "txt"},
      {".profile", false, "rc", ".rc", "", "rc"},
  };
  for (const RenameRow& row : rows) {
    SCOPED_TRACE(row.text + (row.setBase ? " SetBase " : " SetExtension ") + row.value);
    APathComponent component(Text(row.text));
    if (row.setBase) {
      component.SetBase(Text(row.value));
    } else {
      component.SetExtension(Text(row.value));
    }
    EXPECT_EQ(Utf8(component.Get()), row.result);
    EXPECT_EQ(Utf8(component.GetBase()), row.base);
    EXPECT_EQ(Utf8(component.GetExtension()), row.extension);
  }
}

TEST(APathComponentSplit, DriveFlagAndMakeValid) {
  const std::vector<std::pair<std::string, bool>> drives = {
      {"C:", true}, {"z:", true}, {"1:", false}, {"C:x", false}, {"C:.", false}, {"::", false}};
  for (const auto& row : drives) {
    APathComponent component(Text(row.first));
    EXPECT_EQ(component.SetIsWinDrive(), row.second) << row.first;
    EXPECT_EQ(component.IsWinDrive(), row.second) << row.first;
    EXPECT_EQ(component.IsValid(), row.second) << row.first;
    component.Set(Text(row.first + "y"));
    EXPECT_FALSE(component.IsWinDrive()) << "Set clears the flag: " << row.first;
  }
  APathComponent bad(Text("a:b*c?.txt"));
  bad.MakeValid(0);
  EXPECT_EQ(Utf8(bad.Get()), "a:b*c?.txt");
  bad.MakeValid(u'_');
  EXPECT_EQ(Utf8(bad.Get()), "a_b_c_.txt");
  EXPECT_TRUE(bad.IsValid());
  EXPECT_EQ(Utf8(bad.GetExtension()), "txt");
  APathComponent drive(Text("C:"));
  drive.SetIsWinDrive();
  drive.MakeValid(u'_');
  EXPECT_EQ(Utf8(drive.Get()), "C:");
  EXPECT_NE(APathComponent(Text("C:")), drive);
}

struct AliasRow {
  std::string text;
  APath::PathType type;
  std::vector<std::string> resolved;
  bool changed;
};

TEST(APathAliases, ResolveTable) {
  const std::vector<AliasRow> rows = {
      {"C:\\a\\.\\b\\..\\c", kWindows, {"C:", "a", "c"}, true},
      {"..\\x", kWindows, {"x"}, true},
      {"../../x", kPosix, {"x"}, true},
      {"/a/../../x", kPosix, {"x"}, true},
      {"a/./b/.", kPosix, {"a", "b"}, true},
      {"a/b/..", kPosix, {"a"}, true},
      {"C:\\..\\x", kWindows, {"x"}, true},
      {"a/b", kPosix, {"a", "b"}, false},
  };
  for (const AliasRow& row : rows) {
    SCOPED_TRACE(row.text);
    APath path = Parse(row.text, row.type);
    const bool absolute = path.IsAbsolute();
    EXPECT_EQ(path.ResolveAliases(), row.changed);
    EXPECT_EQ(Components(path), row.resolved);
    EXPECT_EQ(path.IsAbsolute(), absolute);
  }
  APath rooted = Parse("/a/../../x", kPosix);
  rooted.ResolveAliases();
  EXPECT_EQ(Utf8(rooted.GetPath(kPosix)), "/x");
}

TEST(APathEdit, ComponentOperations) {
  const APath drive = Parse("C:\\a\\b", kWindows);
  EXPECT_TRUE(drive.GetParent(0).IsEmpty());
  EXPECT_TRUE(drive.GetParent(3).IsEmpty());
  const APath parent = drive.GetParent(APath::kLastComponentIndex);
  EXPECT_EQ(Components(parent), (std::vector<std::string>{"C:", "a"}));
  EXPECT_TRUE(parent.IsAbsolute());

  APath joined = Parse("C:\\a", kWindows);
  EXPECT_TRUE(joined.Append(Parse("x\\y", kWindows)));
  EXPECT_EQ(Utf8(joined.GetPath(kWindows)), "C:\\a\\x\\y");
  EXPECT_FALSE(joined.Append(APathComponent()));
  EXPECT_TRUE((joined + APathComponent(Text("z"))).GetComponent(APath::kLastComponentIndex) ==
              APathComponent(Text("z")));
  EXPECT_TRUE(joined.InsertComponent(1, APathComponent(Text("before")), APath::kInsertBefore));
  EXPECT_TRUE(joined.InsertComponent(1, APathComponent(Text("after")), APath::kInsertAfter));
  EXPECT_FALSE(joined.InsertComponent(9, APathComponent(Text("past"))));
  EXPECT_EQ(Components(joined), (std::vector<std::string>{"C:", "before", "after", "a", "x", "y"}));
  EXPECT_TRUE(joined.DeleteComponent(APath::kLastComponentIndex));
  EXPECT_FALSE(joined.DeleteComponent(5));
  EXPECT_TRUE(joined.SetComponent(1, APathComponent(Text("B"))));
  EXPECT_FALSE(joined.SetComponent(1, APathComponent()));
  EXPECT_FALSE(joined.SetComponent(7, APathComponent(Text("q"))));
  EXPECT_EQ(Components(joined), (std::vector<std::string>{"C:", "B", "after", "a", "x"}));
  EXPECT_TRUE(joined.GetComponent(9).IsEmpty());

  const APath sub = joined.Subpath(1, 2);
  EXPECT_EQ(Components(sub), (std::vector<std::string>{"B", "after"}));
  EXPECT_FALSE(sub.IsAbsolute());
  EXPECT_TRUE(joined.Subpath(0, 1).IsAbsolute());
  EXPECT_EQ(joined.Subpath(3).Size(), 2u);
  EXPECT_TRUE(joined.Subpath(5).IsEmpty());
  EXPECT_TRUE(joined.Subpath(0, 0).IsEmpty());

  EXPECT_TRUE(joined.Replace(1, 2, Parse("r1/r2/r3", kPosix)));
  EXPECT_EQ(Components(joined), (std::vector<std::string>{"C:", "r1", "r2", "r3", "a", "x"}));
  EXPECT_TRUE(joined.Replace(4, 100, APath()));
  EXPECT_EQ(Components(joined), (std::vector<std::string>{"C:", "r1", "r2", "r3"}));
  EXPECT_FALSE(joined.Replace(4, 1, APath()));
  EXPECT_FALSE(joined.Replace(0, 0, APath()));

  EXPECT_TRUE(joined.SetParent(3, Parse("D:\\p", kWindows)));
  EXPECT_EQ(Utf8(joined.GetPath(kWindows)), "D:\\p\\r3");
  EXPECT_FALSE(joined.SetParent(5, APath()));

  APath empty;
  EXPECT_FALSE(empty.DeleteComponent(0));
  EXPECT_FALSE(empty.SetComponent(0, APathComponent(Text("x"))));
  EXPECT_FALSE(empty.Append(APathComponent()));
  EXPECT_TRUE(empty.Replace(APath::kLastComponentIndex, 1, Parse("q/r", kPosix)));
  EXPECT_EQ(empty.Size(), 2u);
  APath root;
  root.SetAbsolute();
  EXPECT_TRUE(root.Append(APathComponent()));
  EXPECT_TRUE(root.Append(APathComponent(Text("etc"))));
  EXPECT_EQ(Utf8(root.GetPath()), "/etc");
  APath fresh;
  EXPECT_TRUE(fresh.SetParent(APath::kLastComponentIndex, Parse("/s/t", kPosix)));
  EXPECT_EQ(fresh.Size(), 3u);

  APath relocated = Parse("/old/dir/file", kPosix);
  EXPECT_TRUE(relocated.SetParentPath(Text("/new"), kPosix));
  EXPECT_EQ(Utf8(relocated.GetPath()), "/new/file");
}

TEST(APathEdit, EqualityCopyAndMove) {
  const APath a = Parse("/x/y", kPosix);
  APath b = Parse("/x/y", kPosix);
  EXPECT_EQ(a, b);
  b.SetRelative();
  EXPECT_NE(a, b);
  APath copy(a);
  copy.SetComponent(1, APathComponent(Text("z")));
  EXPECT_EQ(Utf8(a.GetPath()), "/x/y");
  APath moved(std::move(copy));
  EXPECT_EQ(Utf8(moved.GetPath()), "/z/y");
  EXPECT_TRUE(copy.IsEmpty());  // a moved-from path reads as empty
  copy = a;
  EXPECT_EQ(copy, a);
  EXPECT_EQ(APath(APathComponent()).Size(), 0u);
  EXPECT_EQ(APath(APathComponent(Text("one"))).Size(), 1u);
}

struct ClassifyRow {
  std::string text;
  APath::PathType type;
  bool valid;
  bool posix;
  bool unc;
  bool winLocal;
};

TEST(APathClassify, Table) {
  const std::vector<ClassifyRow> rows = {
      {"/usr/x", kNative, true, true, false, false},
      {"/", kNative, true, true, false, false},
      {"a/b", kNative, true, true, false, false},
      {"a/", kNative, false, false, false, false},
      {"a:b/c", kNative, false, false, false, false},
      {"C:\\x", kWindows, true, false, false, true},
      {"C:", kWindows, true, false, false, true},
      {"\\\\srv\\share\\f", kWindows, true, true, true, false},
      {"C:\\a\\..", kWindows, true, false, false, true},
      {"", kNative, false, false, false, false},
  };
  for (const ClassifyRow& row : rows) {
    SCOPED_TRACE(row.text);
    const APath path = Parse(row.text, row.type);
    EXPECT_EQ(path.IsValid(), row.valid);
    EXPECT_EQ(CorePathUtils::IsPosixPath(path), row.posix);
    EXPECT_EQ(CorePathUtils::IsUNCPath(path), row.unc);
    EXPECT_EQ(CorePathUtils::IsWinLocalPath(path), row.winLocal);
  }
  APath twoDrives = Parse("C:\\a", kWindows);
  APathComponent second(Text("D:"));
  second.SetIsWinDrive();
  twoDrives.Append(second);
  EXPECT_FALSE(twoDrives.IsValid());
}

TEST(APathAbsolute, MakeAbsolute) {
  const APath base = Parse("/base/dir", kPosix);
  APath relative = Parse("a/../b", kPosix);
  EXPECT_TRUE(relative.MakeAbsolute(&base, true));
  EXPECT_EQ(Utf8(relative.GetPath()), "/base/dir/b");
  EXPECT_TRUE(relative.IsAbsolute());
  EXPECT_FALSE(relative.MakeAbsolute(&base, false));

  APath keepAliases = Parse("a/../b", kPosix);
  EXPECT_TRUE(keepAliases.MakeAbsolute(&base, false));
  EXPECT_EQ(Utf8(keepAliases.GetPath()), "/base/dir/a/../b");

  const APath relativeBase = Parse("rel", kPosix);
  APath other = Parse("x", kPosix);
  EXPECT_FALSE(other.MakeAbsolute(&relativeBase));
  EXPECT_FALSE(Parse("C:x", kWindows).MakeAbsolute(nullptr));
  EXPECT_FALSE(Parse("a:b", kPosix).MakeAbsolute(&base));

  char cwd[PATH_MAX];
  ASSERT_NE(::getcwd(cwd, sizeof cwd), nullptr);
  APath fromCwd = Parse("x/y", kPosix);
  ASSERT_TRUE(fromCwd.MakeAbsolute());
  EXPECT_EQ(Utf8(fromCwd.GetPath()), std::string(cwd) + "/x/y");
  EXPECT_EQ(Utf8(CorePathUtils::GetCurrentDir().GetPath()), cwd);
}

TEST(APathIterators, WalkBothWays) {
  const APath path = Parse("/usr/local/bin", kPosix);
  std::vector<std::string> forward;
  for (const APathComponent& component : path) {
    forward.push_back(Utf8(component.Get()));
  }
  EXPECT_EQ(forward, (std::vector<std::string>{"", "usr", "local", "bin"}));
  std::vector<std::string> backward;
  for (APathReverseIterator it = path.rbegin(); it != path.rend(); ++it) {
    backward.push_back(Utf8(it->Get()));
  }
  EXPECT_EQ(backward, (std::vector<std::string>{"bin", "local", "usr", ""}));

  APathIterator it = path.begin();
  EXPECT_EQ(path.end() - it, 4);
  it += 2;
  EXPECT_EQ(Utf8(it->Get()), "local");
  EXPECT_EQ(Utf8(it[-1].Get()), "usr");
  EXPECT_EQ(Utf8((it - 2)->Get()), "");
  EXPECT_TRUE(path.begin() < it);
  EXPECT_TRUE(it <= it);
  EXPECT_TRUE(path.end() > it);
  APathIterator copy = it++;
  EXPECT_EQ(it - copy, 1);
  --it;
  EXPECT_EQ(it, copy);
  EXPECT_TRUE(path.end()->IsEmpty());  // past the end reads as an empty component

  APathReverseIterator reverse = path.rbegin();
  reverse += 1;
  EXPECT_EQ(Utf8((*reverse).Get()), "local");
  EXPECT_EQ(Utf8(reverse[1].Get()), "usr");
  EXPECT_EQ(path.rend() - reverse, 3);
  EXPECT_TRUE(reverse > path.rbegin());

  const APath other = Parse("/usr/local/bin", kPosix);
  EXPECT_NE(path.begin(), other.begin());
}

TEST(APathIterators, EditByIterator) {
  APath path = Parse("a/b/c", kPosix);
  const APath other = Parse("a/b/c", kPosix);
  EXPECT_TRUE(path.InsertComponent(path.begin() + 1, APathComponent(Text("x")), APath::kInsertBefore));
  EXPECT_FALSE(path.InsertComponent(other.begin(), APathComponent(Text("y"))));
  EXPECT_TRUE(path.DeleteComponent(path.begin()));
  EXPECT_TRUE(path.SetComponent(path.end() - 1, APathComponent(Text("z"))));
  EXPECT_EQ(Utf8(path.GetPath()), "x/b/z");
  EXPECT_EQ(Utf8(path.GetParent(path.end() - 1).GetPath()), "x/b");
  EXPECT_EQ(Utf8(path.Subpath(path.begin() + 1).GetPath()), "b/z");
  EXPECT_TRUE(path.Replace(path.begin(), 1, Parse("p/q", kPosix)));
  EXPECT_TRUE(path.SetParent(path.end() - 1, Parse("/r", kPosix)));
  EXPECT_EQ(Components(path), (std::vector<std::string>{"", "r", "z"}));
  EXPECT_FALSE(path.DeleteComponent(path.end()));
}

// An iterator whose record cannot be allocated reports it and reads as an empty component.
TEST(APathIterators, RecordAllocationFailureIsReported) {
  const APath path = Parse("/a/b", kPosix);
  testing::internal::CaptureStderr();
  {
    FailingAllocator failing;
    const APathIterator it = path.begin();
    EXPECT_TRUE(it->IsEmpty());
    const APathReverseIterator reverse = path.rbegin();
    EXPECT_TRUE(reverse->IsEmpty());
  }
  const std::string report = testing::internal::GetCapturedStderr();
  EXPECT_NE(report.find("Assert failed: pImpl != NULL at ..\\..\\source\\APathIterator:"), std::string::npos)
      << report;
  EXPECT_NE(report.find("Assert failed: fpImpl != NULL at ..\\..\\source\\APathReverseIterator:"),
            std::string::npos)
      << report;
}

TEST(CorePathUtilsText, UTF8RoundTrip) {
  APath path;
  ASSERT_TRUE(CorePathUtils::UTF8ToAPath(AString8("/tmp/caf\xC3\xA9/\xF0\x9F\x98\x80.txt"), path));
  EXPECT_EQ(path.Size(), 4u);
  EXPECT_EQ(path.GetComponent(3).GetExtension(), AString(u"txt"));
  EXPECT_EQ(path.GetComponent(3).GetBase().CharCount(), 1u);
  AString8 back;
  ASSERT_TRUE(CorePathUtils::APathToUTF8(path, back));
  EXPECT_EQ(back, "/tmp/caf\xC3\xA9/\xF0\x9F\x98\x80.txt");
  APathComponent component;
  ASSERT_TRUE(CorePathUtils::UTF8ToAPathComponent(AString8("r\xC3\xA9sum\xC3\xA9.pdf"), component));
  ASSERT_TRUE(CorePathUtils::APathComponentToUTF8(component, back));
  EXPECT_EQ(back, "r\xC3\xA9sum\xC3\xA9.pdf");
  AString url(u"unchanged");
  EXPECT_FALSE(CorePathUtils::APathToFileURL(path, url));
  EXPECT_EQ(url, AString(u"unchanged"));
}

TEST(CorePathUtilsFolders, TempDirComesFromTMPDIRAndIsCreated) {
  char pattern[] = "/tmp/orn-tmpdir-XXXXXX";
  ASSERT_NE(::mkdtemp(pattern), nullptr);
  const std::string wanted = std::string(pattern) + "/made/here";
  const char* saved = std::getenv("TMPDIR");
  const std::string previous = saved == nullptr ? "" : saved;
  ::setenv("TMPDIR", (wanted + "//").c_str(), 1);
  const APath temp = CorePathUtils::GetTempDir();
  if (saved == nullptr) {
    ::unsetenv("TMPDIR");
  } else {
    ::setenv("TMPDIR", previous.c_str(), 1);
  }
  EXPECT_EQ(Utf8(temp.GetPath()), wanted);
  EXPECT_EQ(::access(wanted.c_str(), F_OK), 0);
  ::rmdir(wanted.c_str());
  ::rmdir((std::string(pattern) + "/made").c_str());
  ::rmdir(pattern);
}

}  // namespace
