// A file system whose files live in memory: for tests and fuzzing, and for callers that hold a
// whole package in memory.
//
// Files are byte vectors keyed by their path text. OpenFile follows the same mode table as the
// built-in file system; a missing file opened for reading is code 50 (ENOENT). Temporary files
// are named "mem-temp-N". The file system must outlive every file and name it makes. Not
// thread-safe: one thread at a time.
#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include <boost/shared_ptr.hpp>

#include "pkg/PkgFileSystem.h"

namespace pkg {

class MemPkgFileSystem : public IPkgFileSystem {
 public:
  using Bytes = std::vector<uint8_t>;

  PkgFSFilePtr OpenFile(const PkgFSFileNamePtr& inFileName, int inMode) override;
  PkgFSFilePtr CreateTempFile() override;
  void RemoveFile(const PkgFSFileNamePtr& inFileName) override;
  PkgFSFileNamePtr MakeFileName(const std::string& inPath) override;

  // Puts a file with the given contents in place (replacing one of the same name).
  void AddFile(const std::string& inPath, Bytes inBytes);
  bool HasFile(const std::string& inPath) const;
  // The file's contents, empty when there is no such file.
  Bytes GetFile(const std::string& inPath) const;
  std::size_t GetFileCount() const { return m_files.size(); }

 private:
  std::map<std::string, boost::shared_ptr<Bytes>> m_files;
  unsigned m_tempCounter = 0;
};

}  // namespace pkg
