// The zip package and its entry objects.
//
// Entry objects are made on demand (iteration, lookup) and kept in the package's map, keyed by
// name, until the package is destroyed. An entry made for a central directory header reads its
// local header at once, so a broken local header fails there with the record codes.
#pragma once

#include <cstdint>
#include <map>
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
  const ZpLocalFileEntryPtr& GetLocalHeader() const { return m_local; }

  // Writer: set while the entry is removed in the update in progress.
  void SetRemoved(bool inRemoved) { m_removed = inRemoved; }
  // Writer: a directory created in the update in progress.
  bool IsCreated() const { return m_created; }
  void SetCreated(bool inCreated) { m_created = inCreated; }
  // Writer: after a commit, the entry stands for inCentral of the new central directory (its
  // local header is read again); any data staged in the update are dropped.
  virtual void Rebind(const ZpCentralDirEntryPtr& inCentral);

 protected:
  bool m_created = false;
  ZipPackage* m_package;
  ZpCentralDirEntryPtr m_central;
  ZpLocalFileEntryPtr m_local;
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

  // Writer: the data written to the entry in the update in progress, kept (compressed as the
  // entry will store them) in the package's staging file.
  struct StagedData {
    bool present = false;
    int method = 0;
    uint64_t offset = 0;
    uint64_t compressedSize = 0;
    uint64_t size = 0;
    uint32_t crc = 0;
  };
  const StagedData& GetStaged() const { return m_staged; }
  // Called by the write stream when it has finished the entry's data.
  void FinishWrite(ZipPkgWriteStream* inStream, const StagedData& inStaged);
  // Called by the write stream when it closes (after FinishWrite when it succeeded); inEnd is
  // where its data end in the staging file.
  void WriteStreamClosed(ZipPkgWriteStream* inStream, uint64_t inEnd);
  void ClearStaged() { m_staged = StagedData(); }
  bool IsWriting() const { return m_writeStream != nullptr; }
  void Rebind(const ZpCentralDirEntryPtr& inCentral) override;

 protected:
  ~ZipPkgFile() override;

 private:
  PkgStreamPtr OpenWriteStream(int inMode, bool inRaw);

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
  // The staging file that write streams append to, made on first use, and the offset at which
  // the next entry's data go. One write stream at a time: a second one is code 23.
  PkgFSFilePtr OpenStaging(uint64_t& outOffset);
  void SetStagingWriter(ZipPkgWriteStream* inStream) { m_stageWriter = inStream; }
  void EndStaging(ZipPkgWriteStream* inStream, uint64_t inEnd);
  const PkgFSFilePtr& GetStagingFile() const { return m_stageFile; }
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

  void Load();
  void CheckMimetype();
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
  std::vector<ZipPkgEntry*> m_createdEntries;
};

}  // namespace zip
}  // namespace pkg
