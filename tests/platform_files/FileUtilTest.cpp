#include <gtest/gtest.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "TestFolder.h"
#include "platform/TZFileUtil.h"

namespace {

// Every test of this program gets its temporary folder ($TMPDIR) inside one scratch folder, so
// session folders never land in the real /tmp.
class TempDirEnvironment : public ::testing::Environment {
 public:
  void SetUp() override {
    m_folder.reset(new TestFolder());
    setenv("TMPDIR", m_folder->Path().c_str(), 1);
  }
  void TearDown() override { m_folder.reset(); }
  static std::string Path() { return getenv("TMPDIR"); }

 private:
  std::unique_ptr<TestFolder> m_folder;
};

::testing::Environment* const gTempDir = ::testing::AddGlobalTestEnvironment(new TempDirEnvironment());

std::string Utf8(const TZString& inText) { return inText.ToUTF8(); }
TZString Text(const std::string& inUtf8) { return TZString(inUtf8.c_str()); }

bool IsFolder(const std::string& inPath) {
  struct stat info;
  return stat(inPath.c_str(), &info) == 0 && S_ISDIR(info.st_mode);
}

// inName is inPrefix, decimal digits (thread id and number), then inSuffix.
bool HasUniqueForm(const std::string& inName, const std::string& inPrefix, const std::string& inSuffix) {
  if (inName.size() <= inPrefix.size() + inSuffix.size()) return false;
  if (inName.compare(0, inPrefix.size(), inPrefix) != 0) return false;
  if (inName.compare(inName.size() - inSuffix.size(), inSuffix.size(), inSuffix) != 0) return false;
  const std::string digits =
      inName.substr(inPrefix.size(), inName.size() - inPrefix.size() - inSuffix.size());
  return digits.find_first_not_of("0123456789") == std::string::npos;
}

std::string Parent(const std::string& inPath) { return inPath.substr(0, inPath.rfind('/')); }
std::string Name(const std::string& inPath) { return inPath.substr(inPath.rfind('/') + 1); }

TEST(FileUtilSession, DataFilesAndFoldersShareOneSessionFolderThatIsRemovedWhole) {
  const std::string session = Utf8(TZFileUtil::GetSessionTempFolder().ToString());
  ASSERT_FALSE(session.empty());
  EXPECT_EQ(TempDirEnvironment::Path(), Parent(session));
  EXPECT_TRUE(HasUniqueForm(Name(session), "TZ", "Session")) << session;
  EXPECT_TRUE(IsFolder(session));

  const std::string first = Utf8(TZFileUtil::CreateUniqueDataFile(Text(".zip")).ToString());
  const std::string second = Utf8(TZFileUtil::CreateUniqueDataFile(Text(".zip")).ToString());
  EXPECT_NE(first, second);
  for (const std::string& file : {first, second}) {
    EXPECT_EQ(session, Parent(file));
    EXPECT_TRUE(HasUniqueForm(Name(file), "data-", ".zip")) << file;
    EXPECT_EQ(0, FileSize(file)) << file;
  }
  const std::string unzip =
      Utf8(TZFileUtil::CreateUniqueSessionFolder(Text("TZ"), Text("morlix_build_unzip")).ToString());
  EXPECT_EQ(session, Parent(unzip));
  EXPECT_TRUE(HasUniqueForm(Name(unzip), "TZ", "morlix_build_unzip")) << unzip;
  EXPECT_TRUE(IsFolder(unzip));
  EXPECT_EQ(session, Utf8(TZFileUtil::GetSessionTempFolder().ToString())) << "made once";

  // Read-only contents: a read-only file, and a read-only folder holding a read-only file.
  WriteFileText(unzip + "/setup.xml", "x");
  chmod((unzip + "/setup.xml").c_str(), 0444);
  ASSERT_EQ(0, mkdir((unzip + "/locked").c_str(), 0755));
  WriteFileText(unzip + "/locked/inner.bin", "y");
  chmod((unzip + "/locked/inner.bin").c_str(), 0444);
  chmod((unzip + "/locked").c_str(), 0555);
  chmod(first.c_str(), 0444);

  EXPECT_TRUE(TZFileUtil::DeleteSessionTempFolder());
  EXPECT_FALSE(PathExists(session));
  EXPECT_EQ(session, Utf8(TZFileUtil::GetSessionTempFolder().ToString())) << "the old path stays";
  EXPECT_FALSE(TZFileUtil::DeleteSessionTempFolder()) << "nothing left to delete";
}

TEST(FileUtil, CopyFileReplacing) {
  TestFolder folder;
  const std::string source = folder.Path() + "/source.txt";
  WriteFileText(source, "new contents");
  struct Row {
    const char* name;
    std::function<void(const std::string&)> prepare;  // given the target path
    std::string target;
    bool copied;
  };
  const Row rows[] = {
      {"missing target", [](const std::string&) {}, "plain.txt", true},
      {"existing target", [](const std::string& t) { WriteFileText(t, "old contents that are longer"); },
       "old.txt", true},
      {"read-only target",
       [](const std::string& t) {
         WriteFileText(t, "old");
         chmod(t.c_str(), 0444);
       },
       "readonly.txt", true},
      {"target folder missing", [](const std::string&) {}, "a/b/c/target.txt", true},
      {"an empty folder in the way", [](const std::string& t) { mkdir(t.c_str(), 0755); },
       "folder-in-the-way", true},
  };
  for (const Row& row : rows) {
    const std::string target = folder.Path() + "/" + row.target;
    row.prepare(target);
    EXPECT_EQ(row.copied, TZFileUtil::CopyFileReplacing(TZFile(Text(source)), TZFile(Text(target))))
        << row.name;
    EXPECT_EQ("new contents", ReadFileText(target)) << row.name;
  }
  const std::string kept = folder.Path() + "/kept.txt";
  WriteFileText(kept, "kept");
  EXPECT_FALSE(
      TZFileUtil::CopyFileReplacing(TZFile(Text(folder.Path() + "/missing.txt")), TZFile(Text(kept))));
  EXPECT_EQ("kept", ReadFileText(kept)) << "a missing source leaves the target alone";
}

TEST(FileUtil, NamesOfPaths) {
  struct Row {
    const char* path;
    const char* baseName;
    const char* fileName;
  };
  const Row rows[] = {
      {"/work/src/platform/src/TZFileUtil.cpp", "TZFileUtil", "TZFileUtil.cpp"},
      {"Module.src", "Module", "Module.src"},
      {"Foo", "Foo", "Foo"},
      {"a/b.tar.gz", "b.tar", "b.tar.gz"},
      {"/x/.profile", "", ".profile"},
      {"", "", ""},
  };
  for (const Row& row : rows) {
    EXPECT_EQ(row.baseName, Utf8(TZFileUtil::GetBaseName(Text(row.path)))) << row.path;
    EXPECT_EQ(row.fileName, Utf8(TZFileUtil::GetFileName(TZFile(Text(row.path))))) << row.path;
  }
  EXPECT_EQ("", Utf8(TZFileUtil::GetDumpFileName()));
  TZFileUtil::SetDumpPath(Text("/tmp/TZ1Session/Dump/3f2c0a9e.dmp"));
  EXPECT_EQ("3f2c0a9e.dmp", Utf8(TZFileUtil::GetDumpFileName()));
}

class FileUtilEnvironment : public ::testing::Test {
 protected:
  void SetUp() override {
    for (const char* name : {"XDG_DATA_HOME", "HOME", "TMPDIR"}) {
      const char* value = getenv(name);
      m_saved.push_back({name, value != nullptr, value ? value : ""});
    }
  }
  void TearDown() override {
    for (const Saved& saved : m_saved) {
      if (saved.present) {
        setenv(saved.name, saved.value.c_str(), 1);
      } else {
        unsetenv(saved.name);
      }
    }
  }
  struct Saved {
    const char* name;
    bool present;
    std::string value;
  };
  std::vector<Saved> m_saved;
  TestFolder m_folder;
};

TEST_F(FileUtilEnvironment, LocalAppDataFolder) {
  struct Row {
    const char* xdg;   // null: unset
    const char* home;  // null: unset
    std::string expected;
  };
  const std::string root = m_folder.Path();
  const Row rows[] = {
      {"/data/home", "/home/u", "/data/home"},
      {nullptr, "/home/u", "/home/u/.local/share"},
      {"", "/home/u", "/home/u/.local/share"},
      {"relative/dir", "/home/u", "/home/u/.local/share"},
      {nullptr, nullptr, ""},
      {nullptr, "", ""},
  };
  for (const Row& row : rows) {
    row.xdg ? setenv("XDG_DATA_HOME", row.xdg, 1) : unsetenv("XDG_DATA_HOME");
    row.home ? setenv("HOME", row.home, 1) : unsetenv("HOME");
    EXPECT_EQ(row.expected, Utf8(TZFileUtil::GetLocalAppDataFolder()))
        << "XDG_DATA_HOME " << (row.xdg ? row.xdg : "unset") << ", HOME " << (row.home ? row.home : "unset");
  }
}

TEST_F(FileUtilEnvironment, UserPreferenceFolderIsCreated) {
  const std::string data = m_folder.Path() + "/data home";
  setenv("XDG_DATA_HOME", data.c_str(), 1);
  EXPECT_EQ(data + "/Tarsel/Morlix", Utf8(TZFileUtil::GetUserPreferenceFolder(Text("Morlix")).ToString()));
  EXPECT_TRUE(IsFolder(data + "/Tarsel/Morlix"));
  // The misuse: an empty name gives the Tarsel folder itself.
  std::string folder;
  const std::string log =
      LoggedDuring([&] { folder = Utf8(TZFileUtil::GetUserPreferenceFolder(TZString()).ToString()); });
  EXPECT_EQ(data + "/Tarsel", folder);
  EXPECT_NE(std::string::npos, log.find("Assert failed: Dont use TZFileUtil::GetUserPreferenceFolder() at "))
      << log;
  unsetenv("XDG_DATA_HOME");
  unsetenv("HOME");
  EXPECT_TRUE(TZFileUtil::GetUserPreferenceFolder(Text("Morlix")).ToString().empty());
}

TEST_F(FileUtilEnvironment, TempFolderAndCreateFolder) {
  const std::string temp = m_folder.Path() + "/new temp";
  setenv("TMPDIR", temp.c_str(), 1);
  EXPECT_EQ(temp, Utf8(TZFileUtil::GetTempFolder().ToString()));
  EXPECT_TRUE(IsFolder(temp)) << "made when missing";

  const std::string nested = m_folder.Path() + "/x/y/z";
  EXPECT_TRUE(TZFileUtil::CreateFolder(Text(nested)));
  EXPECT_TRUE(IsFolder(nested));
  EXPECT_FALSE(TZFileUtil::CreateFolder(Text(nested))) << "already there";
}

TEST(FileUtil, ApplicationPathIsThisProgram) {
  EXPECT_EQ(std::string(TZ_BINARY_DIR) + "/tests/platform_files/platform_files_test",
            Utf8(TZFileUtil::GetApplicationPath().ToString()));
  EXPECT_EQ(std::string(TZ_BINARY_DIR) + "/tests/platform_files",
            Utf8(TZFileUtil::GetApplicationPath().Parent().ToString()));
}

}  // namespace
