#pragma once
// A scratch folder for one test, removed with everything in it (read-only parts included) when
// the test ends; and small helpers to write and read whole files.

#include <ftw.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <fstream>
#include <functional>
#include <sstream>
#include <stdexcept>
#include <string>

#include "platform/TZFile.h"
#include "platform/TZLogger.h"
#include "platform/TZString.h"

class TestFolder {
 public:
  TestFolder() {
    const char* tmp = getenv("TMPDIR");
    std::string pattern = std::string(tmp && *tmp ? tmp : "/tmp") + "/tz-files-test-XXXXXX";
    if (mkdtemp(&pattern[0]) == nullptr) throw std::runtime_error("mkdtemp failed");
    m_path = pattern;
  }
  ~TestFolder() { nftw(m_path.c_str(), Remove, 16, FTW_DEPTH | FTW_PHYS); }
  TestFolder(const TestFolder&) = delete;
  TestFolder& operator=(const TestFolder&) = delete;

  const std::string& Path() const { return m_path; }

 private:
  static int Remove(const char* inPath, const struct stat* inInfo, int inType, struct FTW*) {
    if (inType == FTW_DP) chmod(inPath, 0700);
    std::remove(inPath);
    return 0;
  }
  std::string m_path;
};

inline void WriteFileText(const std::string& inPath, const std::string& inText) {
  std::ofstream out(inPath, std::ios::binary | std::ios::trunc);
  out << inText;
}

inline std::string ReadFileText(const std::string& inPath) {
  std::ifstream in(inPath, std::ios::binary);
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

inline bool PathExists(const std::string& inPath) {
  struct stat info;
  return lstat(inPath.c_str(), &info) == 0;
}

inline long long FileSize(const std::string& inPath) {
  struct stat info;
  return stat(inPath.c_str(), &info) == 0 ? static_cast<long long>(info.st_size) : -1;
}

// What the process-wide logger wrote while inAction ran: the log goes to a scratch file for that
// time and back to its previous file afterwards.

inline std::string LoggedDuring(const std::function<void()>& inAction) {
  TestFolder folder;
  const std::string path = folder.Path() + "/log.txt";
  TZLogger& logger = TZLogger::Instance();
  const TZString previous = logger.GetLogFile();
  logger.SetLogFile(TZString(path.c_str()));
  inAction();
  logger.SetLogFile(previous);
  return ReadFileText(path);
}

// A file object for a UTF-8 path.
inline TZFile FileAt(const std::string& inPath) { return TZFile(TZString(inPath.c_str(), 1)); }

// Bytes as spaced lower-case hex pairs, so a failed comparison shows where the bytes differ.
inline std::string Hex(const std::string& inBytes) {
  static const char digits[] = "0123456789abcdef";
  std::string text;
  for (unsigned char byte : inBytes) {
    if (!text.empty()) text += ' ';
    text += digits[byte >> 4];
    text += digits[byte & 15];
  }
  return text;
}
