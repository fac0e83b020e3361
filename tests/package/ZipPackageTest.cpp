// The package object model: lookups, iteration, entry objects, stream opening checks, the
// mimetype classification on open, closing.
#include <gtest/gtest.h>

#include <set>

#include "PkgTestUtil.h"
#include "pkg/PkgOptions.h"
#include "pkg/zip/ZipPackageFactory.h"
#include "zip/ZipPackage.h"

namespace {

using pkg::zip::ZipPackageFactory;
using pkgtest::CodeOf;
using pkgtest::Fixture;

pkg::PackagePtr Open(const std::string& inFixture, int inOption100 = 0) {
  pkg::PkgOptionsPtr options;
  if (inOption100 != 0) {
    auto set = boost::shared_ptr<pkg::BasePkgOptions>(new pkg::BasePkgOptions());
    set->SetOption(100, inOption100);
    options = set;
  }
  return ZipPackageFactory::GetInstance()->OpenPackage(Fixture(inFixture), 1, nullptr, options, pkg::XMLParserPtr());
}

std::vector<std::string> Names(pkg::IPackage& inPackage, const pkg::PkgDirectoryPtr& inDirectory) {
  std::vector<std::string> names;
  for (const auto& entry : inPackage.GetEntries(inDirectory, "")) {
    names.push_back(entry->GetName() + (entry->GetType() == pkg::kPkgEntryDirectory ? " (dir)" : ""));
  }
  return names;
}

TEST(ZipPackage, IterationInStoredOrderAndByDirectory) {
  auto package = Open("no_dir_entries.zip");
  EXPECT_EQ(Names(*package, pkg::PkgDirectoryPtr()),
            (std::vector<std::string>{"a/b.txt", "a/c/d.txt", "e.txt"}));
  EXPECT_EQ(Names(*package, package->GetRootDirectory()), (std::vector<std::string>{"a/ (dir)", "e.txt"}));
  EXPECT_EQ(Names(*package, package->GetDirectory("a", true)), (std::vector<std::string>{"a/b.txt", "a/c/ (dir)"}));
  EXPECT_EQ(Names(*package, package->GetDirectory("a/c/", true)), (std::vector<std::string>{"a/c/d.txt"}));
  EXPECT_EQ(CodeOf([&] { package->GetEntries(pkg::PkgDirectoryPtr(), "*.txt"); }), 19);

  auto later = Open("dirs_after_files.zip");
  EXPECT_EQ(Names(*later, pkg::PkgDirectoryPtr()),
            (std::vector<std::string>{"a/b.txt", "a/c/d.txt", "a/c/ (dir)", "a/ (dir)"}));
  EXPECT_EQ(Names(*later, later->GetRootDirectory()), (std::vector<std::string>{"a/ (dir)"}));
}

TEST(ZipPackage, LookupsNormaliseThePath) {
  auto package = Open("no_dir_entries.zip");
  struct Row {
    const char* path;
    int type;
  };
  const Row rows[] = {
      {"a/b.txt", 1}, {"/a/./b.txt", 1}, {"a//b.txt", 1}, {"x/../e.txt", 1},
      {"a/", 0},      {"a", 0},          {"missing", 0},  {"A/B.TXT", 0},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.path);
    EXPECT_EQ(package->GetEntryType(row.path), row.type);
  }
  auto file = package->GetEntry("/a/./b.txt", true);
  EXPECT_EQ(file->GetName(), "a/b.txt");
  EXPECT_EQ(package->GetEntry("a//b.txt", true).get(), file.get());
  EXPECT_EQ(package->GetEntry("b.txt", package->GetDirectory("a", false), true).get(), file.get());
  EXPECT_EQ(package->GetEntryType("c/d.txt", package->GetDirectory("a/", false)), 1);
  EXPECT_EQ(CodeOf([&] { package->GetEntry("", true); }), 22);
  EXPECT_EQ(CodeOf([&] { package->GetEntry("nothing.txt", true); }), 21);
  EXPECT_EQ(CodeOf([&] { package->GetEntry("z/", false); }), 22);
  EXPECT_EQ(CodeOf([&] { package->GetEntry("a/", false); }), 23);  // "a/" is a directory object by now
  EXPECT_EQ(CodeOf([&] { package->GetDirectory("nothing", true); }), 21);
  // "a/" has no entry of its own: the directory object exists once made, and is a directory.
  package->GetDirectory("a", false);
  EXPECT_EQ(package->GetEntryType("a/"), 2);
  EXPECT_EQ(CodeOf([&] { package->GetEntry("a/b.txt", true)->AsDirectory(); }), 23);
  EXPECT_EQ(CodeOf([&] { package->GetDirectory("a/", true)->AsFile(); }), 23);
  EXPECT_EQ(package->GetRootDirectory()->GetName(), "/");
  EXPECT_EQ(file->ResolvePath("../e.txt"), "/e.txt");
}

TEST(ZipPackage, EntryObjectsKeepTheirOwnReferenceCount) {
  auto package = Open("plain.zip");
  auto file = package->GetEntry("dir/one.txt", true);
  pkg::IPkgFile* raw = file.get();
  raw->AddRef();
  file.reset();
  // The map and our extra reference keep it alive.
  EXPECT_EQ(raw->GetName(), "dir/one.txt");
  raw->Release();
  EXPECT_EQ(package->GetEntry("dir/one.txt", true).get(), raw);
  auto asEntry = package->GetEntry("dir/two.bin", true);
  EXPECT_EQ(asEntry->AsFile().get(), asEntry.get());
  EXPECT_EQ(asEntry->GetSize64(), 5000u);
  EXPECT_EQ(asEntry->GetCompression(), 0);
  EXPECT_EQ(asEntry->GetPackage(), package.get());
}

TEST(ZipPackage, OpenStreamChecksItsMode) {
  auto package = Open("plain.zip");
  auto file = package->GetEntry("dir/one.txt", true);
  EXPECT_EQ(CodeOf([&] { file->OpenStream(0, false); }), 22);
  EXPECT_EQ(CodeOf([&] { file->OpenStream(3, false); }), 19);
  // Writing needs an update, and a package opened for reading cannot start one.
  EXPECT_EQ(CodeOf([&] { file->OpenStream(2, false); }), 37);
  auto fresh = package->GetEntry("not/in/archive.txt", false);
  EXPECT_EQ(CodeOf([&] { fresh->OpenStream(1, false); }), 21);
  EXPECT_EQ(CodeOf([&] { file->SetCompression(12); }), 22);
  EXPECT_EQ(CodeOf([&] { package->BeginUpdate(); }), 36);
  EXPECT_EQ(CodeOf([&] { package->CommitUpdate(); }), 37);
  EXPECT_EQ(CodeOf([&] { file->Remove(); }), 37);
}

TEST(ZipPackage, UnknownMethodReadsAsDeflate) {
  auto package = Open("method12.zip");
  auto file = package->GetEntry("bz.bin", true);
  EXPECT_EQ(file->GetCompression(), 8);
  auto stream = file->OpenStream(1, false);
  char buffer[64];
  EXPECT_EQ(CodeOf([&] { stream->read(buffer, sizeof(buffer)); }), 31);
  // The package stays usable for other entries.
  auto ok = package->GetEntry("ok.txt", true)->OpenStream(1, false);
  EXPECT_EQ(pkgtest::ReadAll(*ok), "hello, package\n");
}

TEST(ZipPackage, MimetypeClassification) {
  struct Row {
    const char* fixture;
    int option;
    int openCode;
    int conformance;
    bool valid;
    const char* mimeType;
  };
  const Row rows[] = {
      {"mimetype_first.zip", 0, -1, 0, true, "application/x-morlix"},
      {"mimetype_first.zip", 2, -1, 0, true, "application/x-morlix"},
      {"mimetype_deflated.zip", 0, -1, 46, false, "application/x-morlix"},
      {"mimetype_deflated.zip", 2, 46, 0, false, ""},
      {"mimetype_not_first.zip", 0, -1, 46, false, "application/x-morlix"},
      {"mimetype_not_first.zip", 2, 46, 0, false, ""},
      {"plain.zip", 0, -1, 47, false, ""},
      {"plain.zip", 2, 47, 0, false, ""},
      {"plain.zip", 1, -1, 47, false, ""},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(std::string(row.fixture) + " option " + std::to_string(row.option));
    pkg::PackagePtr package;
    ASSERT_EQ(CodeOf([&] { package = Open(row.fixture, row.option); }), row.openCode);
    if (!package) {
      continue;
    }
    EXPECT_EQ(package->GetConformanceError(), row.conformance);
    auto* zip = dynamic_cast<pkg::zip::ZipPackage*>(package.get());
    ASSERT_NE(zip, nullptr);
    EXPECT_EQ(zip->IsMimetypeValid(), row.valid);
    EXPECT_EQ(zip->IsRewriteNeeded(), row.option == 1 && row.conformance == 47);
    EXPECT_EQ(package->GetMimeType(), row.mimeType);
    EXPECT_EQ(package->GetOption(100), row.option);
  }
}

TEST(ZipPackage, OpenTwiceCloseAndWriteOnlyModes) {
  auto package = Open("plain.zip");
  auto* zip = dynamic_cast<pkg::zip::ZipPackage*>(package.get());
  ASSERT_NE(zip, nullptr);
  EXPECT_EQ(CodeOf([&] { zip->Open(1); }), 17);
  EXPECT_EQ(package->GetOpenMode(true), 1);
  EXPECT_EQ(package->GetFileName(), Fixture("plain.zip"));

  // Closing with a stream open: no error, the stream is closed and bad.
  auto stream = package->GetEntry("dir/one.txt", true)->OpenStream(1, false);
  package->Close();
  EXPECT_TRUE(stream->bad());
  EXPECT_EQ(stream->GetFile(), nullptr);
  stream->Close();
  EXPECT_EQ(CodeOf([&] { package->GetEntry("dir/one.txt", true); }), 24);
  EXPECT_EQ(CodeOf([&] { package->GetEntries(pkg::PkgDirectoryPtr(), ""); }), 24);
  package->Close();

  pkgtest::ScratchDir dir("pkg_mode18");
  const std::string path = (dir.Path() / "new.zip").string();
  auto created = ZipPackageFactory::GetInstance()->OpenPackage(path, 18, nullptr, pkg::PkgOptionsPtr(),
                                                               pkg::XMLParserPtr());
  EXPECT_TRUE(Names(*created, pkg::PkgDirectoryPtr()).empty());
  auto entry = created->GetEntry("x.txt", false);
  EXPECT_EQ(CodeOf([&] { entry->OpenStream(1, false); }), 26);
}

TEST(ZipPackage, IsPackage) {
  auto* factory = ZipPackageFactory::GetInstance();
  EXPECT_TRUE(factory->IsPackage(Fixture("plain.zip"), nullptr));
  EXPECT_FALSE(factory->IsPackage(Fixture("not_a_zip.bin"), nullptr));
  EXPECT_EQ(CodeOf([&] { factory->IsPackage(Fixture("split_marker.zip"), nullptr); }), 16);
  EXPECT_EQ(CodeOf([&] { factory->IsPackage(Fixture("no-such-file.zip"), nullptr); }), 50);
}

}  // namespace
