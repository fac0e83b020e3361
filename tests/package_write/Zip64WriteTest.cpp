// ZIP64: an entry over 4 GiB (written from zeros, so the package itself stays a few MiB) and a
// package of 70,000 entries. Both take time in the other tools' checks: label slow.
#include <gtest/gtest.h>

#include "WriteTestUtil.h"
#include "pkg/PkgOptions.h"

namespace {

using pkg::zip::ZipPackageFactory;
using pkgtest::ScratchDir;

constexpr uint64_t kBigSize = (uint64_t{4} << 30) + (uint64_t{3} << 20) + 17;

// The big entry is written in a new package's first update (straight into the package file,
// whose local header is rewritten with a ZIP64 block at the end), and in a later update (staged
// and copied at the commit), with and without data descriptors.
TEST(Zip64Write, EntryOverFourGiB) {
  struct Row {
    const char* name;
    bool laterUpdate;
    bool descriptors;
  };
  for (const Row& row : {Row{"first update", false, false}, Row{"first update, descriptors", false, true},
                         Row{"later update", true, false}}) {
    SCOPED_TRACE(row.name);
    ScratchDir scratch("zip64-big");
    const auto zip = scratch.Path() / "big.zip";
    const auto log = scratch.Path() / "tool.log";
    {
      boost::shared_ptr<pkg::BasePkgOptions> options(new pkg::BasePkgOptions());
      options->SetOption(pkg::IPkgOptions::kOptionDataDescriptor, row.descriptors ? 1 : 0);
      auto package = ZipPackageFactory::GetInstance()->CreatePackage(zip.string(), "", true, nullptr, options,
                                                                     pkg::XMLParserPtr());
      writetest::WriteEntry(package, "before.txt", "small entry before");
      if (row.laterUpdate) {
        package->CommitUpdate();
        package->BeginUpdate();
      }
      auto stream = package->GetEntry("zeros.bin", false)->OpenStream(pkg::kPkgModeOut, false);
      const std::string block(1 << 20, '\0');
      for (uint64_t done = 0; done < kBigSize;) {
        const uint64_t count = std::min<uint64_t>(block.size(), kBigSize - done);
        stream->write(block.data(), static_cast<std::streamsize>(count));
        done += count;
      }
      stream->Close();
      writetest::WriteEntry(package, "after.txt", "small entry after");
      package->CommitUpdate();
      package->Close();
    }
    EXPECT_EQ(writetest::Run("unzip -tq " + writetest::Quote(zip), log), 0) << writetest::ReadText(log);
    EXPECT_EQ(writetest::PythonTestZip(zip, scratch.Path() / "names.txt", log), 0) << writetest::ReadText(log);
    // bsdtar reads the entries one after the other from their local headers.
    EXPECT_EQ(writetest::Run("bsdtar -tvf " + writetest::Quote(zip), log), 0) << writetest::ReadText(log);
    EXPECT_NE(writetest::ReadText(log).find(std::to_string(kBigSize)), std::string::npos) << writetest::ReadText(log);
    EXPECT_NE(writetest::ReadText(log).find("after.txt"), std::string::npos) << writetest::ReadText(log);

    auto package = ZipPackageFactory::GetInstance()->OpenPackage(zip.string(), pkg::kPkgModeIn, nullptr,
                                                                 pkg::PkgOptionsPtr(), pkg::XMLParserPtr());
    auto big = package->GetEntry("zeros.bin", true);
    EXPECT_EQ(big->GetSize64(), kBigSize);
    EXPECT_EQ(big->GetSize(), 0xFFFFFFFFu);
    auto stream = big->OpenStream(pkg::kPkgModeIn, false);
    std::string block(1 << 20, 'x');
    uint64_t total = 0;
    bool allZero = true;
    while (*stream) {
      stream->read(&block[0], static_cast<std::streamsize>(block.size()));
      const auto got = static_cast<std::size_t>(stream->gcount());
      allZero = allZero && block.find_first_not_of('\0', 0) >= got;
      total += got;
    }
    EXPECT_EQ(total, kBigSize);
    EXPECT_TRUE(allZero);
    auto after = package->GetEntry("after.txt", true)->OpenStream(pkg::kPkgModeIn, false);
    EXPECT_EQ(pkgtest::ReadAll(*after), "small entry after");
  }
}

TEST(Zip64Write, SeventyThousandEntries) {
  constexpr int kCount = 70000;
  ScratchDir scratch("zip64-many");
  const auto zip = scratch.Path() / "many.zip";
  const auto log = scratch.Path() / "tool.log";
  {
    auto package = ZipPackageFactory::GetInstance()->CreatePackage(zip.string(), "", true, nullptr,
                                                                   pkg::PkgOptionsPtr(), pkg::XMLParserPtr());
    for (int i = 0; i < kCount; ++i) {
      writetest::WriteEntry(package, "d" + std::to_string(i % 10) + "/f" + std::to_string(i) + ".txt",
                            std::to_string(i));
    }
    package->CommitUpdate();
    package->Close();
  }
  EXPECT_EQ(writetest::Run("unzip -tq " + writetest::Quote(zip), log), 0) << writetest::ReadText(log);
  const auto names = scratch.Path() / "names.txt";
  EXPECT_EQ(writetest::PythonTestZip(zip, names, log), 0) << writetest::ReadText(log);
  std::ifstream in(names);
  int listed = 0;
  for (std::string line; std::getline(in, line);) {
    ++listed;
  }
  EXPECT_EQ(listed, kCount);
  EXPECT_EQ(writetest::Run("bsdtar -tf " + writetest::Quote(zip), log), 0) << writetest::ReadText(log);
  EXPECT_NE(writetest::ReadText(log).find("d9/f69999.txt"), std::string::npos);

  const auto entries = writetest::ReadBack(zip.string());
  ASSERT_EQ(entries.size(), static_cast<std::size_t>(kCount));
  for (int i : {0, 1, 65534, 65535, 65536, kCount - 1}) {
    const auto found = entries.find("d" + std::to_string(i % 10) + "/f" + std::to_string(i) + ".txt");
    ASSERT_NE(found, entries.end()) << i;
    EXPECT_EQ(found->second, std::to_string(i)) << i;
  }
}

}  // namespace
