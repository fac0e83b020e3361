#include <gtest/gtest.h>

#include "PkgPropertyMgr.h"
#include "WriteTestUtil.h"
#include "pkg/ExpatXMLParser.h"

namespace {

using pkg::PkgPropertyMgr;
using pkg::zip::ZipPackageFactory;
using pkgtest::CodeOf;
using pkgtest::ScratchDir;

pkg::XMLParserPtr Parser() { return pkg::XMLParserPtr(new pkg::ExpatXMLParser()); }

pkg::PackagePtr Open(const std::string& inPath, int inMode, const pkg::XMLParserPtr& inParser) {
  return ZipPackageFactory::GetInstance()->OpenPackage(inPath, inMode, nullptr, pkg::PkgOptionsPtr(), inParser);
}

// A package holding a.txt, b.txt and the given properties document, written without a parser.
void WriteWithDocument(const std::string& inPath, const std::string& inDocument) {
  auto package = ZipPackageFactory::GetInstance()->CreatePackage(inPath, "", true, nullptr, pkg::PkgOptionsPtr(),
                                                                 pkg::XMLParserPtr());
  writetest::WriteEntry(package, "a.txt", "a");
  writetest::WriteEntry(package, "b.txt", "b");
  writetest::WriteEntry(package, "META-INF/pkgproperties.xml", inDocument);
  package->CommitUpdate();
  package->Close();
}

const std::string kHead = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<pkgProperties xmlns=\"x\">\n";

TEST(PkgProperties, DocumentsAreLoadedByTheirRules) {
  struct Row {
    const char* what;
    std::string document;
    std::string a;  // key 2000 of a.txt after loading ("" when the document is refused)
    std::string b;  // key 2001 of b.txt
  };
  const Row rows[] = {
      {"well formed",
       kHead + "<package/><entries><entry path=\"a.txt\"><prop key=\"datetime\">2016-04-21</prop></entry>"
               "<entry path=\"b.txt\"><prop key=\"mac_type\">TEXT</prop><prop key=\"other\">x</prop></entry>"
               "</entries></pkgProperties>",
       "2016-04-21", "TEXT"},
      {"two pkgProperties elements",
       kHead + "<entries><entry path=\"b.txt\"><prop key=\"mac_type\">TEXT</prop></entry></entries>"
               "<pkgProperties/></pkgProperties>",
       "", ""},
      {"entry without a path",
       kHead + "<entries><entry path=\"b.txt\"><prop key=\"mac_type\">TEXT</prop></entry>"
               "<entry><prop key=\"datetime\">x</prop></entry></entries></pkgProperties>",
       "", ""},
      {"value delivered in pieces",
       kHead + "<entries><entry path=\"a.txt\"><prop key=\"datetime\">2016&#45;04&amp;21</prop></entry>"
               "</entries></pkgProperties>",
       "2016-04&21", ""},
      {"a value for the package itself",
       kHead + "<package><prop key=\"datetime\">now</prop></package><entries><entry path=\"b.txt\">"
               "<prop key=\"mac_type\">TEXT</prop></entry></entries></pkgProperties>",
       "", ""},
      {"not well formed", kHead + "<entries><entry path=\"b.txt\"><prop key=\"mac_type\">TEXT</prop>", "", ""},
      {"two entries sections",
       kHead + "<entries/><entries><entry path=\"b.txt\"><prop key=\"mac_type\">TEXT</prop></entry></entries>"
               "</pkgProperties>",
       "", ""},
  };
  ScratchDir scratch("pkgprops-load");
  const std::string path = (scratch.Path() / "p.zip").string();
  for (const Row& row : rows) {
    SCOPED_TRACE(row.what);
    WriteWithDocument(path, row.document);
    auto package = Open(path, pkg::kPkgModeIn, Parser());
    auto a = package->GetEntry("a.txt", true);
    auto b = package->GetEntry("b.txt", true);
    EXPECT_EQ(a->GetProperty(PkgPropertyMgr::kKeyDateTime), row.a);
    EXPECT_EQ(b->GetProperty(PkgPropertyMgr::kKeyMacType), row.b);
    // Record properties are there either way.
    EXPECT_EQ(a->GetProperty(PkgPropertyMgr::kKeyDate).size(), 4u);
  }
}

TEST(PkgProperties, WrittenAtCommitAndReadBackExactly) {
  ScratchDir scratch("pkgprops-write");
  const std::string path = (scratch.Path() / "p.zip").string();
  {
    auto package = ZipPackageFactory::GetInstance()->CreatePackage(path, "application/x-morlix-test", true, nullptr,
                                                                   pkg::PkgOptionsPtr(), Parser());
    writetest::WriteEntry(package, "a.txt", "a");
    writetest::WriteEntry(package, "dir/b & c.txt", "b");
    auto a = package->GetEntry("a.txt", true);
    a->SetProperty(PkgPropertyMgr::kKeyDateTime, "2016-04-21");
    a->SetProperty(PkgPropertyMgr::kKeyMacCreator, "<&\">");
    package->GetEntry("dir/b & c.txt", true)->SetProperty(PkgPropertyMgr::kKeyMacType, "TEXT");
    package->CommitUpdate();
    package->Close();
  }
  const auto log = scratch.Path() / "tool.log";
  EXPECT_EQ(writetest::Run("unzip -t " + writetest::Quote(path), log), 0) << writetest::ReadText(log);
  const auto document = writetest::ReadBack(path).at("META-INF/pkgproperties.xml");
  EXPECT_NE(document.find("<pkgProperties xmlns=\"http://ns.tarsel.example/mox/1.0/\">"), std::string::npos);
  EXPECT_NE(document.find("<entry path=\"dir/b &amp; c.txt\">"), std::string::npos) << document;

  auto package = Open(path, pkg::kPkgModeIn | pkg::kPkgModeOut, Parser());
  auto a = package->GetEntry("a.txt", true);
  EXPECT_EQ(a->GetProperty(PkgPropertyMgr::kKeyDateTime), "2016-04-21");
  EXPECT_EQ(a->GetProperty(PkgPropertyMgr::kKeyMacCreator), "<&\">");
  EXPECT_EQ(package->GetEntry("dir/b & c.txt", true)->GetProperty(PkgPropertyMgr::kKeyMacType), "TEXT");
  EXPECT_EQ(package->GetMimeType(), "application/x-morlix-test");

  // A cancelled update leaves the store as it was.
  package->BeginUpdate();
  a->SetProperty(PkgPropertyMgr::kKeyDateTime, "1999-01-01");
  EXPECT_EQ(a->GetProperty(PkgPropertyMgr::kKeyDateTime), "1999-01-01");
  package->CancelUpdate();
  EXPECT_EQ(a->GetProperty(PkgPropertyMgr::kKeyDateTime), "2016-04-21");
  // An update that does not touch the properties keeps the document.
  package->BeginUpdate();
  writetest::WriteEntry(package, "later.txt", "later");
  package->CommitUpdate();
  package->Close();
  auto reopened = Open(path, pkg::kPkgModeIn, Parser());
  EXPECT_EQ(reopened->GetEntry("a.txt", true)->GetProperty(PkgPropertyMgr::kKeyDateTime), "2016-04-21");
}

TEST(PkgProperties, KeyAndStateErrors) {
  ScratchDir scratch("pkgprops-errors");
  const std::string path = (scratch.Path() / "p.zip").string();
  WriteWithDocument(path, kHead + "</pkgProperties>");
  auto without = Open(path, pkg::kPkgModeIn, pkg::XMLParserPtr());
  EXPECT_EQ(CodeOf([&] { without->GetEntry("a.txt", true)->GetProperty(PkgPropertyMgr::kKeyDateTime); }),
            pkg::kPkgErrUnsupportedOperation);
  EXPECT_EQ(CodeOf([&] { without->GetPackageProperty(PkgPropertyMgr::kKeyDateTime); }),
            pkg::kPkgErrUnsupportedOperation);
  auto with = Open(path, pkg::kPkgModeIn | pkg::kPkgModeOut, Parser());
  auto a = with->GetEntry("a.txt", true);
  EXPECT_EQ(CodeOf([&] { a->SetProperty(PkgPropertyMgr::kKeyDateTime, "x"); }), pkg::kPkgErrNotInUpdate);
  EXPECT_EQ(CodeOf([&] { with->GetPackageProperty(PkgPropertyMgr::kKeyDateTime); }), pkg::kPkgErrBadArgument);
  EXPECT_EQ(CodeOf([&] { a->GetProperty(2003); }), pkg::kPkgErrBadArgument);
  with->BeginUpdate();
  EXPECT_EQ(CodeOf([&] { with->SetPackageProperty(PkgPropertyMgr::kKeyDateTime, "x"); }), pkg::kPkgErrBadArgument);
  with->CancelUpdate();
}

}  // namespace
