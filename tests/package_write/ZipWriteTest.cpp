#include <gtest/gtest.h>

#include <functional>
#include <random>

#include "WriteTestUtil.h"
#include "PkgPropertyMgr.h"
#include "ZpByteReader.h"
#include "pkg/PkgMemFileSystem.h"
#include "pkg/PkgOptions.h"

namespace {

using pkg::PackagePtr;
using pkg::zip::ZipPackageFactory;
using pkgtest::CodeOf;
using pkgtest::ScratchDir;
using writetest::WriteEntry;

using Entries = std::map<std::string, std::string>;

std::string RandomBytes(std::size_t inCount, unsigned inSeed) {
  std::mt19937 random(inSeed);
  std::string bytes(inCount, '\0');
  for (char& c : bytes) {
    c = static_cast<char>(random() & 0xFF);
  }
  return bytes;
}

std::string Repeated(std::size_t inCount) {
  std::string text;
  while (text.size() < inCount) {
    text += "the quick brown fox jumps over the lazy dog; ";
  }
  text.resize(inCount);
  return text;
}

PackagePtr Create(const std::string& inPath, const std::string& inMimeType = std::string(),
                  const pkg::PkgOptionsPtr& inOptions = pkg::PkgOptionsPtr()) {
  return ZipPackageFactory::GetInstance()->CreatePackage(inPath, inMimeType, true, nullptr, inOptions,
                                                         pkg::XMLParserPtr());
}

PackagePtr OpenForUpdate(const std::string& inPath) {
  return ZipPackageFactory::GetInstance()->OpenPackage(inPath, pkg::kPkgModeIn | pkg::kPkgModeOut, nullptr,
                                                       pkg::PkgOptionsPtr(), pkg::XMLParserPtr());
}

struct RoundTrip {
  const char* name;
  // Writes the package at the path and returns the entries it must hold.
  std::function<Entries(const std::string&)> write;
  bool oursReads;  // an empty archive does not start with a local header: ours refuses it (code 20)
};

const RoundTrip kRoundTrips[] = {
    {"small",
     [](const std::string& inPath) {
       auto package = Create(inPath);
       WriteEntry(package, "hello.txt", "Hello, world\n");
       WriteEntry(package, "stored.bin", RandomBytes(5000, 1), pkg::kPkgCompressionStored);
       WriteEntry(package, "text.txt", Repeated(200000));
       WriteEntry(package, "random.bin", RandomBytes(100000, 2));
       WriteEntry(package, "zero.txt", "");
       // More than the write buffer holds: its local header is written first and completed in place.
       WriteEntry(package, "large.bin", RandomBytes(700000, 5));
       WriteEntry(package, "after.txt", "after");
       package->CommitUpdate();
       package->Close();
       return Entries{{"hello.txt", "Hello, world\n"}, {"stored.bin", RandomBytes(5000, 1)},
                      {"text.txt", Repeated(200000)}, {"random.bin", RandomBytes(100000, 2)}, {"zero.txt", ""},
                      {"large.bin", RandomBytes(700000, 5)}, {"after.txt", "after"}};
     },
     true},
    {"empty",
     [](const std::string& inPath) {
       auto package = Create(inPath);
       package->CommitUpdate();
       package->Close();
       return Entries{};
     },
     false},
    {"directories",
     [](const std::string& inPath) {
       auto package = Create(inPath);
       package->GetDirectory("a", false)->Create();
       package->GetDirectory("/a/b/", false)->Create();
       package->GetDirectory("empty", false)->Create();
       WriteEntry(package, "a/b/c.txt", "c");
       WriteEntry(package, "/a/./d.txt", "d");
       package->CommitUpdate();
       package->Close();
       return Entries{{"a/", ""}, {"a/b/", ""}, {"empty/", ""}, {"a/b/c.txt", "c"}, {"a/d.txt", "d"}};
     },
     true},
    {"mimetype",
     [](const std::string& inPath) {
       auto package = Create(inPath, "application/x-morlix-test");
       WriteEntry(package, "content.txt", Repeated(3000));
       package->CommitUpdate();
       package->Close();
       return Entries{{"mimetype", "application/x-morlix-test"}, {"content.txt", Repeated(3000)}};
     },
     true},
    {"update",
     [](const std::string& inPath) {
       auto package = Create(inPath, "application/x-morlix-test");
       WriteEntry(package, "keep.txt", Repeated(1000));
       WriteEntry(package, "drop.txt", "drop me");
       WriteEntry(package, "change.txt", "old");
       package->CommitUpdate();
       package->Close();
       package = OpenForUpdate(inPath);
       package->BeginUpdate();
       package->GetEntry("drop.txt", true)->Remove();
       WriteEntry(package, "change.txt", "new text");
       WriteEntry(package, "added/new.bin", RandomBytes(70000, 3));
       package->CommitUpdate();
       package->Close();
       return Entries{{"mimetype", "application/x-morlix-test"}, {"keep.txt", Repeated(1000)},
                      {"change.txt", "new text"}, {"added/new.bin", RandomBytes(70000, 3)}};
     },
     true},
    {"update in place",
     [](const std::string& inPath) {
       auto package = Create(inPath, "application/x-morlix-test");
       WriteEntry(package, "keep.txt", Repeated(1000));
       WriteEntry(package, "drop.txt", "drop me");
       package->CommitUpdate();
       package->Close();
       package = OpenForUpdate(inPath);
       package->BeginUpdateInPlace();
       package->GetEntry("drop.txt", true)->Remove();
       WriteEntry(package, "added.txt", Repeated(5000));
       package->CommitUpdate();
       package->Close();
       return Entries{{"mimetype", "application/x-morlix-test"}, {"keep.txt", Repeated(1000)},
                      {"added.txt", Repeated(5000)}};
     },
     true},
    {"save as",
     [](const std::string& inPath) {
       const std::string first = inPath + ".first";
       auto package = Create(first);
       WriteEntry(package, "one.txt", "one");
       package->CommitUpdate();
       package->BeginUpdateTo(inPath + ".second", pkg::kPkgModeOut | pkg::kPkgModeTrunc);
       WriteEntry(package, "two.txt", Repeated(100));
       package->CommitUpdate();
       // The package now is the new file, and SaveAs copies it on.
       EXPECT_EQ(package->GetFileName(), inPath + ".second");
       package->SaveAs(inPath, pkg::kPkgModeOut | pkg::kPkgModeTrunc);
       EXPECT_EQ(package->GetFileName(), inPath);
       package->Close();
       EXPECT_EQ(writetest::ReadBack(first), (Entries{{"one.txt", "one"}}));
       return Entries{{"one.txt", "one"}, {"two.txt", Repeated(100)}};
     },
     true},
    {"first update: entry written twice, one removed, mimetype last",
     [](const std::string& inPath) {
       auto package = Create(inPath);
       WriteEntry(package, "a.txt", Repeated(3000));
       WriteEntry(package, "b.txt", "gone");
       WriteEntry(package, "a.txt", "second text");
       package->GetEntry("b.txt", true)->Remove();
       package->SetMimeType("application/x-morlix-test");
       package->CommitUpdate();
       package->Close();
       return Entries{{"mimetype", "application/x-morlix-test"}, {"a.txt", "second text"}};
     },
     true},
    {"first update: directory created while a stream is open",
     [](const std::string& inPath) {
       auto package = Create(inPath);
       auto stream = package->GetEntry("f.bin", false)->OpenStream(pkg::kPkgModeOut, false);
       const std::string data = RandomBytes(200000, 4);
       stream->write(data.data(), 100000);
       package->GetDirectory("d", false)->Create();
       stream->write(data.data() + 100000, 100000);
       stream->Close();
       WriteEntry(package, "d/g.txt", "g");
       package->CommitUpdate();
       package->Close();
       return Entries{{"f.bin", RandomBytes(200000, 4)}, {"d/", ""}, {"d/g.txt", "g"}};
     },
     true},
    {"data descriptors (option 0)",
     [](const std::string& inPath) {
       boost::shared_ptr<pkg::BasePkgOptions> options(new pkg::BasePkgOptions());
       options->SetOption(pkg::IPkgOptions::kOptionDataDescriptor, 1);
       auto package = Create(inPath, std::string(), options);
       WriteEntry(package, "described.txt", Repeated(20000));
       WriteEntry(package, "large.bin", RandomBytes(700000, 6));
       WriteEntry(package, "stored.txt", "plain", pkg::kPkgCompressionStored);
       package->CommitUpdate();
       package->Close();
       const auto bytes = pkgtest::ReadFileBytes(inPath);
       EXPECT_NE(pkg::zip::ZpByteReader::U16At(bytes.data(), bytes.size(), 6) & 0x0008, 0) << "bit 3 in the local header";
       return Entries{{"described.txt", Repeated(20000)}, {"large.bin", RandomBytes(700000, 6)}, {"stored.txt", "plain"}};
     },
     true},
};

TEST(ZipWrite, RoundTripsReadByUsAndOtherTools) {
  ScratchDir scratch("zipwrite-roundtrip");
  int index = 0;
  for (const RoundTrip& row : kRoundTrips) {
    SCOPED_TRACE(row.name);
    const auto zip = scratch.Path() / ("case" + std::to_string(index++) + ".zip");
    const auto log = scratch.Path() / "tool.log";
    const Entries expected = row.write(zip.string());

    if (row.oursReads) {
      EXPECT_EQ(writetest::ReadBack(zip.string()), expected);
    } else {
      EXPECT_EQ(CodeOf([&] { writetest::ReadBack(zip.string()); }), pkg::kPkgErrNotPackage);
    }
    if (!expected.empty()) {
      // unzip calls an archive without entries a warning (status 1); the others accept it.
      EXPECT_EQ(writetest::Run("unzip -t " + writetest::Quote(zip), log), 0) << writetest::ReadText(log);
    }
    const auto names = scratch.Path() / "names.txt";
    EXPECT_EQ(writetest::PythonTestZip(zip, names, log), 0) << writetest::ReadText(log);
    std::string expectedNames;
    for (const auto& entry : expected) {
      expectedNames += entry.first + "\n";
    }
    std::vector<std::string> listed;
    {
      std::ifstream in(names);
      for (std::string line; std::getline(in, line);) {
        listed.push_back(line);
      }
    }
    std::sort(listed.begin(), listed.end());
    std::string listedNames;
    for (const auto& name : listed) {
      listedNames += name + "\n";
    }
    EXPECT_EQ(listedNames, expectedNames);
    EXPECT_EQ(writetest::Run("bsdtar -tf " + writetest::Quote(zip), log), 0) << writetest::ReadText(log);
    if (expected.count("mimetype") != 0) {
      // The stored "mimetype" file comes first: the package meets the convention.
      auto package = ZipPackageFactory::GetInstance()->OpenPackage(zip.string(), pkg::kPkgModeIn, nullptr,
                                                                   pkg::PkgOptionsPtr(), pkg::XMLParserPtr());
      EXPECT_EQ(package->GetConformanceError(), 0);
      EXPECT_EQ(package->GetMimeType(), "application/x-morlix-test");
      const auto bytes = pkgtest::ReadFileBytes(zip);
      ASSERT_GT(bytes.size(), 38u);
      EXPECT_EQ(std::string(bytes.begin() + 30, bytes.begin() + 38), "mimetype");
      EXPECT_EQ(pkg::zip::ZpByteReader::U16At(bytes.data(), bytes.size(), 8), 0) << "stored";
    }
  }
}

TEST(ZipWrite, CancelledUpdateLeavesThePackageAsItWas) {
  ScratchDir scratch("zipwrite-cancel");
  const std::string path = (scratch.Path() / "p.zip").string();
  auto package = Create(path);
  WriteEntry(package, "a.txt", "alpha");
  WriteEntry(package, "b.txt", "beta");
  package->SetPackageProperty(pkg::PkgPropertyMgr::kKeyComment, "first");
  package->CommitUpdate();
  const auto before = pkgtest::ReadFileBytes(path);

  package->BeginUpdate();
  package->GetEntry("a.txt", true)->Remove();
  WriteEntry(package, "b.txt", "changed");
  WriteEntry(package, "c.txt", "new");
  package->GetDirectory("d", false)->Create();
  package->SetPackageProperty(pkg::PkgPropertyMgr::kKeyComment, "second");
  EXPECT_EQ(package->GetEntryType("a.txt"), pkg::kPkgEntryNone);
  package->CancelUpdate();

  EXPECT_EQ(pkgtest::ReadFileBytes(path), before);
  EXPECT_EQ(package->GetPackageProperty(pkg::PkgPropertyMgr::kKeyComment), "first");
  EXPECT_EQ(package->GetEntryType("a.txt"), pkg::kPkgEntryFile);
  EXPECT_EQ(package->GetEntryType("c.txt"), pkg::kPkgEntryNone);
  EXPECT_EQ(package->GetEntryType("d/"), pkg::kPkgEntryNone);
  // Nothing of the cancelled update is written by a later commit.
  package->BeginUpdate();
  package->CommitUpdate();
  package->Close();
  EXPECT_EQ(writetest::ReadBack(path), (Entries{{"a.txt", "alpha"}, {"b.txt", "beta"}}));
}

TEST(ZipWrite, WrittenDataReadBackInsideTheUpdate) {
  ScratchDir scratch("zipwrite-inside");
  auto package = Create((scratch.Path() / "p.zip").string(), "application/x-morlix-test");
  const std::string text = Repeated(50000);
  WriteEntry(package, "t.txt", text);
  auto file = package->GetEntry("t.txt", true);
  EXPECT_EQ(file->GetSize64(), text.size());
  auto stream = file->OpenStream(pkg::kPkgModeIn, false);
  EXPECT_EQ(pkgtest::ReadAll(*stream), text);
  EXPECT_EQ(package->GetMimeType(), "application/x-morlix-test");
  package->CommitUpdate();
  package->Close();
}

TEST(ZipWrite, ErrorCodesOfTheWriter) {
  ScratchDir scratch("zipwrite-errors");
  auto package = Create((scratch.Path() / "p.zip").string());
  EXPECT_EQ(CodeOf([&] { package->BeginUpdate(); }), pkg::kPkgErrUpdateInProgress);
  auto directory = package->GetDirectory("d", false);
  directory->Create();
  EXPECT_EQ(CodeOf([&] { directory->Create(); }), pkg::kPkgErrDirectoryExists);
  EXPECT_EQ(CodeOf([&] { package->GetRootDirectory()->Create(); }), pkg::kPkgErrDirectoryExists);
  auto first = package->GetEntry("one.txt", false)->OpenStream(pkg::kPkgModeOut, false);
  // One write stream at a time, and no commit while it is open.
  EXPECT_EQ(CodeOf([&] { package->GetEntry("two.txt", false)->OpenStream(pkg::kPkgModeOut, false); }),
            pkg::kPkgErrUnsupportedOperation);
  EXPECT_EQ(CodeOf([&] { package->CommitUpdate(); }), pkg::kPkgErrIllegalState);
  first->Close();
  package->CommitUpdate();
  EXPECT_EQ(CodeOf([&] { package->CommitUpdate(); }), pkg::kPkgErrUpdateNotInProgress);
  EXPECT_EQ(CodeOf([&] { package->CancelUpdate(); }), pkg::kPkgErrUpdateNotInProgress);
  EXPECT_EQ(CodeOf([&] { package->GetEntry("x.txt", false)->OpenStream(pkg::kPkgModeOut, false); }),
            pkg::kPkgErrUpdateNotInProgress);
  EXPECT_EQ(CodeOf([&] { package->GetDirectory("e", false)->Create(); }), pkg::kPkgErrUpdateNotInProgress);
  EXPECT_EQ(CodeOf([&] { package->BeginUpdateTo("other.zip", pkg::kPkgModeIn); }), pkg::kPkgErrUpdateNeedsWrite);
  package->Close();
}

TEST(ZipWrite, RepairOptionGuardsTheMimetypeConvention) {
  ScratchDir scratch("zipwrite-conformance");
  boost::shared_ptr<pkg::BasePkgOptions> options(new pkg::BasePkgOptions());
  options->SetOption(pkg::IPkgOptions::kOptionMimetype, pkg::IPkgOptions::kMimetypeRepair);
  auto package = Create((scratch.Path() / "p.zip").string(), "application/x-morlix-test", options);
  auto mimetype = package->GetEntry("mimetype", true);
  EXPECT_EQ(CodeOf([&] { mimetype->Remove(); }), pkg::kPkgErrConformance);
  mimetype->SetCompression(pkg::kPkgCompressionDeflate);
  EXPECT_EQ(CodeOf([&] { mimetype->OpenStream(pkg::kPkgModeOut, false); }), pkg::kPkgErrConformance);
  mimetype->SetCompression(pkg::kPkgCompressionStored);
  WriteEntry(package, "other.txt", "fine");
  package->CommitUpdate();
  package->Close();
}

// The first update of a new package writes its entries straight into the package file, with no
// staging file; a cancel leaves the file empty, as it was; later updates stage, so that the
// package stays intact until their commit.
TEST(ZipWrite, FirstUpdateWritesIntoThePackageFile) {
  pkg::MemPkgFileSystem fileSystem;
  auto* factory = ZipPackageFactory::GetInstance();
  auto package =
      factory->CreatePackage("mem.zip", "", true, &fileSystem, pkg::PkgOptionsPtr(), pkg::XMLParserPtr());
  WriteEntry(package, "a.txt", Repeated(10000));
  EXPECT_EQ(fileSystem.GetFileCount(), 1u) << "no staging file";
  EXPECT_GT(fileSystem.GetFile("mem.zip").size(), 30u);
  package->CancelUpdate();
  EXPECT_EQ(fileSystem.GetFile("mem.zip").size(), 0u);
  EXPECT_EQ(package->GetEntryType("a.txt"), pkg::kPkgEntryNone);

  package->BeginUpdate();
  WriteEntry(package, "b.txt", Repeated(20000));
  package->CommitUpdate();
  const auto committed = fileSystem.GetFile("mem.zip");
  package->BeginUpdate();
  WriteEntry(package, "c.txt", "staged");
  EXPECT_EQ(fileSystem.GetFileCount(), 2u) << "a staging file";
  EXPECT_EQ(fileSystem.GetFile("mem.zip"), committed);
  package->CancelUpdate();
  EXPECT_EQ(fileSystem.GetFile("mem.zip"), committed);
  package->Close();
  EXPECT_EQ(fileSystem.GetFileCount(), 1u);
  auto reopened =
      factory->OpenPackage("mem.zip", pkg::kPkgModeIn, &fileSystem, pkg::PkgOptionsPtr(), pkg::XMLParserPtr());
  EXPECT_EQ(pkgtest::ReadAll(*reopened->GetEntry("b.txt", true)->OpenStream(pkg::kPkgModeIn, false)),
            Repeated(20000));
  EXPECT_EQ(reopened->GetEntryType("c.txt"), pkg::kPkgEntryNone);
}

// Names the iteration yields, in order.
std::vector<std::string> Iterated(const PackagePtr& inPackage, const pkg::PkgDirectoryPtr& inDirectory) {
  std::vector<std::string> names;
  for (const pkg::PkgEntryPtr& entry : inPackage->GetEntries(inDirectory, "")) {
    names.push_back(entry->GetName());
  }
  return names;
}

TEST(ZipWrite, IterationYieldsEntriesCreatedInTheUpdate) {
  ScratchDir scratch("zipwrite-iterate");
  const std::string path = (scratch.Path() / "p.zip").string();
  auto package = Create(path);
  WriteEntry(package, "old.txt", "old");
  WriteEntry(package, "sub/old.txt", "old");
  package->CommitUpdate();

  package->BeginUpdate();
  WriteEntry(package, "new.txt", "new");
  WriteEntry(package, "old.txt", "rewritten");
  package->GetDirectory("made", false)->Create();
  WriteEntry(package, "sub/new.txt", "new");
  WriteEntry(package, "gone.txt", "gone");
  package->GetEntry("gone.txt", true)->Remove();
  using Names = std::vector<std::string>;
  // Stored entries first, then the created ones in creation order; removed ones are skipped.
  EXPECT_EQ(Iterated(package, pkg::PkgDirectoryPtr()), (Names{"old.txt", "sub/old.txt", "new.txt", "made/", "sub/new.txt"}));
  EXPECT_EQ(Iterated(package, package->GetRootDirectory()), (Names{"old.txt", "sub/", "new.txt", "made/"}));
  EXPECT_EQ(Iterated(package, package->GetDirectory("sub", true)), (Names{"sub/old.txt", "sub/new.txt"}));
  package->CancelUpdate();
  EXPECT_EQ(Iterated(package, pkg::PkgDirectoryPtr()), (Names{"old.txt", "sub/old.txt"}));
  package->Close();
}

// Record properties set by the client (keys 0 and 1: the date and time, their stored bytes in
// hexadecimal; key 2: type and creator) go into the headers of new and kept entries, in every
// kind of update.
TEST(ZipWrite, ClientRecordPropertiesGoIntoTheHeaders) {
  ScratchDir scratch("zipwrite-dates");
  // 2017-01-01 12:01:02: date 0x4A21, time 0x6021, each stored low byte first.
  const std::string date = "214A";
  const std::string time = "2160";
  const std::string typeCreator = "544558544D4F5258";  // "TEXT", "MORX"
  auto stamp = [&](const PackagePtr& inPackage, const std::string& inName) {
    auto file = inPackage->GetEntry(inName, false);
    file->SetProperty(pkg::PkgPropertyMgr::kKeyDate, date);
    file->SetProperty(pkg::PkgPropertyMgr::kKeyTime, time);
    file->SetProperty(pkg::PkgPropertyMgr::kKeyTypeCreator, typeCreator);
  };
  struct Row {
    const char* name;
    std::function<void(const std::string&)> write;  // stamps "t.txt" and commits
  };
  const Row rows[] = {
      {"new entry, first update",
       [&](const std::string& inPath) {
         auto package = Create(inPath);
         stamp(package, "t.txt");
         WriteEntry(package, "t.txt", Repeated(5000));
         package->CommitUpdate();
       }},
      {"new entry, later update",
       [&](const std::string& inPath) {
         auto package = Create(inPath);
         WriteEntry(package, "other.txt", "other");
         package->CommitUpdate();
         package->BeginUpdate();
         stamp(package, "t.txt");
         WriteEntry(package, "t.txt", Repeated(5000));
         package->CommitUpdate();
       }},
      {"kept entry, update",
       [&](const std::string& inPath) {
         auto package = Create(inPath);
         WriteEntry(package, "t.txt", Repeated(5000));
         package->CommitUpdate();
         package->BeginUpdate();
         stamp(package, "t.txt");
         package->CommitUpdate();
       }},
      {"kept entry, update in place",
       [&](const std::string& inPath) {
         auto package = Create(inPath);
         WriteEntry(package, "t.txt", Repeated(5000));
         package->CommitUpdate();
         package->BeginUpdateInPlace();
         stamp(package, "t.txt");
         WriteEntry(package, "u.txt", "u");
         package->CommitUpdate();
       }},
  };
  int index = 0;
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    const auto zip = scratch.Path() / ("d" + std::to_string(index++) + ".zip");
    const auto log = scratch.Path() / "tool.log";
    row.write(zip.string());
    auto package = ZipPackageFactory::GetInstance()->OpenPackage(zip.string(), pkg::kPkgModeIn, nullptr,
                                                                 pkg::PkgOptionsPtr(), pkg::XMLParserPtr());
    auto file = package->GetEntry("t.txt", true);
    EXPECT_EQ(file->GetProperty(pkg::PkgPropertyMgr::kKeyDate), date);
    EXPECT_EQ(file->GetProperty(pkg::PkgPropertyMgr::kKeyTime), time);
    EXPECT_EQ(file->GetProperty(pkg::PkgPropertyMgr::kKeyTypeCreator), typeCreator);
    EXPECT_EQ(pkgtest::ReadAll(*file->OpenStream(pkg::kPkgModeIn, false)), Repeated(5000));
    package->Close();
    // The local header carries the same date (checked against the central one).
    EXPECT_EQ(writetest::PythonTestZip(zip, scratch.Path() / "names.txt", log), 0) << writetest::ReadText(log);
    EXPECT_EQ(writetest::Run("unzip -Z -T " + writetest::Quote(zip) + " t.txt", log), 0);
    EXPECT_NE(writetest::ReadText(log).find("20170101.120102"), std::string::npos) << writetest::ReadText(log);
  }
  // Once the entry is written in the update its headers are fixed: code 23.
  auto package = Create((scratch.Path() / "late.zip").string());
  WriteEntry(package, "t.txt", "t");
  EXPECT_EQ(CodeOf([&] { package->GetEntry("t.txt", true)->SetProperty(pkg::PkgPropertyMgr::kKeyDate, date); }),
            pkg::kPkgErrUnsupportedOperation);
  package->CommitUpdate();
  package->Close();
}

// An entry's record keys come from its central directory header until the client sets them; a
// cancel brings the header's value back, and after a commit the value is the one the new header
// holds (a text that is no DOS date leaves the header, and so the value, as it was).
TEST(ZipWrite, RecordPropertiesFollowTheHeaders) {
  ScratchDir scratch("zipwrite-records");
  auto package = Create((scratch.Path() / "r.zip").string());
  WriteEntry(package, "t.txt", "t");
  package->CommitUpdate();
  auto file = package->GetEntry("t.txt", true);
  const std::string written = file->GetProperty(pkg::PkgPropertyMgr::kKeyDate);
  ASSERT_EQ(written.size(), 4u);
  const std::string other = written == "214A" ? "224A" : "214A";

  package->BeginUpdate();
  file->SetProperty(pkg::PkgPropertyMgr::kKeyDate, other);
  EXPECT_EQ(file->GetProperty(pkg::PkgPropertyMgr::kKeyDate), other);
  package->CancelUpdate();
  EXPECT_EQ(file->GetProperty(pkg::PkgPropertyMgr::kKeyDate), written);

  package->BeginUpdate();
  file->SetProperty(pkg::PkgPropertyMgr::kKeyDate, other);
  package->CommitUpdate();
  EXPECT_EQ(file->GetProperty(pkg::PkgPropertyMgr::kKeyDate), other);

  package->BeginUpdate();
  file->SetProperty(pkg::PkgPropertyMgr::kKeyDate, "no date");
  package->CommitUpdate();
  EXPECT_EQ(file->GetProperty(pkg::PkgPropertyMgr::kKeyDate), other);
  EXPECT_EQ(file->GetProperty(pkg::PkgPropertyMgr::kKeyTypeCreator), "");
  package->Close();
}

TEST(ZipWrite, InMemoryFileSystem) {
  pkg::MemPkgFileSystem fileSystem;
  auto* factory = ZipPackageFactory::GetInstance();
  auto package = factory->CreatePackage("mem.zip", "text/plain", false, &fileSystem, pkg::PkgOptionsPtr(),
                                        pkg::XMLParserPtr());
  package->BeginUpdate();
  WriteEntry(package, "x/y.txt", Repeated(10000));
  package->CommitUpdate();
  package->Close();
  EXPECT_EQ(fileSystem.GetFileCount(), 1u) << "no temporary file is left behind";
  auto reopened = factory->OpenPackage("mem.zip", pkg::kPkgModeIn, &fileSystem, pkg::PkgOptionsPtr(),
                                       pkg::XMLParserPtr());
  EXPECT_EQ(reopened->GetMimeType(), "text/plain");
  auto stream = reopened->GetEntry("x/y.txt", true)->OpenStream(pkg::kPkgModeIn, false);
  EXPECT_EQ(pkgtest::ReadAll(*stream), Repeated(10000));
}

}  // namespace
