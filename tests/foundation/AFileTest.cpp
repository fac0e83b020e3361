// AFile on real files in a scratch folder: creation with parents and error codes, names,
// attributes (read-only, hidden, aliases, times), sizes, deletion.
#include <tarsel/orn/AFile.h>

#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <functional>
#include <string>
#include <vector>

#include "TempFolder.h"

using tarsel::orn::AFile;
using tarsel::orn::APath;
using tarsel::orn::AString;

namespace {

TEST(AFileEmpty, AnswersFalseZeroEmpty) {
  AFile file;
  EXPECT_FALSE(file.Exists());
  EXPECT_EQ(file.GetSize(), 0u);
  EXPECT_TRUE(file.IsEmpty());
  EXPECT_FALSE(file.HasPath());
  EXPECT_TRUE(file.GetPath(true).IsEmpty());
  int code = 0;
  EXPECT_FALSE(file.MakeDirectory(true, &code));
  EXPECT_EQ(code, EINVAL);
  code = 0;
  EXPECT_FALSE(file.MakeFile(false, &code));
  EXPECT_EQ(code, EINVAL);
  EXPECT_FALSE(file.Delete());
  EXPECT_EQ(file, AFile(AString()));
  EXPECT_EQ(file, AFile(APath()));
  EXPECT_NE(file, FileAt("/x"));
}

struct MakeRow {
  const char* name;
  std::function<void(const TempFolder&)> setup;
  std::string target;
  bool folder;
  bool createParents;
  bool ok;
  int code;
  std::vector<std::string> thenExisting;
};

TEST(AFileMake, WithParentsAndErrorCodes) {
  const std::vector<MakeRow> rows = {
      {"folder without its parent", nullptr, "x/y", true, false, false, ENOENT, {}},
      {"folder with its parents", nullptr, "x/y", true, true, true, 0, {"x", "x/y"}},
      {"deep folder", nullptr, "a/b/c/d", true, true, true, 0, {"a/b/c/d"}},
      {"existing folder", [](const TempFolder& t) { ::mkdir(t.Path("d").c_str(), 0777); }, "d", true, true, false,
       EEXIST, {"d"}},
      {"parent is a file, with parents", [](const TempFolder& t) { t.Write("f", "x"); }, "f/y", true, true, false,
       EINVAL, {}},
      {"parent is a file, without", [](const TempFolder& t) { t.Write("f", "x"); }, "f/y", true, false, false,
       ENOTDIR, {}},
      {"ancestor is a file", [](const TempFolder& t) { t.Write("f", "x"); }, "f/g/h", true, true, false, EINVAL, {}},
      {"file without its parent", nullptr, "p/q/f.txt", false, false, false, ENOENT, {}},
      {"file with its parents", nullptr, "p/q/f.txt", false, true, true, 0, {"p/q/f.txt"}},
      {"existing file", [](const TempFolder& t) { t.Write("keep.txt", "contents"); }, "keep.txt", false, true,
       false, EEXIST, {"keep.txt"}},
      {"parent through a link to a folder",
       [](const TempFolder& t) {
         ::mkdir(t.Path("real").c_str(), 0777);
         ::symlink(t.Path("real").c_str(), t.Path("link").c_str());
       },
       "link/sub/f", false, true, true, 0, {"real/sub/f"}},
  };
  for (const MakeRow& row : rows) {
    SCOPED_TRACE(row.name);
    TempFolder temp;
    ASSERT_TRUE(temp.Ok());
    if (row.setup) {
      row.setup(temp);
    }
    AFile file = FileAt(temp.Path(row.target));
    int code = -1;
    const bool ok = row.folder ? file.MakeDirectory(row.createParents, &code) : file.MakeFile(row.createParents, &code);
    EXPECT_EQ(ok, row.ok);
    EXPECT_EQ(code, row.code);
    for (const std::string& name : row.thenExisting) {
      EXPECT_TRUE(temp.Exists(name)) << name;
    }
    if (ok) {
      EXPECT_EQ(file.GetAttribute(AFile::kIsDirectory), row.folder);
      EXPECT_EQ(file.GetAttribute(AFile::kIsFile), !row.folder);
    }
  }
  TempFolder temp;
  temp.Write("keep.txt", "contents");
  AFile existing = FileAt(temp.Path("keep.txt"));
  EXPECT_FALSE(existing.MakeFile(false));
  EXPECT_EQ(temp.Read("keep.txt"), "contents");
}

TEST(AFileNames, SetAppendRemove) {
  AFile file = FileAt("/a/b/c.txt");
  EXPECT_EQ(Utf8(file.GetNameStr()), "c.txt");
  EXPECT_EQ(Utf8(file.GetName().GetExtension()), "txt");
  EXPECT_FALSE(file.SetName(Text(std::string(256, 'n'))));
  EXPECT_EQ(Utf8(file.GetPath(false)), "/a/b/c.txt");
  EXPECT_TRUE(file.SetName(Text(std::string(255, 'n'))));
  EXPECT_EQ(file.GetNameStr().CharCount(), 255u);
  EXPECT_TRUE(file.SetName(Text("d")));
  EXPECT_TRUE(file.AppendName(AString()));
  EXPECT_TRUE(file.AppendName(Text("e")));
  EXPECT_FALSE(file.AppendName(Text(std::string(256, 'n'))));
  EXPECT_EQ(Utf8(file.GetPath(false)), "/a/b/d/e");
  EXPECT_TRUE(file.RemoveName());
  EXPECT_EQ(Utf8(file.GetPath(false)), "/a/b/d");
  EXPECT_EQ(Utf8(file.GetParentPath(false)), "/a/b");
  EXPECT_TRUE(file.HasParentPath());
  EXPECT_TRUE(file.HasValidPath());

  AFile named;
  EXPECT_TRUE(named.SetName(Text("only")));
  EXPECT_EQ(Utf8(named.GetPath(false)), "only");
  EXPECT_TRUE(named.SetParentPath(Text("/srv/data")));
  EXPECT_EQ(Utf8(named.GetPath(false)), "/srv/data/only");

  AFile aliases = FileAt("/a/./b/../c");
  EXPECT_TRUE(aliases.ResolvePathAliases());
  EXPECT_EQ(Utf8(aliases.GetPath(false)), "/a/c");
  EXPECT_FALSE(aliases.ResolvePathAliases());

  const std::string longPath = "/" + std::string(200, 'a') + "/" + std::string(200, 'b');
  const AFile longFile = FileAt(longPath);
  EXPECT_EQ(Utf8(longFile.GetPath(true)), longPath);
  EXPECT_EQ(Utf8(longFile.GetPath(false)), longPath);
}

// A subclass sees every change of the path through PathChanged.
class WatchedFile : public AFile {
 public:
  using AFile::AFile;
  std::vector<std::string> changes;

 protected:
  void PathChanged(const AString& inNewPath) override { changes.push_back(Utf8(inNewPath)); }
};

TEST(AFileNames, PathChangedFollowsEveryChange) {
  WatchedFile file;
  file.SetPath(Text("/a/b"));
  file.SetName(Text("c"));
  file.AppendName(Text("d"));
  file.SetName(Text(std::string(300, 'x')));
  file.RemoveName();
  const AFile other = FileAt("/z");
  static_cast<AFile&>(file) = other;
  EXPECT_EQ(file.changes, (std::vector<std::string>{"/a/b", "/a/c", "/a/c/d", "/a/c", "/z"}));
}

TEST(AFileAttributes, ReadOnlyHiddenAndSizes) {
  TempFolder temp;
  ASSERT_TRUE(temp.Ok());
  temp.Write("data.bin", std::string(1234, 'x'));
  temp.Write(".hidden", "h");
  temp.Write("folder/one", "1");
  temp.Write("folder/two", "2");
  AFile data = FileAt(temp.Path("data.bin"));
  EXPECT_EQ(data.GetSize(), 1234u);
  EXPECT_FALSE(data.IsEmpty());
  EXPECT_EQ(FileAt(temp.Path("folder")).GetSize(), 2u);
  EXPECT_EQ(FileAt(temp.Path("missing")).GetSize(), 0u);

  EXPECT_FALSE(data.GetAttribute(AFile::kIsReadOnly));
  EXPECT_TRUE(data.SetAttribute(AFile::kIsReadOnly, true));
  EXPECT_TRUE(data.GetAttribute(AFile::kIsReadOnly));
  struct stat info;
  ASSERT_EQ(::stat(temp.Path("data.bin").c_str(), &info), 0);
  EXPECT_EQ(info.st_mode & 0222, 0u);
  EXPECT_TRUE(data.SetAttribute(AFile::kIsReadOnly, true));
  // A read-only object is protected from Delete, whoever runs the test.
  EXPECT_FALSE(data.Delete());
  EXPECT_TRUE(temp.Exists("data.bin"));
  EXPECT_TRUE(data.SetAttribute(AFile::kIsReadOnly, false));
  EXPECT_FALSE(data.GetAttribute(AFile::kIsReadOnly));

  EXPECT_TRUE(FileAt(temp.Path(".hidden")).GetAttribute(AFile::kIsHidden));
  EXPECT_FALSE(data.GetAttribute(AFile::kIsHidden));
  EXPECT_FALSE(data.SetAttribute(AFile::kIsHidden, true));
  EXPECT_TRUE(data.SetAttribute(AFile::kIsHidden, false));
  EXPECT_FALSE(data.GetAttribute(AFile::kBoolAttributeNone));
  EXPECT_FALSE(data.SetAttribute(AFile::kIsFile, true));
  uint32_t type = 77;
  EXPECT_FALSE(data.GetAttribute(AFile::kOSTypeType, type));
  EXPECT_EQ(type, 77u);

  AFile::BoolAttributes all;
  ASSERT_TRUE(data.GetAttributes(all, true, true));
  EXPECT_TRUE(all.isFile);
  EXPECT_FALSE(all.isDirectory);
  EXPECT_FALSE(all.isAlias);
  EXPECT_TRUE(all.isReadable);
  EXPECT_TRUE(all.isWritable);
  EXPECT_FALSE(FileAt(temp.Path("missing")).GetAttributes(all, true, true));
  EXPECT_FALSE(all.isFile);

  EXPECT_TRUE(data.CanOpen(AFile::kAccessRead, AFile::kShareRead));
  EXPECT_TRUE(data.CanOpen(AFile::kAccessReadWrite, AFile::kShareNone));
  EXPECT_FALSE(data.CanOpen(static_cast<AFile::AccessMode>(9), AFile::kShareRead));
  EXPECT_FALSE(data.CanOpen(AFile::kAccessRead, static_cast<AFile::ShareMode>(0)));
  EXPECT_TRUE(FileAt(temp.Path("folder")).CanOpen(AFile::kAccessRead, AFile::kShareReadWrite));

  EXPECT_TRUE(data.Delete());
  EXPECT_FALSE(temp.Exists("data.bin"));
  EXPECT_FALSE(FileAt(temp.Path("folder")).Delete());
}

TEST(AFileAttributes, IsOpenSeesALock) {
  TempFolder temp;
  temp.Write("locked", "x");
  const AFile file = FileAt(temp.Path("locked"));
  EXPECT_FALSE(file.IsOpen());
  const int fd = ::open(temp.Path("locked").c_str(), O_RDONLY | O_CLOEXEC);
  ASSERT_GE(fd, 0);
  ASSERT_EQ(::flock(fd, LOCK_EX), 0);
  EXPECT_TRUE(file.IsOpen());
  ::close(fd);
  EXPECT_FALSE(file.IsOpen());
}

TEST(AFileAttributes, Times) {
  TempFolder temp;
  temp.Write("t", "x");
  AFile file = FileAt(temp.Path("t"));
  // 2001-09-09 01:46:40 UTC as a file time.
  const uint64_t when = (1000000000ULL + 11644473600ULL) * 10000000ULL + 1234500;
  ASSERT_TRUE(file.SetAttribute(AFile::kTimeModified, when));
  ASSERT_TRUE(file.SetAttribute(AFile::kTimeAccessed, when + 10000000));
  EXPECT_FALSE(file.SetAttribute(AFile::kTimeCreated, when));
  uint64_t value = 0;
  ASSERT_TRUE(file.GetAttribute(AFile::kTimeModified, value));
  EXPECT_EQ(value, when);
  struct stat info;
  ASSERT_EQ(::stat(temp.Path("t").c_str(), &info), 0);
  EXPECT_EQ(info.st_mtime, 1000000000);
  AFile::TimeAttributes times;
  ASSERT_TRUE(file.GetAttributes(times));
  EXPECT_EQ(times.modified, when);
  EXPECT_EQ(times.accessed, when + 10000000);
  EXPECT_NE(times.created, 0u);
  ASSERT_TRUE(file.Touch());
  ASSERT_TRUE(file.GetAttribute(AFile::kTimeModified, value));
  EXPECT_GT(value, when + 10000000ULL * 3600 * 24 * 365);
  EXPECT_FALSE(FileAt(temp.Path("none")).GetAttributes(times));
  EXPECT_EQ(times.modified, 0u);
  EXPECT_FALSE(FileAt(temp.Path("none")).Touch());
}

TEST(AFileAliases, SymbolicLinks) {
  TempFolder temp;
  temp.Write("target.txt", "t");
  ::mkdir(temp.Path("dir").c_str(), 0777);
  ASSERT_EQ(::symlink(temp.Path("target.txt").c_str(), temp.Path("to-file").c_str()), 0);
  ASSERT_EQ(::symlink(temp.Path("dir").c_str(), temp.Path("to-dir").c_str()), 0);
  ASSERT_EQ(::symlink(temp.Path("gone").c_str(), temp.Path("dangling").c_str()), 0);

  struct Row {
    std::string name;
    bool isFile, isDirectory, isAlias, isFileAlias, isFolderAlias;
  };
  const std::vector<Row> rows = {
      {"target.txt", true, false, false, false, false}, {"dir", false, true, false, false, false},
      {"to-file", false, false, true, true, false},     {"to-dir", false, true, true, false, true},
      {"dangling", false, false, true, false, false},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    const AFile file = FileAt(temp.Path(row.name));
    EXPECT_TRUE(file.Exists());
    EXPECT_EQ(file.GetAttribute(AFile::kIsFile), row.isFile);
    EXPECT_EQ(file.GetAttribute(AFile::kIsDirectory), row.isDirectory);
    EXPECT_EQ(file.GetAttribute(AFile::kIsAlias), row.isAlias);
    EXPECT_EQ(file.GetAttribute(AFile::kIsFileAlias), row.isFileAlias);
    EXPECT_EQ(file.GetAttribute(AFile::kIsFolderAlias), row.isFolderAlias);
  }
  AFile link = FileAt(temp.Path("to-file"));
  ASSERT_TRUE(link.ResolveAlias());
  EXPECT_EQ(link, FileAt(temp.Path("target.txt")));
  AFile dangling = FileAt(temp.Path("dangling"));
  EXPECT_FALSE(dangling.ResolveAlias());
  EXPECT_EQ(Utf8(dangling.GetNameStr()), "dangling");
  // Deleting a link removes the link, not its target.
  AFile dirLink = FileAt(temp.Path("to-dir"));
  EXPECT_TRUE(dirLink.Delete());
  EXPECT_TRUE(temp.Exists("dir"));
  EXPECT_FALSE(temp.Exists("to-dir"));
}

TEST(AFileLifetime, DeleteOnDestroyAndParentExists) {
  TempFolder temp;
  temp.Write("scratch", "x");
  {
    AFile file = FileAt(temp.Path("scratch"));
    file.DeleteOnDestroy(true);
    AFile moved(std::move(file));
    EXPECT_TRUE(temp.Exists("scratch"));
  }
  EXPECT_FALSE(temp.Exists("scratch"));
  EXPECT_TRUE(FileAt(temp.Path("child")).ParentExists());
  EXPECT_FALSE(FileAt(temp.Path("missing/child")).ParentExists());
  temp.Write("plain", "x");
  EXPECT_FALSE(FileAt(temp.Path("plain/child")).ParentExists());
  EXPECT_FALSE(FileAt("single").ParentExists());
}

}  // namespace
