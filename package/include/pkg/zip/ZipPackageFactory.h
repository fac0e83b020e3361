// The factory of zip packages: a process-wide singleton, made on first use under a lock, that
// opens zip files as packages.
//
// Opening for reading (mode 1): the file must start with a local header (else code 20; a split
// archive is code 16), its central directory is read (record codes 2 to 15), and the
// "mimetype" convention is checked (codes 46/47 only under the strict option). A failure
// leaves no open package behind: the half-made package is released, which closes its file.
//
// Thread-safety: GetInstance may be called from any thread; the factory's defaults are set by
// one thread before packages are opened; each package belongs to one thread at a time.
#pragma once

#include <string>

#include "pkg/PackageFactory.h"

namespace pkg {
namespace zip {

class ZipPackageFactory : public BasePackageFactory {
 public:
  // The process-wide factory; its default file system is BasePkgFileSystem::GetInstance().
  static ZipPackageFactory* GetInstance();

  PackagePtr OpenPackageOnFile(const PkgFSFilePtr& inFile, const PkgOptionsPtr& inOptions,
                               const XMLParserPtr& inParser) override;
  PackagePtr OpenPackage(const PkgFSFileNamePtr& inFileName, int inMode, const PkgOptionsPtr& inOptions,
                         const XMLParserPtr& inParser) override;
  PackagePtr OpenPackage(const std::string& inPath, int inMode, IPkgFileSystem* inFileSystem,
                         const PkgOptionsPtr& inOptions, const XMLParserPtr& inParser) override;
  PackagePtr CreatePackage(const std::string& inPath, const std::string& inMimeType, bool inBeginUpdate,
                           IPkgFileSystem* inFileSystem, const PkgOptionsPtr& inOptions,
                           const XMLParserPtr& inParser) override;
  bool IsPackageFile(IPkgFSFile& inFile) override;
  bool IsPackage(const PkgFSFileNamePtr& inFileName) override;
  bool IsPackage(const std::string& inPath, IPkgFileSystem* inFileSystem) override;

 private:
  ZipPackageFactory();
};

}  // namespace zip
}  // namespace pkg
