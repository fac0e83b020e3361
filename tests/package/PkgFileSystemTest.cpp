#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fstream>
#include <iterator>
#include <random>
#include <vector>

#include <gtest/gtest.h>

#include "PkgTestUtil.h"
#include "pkg/PkgFileSystem.h"
#include "pkg/PkgMemFileSystem.h"

namespace {

using pkgtest::CodeOf;
using pkgtest::ScratchDir;

struct ModeRow {
  int mode;
  bool existing;        // whether the file exists before the open
  int expectedCode;     // -1: opens
  bool readable;
  bool writable;
  bool truncates;
};

// The open-mode table, on the built-in and on the in-memory file system.
const ModeRow kModes[] = {
    {1, true, -1, true, false, false},      // "rb"
    {1 | 32, true, -1, true, false, false}, // binary ignored
    {1 | 4, true, -1, true, false, false},  // ate ignored
    {2, true, -1, false, true, true},       // "wb"
    {18, false, -1, false, true, true},     // "wb"
    {3, true, -1, true, true, false},       // "r+b"
    {19, false, -1, true, true, true},      // "w+b"
    {9, true, 23, false, false, false},     // in|app: not in the table
    {0, true, 23, false, false, false},
    {17, true, 23, false, false, false},    // in|trunc
    {1, false, 50, false, false, false},    // missing file for reading
    {3, false, 50, false, false, false},
};

void CheckModes(pkg::IPkgFileSystem& inFs, const std::string& inPath,
                const std::function<void(bool)>& inPrepare) {
  for (const auto& row : kModes) {
    SCOPED_TRACE("mode " + std::to_string(row.mode) + (row.existing ? " existing" : " missing"));
    inPrepare(row.existing);
    pkg::PkgFSFilePtr file;
    const int code = CodeOf([&] { file = inFs.OpenFile(inFs.MakeFileName(inPath), row.mode); });
    ASSERT_EQ(code, row.expectedCode);
    if (code != -1) {
      continue;
    }
    char byte = 0;
    file->Seek(0, pkg::kPkgSeekBegin);
    if (row.readable) {
      EXPECT_EQ(file->Read(&byte, 1), row.truncates ? 0u : 1u);
    }
    if (row.writable) {
      file->Write("x", 1);
      file->Flush();
    } else {
      EXPECT_NE(CodeOf([&] { file->Write("x", 1); file->Flush(); }), -1);
    }
    EXPECT_EQ(file->GetCapabilities(), 31);
    EXPECT_TRUE(file->IsSeekable());
    file->Close();
  }
}

TEST(PkgFileSystem, OpenModeTableOnRealFiles) {
  ScratchDir dir("fs_modes");
  const std::string path = (dir.Path() / "f.bin").string();
  pkg::BasePkgFileSystem fs(dir.Path().string(), 1, 1);
  CheckModes(fs, path, [&](bool inExisting) {
    std::filesystem::remove(path);
    if (inExisting) {
      std::ofstream(path, std::ios::binary) << "abc";
    }
  });
}

TEST(PkgFileSystem, OpenModeTableInMemory) {
  pkg::MemPkgFileSystem fs;
  CheckModes(fs, "f.bin", [&](bool inExisting) {
    if (fs.HasFile("f.bin")) {
      fs.RemoveFile(fs.MakeFileName("f.bin"));
    }
    if (inExisting) {
      fs.AddFile("f.bin", {'a', 'b', 'c'});
    }
  });
}

TEST(PkgFileSystem, MissingFileGivesTheRuntimeText) {
  ScratchDir dir("fs_missing");
  pkg::BasePkgFileSystem fs(dir.Path().string(), 1, 1);
  try {
    fs.OpenFile(fs.MakeFileName((dir.Path() / "nope").string()), 1);
    FAIL() << "opened a missing file";
  } catch (const pkg::PackageIOException& e) {
    EXPECT_EQ(e.GetCode(), 50);
    EXPECT_STREQ(e.what(), std::strerror(ENOENT));
  }
}

TEST(PkgFileSystem, ReadAtEndReturnsZeroAndSeekTellAre64Bit) {
  ScratchDir dir("fs_end");
  const std::string path = (dir.Path() / "f.bin").string();
  std::ofstream(path, std::ios::binary) << "0123456789";
  pkg::BasePkgFileSystem fs(dir.Path().string(), 1, 1);
  auto file = fs.OpenFile(fs.MakeFileName(path), 3);
  char buffer[16];
  file->Seek(-3, pkg::kPkgSeekEnd);
  EXPECT_EQ(file->Tell(), 7);
  EXPECT_EQ(file->Read(buffer, sizeof(buffer)), 3u);
  EXPECT_EQ(file->Read(buffer, sizeof(buffer)), 0u);
  // Positions past 4 GiB work (the file becomes sparse).
  const int64_t far = (int64_t{1} << 32) + 5;
  file->Seek(far, pkg::kPkgSeekBegin);
  EXPECT_EQ(file->Tell(), far);
  file->Truncate(4);
  file->Seek(0, pkg::kPkgSeekEnd);
  EXPECT_EQ(file->Tell(), 4);
  EXPECT_EQ(CodeOf([&] { file->Seek(-1, pkg::kPkgSeekBegin); }), 50);
}

TEST(PkgFileSystem, TempFilesAreUniqueExclusiveAndNamedMox) {
  ScratchDir dir("fs_temp");
  // Two file systems with the same process id and clock produce the same sequence of names.
  pkg::BasePkgFileSystem first(dir.Path().string(), 0x1234, 0x5678);
  pkg::BasePkgFileSystem second(dir.Path().string(), 0x1234, 0x5678);
  auto a = first.CreateTempFile();
  auto b = first.CreateTempFile();
  const std::string nameA = a->GetFileName()->GetPath();
  const std::string nameB = b->GetFileName()->GetPath();
  const std::string base = std::filesystem::path(nameA).filename().string();
  EXPECT_EQ(base.substr(0, 8), "mox01234");
  EXPECT_EQ(base.size(), 12u);
  EXPECT_EQ(nameA.substr(0, nameA.size() - 4), nameB.substr(0, nameB.size() - 4));
  EXPECT_NE(nameA, nameB);
  EXPECT_EQ(a->GetMode(), 19);
  EXPECT_EQ(std::filesystem::status(nameA).permissions() & std::filesystem::perms::all,
            std::filesystem::perms::owner_read | std::filesystem::perms::owner_write);
  // The second file system's first two names exist already: it skips them.
  auto c = second.CreateTempFile();
  const std::string nameC = c->GetFileName()->GetPath();
  EXPECT_NE(nameC, nameA);
  EXPECT_NE(nameC, nameB);
  a->Write("data", 4);
  a->Seek(0, pkg::kPkgSeekBegin);
  char buffer[4];
  EXPECT_EQ(a->Read(buffer, 4), 4u);
  a->Close();
  first.RemoveFile(a->GetFileName());
  EXPECT_FALSE(std::filesystem::exists(nameA));
  EXPECT_EQ(CodeOf([&] { first.RemoveFile(a->GetFileName()); }), 50);
}

TEST(PkgFileSystem, NoTempFolderMeansCode48) {
  pkg::BasePkgFileSystem fs("", 1, 1);
  EXPECT_EQ(fs.NextTempFileName(), "");
  EXPECT_EQ(CodeOf([&] { fs.CreateTempFile(); }), 48);
}

TEST(PkgFileSystem, UnwritableTempFolderIsCode50) {
  pkg::BasePkgFileSystem fs("/nonexistent-folder-for-tzpkg", 1, 1);
  EXPECT_EQ(CodeOf([&] { fs.CreateTempFile(); }), 50);
}

// The built-in file skips seeks to where it already is and switches between reading and writing
// itself; a long random mix of seeks, reads, writes and tells, across its buffer's size, must
// give the same bytes and positions as the in-memory file.
TEST(PkgFileSystem, MixedTransfersMatchTheInMemoryFile) {
  ScratchDir dir("fs_mixed");
  pkg::BasePkgFileSystem real(dir.Path().string(), 1, 1);
  pkg::MemPkgFileSystem memory;
  auto a = real.CreateTempFile();
  auto b = memory.CreateTempFile();
  std::mt19937 rng(20261211);
  std::vector<char> data(200000), gotA(200000), gotB(200000);
  for (auto& c : data) {
    c = static_cast<char>(rng());
  }
  int64_t size = 0;
  for (int step = 0; step < 3000; ++step) {
    SCOPED_TRACE("step " + std::to_string(step));
    const std::size_t count = rng() % 4 == 0 ? rng() % 150000 : rng() % 600;
    switch (rng() % 6) {
      case 0: {  // back to where the file is, as every reader of a shared file does
        const int64_t here = a->Tell();
        ASSERT_EQ(here, b->Tell());
        a->Seek(here, pkg::kPkgSeekBegin);
        b->Seek(here, pkg::kPkgSeekBegin);
        break;
      }
      case 1: {
        const int64_t target = static_cast<int64_t>(rng() % static_cast<uint32_t>(size + 1));
        a->Seek(target, pkg::kPkgSeekBegin);
        b->Seek(target, pkg::kPkgSeekBegin);
        break;
      }
      case 2:
        a->Seek(0, pkg::kPkgSeekEnd);
        b->Seek(0, pkg::kPkgSeekEnd);
        break;
      case 3:
      case 4: {
        const std::size_t readA = a->Read(gotA.data(), count);
        ASSERT_EQ(readA, b->Read(gotB.data(), count));
        ASSERT_TRUE(std::equal(gotA.begin(), gotA.begin() + static_cast<std::ptrdiff_t>(readA), gotB.begin()));
        break;
      }
      default: {
        const std::size_t offset = rng() % (data.size() - count);
        a->Write(data.data() + offset, count);
        b->Write(data.data() + offset, count);
        size = std::max(size, b->Tell());
        break;
      }
    }
    ASSERT_EQ(a->Tell(), b->Tell());
  }
  a->Flush();
  std::ifstream in(a->GetFileName()->GetPath(), std::ios::binary);
  const std::vector<uint8_t> onDisk((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  EXPECT_TRUE(onDisk == memory.GetFile(b->GetFileName()->GetPath()));
}

TEST(PkgFileSystem, InMemoryFileGrowsWithZerosBeyondItsEnd) {
  pkg::MemPkgFileSystem fs;
  auto file = fs.OpenFile(fs.MakeFileName("m"), 19);
  file->Seek(3, pkg::kPkgSeekBegin);
  file->Write("ab", 2);
  EXPECT_EQ(fs.GetFile("m"), (std::vector<uint8_t>{0, 0, 0, 'a', 'b'}));
  auto temp = fs.CreateTempFile();
  EXPECT_TRUE(fs.HasFile(temp->GetFileName()->GetPath()));
  fs.RemoveFile(temp->GetFileName());
  EXPECT_EQ(fs.GetFileCount(), 1u);
}

}  // namespace
