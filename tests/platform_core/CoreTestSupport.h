// Small helpers for the platform core tests: scratch folders and file contents.
#pragma once

#include <regex.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

namespace coretest {

// A new empty folder under the system's temporary folder; removed by the destructor.
class ScratchDir {
 public:
  ScratchDir() {
    std::string pattern = (std::filesystem::temp_directory_path() / "tzcore-XXXXXX").string();
    if (mkdtemp(&pattern[0])) m_path = pattern;
  }
  ~ScratchDir() {
    std::error_code ignored;
    if (!m_path.empty()) std::filesystem::remove_all(m_path, ignored);
  }
  ScratchDir(const ScratchDir&) = delete;
  ScratchDir& operator=(const ScratchDir&) = delete;

  const std::string& Path() const { return m_path; }
  std::string File(const std::string& inName) const { return m_path + "/" + inName; }

 private:
  std::string m_path;
};

inline std::string ReadFile(const std::string& inPath) {
  std::ifstream in(inPath, std::ios::binary);
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

inline std::vector<std::string> Lines(const std::string& inText) {
  std::vector<std::string> lines;
  std::istringstream in(inText);
  for (std::string line; std::getline(in, line);) lines.push_back(line);
  return lines;
}

inline size_t CountOccurrences(const std::string& inText, const std::string& inNeedle) {
  size_t count = 0;
  for (size_t at = inText.find(inNeedle); at != std::string::npos;
       at = inText.find(inNeedle, at + inNeedle.size()))
    ++count;
  return count;
}

// Whole-text match against a POSIX extended regular expression (no \\d: use [0-9]). Returns the
// groups (group 0 the whole text) or nothing when the text does not match.
inline std::optional<std::vector<std::string>> Match(const std::string& inText,
                                                     const std::string& inPattern) {
  regex_t compiled;
  if (regcomp(&compiled, ("^(" + inPattern + ")$").c_str(), REG_EXTENDED) != 0) return std::nullopt;
  std::vector<regmatch_t> groups(compiled.re_nsub + 1);
  const bool matched = regexec(&compiled, inText.c_str(), groups.size(), groups.data(), 0) == 0;
  regfree(&compiled);
  if (!matched) return std::nullopt;
  std::vector<std::string> result;
  // Group 1 is the anchoring group added above; report the caller's groups from 1 on.
  for (size_t i = 0; i < groups.size(); ++i) {
    if (i == 1) continue;
    result.push_back(groups[i].rm_so < 0 ? std::string()
                                         : inText.substr(groups[i].rm_so, groups[i].rm_eo - groups[i].rm_so));
  }
  return result;
}

}  // namespace coretest
