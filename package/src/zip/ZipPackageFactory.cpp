#include "pkg/zip/ZipPackageFactory.h"

#include <mutex>

#include "pkg/PkgException.h"
#include "zip/ZipPackage.h"
#include "zip/ZpCentralDir.h"

namespace pkg {
namespace zip {

ZipPackageFactory* ZipPackageFactory::GetInstance() {
  static std::mutex creation;
  static ZipPackageFactory* instance = nullptr;
  std::lock_guard<std::mutex> lock(creation);
  if (instance == nullptr) {
    static ZipPackageFactory made;
    instance = &made;
  }
  return instance;
}

ZipPackageFactory::ZipPackageFactory() : BasePackageFactory(BasePkgFileSystem::GetInstance()) {}

PackagePtr ZipPackageFactory::OpenPackageOnFile(const PkgFSFilePtr& inFile, const PkgOptionsPtr& inOptions,
                                                const XMLParserPtr& inParser) {
  if (!inFile) {
    throw PackageException(kPkgErrBadArgument);
  }
  IPkgFileSystem* fileSystem = inFile->GetFileSystem() != nullptr ? inFile->GetFileSystem() : m_defaultFileSystem;
  boost::shared_ptr<ZipPackage> package(
      new ZipPackage(inFile->GetFileName(), fileSystem, inOptions, inParser ? inParser : m_defaultParser, m_separators));
  // On failure the package is released here, which closes the file; nothing half-open escapes.
  package->OpenOnFile(inFile);
  return package;
}

PackagePtr ZipPackageFactory::OpenPackage(const PkgFSFileNamePtr& inFileName, int inMode,
                                          const PkgOptionsPtr& inOptions, const XMLParserPtr& inParser) {
  if (!inFileName) {
    throw PackageException(kPkgErrBadArgument);
  }
  IPkgFileSystem* fileSystem =
      inFileName->GetFileSystem() != nullptr ? inFileName->GetFileSystem() : m_defaultFileSystem;
  boost::shared_ptr<ZipPackage> package(
      new ZipPackage(inFileName, fileSystem, inOptions, inParser ? inParser : m_defaultParser, m_separators));
  package->Open(inMode);
  return package;
}

PackagePtr ZipPackageFactory::OpenPackage(const std::string& inPath, int inMode, IPkgFileSystem* inFileSystem,
                                          const PkgOptionsPtr& inOptions, const XMLParserPtr& inParser) {
  IPkgFileSystem* fileSystem = inFileSystem != nullptr ? inFileSystem : m_defaultFileSystem;
  return OpenPackage(fileSystem->MakeFileName(inPath), inMode, inOptions, inParser);
}

PackagePtr ZipPackageFactory::CreatePackage(const std::string& inPath, const std::string& inMimeType,
                                            bool inBeginUpdate, IPkgFileSystem* inFileSystem,
                                            const PkgOptionsPtr& inOptions, const XMLParserPtr& inParser) {
  PackagePtr package = OpenPackage(inPath, kPkgModeOut | kPkgModeTrunc, inFileSystem, inOptions, inParser);
  if (inBeginUpdate) {
    package->BeginUpdate();
  }
  // An empty mime type makes a package without a "mimetype" entry.
  if (!inMimeType.empty()) {
    package->SetMimeType(inMimeType);
  }
  return package;
}

bool ZipPackageFactory::IsPackageFile(IPkgFSFile& inFile) { return zip::IsPackageFile(inFile); }

bool ZipPackageFactory::IsPackage(const PkgFSFileNamePtr& inFileName) {
  if (!inFileName) {
    throw PackageException(kPkgErrBadArgument);
  }
  IPkgFileSystem* fileSystem =
      inFileName->GetFileSystem() != nullptr ? inFileName->GetFileSystem() : m_defaultFileSystem;
  PkgFSFilePtr file = fileSystem->OpenFile(inFileName, kPkgModeIn);
  return IsPackageFile(*file);
}

bool ZipPackageFactory::IsPackage(const std::string& inPath, IPkgFileSystem* inFileSystem) {
  IPkgFileSystem* fileSystem = inFileSystem != nullptr ? inFileSystem : m_defaultFileSystem;
  return IsPackage(fileSystem->MakeFileName(inPath));
}

}  // namespace zip
}  // namespace pkg
