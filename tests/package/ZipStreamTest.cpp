// Entry streams: stored and deflated reading, seeking (and the temporary file it makes for a
// deflated entry), the size cap on inflation, put-back, closing.
#include <gtest/gtest.h>

#include <zlib.h>

#include "PkgTestUtil.h"
#include "pkg/PkgMemFileSystem.h"
#include "pkg/zip/ZipPackageFactory.h"

namespace {

using pkg::zip::ZipPackageFactory;
using pkgtest::CodeOf;
using pkgtest::Fixture;

// A package opened through a built-in file system whose temporary folder is a scratch folder,
// so that the test sees the temporary files.
struct ScratchPackage {
  explicit ScratchPackage(const std::string& inFixture)
      : temp("stream_" + inFixture), fs(temp.Path().string(), 77, 1) {
    package = ZipPackageFactory::GetInstance()->OpenPackage(Fixture(inFixture), 1, &fs, pkg::PkgOptionsPtr(),
                                                            pkg::XMLParserPtr());
  }
  pkgtest::ScratchDir temp;
  pkg::BasePkgFileSystem fs;
  pkg::PackagePtr package;
};

std::string Expected(const std::string& inWord, std::size_t inSize) {
  std::string out;
  while (out.size() < inSize) {
    out += inWord;
  }
  return out.substr(0, inSize);
}

TEST(ZipStream, StoredEntrySeeksWithoutTempFile) {
  ScratchPackage p("plain.zip");
  auto file = p.package->GetEntry("dir/two.bin", true);
  auto stream = file->OpenStream(1, false);
  EXPECT_EQ(stream->tellg(), 0);
  stream->seekg(0, std::ios::end);
  EXPECT_EQ(stream->tellg(), 5000);
  EXPECT_EQ(p.temp.CountFiles(), 0u);
  stream->seekg(10, std::ios::beg);
  char a[10];
  stream->read(a, 10);
  stream->seekg(0, std::ios::beg);
  const std::string all = pkgtest::ReadAll(*stream);
  ASSERT_EQ(all.size(), 5000u);
  EXPECT_EQ(std::string(a, 10), all.substr(10, 10));
  EXPECT_EQ(crc32(0, reinterpret_cast<const Bytef*>(all.data()), static_cast<uInt>(all.size())), file->GetCRC());
}

TEST(ZipStream, DeflatedEntryInflatesIntoATempFileOnFirstMove) {
  ScratchPackage p("plain.zip");
  auto file = p.package->GetEntry("dir/one.txt", true);
  {
    auto stream = file->OpenStream(1, false);
    EXPECT_EQ(stream->tellg(), 0);  // tellg does not move
    EXPECT_EQ(pkgtest::ReadAll(*stream), "hello, package\n");
    EXPECT_EQ(p.temp.CountFiles(), 0u);  // reading to the end needs no temporary file
  }
  auto stream = file->OpenStream(1, false);
  stream->seekg(0, std::ios::end);
  EXPECT_EQ(stream->tellg(), 15);
  EXPECT_EQ(p.temp.CountFiles(), 1u);
  stream->seekg(7, std::ios::beg);
  EXPECT_EQ(pkgtest::ReadAll(*stream), "package\n");
  // A later stream reads the temporary file.
  auto again = file->OpenStream(1, false);
  again->seekg(-8, std::ios::end);
  EXPECT_EQ(pkgtest::ReadAll(*again), "package\n");
  EXPECT_EQ(p.temp.CountFiles(), 1u);
  p.package->Close();
  EXPECT_EQ(p.temp.CountFiles(), 0u);
}

TEST(ZipStream, SingleCharacterReadsAndPutBack) {
  ScratchPackage p("data_descriptor.zip");
  auto stream = p.package->GetEntry("d/one.txt", true)->OpenStream(1, false);
  const std::string expected = Expected("morlix ", 5000);
  std::string got;
  int c = 0;
  bool putBack = false;
  while ((c = stream->get()) != EOF) {
    got += static_cast<char>(c);
    if (got.size() == 9 && !putBack) {
      putBack = true;
      // Up to 4 characters of put-back.
      for (int i = 0; i < 4; ++i) {
        ASSERT_TRUE(stream->unget()) << i;
      }
      got.resize(5);
    }
  }
  EXPECT_EQ(got, expected);
}

TEST(ZipStream, BlockReadsMatchInEveryBlockSize) {
  auto package = ZipPackageFactory::GetInstance()->OpenPackage(Fixture("tool_infozip_deflate.zip"), 1, nullptr,
                                                               pkg::PkgOptionsPtr(), pkg::XMLParserPtr());
  auto file = package->GetEntry("big/compressible.txt", true);
  std::string reference;
  for (std::size_t block : {1u, 5u, 6u, 7u, 4096u, 65536u, 1u << 20}) {
    SCOPED_TRACE(block);
    auto stream = file->OpenStream(1, false);
    const std::string all = pkgtest::ReadAll(*stream, block);
    EXPECT_EQ(all.size(), file->GetSize64());
    EXPECT_EQ(crc32(0, reinterpret_cast<const Bytef*>(all.data()), static_cast<uInt>(all.size())), file->GetCRC());
    EXPECT_TRUE(stream->eof());
  }
}

TEST(ZipStream, DamagedDataFailWithCode31AndLeaveNoTempFile) {
  struct Row {
    const char* fixture;
    const char* entry;
    bool seekFirst;
  };
  const Row rows[] = {
      {"truncated_deflate.zip", "cut.txt", false},
      {"truncated_deflate.zip", "cut.txt", true},
      {"method12.zip", "bz.bin", false},
      {"method12.zip", "bz.bin", true},
      {"inflates_past_size.zip", "bomb.txt", false},
      {"inflates_past_size.zip", "bomb.txt", true},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(std::string(row.fixture) + (row.seekFirst ? " seek" : " read"));
    ScratchPackage p(row.fixture);
    auto stream = p.package->GetEntry(row.entry, true)->OpenStream(1, false);
    const int code = CodeOf([&] {
      if (row.seekFirst) {
        stream->seekg(0, std::ios::end);
      }
      pkgtest::ReadAll(*stream);
    });
    EXPECT_EQ(code, 31);
    EXPECT_TRUE(stream->bad());
    EXPECT_EQ(p.temp.CountFiles(), 0u);
  }
}

TEST(ZipStream, InflationStopsAtTheDeclaredSize) {
  ScratchPackage p("inflates_past_size.zip");
  auto stream = p.package->GetEntry("bomb.txt", true)->OpenStream(1, false);
  std::string block(1000, '\0');
  stream->read(&block[0], 1000);  // exactly the declared size
  EXPECT_EQ(stream->gcount(), 1000);
  EXPECT_EQ(block, Expected("morlix ", 1000));
  EXPECT_EQ(CodeOf([&] { stream->get(); }), 31);
}

TEST(ZipStream, EmptyEntriesAndRawMode) {
  ScratchPackage p("empty_files.zip");
  for (const char* name : {"empty_stored.txt", "empty_deflated.txt"}) {
    SCOPED_TRACE(name);
    auto stream = p.package->GetEntry(name, true)->OpenStream(1, false);
    stream->seekg(0, std::ios::end);
    EXPECT_EQ(stream->tellg(), 0);
    stream->seekg(0, std::ios::beg);
    EXPECT_EQ(pkgtest::ReadAll(*stream), "");
  }
  ScratchPackage q("plain.zip");
  auto file = q.package->GetEntry("dir/one.txt", true);
  auto raw = file->OpenStream(1, true);
  raw->seekg(0, std::ios::end);
  EXPECT_EQ(static_cast<uint64_t>(raw->tellg()), file->GetCompressedSize64());
  raw->seekg(0, std::ios::beg);
  EXPECT_EQ(pkgtest::ReadAll(*raw).size(), file->GetCompressedSize64());
  EXPECT_EQ(q.temp.CountFiles(), 0u);
}

TEST(ZipStream, CloseTwiceAndBadSeekDirection) {
  ScratchPackage p("plain.zip");
  auto stream = p.package->GetEntry("dir/one.txt", true)->OpenStream(1, false);
  EXPECT_NE(stream->GetFile(), nullptr);
  stream->Close();
  EXPECT_TRUE(stream->bad());
  stream->Close();
  EXPECT_EQ(stream->rdbuf(), nullptr);
}

TEST(ZipStream, InMemoryPackageMakesInMemoryTempFiles) {
  pkg::MemPkgFileSystem memory;
  memory.AddFile("p.zip", pkgtest::ReadFileBytes(Fixture("plain.zip")));
  auto package = ZipPackageFactory::GetInstance()->OpenPackageOnFile(memory.OpenFile(memory.MakeFileName("p.zip"), 1),
                                                                     pkg::PkgOptionsPtr(), pkg::XMLParserPtr());
  auto stream = package->GetEntry("dir/one.txt", true)->OpenStream(1, false);
  stream->seekg(0, std::ios::end);
  EXPECT_EQ(stream->tellg(), 15);
  EXPECT_EQ(memory.GetFileCount(), 2u);
  package->Close();
  EXPECT_EQ(memory.GetFileCount(), 1u);
}

}  // namespace

namespace {

std::size_t OpenDescriptors() {
  std::size_t count = 0;
  for (const auto& entry : std::filesystem::directory_iterator("/proc/self/fd")) {
    (void)entry;
    ++count;
  }
  return count;
}

// Temporary files stay on disk until the package closes, but none stays open once its streams
// are closed: a package with thousands of entries must not run out of file descriptors.
TEST(ZipStream, TempFilesAreNotKeptOpen) {
  ScratchPackage p("tool_infozip_deflate.zip");
  const std::size_t before = OpenDescriptors();
  std::size_t seeked = 0;
  for (const auto& entry : p.package->GetEntries(pkg::PkgDirectoryPtr(), "")) {
    if (entry->GetType() != pkg::kPkgEntryFile || entry->GetCompression() != 8) {
      continue;
    }
    auto stream = entry->AsFile()->OpenStream(1, false);
    stream->seekg(0, std::ios::end);
    EXPECT_EQ(static_cast<uint64_t>(stream->tellg()), entry->AsFile()->GetSize64()) << entry->GetName();
    stream->Close();
    ++seeked;
  }
  EXPECT_GE(seeked, 4u);
  EXPECT_EQ(p.temp.CountFiles(), seeked);
  EXPECT_EQ(OpenDescriptors(), before);
  p.package->Close();
  EXPECT_EQ(p.temp.CountFiles(), 0u);
}

}  // namespace
