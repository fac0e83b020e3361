#include "zip/ZpCentralDir.h"

#include <algorithm>
#include <cstring>
#include <limits>
#include <new>

#include "PkgPropertyMgr.h"
#include "ZpByteReader.h"
#include "pkg/PkgException.h"

namespace pkg {
namespace zip {

namespace {

constexpr uint64_t kMaxSeek = static_cast<uint64_t>(std::numeric_limits<int64_t>::max());
constexpr std::size_t kSearchWindow = 4096;
constexpr uint64_t kMaxReservedEntries = 1u << 20;
constexpr uint16_t kZpitBlockId = 0x2705;
constexpr uint16_t kZip64BlockId = 0x0001;

[[noreturn]] void ThrowIO(int inCode) { throw PackageIOException(inCode); }

std::string ReadText(IPkgFSFile& inFile, std::size_t inLength, int inShortCode) {
  std::string text(inLength, '\0');
  if (inLength != 0 && !ZpReadFully(inFile, &text[0], inLength)) {
    ThrowIO(inShortCode);
  }
  return text;
}

}  // namespace

bool ZpReadFully(IPkgFSFile& inFile, void* outBuffer, std::size_t inCount) {
  auto* out = static_cast<uint8_t*>(outBuffer);
  std::size_t done = 0;
  while (done < inCount) {
    const std::size_t got = inFile.Read(out + done, inCount - done);
    if (got == 0) {
      return false;
    }
    done += got;
  }
  return true;
}

bool IsPackageFile(IPkgFSFile& inFile) {
  uint8_t sig[4];
  if (!ZpReadFully(inFile, sig, sizeof(sig))) {
    return false;
  }
  if (sig[0] == 'P' && sig[1] == 'K' && sig[2] == 0x07 && sig[3] == 0x08) {
    throw PackageException(kPkgErrSplitZip);
  }
  return ZpByteReader::U32At(sig, sizeof(sig), 0) == kZpLocalHeaderSig;
}

// ---- local header

void ZpLocalFileEntry::Read(IPkgFSFile& inFile) {
  if (!ZpReadFully(inFile, m_header, sizeof(m_header))) {
    ThrowIO(kPkgErrReadCDH);
  }
  if (ZpByteReader::U32At(m_header, sizeof(m_header), 0) != kZpLocalHeaderSig) {
    ThrowIO(kPkgErrBadLFHSignature);
  }
  m_name = ReadText(inFile, GetNameLength(), kPkgErrReadFileName);
  const std::size_t extraLength = GetExtraLength();
  try {
    m_extra.assign(extraLength, 0);
  } catch (const std::bad_alloc&) {
    throw PackageException(kPkgErrOutOfMemory);
  }
  if (extraLength != 0 && !ZpReadFully(inFile, m_extra.data(), extraLength)) {
    ThrowIO(kPkgErrReadExtraField);
  }
}

uint16_t ZpLocalFileEntry::GetMethod() const { return ZpByteReader::U16At(m_header, sizeof(m_header), 8); }
uint16_t ZpLocalFileEntry::GetNameLength() const { return ZpByteReader::U16At(m_header, sizeof(m_header), 26); }
uint16_t ZpLocalFileEntry::GetExtraLength() const { return ZpByteReader::U16At(m_header, sizeof(m_header), 28); }

// ---- central directory header

void ZpCentralDirEntry::Read(IPkgFSFile& inFile) {
  if (!ZpReadFully(inFile, m_header, sizeof(m_header))) {
    ThrowIO(kPkgErrReadCDH);
  }
  const std::size_t size = sizeof(m_header);
  if (ZpByteReader::U32At(m_header, size, 0) != kZpCentralHeaderSig) {
    ThrowIO(kPkgErrBadCDHSignature);
  }
  m_name = ReadText(inFile, ZpByteReader::U16At(m_header, size, 28), kPkgErrReadFileName);
  const std::size_t extraLength = ZpByteReader::U16At(m_header, size, 30);
  m_extra.assign(extraLength, 0);
  if (extraLength != 0 && !ZpReadFully(inFile, m_extra.data(), extraLength)) {
    ThrowIO(kPkgErrReadExtraField);
  }
  m_comment = ReadText(inFile, ZpByteReader::U16At(m_header, size, 32), kPkgErrReadComment);

  m_uncompressedSize = ZpByteReader::U32At(m_header, size, 24);
  m_compressedSize = ZpByteReader::U32At(m_header, size, 20);
  m_localHeaderOffset = ZpByteReader::U32At(m_header, size, 42);
  ParseExtra();
}

void ZpCentralDirEntry::ParseExtra() {
  const std::size_t size = sizeof(m_header);
  const bool wantUncompressed = ZpByteReader::U32At(m_header, size, 24) == 0xFFFFFFFFu;
  const bool wantCompressed = ZpByteReader::U32At(m_header, size, 20) == 0xFFFFFFFFu;
  const bool wantOffset = ZpByteReader::U32At(m_header, size, 42) == 0xFFFFFFFFu;

  ZpByteReader blocks(m_extra.data(), m_extra.size());
  while (blocks.Has(4)) {
    const uint16_t id = blocks.U16();
    const uint16_t dataSize = blocks.U16();
    // Only the part of the block that lies inside the extra field is looked at.
    ZpByteReader data(blocks.Here(), std::min<std::size_t>(dataSize, blocks.Remaining()));
    if (id == kZip64BlockId) {
      if (wantUncompressed && data.Has(8)) {
        m_uncompressedSize = data.U64();
      }
      if (wantCompressed && data.Has(8)) {
        m_compressedSize = data.U64();
      }
      if (wantOffset && data.Has(8)) {
        m_localHeaderOffset = data.U64();
      }
    } else if (id == kZpitBlockId && data.Has(12) && std::memcmp(data.Here(), "ZPIT", 4) == 0) {
      m_typeCreator = static_cast<std::size_t>(data.Here() + 4 - m_extra.data());
    }
    if (!blocks.Has(dataSize)) {
      break;
    }
    blocks.Skip(dataSize);
  }
}

ZpLocalFileEntryPtr ZpCentralDirEntry::ReadLocalHeader(IPkgFSFile& inFile) const {
  if (inFile.IsSeekable()) {
    if (m_localHeaderOffset > kMaxSeek) {
      ThrowIO(kPkgErrReadCDH);
    }
    inFile.Seek(static_cast<int64_t>(m_localHeaderOffset), kPkgSeekBegin);
  }
  ZpLocalFileEntryPtr local(new ZpLocalFileEntry());
  local->Read(inFile);
  return local;
}

uint16_t ZpCentralDirEntry::GetMethod() const { return ZpByteReader::U16At(m_header, sizeof(m_header), 10); }
uint16_t ZpCentralDirEntry::GetFlags() const { return ZpByteReader::U16At(m_header, sizeof(m_header), 8); }
uint32_t ZpCentralDirEntry::GetCRC() const { return ZpByteReader::U32At(m_header, sizeof(m_header), 16); }

// ---- central directory

namespace {
void PutU32(uint8_t* outBytes, uint32_t inValue) {
  for (int i = 0; i < 4; ++i) {
    outBytes[i] = static_cast<uint8_t>(inValue >> (8 * i));
  }
}
}  // namespace

ZpCentralDir::ZpCentralDir() {
  PutU32(m_end, kZpEndSig);
  PutU32(m_zip64Locator, kZpZip64LocatorSig);
  PutU32(m_zip64End, kZpZip64EndSig);
  m_entries.reserve(10);
}

void ZpCentralDir::ReadEnd(IPkgFSFile& inFile, PkgPropertyMgr* inProperties) {
  if (!inFile.IsSeekable()) {
    ThrowIO(kPkgErrReadECD);
  }
  inFile.Seek(0, kPkgSeekEnd);
  const int64_t fileSize = inFile.Tell();
  if (fileSize < static_cast<int64_t>(kZpEndSize)) {
    ThrowIO(kPkgErrReadECD);
  }
  m_fileSize = static_cast<uint64_t>(fileSize);

  uint64_t position = m_fileSize - kZpEndSize;
  inFile.Seek(static_cast<int64_t>(position), kPkgSeekBegin);
  if (!ZpReadFully(inFile, m_end, kZpEndSize)) {
    ThrowIO(kPkgErrReadECD);
  }
  if (ZpByteReader::U32At(m_end, kZpEndSize, 0) != kZpEndSig) {
    uint8_t window[kSearchWindow];
    bool found = false;
    while (!found) {
      const std::size_t width = static_cast<std::size_t>(std::min<uint64_t>(position, kSearchWindow));
      if (width < 4) {
        throw PackageException(kPkgErrFindECD);
      }
      // Consecutive windows overlap by 3 bytes so that a signature across their border is found.
      position -= width - 3;
      inFile.Seek(static_cast<int64_t>(position), kPkgSeekBegin);
      if (!ZpReadFully(inFile, window, width)) {
        ThrowIO(kPkgErrReadECD);
      }
      for (std::size_t i = width - 4 + 1; i-- > 0;) {
        if (ZpByteReader::U32At(window, width, i) != kZpEndSig) {
          continue;
        }
        const std::size_t inWindow = std::min<std::size_t>(width - i, kZpEndSize);
        std::memcpy(m_end, window + i, inWindow);
        // The file stands right after the window: the rest of the record follows there.
        if (inWindow < kZpEndSize && !ZpReadFully(inFile, m_end + inWindow, kZpEndSize - inWindow)) {
          ThrowIO(kPkgErrReadECD);
        }
        const uint16_t commentLength = ZpByteReader::U16At(m_end, kZpEndSize, 20);
        if (commentLength != 0) {
          inFile.Seek(static_cast<int64_t>(position + i + kZpEndSize), kPkgSeekBegin);
          m_comment = ReadText(inFile, commentLength, kPkgErrReadComment);
          if (inProperties != nullptr) {
            inProperties->SetRecordProperty("/", PkgPropertyMgr::kKeyComment, m_comment, 0);
          }
        }
        found = true;
        break;
      }
    }
  }
  m_entryCount = ZpByteReader::U16At(m_end, kZpEndSize, 10);
  m_size = ZpByteReader::U32At(m_end, kZpEndSize, 12);
  m_offset = ZpByteReader::U32At(m_end, kZpEndSize, 16);
}

void ZpCentralDir::ReadZip64End(IPkgFSFile& inFile) {
  if (m_entryCount != 0xFFFF && m_size != 0xFFFFFFFFu && m_offset != 0xFFFFFFFFu) {
    return;
  }
  if (!inFile.IsSeekable()) {
    ThrowIO(kPkgErrReadZip64ECDL);
  }
  // The locator directly precedes the end record and its comment.
  const uint64_t back = ZpByteReader::U16At(m_end, kZpEndSize, 20) + kZpEndSize + kZpZip64LocatorSize;
  if (m_fileSize < back) {
    ThrowIO(kPkgErrReadZip64ECDL);
  }
  inFile.Seek(static_cast<int64_t>(m_fileSize - back), kPkgSeekBegin);
  if (!ZpReadFully(inFile, m_zip64Locator, kZpZip64LocatorSize)) {
    ThrowIO(kPkgErrReadZip64ECDL);
  }
  if (ZpByteReader::U32At(m_zip64Locator, kZpZip64LocatorSize, 0) != kZpZip64LocatorSig) {
    ThrowIO(kPkgErrBadZip64ECDLSignature);
  }
  const uint64_t endOffset = ZpByteReader::U64At(m_zip64Locator, kZpZip64LocatorSize, 8);
  if (endOffset > kMaxSeek) {
    ThrowIO(kPkgErrReadZip64ECD);
  }
  inFile.Seek(static_cast<int64_t>(endOffset), kPkgSeekBegin);
  if (!ZpReadFully(inFile, m_zip64End, kZpZip64EndSize)) {
    ThrowIO(kPkgErrReadZip64ECD);
  }
  if (ZpByteReader::U32At(m_zip64End, kZpZip64EndSize, 0) != kZpZip64EndSig) {
    ThrowIO(kPkgErrBadZip64ECDSignature);
  }
  m_entryCount = ZpByteReader::U64At(m_zip64End, kZpZip64EndSize, 32);
  m_size = ZpByteReader::U64At(m_zip64End, kZpZip64EndSize, 40);
  m_offset = ZpByteReader::U64At(m_zip64End, kZpZip64EndSize, 48);
}

void ZpCentralDir::ReadEntries(IPkgFSFile& inFile) {
  if (m_entryCount > 0xFFFFFFFFu || m_entryCount > kZpMaxEntries) {
    ThrowIO(kPkgErrTooManyEntries);
  }
  // The count comes from the archive: reserve no more than the bytes after the directory's
  // offset could hold (each header takes at least 46), and no more than a bounded amount up
  // front; a longer list grows as headers are actually read.
  uint64_t room = std::min<uint64_t>(m_entryCount + 10, kZpMaxEntries);
  if (m_fileSize != 0) {
    const uint64_t after = m_fileSize - std::min(m_offset, m_fileSize);
    room = std::min<uint64_t>(room, after / kZpCentralHeaderSize + 10);
  }
  room = std::min<uint64_t>(room, kMaxReservedEntries);
  m_entries.clear();
  m_entries.reserve(static_cast<std::size_t>(room));

  if (inFile.IsSeekable()) {
    if (m_offset > kMaxSeek) {
      ThrowIO(kPkgErrReadCDH);
    }
    inFile.Seek(static_cast<int64_t>(m_offset), kPkgSeekBegin);
  }
  for (uint64_t i = 0; i < m_entryCount; ++i) {
    ZpCentralDirEntryPtr entry(new ZpCentralDirEntry());
    entry->Read(inFile);
    m_entries.push_back(entry);
  }
}

ZpCentralDirEntryPtr ZpCentralDir::FindEntry(const std::string& inName) const {
  for (const auto& entry : m_entries) {
    if (entry->GetName() == inName) {
      return entry;
    }
  }
  return ZpCentralDirEntryPtr();
}

}  // namespace zip
}  // namespace pkg
