#include <gtest/gtest.h>

#include "WriteTestUtil.h"

namespace {

using pkgtest::ScratchDir;
namespace fs = std::filesystem;

void WriteFile(const fs::path& inPath, const std::string& inData) {
  fs::create_directories(inPath.parent_path());
  std::ofstream out(inPath, std::ios::binary);
  out << inData;
}

TEST(Tzpack, PacksAFolderThatOtherToolsAccept) {
  ScratchDir scratch("tzpack");
  const fs::path root = scratch.Path() / "in";
  std::string binary;
  for (uint32_t i = 0; i < 300000; ++i) {
    binary += static_cast<char>((i * 7919u) % 251u);
  }
  WriteFile(root / "readme.txt", "read me\n");
  WriteFile(root / "sub/deeper/data.bin", binary);
  WriteFile(root / "sub/empty.txt", "");
  fs::create_directories(root / "hollow");
  const fs::path zip = scratch.Path() / "out.zip";
  const fs::path log = scratch.Path() / "tool.log";

  struct Row {
    const char* args;
    bool mimetype;
  };
  for (const Row& row : {Row{"", false}, Row{"--mimetype application/x-morlix ", true}, Row{"--store ", false}}) {
    SCOPED_TRACE(row.args);
    ASSERT_EQ(writetest::Run(std::string(TZPACK) + " " + row.args + writetest::Quote(root) + " " +
                                 writetest::Quote(zip),
                             log),
              0)
        << writetest::ReadText(log);
    std::map<std::string, std::string> expected{{"hollow/", ""},
                                                {"readme.txt", "read me\n"},
                                                {"sub/", ""},
                                                {"sub/deeper/", ""},
                                                {"sub/deeper/data.bin", binary},
                                                {"sub/empty.txt", ""}};
    if (row.mimetype) {
      expected["mimetype"] = "application/x-morlix";
    }
    EXPECT_EQ(writetest::ReadBack(zip.string()), expected);
    EXPECT_EQ(writetest::Run("unzip -t " + writetest::Quote(zip), log), 0) << writetest::ReadText(log);
    EXPECT_EQ(writetest::PythonTestZip(zip, scratch.Path() / "names.txt", log), 0) << writetest::ReadText(log);
    if (row.mimetype) {
      const auto bytes = pkgtest::ReadFileBytes(zip);
      EXPECT_EQ(std::string(bytes.begin() + 30, bytes.begin() + 38), "mimetype");
    }
  }
  EXPECT_EQ(writetest::Run(std::string(TZPACK) + " " + writetest::Quote(root), log), 2);
  EXPECT_EQ(writetest::Run(std::string(TZPACK) + " " + writetest::Quote(root / "missing") + " " +
                               writetest::Quote(scratch.Path() / "x.zip"),
                           log),
            1);
}

}  // namespace
