#pragma once

#include <string>
#include <utility>

#include "pkg/PkgFileSystem.h"

namespace pkg {

// A file name as both file systems hand it out: the path text and the file system it belongs to.
class PkgFSFileName : public IPkgFSFileName {
 public:
  PkgFSFileName(IPkgFileSystem* inFileSystem, std::string inPath)
      : m_fileSystem(inFileSystem), m_path(std::move(inPath)) {}
  IPkgFileSystem* GetFileSystem() const override { return m_fileSystem; }
  std::string GetPath() const override { return m_path; }

 private:
  IPkgFileSystem* m_fileSystem;
  std::string m_path;
};

}  // namespace pkg
