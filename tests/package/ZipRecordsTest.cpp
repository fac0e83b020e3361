// Opening packages: the end record search, ZIP64 records, central headers and the errors of
// broken archives. Every row is opened from the real file and from an in-memory copy.
#include <gtest/gtest.h>

#include "PkgPropertyMgr.h"
#include "PkgTestUtil.h"
#include "pkg/PkgMemFileSystem.h"
#include "pkg/zip/ZipPackageFactory.h"
#include "zip/ZpCentralDir.h"

namespace {

using pkg::zip::ZipPackageFactory;
using pkgtest::CodeOf;
using pkgtest::Fixture;

struct OpenRow {
  const char* fixture;
  int openCode;           // -1: opens
  int entries;            // entries yielded by iteration when it opens
  int iterateCode;        // -1: iteration succeeds
};

const OpenRow kOpenRows[] = {
    {"plain.zip", -1, 2, -1},
    {"zip64_totals.zip", -1, 2, -1},
    {"zip64_entries.zip", -1, 2, -1},
    {"zip64_only_usize.zip", -1, 1, -1},
    {"zip64_no_locator.zip", 13, 0, -1},
    {"too_many_entries.zip", 9, 0, -1},
    {"huge_count_small_file.zip", 3, 0, -1},
    {"comment_200.zip", -1, 1, -1},
    {"comment_4093.zip", -1, 1, -1},
    {"comment_4094.zip", -1, 1, -1},
    {"comment_4095.zip", -1, 1, -1},
    {"comment_65535.zip", -1, 1, -1},
    {"comment_length_no_comment.zip", -1, 1, -1},
    {"no_end_record.zip", 11, 0, -1},
    {"split_marker.zip", 16, 0, -1},
    {"not_a_zip.bin", 20, 0, -1},
    {"empty_archive.zip", 20, 0, -1},
    {"data_descriptor.zip", -1, 2, -1},
    {"dirs_after_files.zip", -1, 4, -1},
    {"method12.zip", -1, 2, -1},
    {"extra_cut_midblock.zip", -1, 1, -1},
    {"bad_local_header.zip", -1, 0, 8},
    {"cd_offset_past_end.zip", 2, 0, -1},
    {"duplicate_names.zip", -1, 3, -1},
    {"empty_name.zip", -1, 3, -1},
    {"tool_infozip_stream.zip", -1, 17, -1},
    {"tool_pyzipfile_zip64.zip", -1, 2, -1},
};

pkg::PackagePtr OpenInMemory(pkg::MemPkgFileSystem& inFs, const std::string& inFixture) {
  inFs.AddFile("package.zip", pkgtest::ReadFileBytes(Fixture(inFixture)));
  auto file = inFs.OpenFile(inFs.MakeFileName("package.zip"), 1);
  return ZipPackageFactory::GetInstance()->OpenPackageOnFile(file, pkg::PkgOptionsPtr(), pkg::XMLParserPtr());
}

TEST(ZipRecords, OpenAndIterateFixtures) {
  for (const auto& row : kOpenRows) {
    for (bool inMemory : {false, true}) {
      SCOPED_TRACE(std::string(row.fixture) + (inMemory ? " (in memory)" : " (file)"));
      pkg::MemPkgFileSystem memory;
      pkg::PackagePtr package;
      const int openCode = CodeOf([&] {
        package = inMemory ? OpenInMemory(memory, row.fixture)
                           : ZipPackageFactory::GetInstance()->OpenPackage(Fixture(row.fixture), 1, nullptr,
                                                                            pkg::PkgOptionsPtr(), pkg::XMLParserPtr());
      });
      ASSERT_EQ(openCode, row.openCode);
      if (openCode != -1) {
        EXPECT_FALSE(package);
        continue;
      }
      int count = 0;
      const int iterateCode = CodeOf([&] {
        for (const auto& entry : package->GetEntries(pkg::PkgDirectoryPtr(), "")) {
          EXPECT_TRUE(entry);
          ++count;
        }
      });
      EXPECT_EQ(iterateCode, row.iterateCode);
      if (iterateCode == -1) {
        EXPECT_EQ(count, row.entries);
      }
      package->Close();
    }
  }
}

TEST(ZipRecords, RecordCodesAreIOExceptions) {
  try {
    ZipPackageFactory::GetInstance()->OpenPackage(Fixture("zip64_no_locator.zip"), 1, nullptr, pkg::PkgOptionsPtr(),
                                                  pkg::XMLParserPtr());
    FAIL() << "opened";
  } catch (const pkg::PackageIOException& e) {
    EXPECT_EQ(e.GetCode(), 13);
  }
  // Not a package is a plain PackageException.
  try {
    ZipPackageFactory::GetInstance()->OpenPackage(Fixture("not_a_zip.bin"), 1, nullptr, pkg::PkgOptionsPtr(),
                                                  pkg::XMLParserPtr());
    FAIL() << "opened";
  } catch (const pkg::PackageIOException&) {
    FAIL() << "code 20 is not an I/O error";
  } catch (const pkg::PackageException& e) {
    EXPECT_EQ(e.GetCode(), 20);
  }
}

TEST(ZipRecords, CommentsBecomePackageProperty1000) {
  for (int length : {200, 4093, 4094, 4095, 65535}) {
    SCOPED_TRACE(length);
    auto package = ZipPackageFactory::GetInstance()->OpenPackage(
        Fixture("comment_" + std::to_string(length) + ".zip"), 1, nullptr, pkg::PkgOptionsPtr(), pkg::XMLParserPtr());
    const std::string comment = package->GetPackageProperty(1000);
    ASSERT_EQ(comment.size(), static_cast<std::size_t>(length));
    for (int i = 0; i < length; ++i) {
      ASSERT_EQ(comment[i], static_cast<char>('a' + i % 26)) << "at " << i;
    }
  }
  // A record in the last 22 bytes is taken without reading its comment.
  auto package = ZipPackageFactory::GetInstance()->OpenPackage(Fixture("comment_length_no_comment.zip"), 1, nullptr,
                                                               pkg::PkgOptionsPtr(), pkg::XMLParserPtr());
  EXPECT_EQ(package->GetPackageProperty(1000), "");
}

TEST(ZipRecords, Zip64ValuesReplaceTheThirtyTwoBitFields) {
  pkg::MemPkgFileSystem memory;
  memory.AddFile("z.zip", pkgtest::ReadFileBytes(Fixture("zip64_entries.zip")));
  auto file = memory.OpenFile(memory.MakeFileName("z.zip"), 1);
  ASSERT_TRUE(pkg::zip::IsPackageFile(*file));
  pkg::zip::ZpCentralDir dir;
  dir.ReadEnd(*file, nullptr);
  EXPECT_EQ(dir.GetEntryCount(), 0xFFFFu);
  dir.ReadZip64End(*file);
  EXPECT_EQ(dir.GetEntryCount(), 2u);
  dir.ReadEntries(*file);
  ASSERT_EQ(dir.GetEntries().size(), 2u);
  const auto& a = dir.GetEntries()[0];
  EXPECT_EQ(a->GetName(), "big/a.bin");
  EXPECT_EQ(a->GetUncompressedSize(), 70000u);
  EXPECT_EQ(a->GetLocalHeaderOffset(), 0u);
  const auto& b = dir.GetEntries()[1];
  EXPECT_EQ(b->GetUncompressedSize(), 3000u);
  EXPECT_GT(b->GetLocalHeaderOffset(), 0u);
  EXPECT_EQ(dir.FindEntry("big/b.txt"), b);
  EXPECT_FALSE(dir.FindEntry("big/B.txt"));
  auto local = b->ReadLocalHeader(*file);
  EXPECT_EQ(local->GetName(), "big/b.txt");
  EXPECT_EQ(local->GetTotalSize(), 30u + 9u + 20u);

  // Only the uncompressed size is all ones: only it comes from the 8-byte block.
  memory.AddFile("u.zip", pkgtest::ReadFileBytes(Fixture("zip64_only_usize.zip")));
  auto only = memory.OpenFile(memory.MakeFileName("u.zip"), 1);
  pkg::zip::ZpCentralDir onlyDir;
  onlyDir.ReadEnd(*only, nullptr);
  onlyDir.ReadZip64End(*only);
  onlyDir.ReadEntries(*only);
  ASSERT_EQ(onlyDir.GetEntries().size(), 1u);
  EXPECT_EQ(onlyDir.GetEntries()[0]->GetUncompressedSize(), 100u);
  EXPECT_LT(onlyDir.GetEntries()[0]->GetCompressedSize(), 100u);
}

TEST(ZipRecords, DateTimeAndTypeCreatorProperties) {
  auto package = ZipPackageFactory::GetInstance()->OpenPackage(Fixture("zpit_and_date.zip"), 1, nullptr,
                                                               pkg::PkgOptionsPtr(), pkg::XMLParserPtr());
  auto file = package->GetEntry("t.txt", true);
  EXPECT_EQ(file->GetProperty(0), "214A");
  EXPECT_EQ(file->GetProperty(1), "3C7B");
  EXPECT_EQ(file->GetProperty(2), "544558546D726C78");  // "TEXTmrlx"
  EXPECT_EQ(CodeOf([&] { file->GetProperty(-1); }), 22);
  EXPECT_EQ(CodeOf([&] { file->GetProperty(2000); }), 23);  // no XML parser
  EXPECT_EQ(CodeOf([&] { package->GetPackageProperty(2000); }), 23);
  EXPECT_EQ(CodeOf([&] { package->SetPackageProperty(1000, std::string(65535, 'x')); }), 22);
  package->SetPackageProperty(1000, "build 7");
  EXPECT_EQ(package->GetPackageProperty(1000), "build 7");
}

TEST(ZipRecords, SplitMarkerIsFoundBeforeAnythingElse) {
  pkg::MemPkgFileSystem memory;
  memory.AddFile("s", {'P', 'K', 7, 8});
  auto file = memory.OpenFile(memory.MakeFileName("s"), 1);
  EXPECT_EQ(CodeOf([&] { pkg::zip::IsPackageFile(*file); }), 16);
  memory.AddFile("short", {'P', 'K', 3});
  auto shortFile = memory.OpenFile(memory.MakeFileName("short"), 1);
  EXPECT_FALSE(pkg::zip::IsPackageFile(*shortFile));
}

}  // namespace

namespace {

// A file that cannot seek (a pipe, say): fault injection around an in-memory file.
class NonSeekableFile : public pkg::IPkgFSFile {
 public:
  explicit NonSeekableFile(pkg::PkgFSFilePtr inInner) : m_inner(std::move(inInner)) {}
  int GetMode() const override { return m_inner->GetMode(); }
  void Close() override { m_inner->Close(); }
  std::size_t Read(void* outBuffer, std::size_t inCount) override { return m_inner->Read(outBuffer, inCount); }
  void Write(const void* inBuffer, std::size_t inCount) override { m_inner->Write(inBuffer, inCount); }
  void Seek(int64_t, int) override { throw pkg::PackageIOException(pkg::kPkgErrUnsupportedOperation); }
  int64_t Tell() override { return m_inner->Tell(); }
  void Flush() override {}
  void Truncate(int64_t) override { throw pkg::PackageIOException(pkg::kPkgErrUnsupportedOperation); }
  int GetCapabilities() const override { return pkg::kPkgCapRead | pkg::kPkgCapTell; }
  pkg::IPkgFileSystem* GetFileSystem() const override { return m_inner->GetFileSystem(); }
  pkg::PkgFSFileNamePtr GetFileName() const override { return m_inner->GetFileName(); }

 private:
  pkg::PkgFSFilePtr m_inner;
};

TEST(ZipRecords, EndRecordNeedsASeekableFileOfAtLeast22Bytes) {
  pkg::MemPkgFileSystem memory;
  memory.AddFile("p.zip", pkgtest::ReadFileBytes(Fixture("plain.zip")));
  pkg::PkgFSFilePtr pipe(new NonSeekableFile(memory.OpenFile(memory.MakeFileName("p.zip"), 1)));
  EXPECT_EQ(CodeOf([&] { ZipPackageFactory::GetInstance()->OpenPackageOnFile(pipe, pkg::PkgOptionsPtr(),
                                                                             pkg::XMLParserPtr()); }),
            10);
  pkg::zip::ZpCentralDir dir;
  EXPECT_EQ(CodeOf([&] { dir.ReadZip64End(*pipe); }), -1);  // nothing asks for ZIP64

  memory.AddFile("tiny.zip", {'P', 'K', 3, 4, 0, 0, 0, 0, 0, 0});
  EXPECT_EQ(CodeOf([&] { ZipPackageFactory::GetInstance()->OpenPackageOnFile(
                             memory.OpenFile(memory.MakeFileName("tiny.zip"), 1), pkg::PkgOptionsPtr(),
                             pkg::XMLParserPtr()); }),
            10);
}

}  // namespace
