#include "zip/ZipPackage.h"

#include <algorithm>
#include <cctype>
#include <exception>
#include <limits>
#include <set>

#include "PkgPath.h"
#include "pkg/PkgException.h"
#include "zip/ZipPkgStream.h"
#include "zip/ZipPkgWriteStream.h"

namespace pkg {
namespace zip {

namespace {

constexpr uint64_t kMaxPosition = static_cast<uint64_t>(std::numeric_limits<int64_t>::max());
// Bytes inflated per step when an entry is copied into its temporary file.
constexpr std::size_t kTempFillBlock = 256 * 1024;
// The mime type is the first word of the "mimetype" entry; no sane media type is longer.
constexpr std::size_t kMimeTypeReadLimit = 4096;
const char* const kMimetypeName = "mimetype";

bool EndsWithSlash(const std::string& inName) { return !inName.empty() && inName.back() == '/'; }

int CompressionOf(const ZpCentralDirEntryPtr& inCentral) {
  return inCentral->GetMethod() == 0 ? kPkgCompressionStored : kPkgCompressionDeflate;
}

uint32_t Clamp32(uint64_t inValue) {
  return inValue > 0xFFFFFFFFu ? 0xFFFFFFFFu : static_cast<uint32_t>(inValue);
}

// Runs inStep, keeping the first exception in ioFirst instead of letting it out.
template <class F>
void KeepFirstError(std::exception_ptr& ioFirst, F inStep) {
  try {
    inStep();
  } catch (...) {
    if (!ioFirst) {
      ioFirst = std::current_exception();
    }
  }
}

}  // namespace

// ---- BasePkgEntry

BasePkgEntry::BasePkgEntry(std::string inName, int inType, int inCompression)
    : m_name(std::move(inName)), m_type(inType), m_compression(inCompression) {}

void BasePkgEntry::Remove() { throw PackageException(kPkgErrNotImplemented); }

void BasePkgEntry::SetCompression(int inMethod) {
  if (inMethod != kPkgCompressionStored && inMethod != kPkgCompressionDeflate) {
    throw PackageException(kPkgErrBadArgument);
  }
  m_compression = inMethod;
}

void BasePkgEntry::Release() {
  if (--m_references == 0) {
    delete this;
  }
}

PkgFilePtr BasePkgEntry::AsFile() { throw PackageException(kPkgErrUnsupportedOperation); }
PkgDirectoryPtr BasePkgEntry::AsDirectory() { throw PackageException(kPkgErrUnsupportedOperation); }

std::string BasePkgFile::ResolvePath(const std::string& inRelativePath) const {
  const auto* package = static_cast<const BasePackage*>(GetPackage());
  return ResolvePkgPath(inRelativePath, GetName(), package->GetSeparators());
}

// ---- ZipPkgEntry

ZipPkgEntry::ZipPkgEntry(ZipPackage* inPackage, std::string inName, int inType, ZpCentralDirEntryPtr inCentral)
    : BasePkgEntry(std::move(inName), inType,
                   inCentral ? CompressionOf(inCentral)
                             : (inPackage->GetDefaultCompression() == kPkgCompressionStored ? kPkgCompressionStored
                                                                                             : kPkgCompressionDeflate)),
      m_package(inPackage),
      m_central(std::move(inCentral)) {
  if (m_central) {
    m_size = m_central->GetUncompressedSize();
    m_crc = m_central->GetCRC();
    GetLocalHeader();
  }
}

IPackage* ZipPkgEntry::GetPackage() const { return m_package; }

const ZipPkgEntry::LocalHeaderInfo& ZipPkgEntry::GetLocalHeader() {
  if (!m_local.read) {
    if (!m_central) {
      throw PackageException(kPkgErrEntryNotFound);
    }
    const ZpLocalFileEntryPtr header = m_central->ReadLocalHeader(*m_package->GetFile());
    m_local.totalSize = header->GetTotalSize();
    m_local.method = header->GetMethod();
    m_local.read = true;
  }
  return m_local;
}

// ---- ZipPkgFile

ZipPkgFile::ZipPkgFile(ZipPackage* inPackage, std::string inName, ZpCentralDirEntryPtr inCentral)
    : ZipPkgEntry(inPackage, std::move(inName), kPkgEntryFile, std::move(inCentral)) {}

ZipPkgFile::~ZipPkgFile() {
  try {
    CloseStreams();
    ReleaseTempData();
  } catch (const std::exception&) {
    // A destructor cannot report; the temporary file may stay behind.
  }
}

PkgStreamPtr ZipPkgFile::OpenStream(int inMode, bool inRaw) {
  m_package->RequireOpen();
  const bool in = (inMode & kPkgModeIn) != 0;
  const bool out = (inMode & kPkgModeOut) != 0;
  if (!in && !out) {
    throw PackageException(kPkgErrBadArgument);
  }
  if (in && out) {
    throw PackageException(kPkgErrNotImplemented);
  }
  if (out) {
    return OpenWriteStream(inMode, inRaw);
  }
  if ((m_package->GetOpenMode(true) & kPkgModeIn) == 0 && !HasTempData() && !m_staged.present) {
    throw PackageException(kPkgErrWriteOnly);
  }
  if (!m_central && !HasTempData() && !m_staged.present) {
    throw PackageException(kPkgErrEntryNotFound);
  }
  m_streams.reserve(m_streams.size() + 1);
  auto* stream = new ZipPkgStream(this, inMode, inRaw);
  PkgStreamPtr shared(stream);
  m_streams.push_back(stream);
  return shared;
}

uint32_t ZipPkgFile::GetSize() const { return Clamp32(m_size); }
uint32_t ZipPkgFile::GetCompressedSize() const { return Clamp32(GetCompressedSize64()); }
uint64_t ZipPkgFile::GetCompressedSize64() const {
  if (m_staged.present) {
    return m_staged.compressedSize;
  }
  return m_central ? m_central->GetCompressedSize() : 0;
}

std::string ZipPkgFile::GetProperty(int inKey) const {
  if (inKey <= PkgPropertyMgr::kKeyTypeCreator) {
    const PkgPropertyMgr& properties = m_package->GetProperties();
    // Checks the key (code 22); then a value the client set wins over
    // the one in the central directory header.
    const std::string value = properties.GetRecordProperty(m_name, inKey);
    if (!m_central || properties.HasRecordProperty(m_name, inKey)) {
      return value;
    }
    if (inKey == PkgPropertyMgr::kKeyDate) {
      return PkgPropertyMgr::HexOfBytes(m_central->GetDosDateBytes(), 2);
    }
    if (inKey == PkgPropertyMgr::kKeyTime) {
      return PkgPropertyMgr::HexOfBytes(m_central->GetDosTimeBytes(), 2);
    }
    const uint8_t* typeCreator = m_central->GetTypeCreatorBytes();
    return typeCreator == nullptr ? std::string() : PkgPropertyMgr::HexOfBytes(typeCreator, 8);
  }
  return m_package->GetProperties().GetDocumentProperty(m_name, inKey);
}

void ZipPkgFile::SetProperty(int inKey, const std::string& inValue) {
  if (inKey <= PkgPropertyMgr::kKeyTypeCreator) {
    if (inKey >= 0 && (m_writeStream != nullptr || m_staged.present)) {
      throw PackageException(kPkgErrUnsupportedOperation);
    }
    m_package->GetProperties().SetRecordProperty(m_name, inKey, inValue, 1);
    return;
  }
  m_package->GetProperties().SetDocumentProperty(m_name, inKey, inValue);
}

uint64_t ZipPkgFile::StartPackageData(ZipPkgStreamData& inData, bool inRaw) {
  if (m_staged.present) {
    // Data written in the update in progress.
    const uint64_t size = inRaw ? m_staged.compressedSize : m_staged.size;
    inData.Start(m_package->GetStagedFile(m_staged), inRaw ? kPkgCompressionStored : m_staged.method, m_staged.offset,
                 m_staged.offset + m_staged.compressedSize, size);
    return size;
  }
  const uint64_t headerSize = GetLocalHeader().totalSize;
  const uint64_t headerOffset = m_central->GetLocalHeaderOffset();
  if (headerOffset > kMaxPosition - headerSize) {
    throw PackageIOException(kPkgErrReadCDH);
  }
  const uint64_t start = headerOffset + headerSize;
  const uint64_t compressed = m_central->GetCompressedSize();
  const uint64_t end = compressed > kMaxPosition - start ? kMaxPosition : start + compressed;
  const int method = inRaw ? kPkgCompressionStored : m_compression;
  const uint64_t size = inRaw ? compressed : m_size;
  inData.Start(m_package->GetFile(), method, start, end, size);
  return size;
}

PkgFSFilePtr ZipPkgFile::OpenTempData() const {
  if (!HasTempData()) {
    throw PackageException(kPkgErrEntryNotFound);
  }
  return m_tempName->GetFileSystem()->OpenFile(m_tempName, kPkgModeIn);
}

void ZipPkgFile::FillTempData() {
  if (m_tempName) {
    return;
  }
  IPkgFileSystem* fileSystem = m_package->GetFileSystem();
  PkgFSFilePtr file = fileSystem->CreateTempFile();
  m_tempName = file->GetFileName();
  m_tempFilling = true;
  try {
    ZipPkgStreamData data;
    StartPackageData(data, false);
    std::unique_ptr<char[]> block(new char[kTempFillBlock]);
    for (;;) {
      const std::size_t got = data.Read(block.get(), kTempFillBlock);
      if (got == 0) {
        break;
      }
      file->Write(block.get(), got);
    }
    data.End();
    file->Close();
    m_tempFilling = false;
  } catch (...) {
    // A half-filled temporary file must not serve later streams.
    std::exception_ptr ignored;
    KeepFirstError(ignored, [&file] { file->Close(); });
    KeepFirstError(ignored, [this] { ReleaseTempData(); });
    throw;
  }
}

void ZipPkgFile::ReleaseTempData() {
  if (!m_tempName) {
    return;
  }
  PkgFSFileNamePtr name = std::move(m_tempName);
  m_tempName.reset();
  m_tempFilling = false;
  name->GetFileSystem()->RemoveFile(name);
}

void ZipPkgFile::RemoveStream(ZipPkgStream* inStream) {
  m_streams.erase(std::remove(m_streams.begin(), m_streams.end(), inStream), m_streams.end());
}

void ZipPkgFile::CloseStreams() {
  const std::vector<ZipPkgStream*> streams = m_streams;
  std::exception_ptr first;
  for (ZipPkgStream* stream : streams) {
    KeepFirstError(first, [stream] { stream->Close(); });
  }
  if (first) {
    std::rethrow_exception(first);
  }
}

// ---- ZipPkgDirectory

ZipPkgDirectory::ZipPkgDirectory(ZipPackage* inPackage, std::string inName, ZpCentralDirEntryPtr inCentral)
    : ZipPkgEntry(inPackage, std::move(inName), kPkgEntryDirectory, std::move(inCentral)) {}


// ---- the iterator

class ZipPackage::ZipPkgEntryIteratorImpl : public IPkgEntryIteratorImpl {
 public:
  ZipPkgEntryIteratorImpl(ZipPackage* inPackage, const PkgDirectoryPtr& inDirectory)
      : m_package(inPackage), m_centralDir(inPackage->m_centralDir), m_restricted(inDirectory != nullptr) {
    if (m_restricted) {
      m_base = inDirectory->GetName();
      if (m_base == "/") {
        m_base.clear();
      }
    }
    Advance();
  }

  bool AtEnd() const override { return m_current == nullptr; }

  PkgEntryPtr Current() const override {
    if (m_substitute) {
      return m_substitute;
    }
    if (m_current == nullptr) {
      throw PackageException(kPkgErrIllegalState);
    }
    return SharePkgEntry<IPkgEntry>(m_current);
  }

  void Next() override {
    if (m_current == nullptr) {
      return;
    }
    m_substitute.reset();
    ++m_position;
    Advance();
  }

 private:
  // Moves to the first entry at or after the position that the filter accepts: first through the
  // central directory, then through the entries created in the update in progress.
  void Advance() {
    m_current = nullptr;
    if (!m_secondPhase) {
      const auto& list = m_centralDir->GetEntries();
      for (; m_position < list.size(); ++m_position) {
        if (Accept(m_package->EntryFor(list[m_position]))) {
          return;
        }
      }
      m_secondPhase = true;
      m_position = 0;
    }
    // By index: the list may grow while the iteration goes on.
    const auto& created = m_package->m_createdEntries;
    for (; m_position < created.size(); ++m_position) {
      ZipPkgEntry* entry = created[m_position];
      if (!entry->GetCentralEntry() && Accept(entry)) {
        return;
      }
    }
  }

  // Makes inEntry (or the directory that stands for it) current when the filter accepts it.
  bool Accept(ZipPkgEntry* inEntry) {
    if (inEntry->IsRemoved()) {
      return false;
    }
    if (!m_restricted) {
      m_current = inEntry;
      return true;
    }
    const std::string& name = inEntry->Name();
    if (name.size() <= m_base.size() || name.compare(0, m_base.size(), m_base) != 0) {
      return false;
    }
    const std::size_t slash = name.find('/', m_base.size());
    if (slash == std::string::npos) {
      m_current = inEntry;
      return true;
    }
    const std::string subdirectory = name.substr(0, slash + 1);
    if (!m_seen.insert(subdirectory).second) {
      return false;
    }
    ZipPkgEntry* directory = m_package->Lookup(subdirectory, kPkgEntryDirectory, false);
    m_substitute = SharePkgEntry<IPkgEntry>(directory);
    m_current = inEntry;
    return true;
  }

  ZipPackage* m_package;
  ZpCentralDirPtr m_centralDir;
  bool m_restricted;
  std::string m_base;
  std::size_t m_position = 0;
  bool m_secondPhase = false;
  std::set<std::string> m_seen;
  ZipPkgEntry* m_current = nullptr;
  PkgEntryPtr m_substitute;
};

// ---- ZipPackage

ZipPackage::ZipPackage(PkgFSFileNamePtr inFileName, IPkgFileSystem* inFileSystem, PkgOptionsPtr inOptions,
                       XMLParserPtr inParser, const PkgSeparators& inSeparators)
    : BasePackage(std::move(inFileName), inFileSystem, std::move(inOptions), std::move(inParser), inSeparators) {}

ZipPackage::~ZipPackage() {
  try {
    DoClose();
  } catch (const std::exception&) {
    // A destructor cannot report; everything it could free is freed.
  }
  for (auto& named : m_entries) {
    named.second->Release();
  }
}

void ZipPackage::Open(int inMode) {
  if (m_file) {
    throw PackageException(kPkgErrAlreadyOpen);
  }
  if (!m_fileName) {
    throw PackageException(kPkgErrBadArgument);
  }
  m_openMode = inMode;
  m_file = m_fileSystem->OpenFile(m_fileName, FileModeFor(inMode));
  Load();
}

void ZipPackage::OpenOnFile(const PkgFSFilePtr& inFile) {
  if (m_file) {
    throw PackageException(kPkgErrAlreadyOpen);
  }
  if (!inFile) {
    throw PackageException(kPkgErrBadArgument);
  }
  m_openMode = inFile->GetMode();
  m_file = inFile;
  Load();
}

void ZipPackage::Load() {
  if ((m_openMode & kPkgModeTrunc) != 0 || (m_openMode & kPkgModeIn) == 0) {
    m_centralDir.reset(new ZpCentralDir());
    m_open = true;
    GetDirectory("/", false);
    return;
  }
  if (!IsPackageFile(*m_file)) {
    throw PackageException(kPkgErrNotPackage);
  }
  ZpCentralDirPtr centralDir(new ZpCentralDir());
  centralDir->ReadEnd(*m_file, m_properties.get());
  centralDir->ReadZip64End(*m_file);
  centralDir->ReadEntries(*m_file);
  m_centralDir = centralDir;
  m_open = true;
  GetDirectory("/", false);
  CheckMimetype();
}

void ZipPackage::CheckMimetype() {
  const int option = GetOption(IPkgOptions::kOptionMimetype);
  const bool strict = (option & IPkgOptions::kMimetypeStrict) != 0;
  const bool repair = (option & IPkgOptions::kMimetypeRepair) != 0;
  if (GetEntryType(kMimetypeName) != kPkgEntryFile) {
    if (strict) {
      throw PackageException(kPkgErrMissingMimetype);
    }
    m_rewriteNeeded = repair;
    m_conformanceError = kPkgErrMissingMimetype;
    return;
  }
  auto* mimetype = static_cast<ZipPkgFile*>(Lookup(kMimetypeName, kPkgEntryFile, true));
  const ZpCentralDirEntryPtr& central = mimetype->GetCentralEntry();
  if (central && central->GetMethod() == 0 && central->GetLocalHeaderOffset() == 0 &&
      mimetype->GetLocalHeader().method == 0) {
    m_mimetypeValid = true;
    return;
  }
  if (strict) {
    throw PackageException(kPkgErrInvalidMimetype);
  }
  if (repair) {
    const std::string mimeType = GetMimeType();
    if (m_centralDir->FindEntry(kMimetypeName) != central) {
      throw PackageException(kPkgErrIllegalState);
    }
    // Rewriting the entry as the stored first entry needs the package writer.
    SetMimeType(mimeType);
    m_rewriteNeeded = true;
    return;
  }
  m_conformanceError = kPkgErrInvalidMimetype;
}

void ZipPackage::DoClose() {
  if (!m_open && !m_file) {
    return;
  }
  std::exception_ptr first;
  KeepFirstError(first, [this] { DropUpdate(); });
  for (auto& named : m_entries) {
    if (named.second->GetType() == kPkgEntryFile) {
      auto* file = static_cast<ZipPkgFile*>(named.second);
      KeepFirstError(first, [file] { file->CloseStreams(); });
      KeepFirstError(first, [file] { file->ReleaseTempData(); });
    }
  }
  m_centralDir.reset();
  if (m_file) {
    PkgFSFilePtr file = std::move(m_file);
    m_file.reset();
    KeepFirstError(first, [&file] { file->Close(); });
  }
  m_open = false;
  if (first) {
    std::rethrow_exception(first);
  }
}

std::string ZipPackage::BaseName(const PkgDirectoryPtr& inBase) const {
  return inBase ? inBase->GetName() : std::string(1, m_separators.path);
}

int ZipPackage::GetEntryType(const std::string& inRelativePath, const PkgDirectoryPtr& inBase) {
  return GetEntryType(JoinPkgPath(inRelativePath, BaseName(inBase), m_separators));
}

int ZipPackage::GetEntryType(const std::string& inPath) {
  RequireOpen();
  const std::string name = NormalizePkgPath(inPath, m_separators);
  const auto found = m_entries.find(name);
  if (found != m_entries.end()) {
    return found->second->IsRemoved() ? kPkgEntryNone : found->second->GetType();
  }
  if (m_centralDir->FindEntry(name)) {
    return EndsWithSlash(name) ? kPkgEntryDirectory : kPkgEntryFile;
  }
  return kPkgEntryNone;
}

PkgFilePtr ZipPackage::GetEntry(const std::string& inRelativePath, const PkgDirectoryPtr& inBase, bool inMustExist) {
  return GetEntry(JoinPkgPath(inRelativePath, BaseName(inBase), m_separators), inMustExist);
}

PkgFilePtr ZipPackage::GetEntry(const std::string& inPath, bool inMustExist) {
  RequireOpen();
  auto* file = static_cast<ZipPkgFile*>(Lookup(NormalizePkgPath(inPath, m_separators), kPkgEntryFile, inMustExist));
  return SharePkgEntry<IPkgFile>(file);
}

PkgDirectoryPtr ZipPackage::GetDirectory(const std::string& inRelativePath, const PkgDirectoryPtr& inBase,
                                         bool inMustExist) {
  return GetDirectory(JoinPkgPath(inRelativePath, BaseName(inBase), m_separators), inMustExist);
}

PkgDirectoryPtr ZipPackage::GetDirectory(const std::string& inPath, bool inMustExist) {
  RequireOpen();
  std::string path = inPath;
  if (!EndsWithSlash(path)) {
    path += m_separators.path;
  }
  auto* directory =
      static_cast<ZipPkgDirectory*>(Lookup(NormalizePkgPath(path, m_separators), kPkgEntryDirectory, inMustExist));
  return SharePkgEntry<IPkgDirectory>(directory);
}

PkgDirectoryPtr ZipPackage::GetRootDirectory() { return GetDirectory(std::string(1, m_separators.path), false); }

ZipPkgEntry* ZipPackage::Lookup(const std::string& inName, int inType, bool inMustExist) {
  const auto found = m_entries.find(inName);
  if (found != m_entries.end()) {
    if (found->second->GetType() != inType) {
      throw PackageException(kPkgErrUnsupportedOperation);
    }
    return found->second;
  }
  if (EndsWithSlash(inName) != (inType == kPkgEntryDirectory)) {
    throw PackageException(kPkgErrBadArgument);
  }
  ZpCentralDirEntryPtr central = m_centralDir ? m_centralDir->FindEntry(inName) : ZpCentralDirEntryPtr();
  if (!central && inMustExist) {
    throw PackageException(kPkgErrEntryNotFound);
  }
  ZipPkgEntry* entry = nullptr;
  if (inType == kPkgEntryDirectory) {
    entry = new ZipPkgDirectory(this, inName, central);
  } else {
    entry = new ZipPkgFile(this, inName, central);
  }
  m_entries.emplace(inName, entry);
  return entry;
}

ZipPkgEntry* ZipPackage::EntryFor(const ZpCentralDirEntryPtr& inCentral) {
  const std::string& name = inCentral->GetName();
  const auto found = m_entries.find(name);
  if (found != m_entries.end()) {
    return found->second;
  }
  ZipPkgEntry* entry = nullptr;
  if (EndsWithSlash(name)) {
    entry = new ZipPkgDirectory(this, name, inCentral);
  } else {
    entry = new ZipPkgFile(this, name, inCentral);
  }
  m_entries.emplace(name, entry);
  return entry;
}

std::string ZipPackage::GetMimeType() {
  RequireOpen();
  if (GetEntryType(kMimetypeName) != kPkgEntryFile) {
    return std::string();
  }
  PkgStreamPtr stream = GetEntry(kMimetypeName, true)->OpenStream(kPkgModeIn, false);
  std::string text(kMimeTypeReadLimit, '\0');
  stream->read(&text[0], static_cast<std::streamsize>(text.size()));
  text.resize(static_cast<std::size_t>(stream->gcount()));
  stream->Close();
  const auto isSpace = [](char inChar) { return std::isspace(static_cast<unsigned char>(inChar)) != 0; };
  const auto begin = std::find_if_not(text.begin(), text.end(), isSpace);
  return std::string(begin, std::find_if(begin, text.end(), isSpace));
}

PkgEntryRange ZipPackage::GetEntries(const PkgDirectoryPtr& inDirectory, const std::string& inPattern) {
  RequireOpen();
  if (!inPattern.empty()) {
    throw PackageException(kPkgErrNotImplemented);
  }
  boost::shared_ptr<IPkgEntryIteratorImpl> impl(new ZipPkgEntryIteratorImpl(this, inDirectory));
  return PkgEntryRange{PkgEntryIterator(impl), PkgEntryIterator()};
}

}  // namespace zip
}  // namespace pkg
