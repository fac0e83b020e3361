#include "zip/ZpRecordWriter.h"

#include <algorithm>
#include <ctime>

#include "zip/ZpCentralDir.h"

namespace pkg {
namespace zip {

namespace {

constexpr uint32_t kMax32 = 0xFFFFFFFFu;
constexpr uint16_t kMax16 = 0xFFFFu;
constexpr uint16_t kVersion20 = 20;
constexpr uint16_t kVersion45 = 45;

class ByteSink {
 public:
  explicit ByteSink(std::vector<uint8_t>& ioBytes) : m_bytes(ioBytes) {}
  void U16(uint16_t inValue) { Little(inValue, 2); }
  void U32(uint32_t inValue) { Little(inValue, 4); }
  void U64(uint64_t inValue) { Little(inValue, 8); }
  void Bytes(const void* inData, std::size_t inCount) {
    const auto* data = static_cast<const uint8_t*>(inData);
    m_bytes.insert(m_bytes.end(), data, data + inCount);
  }

 private:
  void Little(uint64_t inValue, int inWidth) {
    for (int i = 0; i < inWidth; ++i) {
      m_bytes.push_back(static_cast<uint8_t>(inValue >> (8 * i)));
    }
  }
  std::vector<uint8_t>& m_bytes;
};

bool Over32(uint64_t inValue) { return inValue >= kMax32; }

uint32_t Field32(uint64_t inValue) { return Over32(inValue) ? kMax32 : static_cast<uint32_t>(inValue); }

uint16_t VersionOf(const ZpEntryRecord& inRecord) { return inRecord.NeedsZip64() ? kVersion45 : kVersion20; }

}  // namespace

bool ZpEntryRecord::NeedsZip64() const {
  return Over32(compressedSize) || Over32(uncompressedSize) || Over32(localHeaderOffset);
}

std::vector<uint8_t> ZpEncodeLocalHeader(const ZpEntryRecord& inRecord, bool inDescriptor, bool inReserve) {
  const bool zip64 = inRecord.NeedsZip64();
  std::vector<uint8_t> extra;
  ByteSink extraSink(extra);
  if (zip64) {
    // The local ZIP64 block always holds both sizes (APPNOTE 4.5.3).
    extraSink.U16(kZpZip64BlockId);
    extraSink.U16(16);
    extraSink.U64(inDescriptor ? 0 : inRecord.uncompressedSize);
    extraSink.U64(inDescriptor ? 0 : inRecord.compressedSize);
  } else if (inReserve) {
    extraSink.U16(kZpReserveBlockId);
    extraSink.U16(16);
    extraSink.U64(0);
    extraSink.U64(0);
  }
  extraSink.Bytes(inRecord.otherExtra.data(), inRecord.otherExtra.size());

  std::vector<uint8_t> bytes;
  bytes.reserve(kZpLocalHeaderSize + inRecord.name.size() + extra.size());
  ByteSink sink(bytes);
  sink.U32(kZpLocalHeaderSig);
  sink.U16(VersionOf(inRecord));
  sink.U16(static_cast<uint16_t>(inDescriptor ? (inRecord.flags | kZpGeneralDescriptor)
                                              : (inRecord.flags & ~kZpGeneralDescriptor)));
  sink.U16(inRecord.method);
  sink.U16(inRecord.dosTime);
  sink.U16(inRecord.dosDate);
  sink.U32(inDescriptor ? 0 : inRecord.crc);
  if (zip64) {
    sink.U32(kMax32);
    sink.U32(kMax32);
  } else {
    sink.U32(inDescriptor ? 0 : static_cast<uint32_t>(inRecord.compressedSize));
    sink.U32(inDescriptor ? 0 : static_cast<uint32_t>(inRecord.uncompressedSize));
  }
  sink.U16(static_cast<uint16_t>(inRecord.name.size()));
  sink.U16(static_cast<uint16_t>(extra.size()));
  sink.Bytes(inRecord.name.data(), inRecord.name.size());
  sink.Bytes(extra.data(), extra.size());
  return bytes;
}

std::vector<uint8_t> ZpEncodeDataDescriptor(const ZpEntryRecord& inRecord) {
  std::vector<uint8_t> bytes;
  ByteSink sink(bytes);
  sink.U32(kZpDataDescriptorSig);
  sink.U32(inRecord.crc);
  if (inRecord.NeedsZip64()) {
    sink.U64(inRecord.compressedSize);
    sink.U64(inRecord.uncompressedSize);
  } else {
    sink.U32(static_cast<uint32_t>(inRecord.compressedSize));
    sink.U32(static_cast<uint32_t>(inRecord.uncompressedSize));
  }
  return bytes;
}

std::vector<uint8_t> ZpEncodeCentralHeader(const ZpEntryRecord& inRecord, bool inDescriptor) {
  std::vector<uint8_t> extra;
  ByteSink extraSink(extra);
  // Only the values whose 32-bit fields overflow, in the APPNOTE's order.
  std::vector<uint64_t> wide;
  if (Over32(inRecord.uncompressedSize)) {
    wide.push_back(inRecord.uncompressedSize);
  }
  if (Over32(inRecord.compressedSize)) {
    wide.push_back(inRecord.compressedSize);
  }
  if (Over32(inRecord.localHeaderOffset)) {
    wide.push_back(inRecord.localHeaderOffset);
  }
  if (!wide.empty()) {
    extraSink.U16(kZpZip64BlockId);
    extraSink.U16(static_cast<uint16_t>(wide.size() * 8));
    for (uint64_t value : wide) {
      extraSink.U64(value);
    }
  }
  extraSink.Bytes(inRecord.otherExtra.data(), inRecord.otherExtra.size());
  const std::size_t commentLength = inRecord.comment.size() > kMax16 ? kMax16 : inRecord.comment.size();

  std::vector<uint8_t> bytes;
  bytes.reserve(kZpCentralHeaderSize + inRecord.name.size() + extra.size() + commentLength);
  ByteSink sink(bytes);
  const uint16_t version = VersionOf(inRecord);
  sink.U32(kZpCentralHeaderSig);
  sink.U16(static_cast<uint16_t>((inRecord.madeByHost << 8) | version));
  sink.U16(version);
  sink.U16(static_cast<uint16_t>(inDescriptor ? (inRecord.flags | kZpGeneralDescriptor)
                                              : (inRecord.flags & ~kZpGeneralDescriptor)));
  sink.U16(inRecord.method);
  sink.U16(inRecord.dosTime);
  sink.U16(inRecord.dosDate);
  sink.U32(inRecord.crc);
  sink.U32(Field32(inRecord.compressedSize));
  sink.U32(Field32(inRecord.uncompressedSize));
  sink.U16(static_cast<uint16_t>(inRecord.name.size()));
  sink.U16(static_cast<uint16_t>(extra.size()));
  sink.U16(static_cast<uint16_t>(commentLength));
  sink.U16(0);
  sink.U16(inRecord.internalAttributes);
  sink.U32(inRecord.externalAttributes);
  sink.U32(Field32(inRecord.localHeaderOffset));
  sink.Bytes(inRecord.name.data(), inRecord.name.size());
  sink.Bytes(extra.data(), extra.size());
  sink.Bytes(inRecord.comment.data(), commentLength);
  return bytes;
}

std::vector<uint8_t> ZpEncodeEnd(uint64_t inCount, uint64_t inSize, uint64_t inOffset, const std::string& inComment) {
  std::vector<uint8_t> bytes;
  ByteSink sink(bytes);
  const bool zip64 = inCount >= kMax16 || Over32(inSize) || Over32(inOffset);
  if (zip64) {
    const uint64_t recordOffset = inOffset + inSize;
    sink.U32(kZpZip64EndSig);
    sink.U64(kZpZip64EndSize - 12);  // the record's size without its first 12 bytes
    sink.U16(kVersion45);
    sink.U16(kVersion45);
    sink.U32(0);
    sink.U32(0);
    sink.U64(inCount);
    sink.U64(inCount);
    sink.U64(inSize);
    sink.U64(inOffset);
    sink.U32(kZpZip64LocatorSig);
    sink.U32(0);
    sink.U64(recordOffset);
    sink.U32(1);
  }
  const std::size_t commentLength = inComment.size() > kMax16 ? kMax16 : inComment.size();
  const uint16_t count16 = inCount >= kMax16 ? kMax16 : static_cast<uint16_t>(inCount);
  sink.U32(kZpEndSig);
  sink.U16(0);
  sink.U16(0);
  sink.U16(count16);
  sink.U16(count16);
  sink.U32(Field32(inSize));
  sink.U32(Field32(inOffset));
  sink.U16(static_cast<uint16_t>(commentLength));
  sink.Bytes(inComment.data(), commentLength);
  return bytes;
}

void ZpDosTimeNow(uint16_t& outTime, uint16_t& outDate) {
  const std::time_t now = std::time(nullptr);
  std::tm local{};
  localtime_r(&now, &local);
  if (local.tm_year < 80) {
    outTime = 0;
    outDate = static_cast<uint16_t>((1 << 5) | 1);  // 1980-01-01
    return;
  }
  outTime = static_cast<uint16_t>((local.tm_hour << 11) | (local.tm_min << 5) | (local.tm_sec / 2));
  outDate = static_cast<uint16_t>(((local.tm_year - 80) << 9) | ((local.tm_mon + 1) << 5) | local.tm_mday);
}

bool ZpBytesFromText(const std::string& inText, uint8_t* outBytes, std::size_t inCount) {
  if (inText.size() != 2 * inCount) {
    return false;
  }
  std::vector<uint8_t> bytes(inCount, 0);
  for (std::size_t i = 0; i < inText.size(); ++i) {
    const char c = inText[i];
    int digit = 0;
    if (c >= '0' && c <= '9') {
      digit = c - '0';
    } else if (c >= 'A' && c <= 'F') {
      digit = c - 'A' + 10;
    } else if (c >= 'a' && c <= 'f') {
      digit = c - 'a' + 10;
    } else {
      return false;
    }
    bytes[i / 2] = static_cast<uint8_t>((bytes[i / 2] << 4) | digit);
  }
  std::copy(bytes.begin(), bytes.end(), outBytes);
  return true;
}

bool ZpDosFieldFromText(const std::string& inText, uint16_t& outValue) {
  uint8_t bytes[2] = {0, 0};
  if (!ZpBytesFromText(inText, bytes, 2)) {
    return false;
  }
  outValue = static_cast<uint16_t>(bytes[0] | (bytes[1] << 8));
  return true;
}

std::vector<uint8_t> ZpEncodeTypeCreator(const uint8_t (&inTypeCreator)[8]) {
  std::vector<uint8_t> bytes;
  ByteSink sink(bytes);
  sink.U16(kZpTypeCreatorBlockId);
  sink.U16(12);
  sink.Bytes("ZPIT", 4);
  sink.Bytes(inTypeCreator, sizeof(inTypeCreator));
  return bytes;
}

std::vector<uint8_t> ZpExtraWithout(const std::vector<uint8_t>& inExtra, uint16_t inId) {
  std::vector<uint8_t> kept;
  std::size_t pos = 0;
  while (pos + 4 <= inExtra.size()) {
    const uint16_t id = static_cast<uint16_t>(inExtra[pos] | (inExtra[pos + 1] << 8));
    const std::size_t size = static_cast<std::size_t>(inExtra[pos + 2] | (inExtra[pos + 3] << 8));
    if (pos + 4 + size > inExtra.size()) {
      break;  // a block that runs past the field is dropped, as the reader ignores it
    }
    if (id != inId) {
      kept.insert(kept.end(), inExtra.begin() + static_cast<std::ptrdiff_t>(pos),
                  inExtra.begin() + static_cast<std::ptrdiff_t>(pos + 4 + size));
    }
    pos += 4 + size;
  }
  return kept;
}

}  // namespace zip
}  // namespace pkg
