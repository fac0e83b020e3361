// The zip package and its entry objects.
//
// Entry objects are made on demand (iteration, lookup) and kept in the package's map, keyed by
// name, until the package is destroyed. An entry made for a central directory header reads its
// local header at once, so a broken local header fails there with the record codes.
#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "BasePackage.h"
#include "zip/ZpCentralDir.h"

namespace pkg {
namespace zip {

class ZipPackage;
class ZipPkgStream;
class ZipPkgStreamData;
class ZipPkgWriteStream;
class ZipPkgWriteStreamBuf;
class ZpWriteState;

// Writer: the local header of an entry written in the update in progress.
struct ZpWrittenHeader {
  bool present = false;
  // Written straight into the package file (else the commit writes it).
  bool direct = false;
  // The header has flag bit 3 and a data descriptor follows the data.
  bool descriptor = false;
  uint16_t dosTime = 0;
  uint16_t dosDate = 0;
  // Extra blocks from the client's properties (type/creator).
  std::vector<uint8_t> extra;
  // Direct only: where the header starts, and where the entry (header, data, descriptor) ends.
  uint64_t offset = 0;
  uint64_t end = 0;
};

// Shares an entry as a shared pointer that holds one reference of the entry's own count.
template <class T>
boost::shared_ptr<T> SharePkgEntry(T* inEntry) {
  inEntry->AddRef();
  return boost::shared_ptr<T>(inEntry, [](T* inShared) { inShared->Release(); });
}

class BasePkgEntry : public virtual IPkgEntry {
 public:
  BasePkgEntry(std::string inName, int inType, int inCompression);

  void Remove() override;
  bool IsRemoved() const override { return m_removed; }
  void SetCompression(int inMethod) override;
  int GetCompression() const override { return m_compression; }
  std::string GetName() const override { return m_name; }
  void AddRef() override { ++m_references; }
  void Release() override;
  int GetType() const override { return m_type; }
  PkgFilePtr AsFile() override;
  PkgDirectoryPtr AsDirectory() override;

  const std::string& Name() const { return m_name; }

 protected:
  ~BasePkgEntry() override = default;

  std::string m_name;
  int m_type;
  int m_compression;
  long m_references = 1;
  bool m_removed = false;
};

// The generic half of a file entry: paths relative to the file.
class BasePkgFile : public IPkgFile {
 public:
  std::string ResolvePath(const std::string& inRelativePath) const override;
};

class ZipPkgEntry : public BasePkgEntry {
 public:
  // An entry for the central directory header inCentral (its local header is read now), or a
  // new, empty entry when inCentral is null.
  ZipPkgEntry(ZipPackage* inPackage, std::string inName, int inType, ZpCentralDirEntryPtr inCentral);

  IPackage* GetPackage() const override;
  // Writer: marks the entry removed in the update in progress (code 37 outside one).
  void Remove() override;
  ZipPackage* GetZipPackage() const { return m_package; }
  const ZpCentralDirEntryPtr& GetCentralEntry() const { return m_central; }
  // What the entry needs of its local header: read (and checked) when the entry is made, and on
  // first use after a commit rebinds it; only these two values are kept, as a package may have
  // very many entries.
  struct LocalHeaderInfo {
    bool read = false;
    // Header, name and extra field together: the entry's data follow them.
    uint64_t totalSize = 0;
    uint16_t method = 0;
  };
  // Throws the record codes when the local header is bad; code 21 when the entry has no
  // central directory entry.
  const LocalHeaderInfo& GetLocalHeader();

  // Writer: set while the entry is removed in the update in progress.
  void SetRemoved(bool inRemoved) { m_removed = inRemoved; }
  // Writer: a directory created in the update in progress.
  bool IsCreated() const { return m_created; }
  void SetCreated(bool inCreated) { m_created = inCreated; }
  // Writer: after a commit, the entry stands for inCentral of the new central directory (its
  // local header, just written, is read when first needed); any data staged in the update are
  // dropped.
  virtual void Rebind(const ZpCentralDirEntryPtr& inCentral);
  // Writer: the local header written for the entry in the update in progress.
  const ZpWrittenHeader& GetWrittenHeader() const { return m_written; }
  void ClearWritten() { m_written = ZpWrittenHeader(); }

 protected:
  bool m_created = false;
  ZpWrittenHeader m_written;
  ZipPackage* m_package;
  ZpCentralDirEntryPtr m_central;
  LocalHeaderInfo m_local;
  uint64_t m_size = 0;
  uint32_t m_crc = 0;
};

class ZipPkgFile : public ZipPkgEntry, public BasePkgFile {
 public:
  ZipPkgFile(ZipPackage* inPackage, std::string inName, ZpCentralDirEntryPtr inCentral);

  PkgFilePtr AsFile() override { return SharePkgEntry<IPkgFile>(this); }
  PkgStreamPtr OpenStream(int inMode, bool inRaw) override;
  uint32_t GetSize() const override;
  uint32_t GetCompressedSize() const override;
  uint64_t GetSize64() const override { return m_size; }
  uint64_t GetCompressedSize64() const override;
  void SetSize64(uint64_t inSize) override;
  uint32_t GetCRC() const override { return m_crc; }
  void SetCRC(uint32_t inCRC) override;
  std::string GetProperty(int inKey) const override;
  // Record keys (DOS date, time, type/creator) go into the entry's headers, so they are refused
  // (code 23) once the entry has been written in the update in progress.
  void SetProperty(int inKey, const std::string& inValue) override;

  // Points inData at this entry's bytes in the package file (raw: the stored bytes as they are)
  // and returns the logical size: the compressed size in raw mode, else the uncompressed size.
  uint64_t StartPackageData(ZipPkgStreamData& inData, bool inRaw);
  // Whether a complete temporary file holds the entry's inflated data.
  bool HasTempData() const { return m_tempName && !m_tempFilling; }
  // Opens the temporary file for reading; each stream that reads it opens its own, so that no
  // file stays open after its streams close, however many entries a package has.
  PkgFSFilePtr OpenTempData() const;
  // Inflates the whole entry into a new temporary file of the package's file system, unless
  // it has one, and closes that file. On failure no temporary file is left behind.
  void FillTempData();
  // Deletes the temporary file.
  void ReleaseTempData();

  void RemoveStream(ZipPkgStream* inStream);
  // Closes every open stream on the entry.
  void CloseStreams();

  // Writer: the data written to the entry in the update in progress, compressed as the entry
  // stores them, in the package file itself (direct) or in the package's staging file.
  struct StagedData {
    bool present = false;
    bool direct = false;
    int method = 0;
    uint64_t offset = 0;
    uint64_t compressedSize = 0;
    uint64_t size = 0;
    uint32_t crc = 0;
  };
  const StagedData& GetStaged() const { return m_staged; }
  // Called by the write stream when it closes: with ioFinished after it has finished the
  // entry's data, which inBuffer may still hold (the records are completed and the entry takes
  // the data), with nulls after a failure (the entry keeps what it had). Throws when the entry's
  // records cannot be completed; the entry then keeps no new data.
  void WriteStreamClosed(ZipPkgWriteStream* inStream, StagedData* ioFinished, ZipPkgWriteStreamBuf* inBuffer);
  void ClearStaged() {
    m_staged = StagedData();
    ClearWritten();
  }
  bool IsWriting() const { return m_writeStream != nullptr; }
  void Rebind(const ZpCentralDirEntryPtr& inCentral) override;

 protected:
  ~ZipPkgFile() override;

 private:
  PkgStreamPtr OpenWriteStream(int inMode, bool inRaw);
  void FinishWrite(const StagedData& inStaged, const ZpWrittenHeader& inHeader);

  ZipPkgWriteStream* m_writeStream = nullptr;
  StagedData m_staged;
  std::vector<ZipPkgStream*> m_streams;
  PkgFSFileNamePtr m_tempName;
  bool m_tempFilling = false;
};

class ZipPkgDirectory : public ZipPkgEntry, public IPkgDirectory {
 public:
  ZipPkgDirectory(ZipPackage* inPackage, std::string inName, ZpCentralDirEntryPtr inCentral);
  PkgDirectoryPtr AsDirectory() override { return SharePkgEntry<IPkgDirectory>(this); }
  void Create() override;

 protected:
  ~ZipPkgDirectory() override = default;
};

class ZipPackage : public BasePackage {
 public:
  ZipPackage(PkgFSFileNamePtr inFileName, IPkgFileSystem* inFileSystem, PkgOptionsPtr inOptions,
             XMLParserPtr inParser, const PkgSeparators& inSeparators);
  ~ZipPackage() override;

  // Opens the package's named file with inMode (code 17 when a file is open) and loads it.
  void Open(int inMode);
  // Takes an already open file (its mode becomes the package's) and loads it.
  void OpenOnFile(const PkgFSFilePtr& inFile);

  void DoClose() override;
  int GetEntryType(const std::string& inRelativePath, const PkgDirectoryPtr& inBase) override;
  int GetEntryType(const std::string& inPath) override;
  PkgFilePtr GetEntry(const std::string& inRelativePath, const PkgDirectoryPtr& inBase, bool inMustExist) override;
  PkgFilePtr GetEntry(const std::string& inPath, bool inMustExist) override;
  PkgDirectoryPtr GetDirectory(const std::string& inRelativePath, const PkgDirectoryPtr& inBase,
                               bool inMustExist) override;
  PkgDirectoryPtr GetDirectory(const std::string& inPath, bool inMustExist) override;
  PkgDirectoryPtr GetRootDirectory() override;
  std::string GetMimeType() override;
  int GetConformanceError() const override { return m_conformanceError; }
  PkgEntryRange GetEntries(const PkgDirectoryPtr& inDirectory, const std::string& inPattern) override;

  // Writer (updates, commit, cancel): see Package.h.
  using BasePackage::BeginUpdateTo;
  using BasePackage::SaveAs;
  void BeginUpdateTo(const PkgFSFileNamePtr& inFileName, int inMode) override;
  void BeginUpdate() override;
  void BeginUpdateInPlace() override;
  void CommitUpdate() override;
  void CancelUpdate() override;
  void SetMimeType(const std::string& inMimeType) override;
  bool IsInUpdate() const { return m_update != UpdateKind::kNone; }
  // Code 37 unless an update is in progress.
  void RequireUpdate() const;
  // Where a write stream of inEntry puts the entry's data. One write stream at a time: a second
  // one is code 23.
  //
  // The first update of a new package (its file still empty and seekable) writes straight into
  // the package file: the entry's local header, with room for a ZIP64 block, and then its data.
  // When the stream closes, the header is completed with the final CRC-32 and sizes: in memory
  // while it has not been written yet, else in place (with option 0 it keeps flag bit 3 and a
  // data descriptor follows the data). Every other update appends the data to a staging file,
  // made on first use, so that the old package stays intact until the commit.
  struct WriteTarget {
    PkgFSFilePtr file;
    // Where the prefix goes; the data follow it.
    uint64_t offset = 0;
    // The entry's provisional local header (direct), or nothing.
    std::vector<uint8_t> prefix;
    bool direct = false;
  };
  WriteTarget OpenWriteTarget(const ZipPkgFile& inEntry);
  void SetStagingWriter(ZipPkgWriteStream* inStream) { m_stageWriter = inStream; }
  // The write stream inStream has closed: with inFinished its data are complete, and inBuffer
  // writes what it still holds, with the final local header (a descriptor after the data, with
  // option 0); outHeader then describes the entry's local header. False when inStream is not
  // the package's current writer, or failed.
  bool EndWrite(ZipPkgWriteStream* inStream, const ZipPkgFile& inEntry, const ZipPkgFile::StagedData* inFinished,
                ZipPkgWriteStreamBuf* inBuffer, ZpWrittenHeader& outHeader);
  // A directory created in the update: its header's date, and in a direct update its local header.
  ZpWrittenHeader WriteDirectoryHeader(const std::string& inName);
  // The file that holds the data of inStaged.
  const PkgFSFilePtr& GetStagedFile(const ZipPkgFile::StagedData& inStaged) const {
    return inStaged.direct ? m_file : m_stageFile;
  }
  // The compressor and buffers of write streams, kept between streams.
  std::unique_ptr<ZpWriteState> TakeWriteState();
  void KeepWriteState(std::unique_ptr<ZpWriteState> inState);
  // An entry that joins the package in this update (first write, or a created directory).
  void NoteCreated(ZipPkgEntry* inEntry);
  // Writer-side mimetype rules (option 100 with the repair bit): code 45 when they are broken.
  void CheckWriteConformance(const ZipPkgEntry* inEntry, bool inRemoving);

  bool IsMimetypeValid() const { return m_mimetypeValid; }
  bool IsRewriteNeeded() const { return m_rewriteNeeded; }
  // The entry object for a central directory header, made on first use.
  ZipPkgEntry* EntryFor(const ZpCentralDirEntryPtr& inCentral);
  // The entry object of exactly this name and type (no normalisation), made when missing.
  ZipPkgEntry* Lookup(const std::string& inName, int inType, bool inMustExist);

 private:
  class ZipPkgEntryIteratorImpl;

  enum class UpdateKind { kNone, kRewrite, kInPlace, kTo };

  struct PlanItem;

  void Load();
  void CheckMimetype();
  // Whether every entry of inPlan was written straight into the package file, one after the
  // other from its start in the plan's order; outEnd is then where the last one ends.
  static bool WrittenInPlanOrder(const std::vector<PlanItem>& inPlan, uint64_t& outEnd);
  // The DOS time and date of an entry's headers: those set by the client (record keys 0 and 1)
  // where they are valid, else ioTime and ioDate as given. True when a client value was used.
  bool ApplyClientStamp(const std::string& inName, uint16_t& ioTime, uint16_t& ioDate) const;
  // The type/creator block of an entry's headers from the client's record key 2 (16
  // hexadecimal digits), or nothing when the client set none or the text is not valid.
  std::vector<uint8_t> ClientTypeCreator(const std::string& inName) const;
  // The package is open (else RequireOpen's code), not in an update (35) and inMode can write (36).
  void RequireUpdateCanStart(int inMode) const;
  void StartUpdate(UpdateKind inKind, int inMode);
  void WritePropertiesDocument();
  // Drops everything an update made (staging, new entries, removals); the store is restored by
  // the caller.
  void DropUpdate();
  void ResetUpdateState(std::exception_ptr& ioFirst);
  // Re-reads the central directory of the package file just written and rebinds the entries.
  void AdoptWritten();
  // The mode the package file is opened with: a new package (out and trunc without in) is also
  // opened for reading, so that later updates can copy its entries.
  static int FileModeFor(int inMode);
  std::string BaseName(const PkgDirectoryPtr& inBase) const;

  ZpCentralDirPtr m_centralDir;
  std::map<std::string, ZipPkgEntry*> m_entries;
  bool m_mimetypeValid = false;
  int m_conformanceError = 0;
  bool m_rewriteNeeded = false;

  UpdateKind m_update = UpdateKind::kNone;
  PkgFSFileNamePtr m_targetName;
  PkgFSFilePtr m_stageFile;
  PkgFSFileNamePtr m_stageName;
  uint64_t m_stageEnd = 0;
  ZipPkgWriteStream* m_stageWriter = nullptr;
  // The update writes straight into the package file (see OpenWriteTarget), up to m_directEnd.
  bool m_direct = false;
  uint64_t m_directEnd = 0;
  // The local header of the write stream that is open.
  ZpWrittenHeader m_openHeader;
  std::unique_ptr<ZpWriteState> m_writeState;
  std::vector<ZipPkgEntry*> m_createdEntries;
};

}  // namespace zip
}  // namespace pkg
