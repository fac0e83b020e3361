// A bounds-checked little-endian cursor over bytes read from a package. Every field of a zip
// record is taken through it; a read past the end is a broken internal contract and throws
// code 22 rather than touching memory outside the buffer.
#pragma once

#include <cstddef>
#include <cstdint>

#include "pkg/PkgException.h"

namespace pkg {
namespace zip {

class ZpByteReader {
 public:
  ZpByteReader(const uint8_t* inData, std::size_t inSize) : m_data(inData), m_size(inSize) {}

  std::size_t Remaining() const { return m_size - m_pos; }
  bool Has(std::size_t inCount) const { return inCount <= Remaining(); }
  std::size_t Position() const { return m_pos; }
  const uint8_t* Here() const { return m_data + m_pos; }

  void Skip(std::size_t inCount) {
    Need(inCount);
    m_pos += inCount;
  }
  uint16_t U16() { return static_cast<uint16_t>(Little(2)); }
  uint32_t U32() { return static_cast<uint32_t>(Little(4)); }
  uint64_t U64() { return Little(8); }

  // Field readers at a fixed offset, for fixed-size headers.
  static uint16_t U16At(const uint8_t* inData, std::size_t inSize, std::size_t inOffset) {
    ZpByteReader r(inData, inSize);
    r.Skip(inOffset);
    return r.U16();
  }
  static uint32_t U32At(const uint8_t* inData, std::size_t inSize, std::size_t inOffset) {
    ZpByteReader r(inData, inSize);
    r.Skip(inOffset);
    return r.U32();
  }
  static uint64_t U64At(const uint8_t* inData, std::size_t inSize, std::size_t inOffset) {
    ZpByteReader r(inData, inSize);
    r.Skip(inOffset);
    return r.U64();
  }

 private:
  void Need(std::size_t inCount) const {
    if (!Has(inCount)) {
      throw PackageException(kPkgErrBadArgument);
    }
  }
  uint64_t Little(std::size_t inWidth) {
    Need(inWidth);
    uint64_t value = 0;
    for (std::size_t i = 0; i < inWidth; ++i) {
      value |= static_cast<uint64_t>(m_data[m_pos + i]) << (8 * i);
    }
    m_pos += inWidth;
    return value;
  }

  const uint8_t* m_data;
  std::size_t m_size;
  std::size_t m_pos = 0;
};

}  // namespace zip
}  // namespace pkg
