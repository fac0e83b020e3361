// Helpers shared by the package tests: fixture paths, a scratch folder, reading whole streams.
#pragma once

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "pkg/Package.h"
#include "pkg/PkgException.h"

namespace pkgtest {

inline std::filesystem::path FixtureDir() { return std::filesystem::path(TZ_BINARY_DIR) / "tests/package/fixtures"; }
inline std::string Fixture(const std::string& inName) { return (FixtureDir() / inName).string(); }

inline std::vector<uint8_t> ReadFileBytes(const std::filesystem::path& inPath) {
  std::ifstream in(inPath, std::ios::binary);
  return std::vector<uint8_t>((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

// A fresh, empty folder under the build tree, removed when the object dies.
class ScratchDir {
 public:
  explicit ScratchDir(const std::string& inName)
      : m_path(std::filesystem::path(TZ_BINARY_DIR) / "tests/package/scratch" / inName) {
    std::filesystem::remove_all(m_path);
    std::filesystem::create_directories(m_path);
  }
  ~ScratchDir() {
    std::error_code ignored;
    std::filesystem::remove_all(m_path, ignored);
  }
  const std::filesystem::path& Path() const { return m_path; }
  std::size_t CountFiles() const {
    std::size_t count = 0;
    for (const auto& entry : std::filesystem::recursive_directory_iterator(m_path)) {
      count += entry.is_regular_file() ? 1 : 0;
    }
    return count;
  }

 private:
  std::filesystem::path m_path;
};

// Reads a stream to its end in blocks of inBlock bytes.
inline std::string ReadAll(std::istream& inStream, std::size_t inBlock = 65536) {
  std::string all;
  std::string block(inBlock, '\0');
  while (inStream) {
    inStream.read(&block[0], static_cast<std::streamsize>(block.size()));
    all.append(block.data(), static_cast<std::size_t>(inStream.gcount()));
  }
  return all;
}

// The code of the PackageException that inAction throws, or -1 when it throws none.
template <class F>
int CodeOf(F inAction) {
  try {
    inAction();
  } catch (const pkg::PackageException& e) {
    return e.GetCode();
  }
  return -1;
}

}  // namespace pkgtest
