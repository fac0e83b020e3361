#pragma once
// Byte order reversal of 2-, 4- and 8-byte values, for streams that keep big-endian files.
//   TZByteSwap16(0x0102) == 0x0201, TZByteSwap32(0x01020304) == 0x04030201

#include <cstdint>

inline uint16_t TZByteSwap16(uint16_t inValue) { return static_cast<uint16_t>((inValue >> 8) | (inValue << 8)); }

inline uint32_t TZByteSwap32(uint32_t inValue) {
  return (inValue >> 24) | ((inValue >> 8) & 0x0000FF00u) | ((inValue << 8) & 0x00FF0000u) | (inValue << 24);
}

inline uint64_t TZByteSwap64(uint64_t inValue) {
  return (static_cast<uint64_t>(TZByteSwap32(static_cast<uint32_t>(inValue))) << 32) |
         TZByteSwap32(static_cast<uint32_t>(inValue >> 32));
}
