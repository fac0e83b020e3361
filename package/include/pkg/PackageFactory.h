// The common part of package factories: the separator characters of package paths and the
// defaults (file system, XML parser) used when a caller passes none.
#pragma once

#include <string>

#include "pkg/Package.h"
#include "pkg/PkgFileSystem.h"

namespace pkg {

// The characters that structure a package path.
struct PkgSeparators {
  char path = '/';
  char current = '.';
  char scheme = ':';
  char fragment = '#';
};

class BasePackageFactory {
 public:
  virtual ~BasePackageFactory() = default;

  // Makes a package on an already open package file (its mode is the file's mode) and loads it.
  virtual PackagePtr OpenPackageOnFile(const PkgFSFilePtr& inFile, const PkgOptionsPtr& inOptions,
                                       const XMLParserPtr& inParser) = 0;
  // Opens the named file through the file system that owns the name, then loads it.
  virtual PackagePtr OpenPackage(const PkgFSFileNamePtr& inFileName, int inMode, const PkgOptionsPtr& inOptions,
                                 const XMLParserPtr& inParser) = 0;
  // Makes a name for the path with the given file system (null: the default one), then opens.
  virtual PackagePtr OpenPackage(const std::string& inPath, int inMode, IPkgFileSystem* inFileSystem,
                                 const PkgOptionsPtr& inOptions, const XMLParserPtr& inParser) = 0;
  // Writer: a new package (mode 18) at the path; with inBeginUpdate an update is started; then a
  // non-empty mime type is written as the stored "mimetype" entry (committed at once when no
  // update was started).
  virtual PackagePtr CreatePackage(const std::string& inPath, const std::string& inMimeType, bool inBeginUpdate,
                                   IPkgFileSystem* inFileSystem, const PkgOptionsPtr& inOptions,
                                   const XMLParserPtr& inParser) = 0;
  // Whether the file, at its current position, starts a package. Code 16 for a split archive.
  virtual bool IsPackageFile(IPkgFSFile& inFile) = 0;
  virtual bool IsPackage(const PkgFSFileNamePtr& inFileName) = 0;
  virtual bool IsPackage(const std::string& inPath, IPkgFileSystem* inFileSystem) = 0;

  void SetDefaultFileSystem(IPkgFileSystem* inFileSystem) { m_defaultFileSystem = inFileSystem; }
  void SetDefaultXMLParser(const XMLParserPtr& inParser) { m_defaultParser = inParser; }
  IPkgFileSystem* GetDefaultFileSystem() const { return m_defaultFileSystem; }
  const PkgSeparators& GetSeparators() const { return m_separators; }

 protected:
  explicit BasePackageFactory(IPkgFileSystem* inDefaultFileSystem) : m_defaultFileSystem(inDefaultFileSystem) {}

  PkgSeparators m_separators;
  IPkgFileSystem* m_defaultFileSystem;
  XMLParserPtr m_defaultParser;
};

}  // namespace pkg
