// The writing half of the zip package: updates, commit and cancel, new and removed entries,
// directory creation and the mime type.
#include <algorithm>
#include <exception>
#include <memory>
#include <unordered_map>

#include "pkg/PkgException.h"
#include "zip/ZipPackage.h"
#include "zip/ZipPkgWriteStream.h"
#include "zip/ZpRecordWriter.h"

namespace pkg {
namespace zip {

namespace {

// Bytes per block when entry data are copied into the package being written.
constexpr std::size_t kCopyBlock = 16384;
const char* const kMimetypeName = "mimetype";
// DOS attribute of a directory, in the external attributes of its central header.
constexpr uint32_t kDosDirectory = 0x10;

template <class F>
void KeepFirst(std::exception_ptr& ioFirst, F inStep) {
  try {
    inStep();
  } catch (...) {
    if (!ioFirst) {
      ioFirst = std::current_exception();
    }
  }
}

// Copies inCount bytes at inFrom of inSource to the current position of ioTarget.
void CopyRange(IPkgFSFile& inSource, uint64_t inFrom, uint64_t inCount, IPkgFSFile& ioTarget) {
  std::unique_ptr<char[]> block(new char[kCopyBlock]);
  uint64_t done = 0;
  while (done < inCount) {
    const std::size_t want = static_cast<std::size_t>(std::min<uint64_t>(kCopyBlock, inCount - done));
    inSource.Seek(static_cast<int64_t>(inFrom + done), kPkgSeekBegin);
    if (!ZpReadFully(inSource, block.get(), want)) {
      throw PackageIOException(kPkgErrReadFile);  // the source ends inside the entry's data
    }
    ioTarget.Write(block.get(), want);
    done += want;
  }
}

// Writes bytes to the target and counts them.
class TargetWriter {
 public:
  TargetWriter(IPkgFSFile& inFile, uint64_t inStart) : m_file(inFile), m_position(inStart) {}
  void Put(const std::vector<uint8_t>& inBytes) {
    if (inBytes.empty()) {
      return;
    }
    m_file.Write(inBytes.data(), inBytes.size());
    m_position += inBytes.size();
  }
  void Copy(IPkgFSFile& inSource, uint64_t inFrom, uint64_t inCount) {
    CopyRange(inSource, inFrom, inCount, m_file);
    m_position += inCount;
  }
  uint64_t Position() const { return m_position; }

 private:
  IPkgFSFile& m_file;
  uint64_t m_position;
};

ZpEntryRecord KeptRecord(const ZpCentralDirEntry& inOld) {
  const uint8_t* header = inOld.GetHeader();
  auto u16 = [header](std::size_t inAt) { return static_cast<uint16_t>(header[inAt] | (header[inAt + 1] << 8)); };
  ZpEntryRecord record;
  record.name = inOld.GetName();
  record.madeByHost = header[5];
  record.flags = inOld.GetFlags();
  record.method = inOld.GetMethod();
  record.dosTime = u16(12);
  record.dosDate = u16(14);
  record.crc = inOld.GetCRC();
  record.compressedSize = inOld.GetCompressedSize();
  record.uncompressedSize = inOld.GetUncompressedSize();
  record.internalAttributes = u16(36);
  record.externalAttributes = static_cast<uint32_t>(u16(38)) | (static_cast<uint32_t>(u16(40)) << 16);
  record.otherExtra = ZpExtraWithout(inOld.GetExtra(), kZpZip64BlockId);
  record.comment = inOld.GetComment();
  return record;
}

// The record of a new entry with the given header and data.
ZpEntryRecord NewRecord(const std::string& inName, int inMethod, const ZpWrittenHeader& inHeader) {
  ZpEntryRecord record;
  record.name = inName;
  record.method = static_cast<uint16_t>(inMethod == kPkgCompressionStored ? 0 : 8);
  record.dosTime = inHeader.dosTime;
  record.dosDate = inHeader.dosDate;
  record.otherExtra = inHeader.extra;
  record.localHeaderOffset = inHeader.offset;
  return record;
}

void WriteAt(IPkgFSFile& ioFile, uint64_t inOffset, const std::vector<uint8_t>& inBytes) {
  ioFile.Seek(static_cast<int64_t>(inOffset), kPkgSeekBegin);
  ioFile.Write(inBytes.data(), inBytes.size());
}

}  // namespace

// One entry of the package being written.
struct ZipPackage::PlanItem {
  ZipPkgEntry* entry = nullptr;  // null for a kept entry that has no object
  ZpCentralDirEntryPtr old;      // null for a new entry
};

// ---- entries

void ZipPkgEntry::Rebind(const ZpCentralDirEntryPtr& inCentral) {
  m_central = inCentral;
  m_local = LocalHeaderInfo();
  m_size = 0;
  m_crc = 0;
  if (m_central) {
    m_size = m_central->GetUncompressedSize();
    m_crc = m_central->GetCRC();
    m_compression = m_central->GetMethod() == 0 ? kPkgCompressionStored : kPkgCompressionDeflate;
  }
  m_removed = false;
  m_created = false;
  ClearWritten();
}

void ZipPkgEntry::Remove() {
  m_package->RequireUpdate();
  if (m_name == "/") {
    throw PackageException(kPkgErrUnsupportedOperation);
  }
  m_package->CheckWriteConformance(this, true);
  if (m_type == kPkgEntryFile) {
    auto* file = static_cast<ZipPkgFile*>(this);
    if (file->IsWriting()) {
      throw PackageException(kPkgErrUnsupportedOperation);
    }
    file->ClearStaged();
  }
  ClearWritten();
  m_removed = true;
}

void ZipPkgFile::Rebind(const ZpCentralDirEntryPtr& inCentral) {
  CloseStreams();
  ReleaseTempData();
  ClearStaged();
  ZipPkgEntry::Rebind(inCentral);
}

void ZipPkgFile::SetSize64(uint64_t inSize) {
  m_package->RequireUpdate();
  m_size = inSize;
}

void ZipPkgFile::SetCRC(uint32_t inCRC) {
  m_package->RequireUpdate();
  m_crc = inCRC;
}

PkgStreamPtr ZipPkgFile::OpenWriteStream(int inMode, bool inRaw) {
  m_package->RequireUpdate();
  if (m_writeStream != nullptr) {
    throw PackageException(kPkgErrUnsupportedOperation);
  }
  m_package->CheckWriteConformance(this, false);
  const ZipPackage::WriteTarget target = m_package->OpenWriteTarget(*this);
  auto* stream = new ZipPkgWriteStream(this, target.file, target.offset, target.prefix, target.direct, m_compression,
                                       inRaw, m_package->TakeWriteState());
  PkgStreamPtr shared(stream);
  m_writeStream = stream;
  m_package->SetStagingWriter(stream);
  return shared;
}

void ZipPkgFile::WriteStreamClosed(ZipPkgWriteStream* inStream, StagedData* ioFinished,
                                   ZipPkgWriteStreamBuf* inBuffer) {
  const bool own = inStream == m_writeStream;
  if (own) {
    m_writeStream = nullptr;
  }
  ZpWrittenHeader header;
  if (m_package->EndWrite(inStream, *this, ioFinished, inBuffer, header) && own) {
    FinishWrite(*ioFinished, header);
  }
}

void ZipPkgFile::FinishWrite(const StagedData& inStaged, const ZpWrittenHeader& inHeader) {
  // Streams reading the old data, and the old data's inflated copy, must not outlive them.
  CloseStreams();
  ReleaseTempData();
  m_staged = inStaged;
  m_written = inHeader;
  m_size = inStaged.size;
  m_crc = inStaged.crc;
  m_removed = false;
  m_package->NoteCreated(this);
}

void ZipPkgDirectory::Create() {
  m_package->RequireUpdate();
  const bool exists = m_name == "/" || (!m_removed && (m_central || m_created));
  if (exists) {
    throw PackageException(kPkgErrDirectoryExists);
  }
  m_package->CheckWriteConformance(this, false);
  m_written = m_package->WriteDirectoryHeader(m_name);
  m_removed = false;
  m_package->NoteCreated(this);
}

// ---- the package

int ZipPackage::FileModeFor(int inMode) {
  const bool in = (inMode & kPkgModeIn) != 0;
  const bool out = (inMode & kPkgModeOut) != 0;
  if (out && !in) {
    return kPkgModeIn | kPkgModeOut | kPkgModeTrunc;
  }
  return inMode;
}

void ZipPackage::RequireUpdate() const {
  RequireOpen();
  if (!IsInUpdate()) {
    throw PackageException(kPkgErrUpdateNotInProgress);
  }
}

void ZipPackage::StartUpdate(UpdateKind inKind, int inMode) {
  m_update = inKind;
  m_updateMode = inMode;
  m_modified = false;
  m_properties->BeginUpdate();
  // Only a package with nothing in its file yet can take new entries straight into it: a cancel
  // then just empties the file again.
  m_direct = false;
  m_directEnd = 0;
  const int needed = kPkgCapSeek | kPkgCapTell | kPkgCapTruncate;
  if (inKind != UpdateKind::kTo && m_centralDir->GetEntries().empty() &&
      (m_file->GetCapabilities() & needed) == needed) {
    m_file->Seek(0, kPkgSeekEnd);
    m_direct = m_file->Tell() == 0;
  }
}

void ZipPackage::RequireUpdateCanStart(int inMode) const {
  RequireOpen();
  if (IsInUpdate()) {
    throw PackageException(kPkgErrUpdateInProgress);
  }
  if ((inMode & kPkgModeOut) == 0) {
    throw PackageException(kPkgErrUpdateNeedsWrite);
  }
}

void ZipPackage::BeginUpdate() {
  RequireUpdateCanStart(m_openMode);
  StartUpdate(UpdateKind::kRewrite, m_openMode);
}

void ZipPackage::BeginUpdateInPlace() {
  RequireUpdateCanStart(m_openMode);
  StartUpdate(UpdateKind::kInPlace, m_openMode);
}

void ZipPackage::BeginUpdateTo(const PkgFSFileNamePtr& inFileName, int inMode) {
  RequireUpdateCanStart(inMode);
  if (!inFileName) {
    throw PackageException(kPkgErrBadArgument);
  }
  // The target is opened (and truncated) only at the commit, so a cancel leaves it untouched.
  m_targetName = inFileName;
  StartUpdate(UpdateKind::kTo, inMode);
}

bool ZipPackage::ApplyClientStamp(const std::string& inName, uint16_t& ioTime, uint16_t& ioDate) const {
  bool applied = false;
  std::string text;
  if (m_properties->GetClientRecordProperty(inName, PkgPropertyMgr::kKeyTime, text)) {
    applied = ZpDosFieldFromText(text, ioTime) || applied;
  }
  if (m_properties->GetClientRecordProperty(inName, PkgPropertyMgr::kKeyDate, text)) {
    applied = ZpDosFieldFromText(text, ioDate) || applied;
  }
  return applied;
}

std::vector<uint8_t> ZipPackage::ClientTypeCreator(const std::string& inName) const {
  std::string text;
  uint8_t typeCreator[8] = {};
  if (!m_properties->GetClientRecordProperty(inName, PkgPropertyMgr::kKeyTypeCreator, text) ||
      !ZpBytesFromText(text, typeCreator, sizeof(typeCreator))) {
    return std::vector<uint8_t>();
  }
  return ZpEncodeTypeCreator(typeCreator);
}

ZipPackage::WriteTarget ZipPackage::OpenWriteTarget(const ZipPkgFile& inEntry) {
  if (m_stageWriter != nullptr) {
    throw PackageException(kPkgErrUnsupportedOperation);
  }
  ZpWrittenHeader header;
  header.present = true;
  ZpDosTimeNow(header.dosTime, header.dosDate);
  ApplyClientStamp(inEntry.Name(), header.dosTime, header.dosDate);
  header.extra = ClientTypeCreator(inEntry.Name());
  WriteTarget target;
  if (m_direct) {
    header.direct = true;
    header.descriptor = GetOption(IPkgOptions::kOptionDataDescriptor) != 0;
    header.offset = m_directEnd;
    target.prefix =
        ZpEncodeLocalHeader(NewRecord(inEntry.Name(), inEntry.GetCompression(), header), header.descriptor, true);
    target.file = m_file;
    target.offset = header.offset;
    target.direct = true;
  } else {
    if (!m_stageFile) {
      m_stageFile = m_fileSystem->CreateTempFile();
      m_stageName = m_stageFile->GetFileName();
      m_stageEnd = 0;
    }
    target.file = m_stageFile;
    target.offset = m_stageEnd;
  }
  m_openHeader = header;
  return target;
}

bool ZipPackage::EndWrite(ZipPkgWriteStream* inStream, const ZipPkgFile& inEntry,
                          const ZipPkgFile::StagedData* inFinished, ZipPkgWriteStreamBuf* inBuffer,
                          ZpWrittenHeader& outHeader) {
  if (inStream != m_stageWriter) {
    return false;
  }
  m_stageWriter = nullptr;
  m_modified = true;
  if (inFinished == nullptr || inBuffer == nullptr) {
    return false;  // the next entry's data overwrite what this one left
  }
  ZpWrittenHeader header = m_openHeader;
  const uint64_t dataEnd = inFinished->offset + inFinished->compressedSize;
  header.end = dataEnd;
  if (header.direct) {
    ZpEntryRecord record = NewRecord(inEntry.Name(), inFinished->method, header);
    record.crc = inFinished->crc;
    record.compressedSize = inFinished->compressedSize;
    record.uncompressedSize = inFinished->size;
    // Same length as the header made when the stream opened: its reserved room becomes the
    // ZIP64 block when the entry grew past 4 GiB.
    const std::vector<uint8_t> completed = ZpEncodeLocalHeader(record, header.descriptor, true);
    inBuffer->Complete(&completed);
    if (header.descriptor) {
      const std::vector<uint8_t> descriptor = ZpEncodeDataDescriptor(record);
      WriteAt(*m_file, dataEnd, descriptor);
      header.end += descriptor.size();
    }
    m_directEnd = header.end;
  } else {
    inBuffer->Complete(nullptr);
    m_stageEnd = std::max(m_stageEnd, dataEnd);
  }
  outHeader = header;
  return true;
}

ZpWrittenHeader ZipPackage::WriteDirectoryHeader(const std::string& inName) {
  ZpWrittenHeader header;
  header.present = true;
  ZpDosTimeNow(header.dosTime, header.dosDate);
  ApplyClientStamp(inName, header.dosTime, header.dosDate);
  header.extra = ClientTypeCreator(inName);
  // While a write stream is open its data grow at the end of the file; the commit then writes
  // this header instead.
  if (m_direct && m_stageWriter == nullptr) {
    header.direct = true;
    header.offset = m_directEnd;
    const std::vector<uint8_t> bytes = ZpEncodeLocalHeader(NewRecord(inName, kPkgCompressionStored, header), false);
    WriteAt(*m_file, header.offset, bytes);
    header.end = header.offset + bytes.size();
    m_directEnd = header.end;
  }
  return header;
}

std::unique_ptr<ZpWriteState> ZipPackage::TakeWriteState() {
  if (m_writeState) {
    return std::move(m_writeState);
  }
  return std::unique_ptr<ZpWriteState>(new ZpWriteState());
}

void ZipPackage::KeepWriteState(std::unique_ptr<ZpWriteState> inState) {
  if (inState) {
    m_writeState = std::move(inState);
  }
}

void ZipPackage::NoteCreated(ZipPkgEntry* inEntry) {
  m_modified = true;
  if (inEntry->GetCentralEntry() || inEntry->IsCreated()) {
    return;
  }
  inEntry->SetCreated(true);
  m_createdEntries.push_back(inEntry);
}

void ZipPackage::CheckWriteConformance(const ZipPkgEntry* inEntry, bool inRemoving) {
  if ((GetOption(IPkgOptions::kOptionMimetype) & IPkgOptions::kMimetypeRepair) == 0) {
    return;
  }
  const bool isMimetype = inEntry->GetType() == kPkgEntryFile && inEntry->Name() == kMimetypeName;
  if (!isMimetype) {
    if (!inRemoving && m_conformanceError == kPkgErrMissingMimetype) {
      throw PackageException(kPkgErrConformance);
    }
    return;
  }
  if (inRemoving || inEntry->GetCompression() != kPkgCompressionStored) {
    throw PackageException(kPkgErrConformance);
  }
  // Only an update in place cannot put a new "mimetype" before the entries already written.
  if (m_update == UpdateKind::kInPlace && !inEntry->GetCentralEntry() && !m_centralDir->GetEntries().empty()) {
    throw PackageException(kPkgErrConformance);
  }
  if (m_conformanceError == kPkgErrMissingMimetype) {
    m_conformanceError = 0;
  }
}

void ZipPackage::SetMimeType(const std::string& inMimeType) {
  RequireOpen();
  const bool ownUpdate = !IsInUpdate();
  if (ownUpdate) {
    BeginUpdate();
  }
  try {
    PkgFilePtr file = GetEntry(kMimetypeName, false);
    file->SetCompression(kPkgCompressionStored);
    PkgStreamPtr stream = file->OpenStream(kPkgModeOut, false);
    stream->write(inMimeType.data(), static_cast<std::streamsize>(inMimeType.size()));
    stream->Close();
    if (ownUpdate) {
      CommitUpdate();
    }
  } catch (...) {
    if (ownUpdate && IsInUpdate()) {
      std::exception_ptr ignored;
      KeepFirst(ignored, [this] { CancelUpdate(); });
    }
    throw;
  }
}

void ZipPackage::CancelUpdate() {
  RequireUpdate();
  DropUpdate();
}

// Closes and removes the update's staging file and leaves the update state; a failure is kept in
// ioFirst so that the rest of the reset still happens.
void ZipPackage::ResetUpdateState(std::exception_ptr& ioFirst) {
  if (m_stageFile) {
    PkgFSFilePtr file = std::move(m_stageFile);
    PkgFSFileNamePtr name = std::move(m_stageName);
    m_stageFile.reset();
    m_stageName.reset();
    KeepFirst(ioFirst, [&file] { file->Close(); });
    KeepFirst(ioFirst, [&name] {
      if (name) {
        name->GetFileSystem()->RemoveFile(name);
      }
    });
  }
  m_stageEnd = 0;
  m_direct = false;
  m_directEnd = 0;
  m_targetName.reset();
  m_update = UpdateKind::kNone;
  m_updateMode = 0;
  m_modified = false;
}

void ZipPackage::DropUpdate() {
  if (!IsInUpdate()) {
    return;
  }
  std::exception_ptr first;
  if (m_stageWriter != nullptr) {
    ZipPkgWriteStream* writer = m_stageWriter;
    KeepFirst(first, [writer] { writer->Close(); });
    m_stageWriter = nullptr;
  }
  for (auto it = m_entries.begin(); it != m_entries.end();) {
    ZipPkgEntry* entry = it->second;
    if (entry->GetType() == kPkgEntryFile) {
      static_cast<ZipPkgFile*>(entry)->ClearStaged();
    }
    entry->SetRemoved(false);
    entry->ClearWritten();
    if (entry->IsCreated()) {
      // An entry that only this update brought in goes; a client's pointer keeps the object alive.
      entry->SetCreated(false);
      it = m_entries.erase(it);
      entry->Release();
      continue;
    }
    ++it;
  }
  m_createdEntries.clear();
  if (m_direct) {
    // The file was empty when the update began.
    KeepFirst(first, [this] { m_file->Truncate(0); });
  }
  ResetUpdateState(first);
  m_properties->CancelUpdate();
  if (first) {
    std::rethrow_exception(first);
  }
}

bool ZipPackage::WrittenInPlanOrder(const std::vector<PlanItem>& inPlan, uint64_t& outEnd) {
  uint64_t position = 0;
  for (const PlanItem& item : inPlan) {
    if (item.old || item.entry == nullptr) {
      return false;
    }
    const ZpWrittenHeader& header = item.entry->GetWrittenHeader();
    if (!header.present || !header.direct || header.offset != position) {
      return false;
    }
    position = header.end;
  }
  outEnd = position;
  return true;
}

void ZipPackage::CommitUpdate() {
  RequireUpdate();
  if (m_stageWriter != nullptr) {
    throw PackageException(kPkgErrIllegalState);  // a write stream is still open
  }
  WritePropertiesDocument();

  // The entries to write: kept ones in stored order, then new ones in creation order.
  std::vector<PlanItem> plan;
  plan.reserve(m_centralDir->GetEntries().size() + m_createdEntries.size());
  for (const ZpCentralDirEntryPtr& old : m_centralDir->GetEntries()) {
    const auto found = m_entries.find(old->GetName());
    ZipPkgEntry* entry = nullptr;
    if (found != m_entries.end() && found->second->GetCentralEntry() == old) {
      entry = found->second;
      if (entry->IsRemoved()) {
        continue;
      }
    }
    plan.push_back(PlanItem{entry, old});
  }
  for (ZipPkgEntry* entry : m_createdEntries) {
    if (!entry->IsRemoved() && !entry->GetCentralEntry()) {
      plan.push_back(PlanItem{entry, ZpCentralDirEntryPtr()});
    }
  }
  const bool inPlace = m_update == UpdateKind::kInPlace;
  if (!inPlace) {
    // Readers of the mimetype convention expect the "mimetype" file first.
    std::stable_partition(plan.begin(), plan.end(), [](const PlanItem& inItem) {
      const std::string& name = inItem.entry ? inItem.entry->Name() : inItem.old->GetName();
      return name == kMimetypeName;
    });
  }
  // A new package whose entries all went straight into its file, in the plan's order, needs
  // only its central directory. Otherwise (an entry written twice or removed, "mimetype" written
  // late) the file holds data to copy and the package is written anew in a temporary file.
  uint64_t writtenEnd = 0;
  const bool inOrder = m_direct && WrittenInPlanOrder(plan, writtenEnd);

  // Where the package is written.
  PkgFSFilePtr target;
  PkgFSFilePtr temp;
  uint64_t start = 0;
  const bool hasOldEntries = !m_centralDir->GetEntries().empty();
  if (m_update == UpdateKind::kTo) {
    target = m_targetName->GetFileSystem()->OpenFile(m_targetName, FileModeFor(m_updateMode));
  } else if (inOrder) {
    target = m_file;
    start = writtenEnd;
  } else if (!m_direct && (inPlace || !hasOldEntries)) {
    target = m_file;
    start = inPlace && hasOldEntries ? m_centralDir->GetOffset() : 0;
  } else {
    temp = m_fileSystem->CreateTempFile();
    target = temp;
  }
  const PkgFSFileNamePtr tempName = temp ? temp->GetFileName() : PkgFSFileNamePtr();
  try {
    if (target->IsSeekable()) {
      target->Seek(static_cast<int64_t>(start), kPkgSeekBegin);
    }
    const bool descriptors = GetOption(IPkgOptions::kOptionDataDescriptor) != 0 || !target->IsSeekable();
    uint16_t nowTime = 0;
    uint16_t nowDate = 0;
    ZpDosTimeNow(nowTime, nowDate);

    TargetWriter writer(*target, start);
    std::vector<uint8_t> central;
    // Kept entries of an update in place whose date the client changed: their local headers.
    std::vector<std::pair<uint64_t, std::vector<uint8_t>>> stampPatches;
    for (const PlanItem& item : plan) {
      ZpEntryRecord record;
      const ZipPkgFile::StagedData* staged = nullptr;
      if (item.entry && item.entry->GetType() == kPkgEntryFile) {
        const auto& fileStaged = static_cast<ZipPkgFile*>(item.entry)->GetStaged();
        staged = fileStaged.present ? &fileStaged : nullptr;
      }
      const bool isDirectory = item.old ? (!item.old->GetName().empty() && item.old->GetName().back() == '/')
                                        : item.entry->GetType() == kPkgEntryDirectory;
      if (item.old && !staged) {
        record = KeptRecord(*item.old);
        const bool restamped = ApplyClientStamp(record.name, record.dosTime, record.dosDate);
        const std::vector<uint8_t> typeCreator = ClientTypeCreator(record.name);
        if (!typeCreator.empty()) {
          record.otherExtra = ZpExtraWithout(record.otherExtra, kZpTypeCreatorBlockId);
          record.otherExtra.insert(record.otherExtra.end(), typeCreator.begin(), typeCreator.end());
        }
        if (inPlace) {
          // Kept entries stay where they are.
          record.localHeaderOffset = item.old->GetLocalHeaderOffset();
          if (restamped) {
            const uint8_t stamp[4] = {static_cast<uint8_t>(record.dosTime), static_cast<uint8_t>(record.dosTime >> 8),
                                      static_cast<uint8_t>(record.dosDate), static_cast<uint8_t>(record.dosDate >> 8)};
            stampPatches.emplace_back(record.localHeaderOffset + 10, std::vector<uint8_t>(stamp, stamp + 4));
          }
          const std::vector<uint8_t> header = ZpEncodeCentralHeader(record, false);
          central.insert(central.end(), header.begin(), header.end());
          continue;
        }
      } else {
        const ZpWrittenHeader& written = item.entry->GetWrittenHeader();
        record.name = item.entry->Name();
        record.dosTime = written.present ? written.dosTime : nowTime;
        record.dosDate = written.present ? written.dosDate : nowDate;
        record.otherExtra = written.extra;
        if (staged) {
          record.method = static_cast<uint16_t>(staged->method);
          record.crc = staged->crc;
          record.compressedSize = staged->compressedSize;
          record.uncompressedSize = staged->size;
        } else if (isDirectory) {
          record.externalAttributes = kDosDirectory;
        }
        // A file object that was never written has no data: it is written empty.
        if (inOrder) {
          record.localHeaderOffset = written.offset;
          const std::vector<uint8_t> header = ZpEncodeCentralHeader(record, written.descriptor);
          central.insert(central.end(), header.begin(), header.end());
          continue;
        }
      }
      record.localHeaderOffset = writer.Position();
      const bool descriptor = descriptors && !isDirectory;
      writer.Put(ZpEncodeLocalHeader(record, descriptor));
      if (staged) {
        writer.Copy(*GetStagedFile(*staged), staged->offset, staged->compressedSize);
      } else if (item.old && record.compressedSize != 0) {
        const ZpLocalFileEntryPtr local = item.old->ReadLocalHeader(*m_file);
        writer.Copy(*m_file, item.old->GetLocalHeaderOffset() + local->GetTotalSize(), record.compressedSize);
      }
      if (descriptor) {
        writer.Put(ZpEncodeDataDescriptor(record));
      }
      const std::vector<uint8_t> header = ZpEncodeCentralHeader(record, descriptor);
      central.insert(central.end(), header.begin(), header.end());
    }
    const uint64_t centralOffset = writer.Position();
    writer.Put(central);
    writer.Put(ZpEncodeEnd(plan.size(), central.size(), centralOffset,
                           m_properties->GetRecordProperty("/", PkgPropertyMgr::kKeyComment)));
    const uint64_t end = writer.Position();
    for (const auto& patch : stampPatches) {
      WriteAt(*target, patch.first, patch.second);
    }
    target->Flush();
    if (target->IsSeekable() && (target->GetCapabilities() & kPkgCapTruncate) != 0) {
      target->Truncate(static_cast<int64_t>(end));
    }
    if (temp) {
      // The new package replaces the old one's bytes.
      m_file->Seek(0, kPkgSeekBegin);
      CopyRange(*temp, 0, end, *m_file);
      m_file->Flush();
      m_file->Truncate(static_cast<int64_t>(end));
    }
  } catch (...) {
    std::exception_ptr ignored;
    if (temp) {
      KeepFirst(ignored, [&] { temp->Close(); });
      KeepFirst(ignored, [&] { tempName->GetFileSystem()->RemoveFile(tempName); });
    } else if (m_update == UpdateKind::kTo) {
      KeepFirst(ignored, [&] { target->Close(); });
    }
    throw;
  }
  std::exception_ptr first;
  if (temp) {
    KeepFirst(first, [&] { temp->Close(); });
    KeepFirst(first, [&] { tempName->GetFileSystem()->RemoveFile(tempName); });
  }
  if (m_update == UpdateKind::kTo) {
    // From now on the package is the file just written.
    PkgFSFilePtr old = std::move(m_file);
    m_file = target;
    m_fileName = m_targetName;
    m_openMode = m_updateMode;
    KeepFirst(first, [&old] { old->Close(); });
  }
  AdoptWritten();
  if (first) {
    std::rethrow_exception(first);
  }
}

void ZipPackage::AdoptWritten() {
  ZpCentralDirPtr centralDir(new ZpCentralDir());
  centralDir->ReadEnd(*m_file, m_properties.get());
  centralDir->ReadZip64End(*m_file);
  centralDir->ReadEntries(*m_file);
  m_centralDir = centralDir;

  std::unordered_map<std::string, ZpCentralDirEntryPtr> byName;
  byName.reserve(centralDir->GetEntries().size());
  for (const ZpCentralDirEntryPtr& central : centralDir->GetEntries()) {
    byName.emplace(central->GetName(), central);
  }
  for (auto it = m_entries.begin(); it != m_entries.end();) {
    ZipPkgEntry* entry = it->second;
    const auto found = byName.find(it->first);
    if (found != byName.end()) {
      entry->Rebind(found->second);
      ++it;
      continue;
    }
    const bool implicitDirectory = entry->GetType() == kPkgEntryDirectory && !entry->GetCentralEntry() &&
                                   !entry->IsCreated() && !entry->IsRemoved();
    if (it->first == "/" || implicitDirectory) {
      ++it;
      continue;
    }
    entry->Rebind(ZpCentralDirEntryPtr());
    it = m_entries.erase(it);
    entry->Release();
  }
  m_createdEntries.clear();
  // The client's dates and type/creator values are in the new headers now.
  m_properties->DropEntryRecords();
  std::exception_ptr first;
  ResetUpdateState(first);
  m_properties->EndUpdate();
  if (first) {
    std::rethrow_exception(first);
  }
}

void ZipPackage::WritePropertiesDocument() {
  if (!m_parser) {
    return;  // without a parser the document is neither read nor written
  }
  const std::string document = m_properties->MakeDocument();
  if (document.empty()) {
    if (GetEntryType(PkgPropertyMgr::kDocumentPath) == kPkgEntryFile) {
      GetEntry(PkgPropertyMgr::kDocumentPath, true)->Remove();
    }
    return;
  }
  PkgFilePtr file = GetEntry(PkgPropertyMgr::kDocumentPath, false);
  file->SetCompression(m_defaultCompression == kPkgCompressionStored ? kPkgCompressionStored
                                                                     : kPkgCompressionDeflate);
  PkgStreamPtr stream = file->OpenStream(kPkgModeOut | kPkgModeTrunc, false);
  stream->write(document.data(), static_cast<std::streamsize>(document.size()));
  stream->Close();
}

}  // namespace zip
}  // namespace pkg
