#include "platform/CTZStream.h"

#include <algorithm>
#include <cstring>

namespace {

void ReverseBytes(uint8_t* ioValue, size_t inSize) { std::reverse(ioValue, ioValue + inSize); }

}  // namespace

CTZStream::CTZStream(std::unique_ptr<ITZXferBytes> inBytes) : m_bytes(std::move(inBytes)) {}

CTZStream::~CTZStream() = default;

size_t CTZStream::MoveValues(void* ioValues, size_t inSize, size_t inCount) {
  uint8_t* values = static_cast<uint8_t*>(ioValues);
  if (m_swapBytes == 0) return MoveBytes(values, inSize * inCount) / inSize;
  if (IsReadStream()) {
    const size_t moved = MoveBytes(values, inSize * inCount) / inSize;
    for (size_t i = 0; i < moved; ++i) ReverseBytes(values + i * inSize, inSize);
    return moved;
  }
  for (size_t i = 0; i < inCount; ++i) {
    uint8_t swapped[8];
    std::memcpy(swapped, values + i * inSize, inSize);
    ReverseBytes(swapped, inSize);
    if (MoveBytes(swapped, inSize) != inSize) return i;
  }
  return inCount;
}

size_t CTZStream::XferBytes(void* ioBuffer, size_t inCount) { return MoveBytes(ioBuffer, inCount); }

bool CTZStream::XferChar(char& ioChar) { return MoveBytes(&ioChar, 1) == 1; }

size_t CTZStream::XferBoolArray(int16_t* ioValues, size_t inCount) {
  return XferInt16Array(ioValues, inCount);
}

size_t CTZStream::XferInt16Array(int16_t* ioValues, size_t inCount) {
  return MoveValues(ioValues, sizeof *ioValues, inCount);
}

bool CTZStream::XferInt16(int16_t& ioValue) { return MoveValues(&ioValue, sizeof ioValue, 1) == 1; }

size_t CTZStream::XferInt32Array(int32_t* ioValues, size_t inCount) {
  return MoveValues(ioValues, sizeof *ioValues, inCount);
}

bool CTZStream::XferInt32(int32_t& ioValue) { return MoveValues(&ioValue, sizeof ioValue, 1) == 1; }

bool CTZStream::XferInt64(int64_t& ioValue) {
  // Writing sends the halves of ioValue; reading replaces them, and the value is put together
  // from whatever the halves hold afterwards.
  const uint64_t value = static_cast<uint64_t>(ioValue);
  int32_t high = static_cast<int32_t>(static_cast<uint32_t>(value >> 32));
  int32_t low = static_cast<int32_t>(static_cast<uint32_t>(value));
  if (!XferInt32(high) || !XferInt32(low)) return false;
  ioValue = static_cast<int64_t>((static_cast<uint64_t>(static_cast<uint32_t>(high)) << 32) |
                                 static_cast<uint32_t>(low));
  return true;
}

size_t CTZStream::Xfer32Array(uint32_t* ioValues, size_t inCount) {
  for (size_t i = 0; i < inCount; ++i) {
    if (!Xfer32(ioValues[i])) return i;
  }
  return inCount;
}

bool CTZStream::Xfer32(uint32_t& ioValue) { return MoveValues(&ioValue, sizeof ioValue, 1) == 1; }

size_t CTZStream::Xfer32Array(float* ioValues, size_t inCount) {
  for (size_t i = 0; i < inCount; ++i) {
    if (!Xfer32(ioValues[i])) return i;
  }
  return inCount;
}

bool CTZStream::Xfer32(float& ioValue) {
  static_assert(sizeof(float) == 4, "4-byte floats");
  return MoveValues(&ioValue, sizeof ioValue, 1) == 1;
}

size_t CTZStream::Xfer64Array(uint64_t* ioValues, size_t inCount) {
  for (size_t i = 0; i < inCount; ++i) {
    if (IsReadStream() && GetState() != ITZXferBytes::kStateGood) return i;
    if (!Xfer64(ioValues[i])) return i;
  }
  return inCount;
}

bool CTZStream::Xfer64(uint64_t& ioValue) {
  if (m_swapBytes == 0) return MoveBytes(&ioValue, sizeof ioValue) == sizeof ioValue;
  // Byte by byte from the most significant end: the file holds the value big-endian.
  uint8_t* bytes = reinterpret_cast<uint8_t*>(&ioValue);
  for (size_t i = sizeof ioValue; i > 0; --i) {
    if (MoveBytes(bytes + i - 1, 1) != 1) return false;
  }
  return true;
}

int64_t CTZStream::Seek(int64_t inOffset, int inOrigin) { return m_bytes->Seek(inOffset, inOrigin); }

int64_t CTZStream::Tell() { return m_bytes->Tell(); }

bool CTZStream::Truncate() { return m_bytes->Truncate(); }

bool CTZStream::Flush() { return m_bytes->Flush(); }

int CTZStream::GetState() { return m_bytes->GetState(); }

void CTZStream::SetSwapBytes(uint16_t inSwap) { m_swapBytes = inSwap; }

uint16_t CTZStream::GetSwapBytes() { return m_swapBytes; }
