// The common part of packages: open mode, default compression, the package file and its name,
// the file system, options and XML parser, the property manager. The updates themselves belong to
// the concrete package.
#pragma once

#include <memory>
#include <string>

#include "PkgPropertyMgr.h"
#include "pkg/Package.h"
#include "pkg/PackageFactory.h"

namespace pkg {

class BasePackage : public IPackage {
 public:
  BasePackage(PkgFSFileNamePtr inFileName, IPkgFileSystem* inFileSystem, PkgOptionsPtr inOptions,
              XMLParserPtr inParser, const PkgSeparators& inSeparators);

  int GetOpenMode(bool inAsOpened) const override { return inAsOpened ? m_openMode : m_updateMode; }
  void SetDefaultCompression(int inMethod) override;
  int GetDefaultCompression() const override { return m_defaultCompression; }
  bool IsModified() const override { return m_modified; }
  using IPackage::BeginUpdateTo;
  void BeginUpdateTo(const std::string& inPath, int inMode) override;
  void SaveAs(const PkgFSFileNamePtr& inFileName, int inMode) override;
  void SaveAs(const std::string& inPath, int inMode) override;
  void Close() override { DoClose(); }
  std::string GetFileName() const override;
  PkgFSFilePtr GetFile() const override { return m_file; }
  std::string GetPackageProperty(int inKey) const override;
  void SetPackageProperty(int inKey, const std::string& inValue) override;
  PkgOptionsPtr GetOptions() const override { return m_options; }
  int GetOption(int inKey) const override { return m_options ? m_options->GetOption(inKey) : 0; }

  const PkgSeparators& GetSeparators() const { return m_separators; }
  IPkgFileSystem* GetFileSystem() const { return m_fileSystem; }
  PkgPropertyMgr& GetProperties() { return *m_properties; }
  const PkgPropertyMgr& GetProperties() const { return *m_properties; }
  bool IsOpen() const { return m_open; }
  // Code 24 unless the package is open.
  void RequireOpen() const;

 protected:
  int m_openMode = 0;
  int m_updateMode = 0;
  int m_defaultCompression = kPkgCompressionDeflate;
  PkgFSFilePtr m_file;
  PkgFSFileNamePtr m_fileName;
  IPkgFileSystem* m_fileSystem;
  XMLParserPtr m_parser;
  PkgOptionsPtr m_options;
  bool m_modified = false;
  bool m_open = false;
  std::unique_ptr<PkgPropertyMgr> m_properties;
  PkgSeparators m_separators;
};

}  // namespace pkg
