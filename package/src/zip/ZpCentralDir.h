// The zip records of a package (see the ZIP APPNOTE): the end of central directory record with
// its ZIP64 locator and end record, central directory headers and local file headers.
//
// All bytes come from an IPkgFSFile and are taken apart with ZpByteReader; counts and offsets
// read from the file are checked before they size an allocation. Failures are PackageIOException
// with the record codes (2 to 16). The archive comment is reported to the PkgPropertyMgr given,
// when there is one; an entry's date, time and type/creator stay in its header and extra field,
// where the package reads them when they are asked for.
//
// Reading a package: IsPackageFile, ReadEnd, ReadZip64End, ReadEntries; each entry's local
// header is read when its entry object is made (ReadLocalHeader). Not thread-safe.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include <boost/shared_ptr.hpp>

#include "pkg/PkgFileSystem.h"

namespace pkg {

class PkgPropertyMgr;

namespace zip {

constexpr uint32_t kZpLocalHeaderSig = 0x04034B50;
constexpr uint32_t kZpCentralHeaderSig = 0x02014B50;
constexpr uint32_t kZpEndSig = 0x06054B50;
constexpr uint32_t kZpZip64LocatorSig = 0x07064B50;
constexpr uint32_t kZpZip64EndSig = 0x06064B50;
constexpr uint32_t kZpDataDescriptorSig = 0x08074B50;

constexpr std::size_t kZpLocalHeaderSize = 30;
constexpr std::size_t kZpCentralHeaderSize = 46;
constexpr std::size_t kZpEndSize = 22;
constexpr std::size_t kZpZip64LocatorSize = 20;
constexpr std::size_t kZpZip64EndSize = 56;
constexpr uint64_t kZpMaxEntries = 0x1FFFFFFF;

// Reads inCount bytes, looping over short reads; false when the file ends first.
bool ZpReadFully(IPkgFSFile& inFile, void* outBuffer, std::size_t inCount);

// Reads 4 bytes at the current position: the split-archive marker "PK\x07\x08" is code 16, a
// local header signature is true, anything else (and a short read) false.
bool IsPackageFile(IPkgFSFile& inFile);

class ZpLocalFileEntry {
 public:
  // Reads one local header at the current position: code 2 short header, 8 bad signature,
  // 4 short name, 5 short extra field.
  void Read(IPkgFSFile& inFile);

  uint16_t GetMethod() const;
  uint16_t GetNameLength() const;
  uint16_t GetExtraLength() const;
  const std::string& GetName() const { return m_name; }
  // Header, name and extra field together: the entry's data follow them.
  uint64_t GetTotalSize() const { return kZpLocalHeaderSize + GetNameLength() + GetExtraLength(); }

 private:
  uint8_t m_header[kZpLocalHeaderSize] = {};
  std::string m_name;
  std::vector<uint8_t> m_extra;
};
using ZpLocalFileEntryPtr = boost::shared_ptr<ZpLocalFileEntry>;

class ZpCentralDirEntry {
 public:
  // Reads one central directory header at the current position: code 2 short header, 3 bad
  // signature, 4/5/6 short name/extra field/comment. ZIP64 values and a "ZPIT" type/creator
  // block are taken from the extra field.
  void Read(IPkgFSFile& inFile);

  // Seeks (when the file can seek) to the local header offset and reads the local header there.
  ZpLocalFileEntryPtr ReadLocalHeader(IPkgFSFile& inFile) const;

  const std::string& GetName() const { return m_name; }
  const std::string& GetComment() const { return m_comment; }
  const std::vector<uint8_t>& GetExtra() const { return m_extra; }
  // The 46 stored header bytes (the writer copies kept entries' fields from them).
  const uint8_t* GetHeader() const { return m_header; }
  uint16_t GetMethod() const;
  uint16_t GetFlags() const;
  uint32_t GetCRC() const;
  // The DOS date and time as their 2 stored bytes.
  const uint8_t* GetDosDateBytes() const { return m_header + 14; }
  const uint8_t* GetDosTimeBytes() const { return m_header + 12; }
  // The 8 type/creator bytes of the last "ZPIT" block, or null when there is none.
  const uint8_t* GetTypeCreatorBytes() const {
    return m_typeCreator == kNoTypeCreator ? nullptr : m_extra.data() + m_typeCreator;
  }
  uint64_t GetUncompressedSize() const { return m_uncompressedSize; }
  uint64_t GetCompressedSize() const { return m_compressedSize; }
  uint64_t GetLocalHeaderOffset() const { return m_localHeaderOffset; }

 private:
  static constexpr std::size_t kNoTypeCreator = static_cast<std::size_t>(-1);

  void ParseExtra();

  uint8_t m_header[kZpCentralHeaderSize] = {};
  std::string m_name;
  std::vector<uint8_t> m_extra;
  std::string m_comment;
  uint64_t m_uncompressedSize = 0;
  uint64_t m_compressedSize = 0;
  uint64_t m_localHeaderOffset = 0;
  // Where the type/creator bytes lie in m_extra.
  std::size_t m_typeCreator = kNoTypeCreator;
};
using ZpCentralDirEntryPtr = boost::shared_ptr<ZpCentralDirEntry>;

class ZpCentralDir {
 public:
  // An empty directory, as the writer starts it: the three record signatures set, all else 0.
  ZpCentralDir();

  // Finds the end record (the last 22 bytes, else a backward search in 4 KiB windows that
  // overlap by 3 bytes) and the archive comment (property 1000 of "/"), and sets the totals.
  // Code 10 when the file cannot seek or a read comes up short, 11 when no record is found,
  // 6 when the comment is cut short.
  void ReadEnd(IPkgFSFile& inFile, PkgPropertyMgr* inProperties);

  // When the end record holds 0xFFFF entries or an all-ones size or offset, reads the ZIP64
  // locator and end record and takes all three totals from them. Codes 12 to 15.
  void ReadZip64End(IPkgFSFile& inFile);

  // Reads all central directory headers from the directory's offset. Code 9 for more than
  // 0x1FFFFFFF entries.
  void ReadEntries(IPkgFSFile& inFile);

  // The first entry in stored order whose name equals inName byte for byte, or null.
  ZpCentralDirEntryPtr FindEntry(const std::string& inName) const;

  const std::vector<ZpCentralDirEntryPtr>& GetEntries() const { return m_entries; }
  const std::string& GetComment() const { return m_comment; }
  uint64_t GetEntryCount() const { return m_entryCount; }
  uint64_t GetSize() const { return m_size; }
  uint64_t GetOffset() const { return m_offset; }

 private:
  uint8_t m_end[kZpEndSize] = {};
  uint8_t m_zip64Locator[kZpZip64LocatorSize] = {};
  uint8_t m_zip64End[kZpZip64EndSize] = {};
  std::string m_comment;
  uint64_t m_entryCount = 0;
  uint64_t m_size = 0;
  uint64_t m_offset = 0;
  // Size of the package file as ReadEnd found it; bounds the room reserved for entries.
  uint64_t m_fileSize = 0;
  std::vector<ZpCentralDirEntryPtr> m_entries;
};
using ZpCentralDirPtr = boost::shared_ptr<ZpCentralDir>;

}  // namespace zip
}  // namespace pkg
