// Unzip-to-folder: fixtures of broken and unusual archives, archives of other tools compared
// with Info-ZIP unzip's extraction, and failures of the destination.
#include <gtest/gtest.h>

#include <unistd.h>

#include <cstdlib>
#include <map>

#include "PkgTestUtil.h"
#include "platform/TZPath.h"
#include "platform/TZString.h"
#include "ziputils/TZInternalZipUtils.h"

namespace {

namespace fs = std::filesystem;
using pkgtest::Fixture;
using pkgtest::ScratchDir;

// The package library's temporary files ("mox...") go to a folder of this test process, so that the
// tests can see them; set before the library's file system is first made.
const fs::path kTempFolder = [] {
  const fs::path folder = fs::path(TZ_BINARY_DIR) / "tests/package/scratch" / ("tmp-" + std::to_string(::getpid()));
  fs::create_directories(folder);
  ::setenv("TMPDIR", folder.c_str(), 1);
  return folder;
}();

std::size_t TempFileCount() {
  std::size_t count = 0;
  for (const auto& entry : fs::directory_iterator(kTempFolder)) {
    count += entry.path().filename().string().rfind("mox", 0) == 0 ? 1 : 0;
  }
  return count;
}

int Unzip(const std::string& inZip, const fs::path& inDestination) {
  return TZInternalZipUtils::Unzip(TZPath(TZString(inZip.c_str())), TZPath(TZString(inDestination.c_str())));
}

// Relative path -> contents ("<dir>" for a folder).
std::map<std::string, std::string> Tree(const fs::path& inRoot) {
  std::map<std::string, std::string> tree;
  if (!fs::exists(inRoot)) {
    return tree;
  }
  for (const auto& entry : fs::recursive_directory_iterator(inRoot)) {
    const std::string rel = fs::relative(entry.path(), inRoot).string();
    if (entry.is_directory()) {
      tree[rel] = "<dir>";
    } else {
      const auto bytes = pkgtest::ReadFileBytes(entry.path());
      tree[rel] = std::string(bytes.begin(), bytes.end());
    }
  }
  return tree;
}

std::map<std::string, std::string> UnzipReference(const std::string& inZip, const fs::path& inDestination) {
  const std::string command = "unzip -qq -o '" + inZip + "' -d '" + inDestination.string() + "' >/dev/null 2>&1";
  EXPECT_EQ(std::system(command.c_str()), 0) << command;
  return Tree(inDestination);
}

TEST(Unzip, SplitEntryName) {
  struct Row {
    const char* name;
    bool accepted;
    std::vector<std::string> components;
  };
  const Row rows[] = {
      {"a/b.txt", true, {"a", "b.txt"}},
      {"a\\b/./c", true, {"a", "b", "c"}},
      {"a//b/", true, {"a", "b"}},
      {"./", true, {}},
      {"..a/b..", true, {"..a", "b.."}},
      {"../x", false, {}},
      {"a/../x", false, {}},
      {"a\\..\\x", false, {}},
      {"..", false, {}},
      {"/x", false, {}},
      {"\\x", false, {}},
      {"C:x", false, {}},
      {"c:/x", false, {}},
      {"a/C:x", true, {"a", "C:x"}},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.name);
    std::vector<std::string> components;
    EXPECT_EQ(TZInternalZipUtils::SplitEntryName(row.name, components), row.accepted);
    if (row.accepted) {
      EXPECT_EQ(components, row.components);
    }
  }
  std::vector<std::string> components;
  EXPECT_FALSE(TZInternalZipUtils::SplitEntryName(std::string("a\0b", 3), components));
}

// Archives that extract: the tree equals Info-ZIP unzip's.
TEST(Unzip, ExtractsLikeInfoZip) {
  const char* fixtures[] = {
      "plain.zip",          "zip64_totals.zip",       "zip64_entries.zip",      "zip64_only_usize.zip",
      "comment_65535.zip",  "data_descriptor.zip",    "dirs_after_files.zip",   "no_dir_entries.zip",
      "mimetype_first.zip",     "stored_1MiB.zip",        "stored_1MiB_plus1.zip",
      "zpit_and_date.zip",  "extra_cut_midblock.zip", "tool_infozip_deflate.zip", "tool_infozip_stored.zip",
      "tool_infozip_stream.zip", "tool_bsdtar.zip",   "tool_pyzipfile.zip",     "tool_pyzipfile_zip64.zip",
  };
  for (const char* fixture : fixtures) {
    SCOPED_TRACE(fixture);
    ScratchDir dir("unzip_like");
    ASSERT_EQ(Unzip(Fixture(fixture), dir.Path() / "ours"), 0);
    const auto ours = Tree(dir.Path() / "ours");
    const auto reference = UnzipReference(Fixture(fixture), dir.Path() / "ref");
    EXPECT_FALSE(ours.empty());
    EXPECT_TRUE(ours == reference);
    for (const auto& item : reference) {
      EXPECT_TRUE(ours.count(item.first)) << "missing " << item.first;
    }
    EXPECT_EQ(TempFileCount(), 0u);
  }
}

// Deflated entries are inflated straight into their files: with no usable temporary folder at
// all, unpacking still succeeds.
TEST(Unzip, NeedsNoTemporaryFolder) {
  const fs::path aside = kTempFolder.string() + ".aside";
  fs::rename(kTempFolder, aside);
  std::ofstream(kTempFolder) << "a file where the temporary folder was";
  ScratchDir dir("unzip_notemp");
  const int result = Unzip(Fixture("tool_infozip_deflate.zip"), dir.Path() / "ours");
  fs::remove(kTempFolder);
  fs::rename(aside, kTempFolder);
  ASSERT_EQ(result, 0);
  EXPECT_TRUE(Tree(dir.Path() / "ours") == UnzipReference(Fixture("tool_infozip_deflate.zip"), dir.Path() / "ref"));
}

TEST(Unzip, BrokenArchivesFailTheCallAndKeepWhatCameBefore) {
  struct Row {
    const char* fixture;
    std::vector<std::string> extracted;  // what must exist afterwards
  };
  const Row rows[] = {
      {"not_a_zip.bin", {}},
      {"split_marker.zip", {}},
      {"no_end_record.zip", {}},
      {"zip64_no_locator.zip", {}},
      {"bad_local_header.zip", {}},
      {"method12.zip", {"ok.txt"}},
      {"truncated_deflate.zip", {"ok.txt"}},
      {"wrong_crc.zip", {"ok.txt"}},
      {"wrong_crc_stored.zip", {}},
      {"inflates_past_size.zip", {"ok.txt"}},
      {"inflates_short.zip", {}},
      {"stored_short.zip", {}},
      {"stored_long.zip", {}},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.fixture);
    ScratchDir dir("unzip_broken");
    EXPECT_EQ(Unzip(Fixture(row.fixture), dir.Path() / "out"), 1);
    for (const auto& name : row.extracted) {
      EXPECT_TRUE(fs::is_regular_file(dir.Path() / "out" / name)) << name;
    }
    EXPECT_EQ(TempFileCount(), 0u);
  }
}

// The copy stops at the first byte past the central directory's size, whatever the stored data hold.
TEST(Unzip, StoredEntryLongerThanItsSizeStopsThere) {
  ScratchDir dir("unzip_long");
  EXPECT_EQ(Unzip(Fixture("stored_long.zip"), dir.Path()), 1);
  EXPECT_LE(fs::file_size(dir.Path() / "long.bin"), 10u);
}

TEST(Unzip, PathTraversalIsRefusedBeforeAnythingIsWritten) {
  const char* fixtures[] = {
      "traversal_dotdot.zip",       "traversal_dotdot_nested.zip",  "traversal_dotdot_backslash.zip",
      "traversal_dotdot_mixed.zip", "traversal_dotdot_only.zip",    "traversal_absolute.zip",
      "traversal_absolute_backslash.zip", "traversal_drive_letter.zip", "traversal_drive_letter_relative.zip",
      "traversal_drive_backslash.zip",    "traversal_dotdot_dir.zip",
  };
  const bool tmpEvilBefore = fs::exists("/tmp/evil.txt");
  for (const char* fixture : fixtures) {
    SCOPED_TRACE(fixture);
    ScratchDir dir("unzip_traversal");
    const fs::path out = dir.Path() / "deep" / "out";
    EXPECT_EQ(Unzip(Fixture(fixture), out), 1);
    // Only the good file, and nothing next to or above the destination.
    EXPECT_EQ(Tree(dir.Path()), (std::map<std::string, std::string>{
                                    {"deep", "<dir>"}, {"deep/out", "<dir>"}, {"deep/out/good.txt", "good\n"}}));
  }
  EXPECT_EQ(fs::exists("/tmp/evil.txt"), tmpEvilBefore);
}

TEST(Unzip, DuplicateAndEmptyNames) {
  ScratchDir dir("unzip_names");
  ASSERT_EQ(Unzip(Fixture("duplicate_names.zip"), dir.Path() / "dup"), 0);
  EXPECT_EQ(Tree(dir.Path() / "dup"),
            (std::map<std::string, std::string>{{"dup.txt", "first\n"}, {"after.txt", "after\n"}}));
  ASSERT_EQ(Unzip(Fixture("empty_name.zip"), dir.Path() / "empty"), 0);
  EXPECT_EQ(Tree(dir.Path() / "empty"),
            (std::map<std::string, std::string>{{"before.txt", "b\n"}, {"after.txt", "a\n"}}));
}

// Info-ZIP calls a deflated entry without any data bytes invalid; it is an empty file here.
TEST(Unzip, EmptyFilesAndFolders) {
  ScratchDir dir("unzip_empty");
  ASSERT_EQ(Unzip(Fixture("empty_files.zip"), dir.Path()), 0);
  EXPECT_EQ(Tree(dir.Path()), (std::map<std::string, std::string>{
                                  {"empty_stored.txt", ""}, {"empty_deflated.txt", ""}, {"empty_dir", "<dir>"}}));
}

TEST(Unzip, OverwritesExistingFiles) {
  ScratchDir dir("unzip_overwrite");
  fs::create_directories(dir.Path() / "dir");
  std::ofstream(dir.Path() / "dir/one.txt") << std::string(10000, 'x');
  ASSERT_EQ(Unzip(Fixture("plain.zip"), dir.Path()), 0);
  const auto bytes = pkgtest::ReadFileBytes(dir.Path() / "dir/one.txt");
  EXPECT_EQ(std::string(bytes.begin(), bytes.end()), "hello, package\n");
}

TEST(Unzip, UncreatableTargetsFailTheCall) {
  ScratchDir dir("unzip_uncreatable");
  std::ofstream(dir.Path() / "plainfile") << "x";
  // A file where a folder must go.
  EXPECT_EQ(Unzip(Fixture("plain.zip"), dir.Path() / "plainfile" / "out"), 1);
  // A folder where a file must go.
  fs::create_directories(dir.Path() / "out2/dir/one.txt");
  EXPECT_EQ(Unzip(Fixture("plain.zip"), dir.Path() / "out2"), 1);
  // A file where a directory entry's folder must go.
  fs::create_directories(dir.Path() / "out3");
  std::ofstream(dir.Path() / "out3/a") << "x";
  EXPECT_EQ(Unzip(Fixture("dirs_after_files.zip"), dir.Path() / "out3"), 1);
  EXPECT_EQ(Unzip(Fixture("no-such-archive.zip"), dir.Path() / "out4"), 1);
  EXPECT_FALSE(fs::exists(dir.Path() / "out4"));
}

int RunShell(const std::string& inCommand) {
  const int status = std::system(inCommand.c_str());
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

TEST(Unzip, ToolExitCodesAndShortWrites) {
  ScratchDir dir("unzip_tool");
  const std::string tool = TZUNZIP_PATH;
  EXPECT_EQ(RunShell("'" + tool + "' '" + Fixture("plain.zip") + "' '" + (dir.Path() / "ok").string() + "'"), 0);
  EXPECT_TRUE(fs::is_regular_file(dir.Path() / "ok/dir/two.bin"));
  EXPECT_EQ(RunShell("'" + tool + "' '" + Fixture("not_a_zip.bin") + "' '" + (dir.Path() / "no").string() + "'"), 1);
  EXPECT_EQ(RunShell("'" + tool + "' only-one-argument 2>/dev/null"), 2);
  // A file size limit makes writes come up short, as a full disk would.
  EXPECT_EQ(RunShell("trap '' XFSZ; ulimit -f 200; exec '" + tool + "' '" + Fixture("stored_1MiB_plus1.zip") + "' '" +
                     (dir.Path() / "full").string() + "'"),
            1);
}

}  // namespace
