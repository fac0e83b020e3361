// Encoding of the zip records that the writer emits (see the ZIP APPNOTE): local file headers,
// data descriptors, central directory headers and the end records.
//
// Every entry is described by a ZpEntryRecord. An entry needs ZIP64 when a size or its local
// header offset reaches 0xFFFFFFFF; its headers then say version 45 and carry a ZIP64 extra
// block (0x0001), otherwise version 20. The end records add the ZIP64 end record and locator
// whenever the entry count reaches 0xFFFF or the directory's size or offset 0xFFFFFFFF.
// Pure functions: no I/O, no state.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace pkg {
namespace zip {

constexpr uint16_t kZpGeneralUtf8 = 0x0800;        // general purpose bit 11: names are UTF-8
constexpr uint16_t kZpGeneralDescriptor = 0x0008;  // general purpose bit 3: data descriptor follows

struct ZpEntryRecord {
  std::string name;
  uint16_t flags = kZpGeneralUtf8;
  uint16_t method = 0;
  uint16_t dosTime = 0;
  uint16_t dosDate = 0;
  uint32_t crc = 0;
  uint64_t compressedSize = 0;
  uint64_t uncompressedSize = 0;
  uint64_t localHeaderOffset = 0;
  // High byte of "version made by": 0 (MS-DOS attributes) for new entries; kept entries keep theirs.
  uint8_t madeByHost = 0;
  uint16_t internalAttributes = 0;
  uint32_t externalAttributes = 0;
  // Extra blocks other than ZIP64, kept as they were (a kept entry's type/creator block).
  std::vector<uint8_t> otherExtra;
  std::string comment;

  bool NeedsZip64() const;
};

// Id of the padding block that holds the room of a ZIP64 block in a local header written before
// the entry's sizes are known. Readers skip extra blocks they do not know.
constexpr uint16_t kZpReserveBlockId = 0x5A50;
// Bytes of the local ZIP64 block (header and both sizes), and so of the padding block.
constexpr std::size_t kZpLocalZip64BlockSize = 20;

// The local header with name and extra field. With inDescriptor the CRC-32 and sizes are zero
// and flag bit 3 is set; the values follow the data in a descriptor. With inReserve the extra
// field always starts with kZpLocalZip64BlockSize bytes: the ZIP64 block when the entry needs
// one, else a padding block of the same size; so a header written before the data can be
// rewritten in place, with the same length, once the final CRC-32 and sizes are known.
std::vector<uint8_t> ZpEncodeLocalHeader(const ZpEntryRecord& inRecord, bool inDescriptor, bool inReserve = false);
// The data descriptor, with 8-byte sizes when the entry needs ZIP64.
std::vector<uint8_t> ZpEncodeDataDescriptor(const ZpEntryRecord& inRecord);
// The central directory header with name, extra field and comment. inDescriptor as above
// (only flag bit 3 differs: the central header always holds the values).
std::vector<uint8_t> ZpEncodeCentralHeader(const ZpEntryRecord& inRecord, bool inDescriptor);
// The end records for a central directory of inCount entries, inSize bytes at inOffset, which
// the records follow immediately. The comment is cut to 65,535 bytes.
std::vector<uint8_t> ZpEncodeEnd(uint64_t inCount, uint64_t inSize, uint64_t inOffset, const std::string& inComment);

// The DOS time and date of the current local time (1980 for clocks before 1980).
void ZpDosTimeNow(uint16_t& outTime, uint16_t& outDate);
// Bytes from their property text, two hexadecimal digits per byte in the bytes' order. False,
// with outBytes untouched, unless the text is exactly 2 * inCount such digits.
bool ZpBytesFromText(const std::string& inText, uint8_t* outBytes, std::size_t inCount);
// A DOS date or time from its property text: 4 hexadecimal digits of the 2 stored bytes in
// stored order ('214A' is 0x4A21). False, with outValue untouched, for any other text.
bool ZpDosFieldFromText(const std::string& inText, uint16_t& outValue);
// The type/creator extra block (id 0x2705: "ZPIT", then the 4-byte type and 4-byte creator).
std::vector<uint8_t> ZpEncodeTypeCreator(const uint8_t (&inTypeCreator)[8]);

// An extra field without its blocks of id inId (a kept entry's ZIP64 blocks, which the writer
// makes anew, or its type/creator block when the client set another).
std::vector<uint8_t> ZpExtraWithout(const std::vector<uint8_t>& inExtra, uint16_t inId);

constexpr uint16_t kZpZip64BlockId = 0x0001;
constexpr uint16_t kZpTypeCreatorBlockId = 0x2705;

}  // namespace zip
}  // namespace pkg
