// A scratch folder for file tests, removed with everything in it (write bits restored first).
#ifndef TESTS_FOUNDATION_TEMPFOLDER_H
#define TESTS_FOUNDATION_TEMPFOLDER_H

#include <tarsel/orn/AFile.h>
#include <tarsel/orn/APath.h>
#include <tarsel/orn/AString.h>
#include <tarsel/orn/AString8.h>

#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

class TempFolder {
 public:
  TempFolder() {
    std::string pattern = (std::filesystem::temp_directory_path() / "orn-test-XXXXXX").string();
    if (::mkdtemp(&pattern[0]) != nullptr) {
      m_root = pattern;
    }
  }
  ~TempFolder() {
    std::error_code ignored;
    if (m_root.empty()) {
      return;
    }
    for (auto it = std::filesystem::recursive_directory_iterator(m_root, ignored);
         it != std::filesystem::recursive_directory_iterator(); it.increment(ignored)) {
      if (!it->is_symlink()) {
        std::filesystem::permissions(it->path(), std::filesystem::perms::owner_all,
                                     std::filesystem::perm_options::add, ignored);
      }
    }
    std::filesystem::remove_all(m_root, ignored);
  }
  TempFolder(const TempFolder&) = delete;
  TempFolder& operator=(const TempFolder&) = delete;

  bool Ok() const { return !m_root.empty(); }
  // The absolute UTF-8 path of a name below the root.
  std::string Path(const std::string& inRelative = "") const {
    return inRelative.empty() ? m_root : m_root + "/" + inRelative;
  }
  void Write(const std::string& inRelative, const std::string& inContents) const {
    std::filesystem::create_directories(std::filesystem::path(Path(inRelative)).parent_path());
    std::ofstream(Path(inRelative), std::ios::binary) << inContents;
  }
  std::string Read(const std::string& inRelative) const {
    std::ifstream in(Path(inRelative), std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
  }
  bool Exists(const std::string& inRelative) const {
    struct stat info;
    return ::lstat(Path(inRelative).c_str(), &info) == 0;
  }

 private:
  std::string m_root;
};

inline tarsel::orn::AString Text(const std::string& inUtf8) {
  tarsel::orn::AString text;
  tarsel::orn::AString::UTF8ToAString(tarsel::orn::AString8(inUtf8.data(), inUtf8.size()), text);
  return text;
}

inline std::string Utf8(const tarsel::orn::AString& inText) {
  tarsel::orn::AString8 bytes;
  tarsel::orn::AString::AStringToUTF8(inText, bytes);
  return std::string(bytes.c_str(), bytes.size());
}

inline tarsel::orn::AFile FileAt(const std::string& inUtf8) { return tarsel::orn::AFile(Text(inUtf8)); }

#endif  // TESTS_FOUNDATION_TEMPFOLDER_H
