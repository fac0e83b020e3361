#include "BasePackage.h"

#include "pkg/PkgException.h"

namespace pkg {

BasePackage::BasePackage(PkgFSFileNamePtr inFileName, IPkgFileSystem* inFileSystem, PkgOptionsPtr inOptions,
                         XMLParserPtr inParser, const PkgSeparators& inSeparators)
    : m_fileName(std::move(inFileName)),
      m_fileSystem(inFileSystem),
      m_parser(std::move(inParser)),
      m_options(std::move(inOptions)),
      m_properties(new PkgPropertyMgr(m_parser != nullptr)),
      m_separators(inSeparators) {
  m_properties->Attach(this, m_parser);
}

void BasePackage::RequireOpen() const {
  if (!m_open) {
    throw PackageException(kPkgErrIllegalState);
  }
}

void BasePackage::SetDefaultCompression(int inMethod) {
  if (inMethod != kPkgCompressionDefault && inMethod != kPkgCompressionStored && inMethod != kPkgCompressionDeflate) {
    throw PackageException(kPkgErrBadArgument);
  }
  m_defaultCompression = inMethod;
}

void BasePackage::BeginUpdateTo(const std::string& inPath, int inMode) {
  BeginUpdateTo(m_fileSystem->MakeFileName(inPath), inMode);
}

void BasePackage::SaveAs(const PkgFSFileNamePtr& inFileName, int inMode) {
  BeginUpdateTo(inFileName, inMode);
  CommitUpdate();
}

void BasePackage::SaveAs(const std::string& inPath, int inMode) { SaveAs(m_fileSystem->MakeFileName(inPath), inMode); }

std::string BasePackage::GetFileName() const { return m_fileName ? m_fileName->GetPath() : std::string(); }

std::string BasePackage::GetPackageProperty(int inKey) const {
  if (inKey == PkgPropertyMgr::kKeyComment) {
    return m_properties->GetRecordProperty("/", inKey);
  }
  return m_properties->GetDocumentProperty("/", inKey);
}

void BasePackage::SetPackageProperty(int inKey, const std::string& inValue) {
  if (inKey == PkgPropertyMgr::kKeyComment) {
    if (inValue.size() > PkgPropertyMgr::kMaxCommentLength) {
      throw PackageException(kPkgErrBadArgument);
    }
    m_properties->SetRecordProperty("/", inKey, inValue, 1);
    return;
  }
  m_properties->SetDocumentProperty("/", inKey, inValue);
}

}  // namespace pkg
