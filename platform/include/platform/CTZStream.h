#pragma once
// CTZStream: what the read and the write stream share. It owns the byte mover and the swap flag
// and implements every transfer whose rule is the same in both directions through MoveBytes(),
// which reads on CTZStreamRead and writes on CTZStreamWrite.

#include <memory>

#include "platform/ITZStream.h"
#include "platform/ITZXferBytes.h"

class CTZStream : public ITZStream {
 public:
  // Takes ownership of inBytes (which must not be null).
  explicit CTZStream(std::unique_ptr<ITZXferBytes> inBytes);
  ~CTZStream() override;
  CTZStream(const CTZStream&) = delete;
  CTZStream& operator=(const CTZStream&) = delete;

  size_t XferBytes(void* ioBuffer, size_t inCount) override;
  bool XferChar(char& ioChar) override;
  size_t XferBoolArray(int16_t* ioValues, size_t inCount) override;
  size_t XferInt16Array(int16_t* ioValues, size_t inCount) override;
  bool XferInt16(int16_t& ioValue) override;
  size_t XferInt32Array(int32_t* ioValues, size_t inCount) override;
  bool XferInt32(int32_t& ioValue) override;
  bool XferInt64(int64_t& ioValue) override;
  size_t Xfer32Array(uint32_t* ioValues, size_t inCount) override;
  bool Xfer32(uint32_t& ioValue) override;
  size_t Xfer32Array(float* ioValues, size_t inCount) override;
  bool Xfer32(float& ioValue) override;
  size_t Xfer64Array(uint64_t* ioValues, size_t inCount) override;
  bool Xfer64(uint64_t& ioValue) override;

  int64_t Seek(int64_t inOffset, int inOrigin) override;
  int64_t Tell() override;
  bool Truncate() override;
  bool Flush() override;
  int GetState() override;
  void SetSwapBytes(uint16_t inSwap) override;
  uint16_t GetSwapBytes() override;

 protected:
  // Reads (read stream) or writes (write stream) up to inCount bytes; returns the count moved.
  virtual size_t MoveBytes(void* ioBuffer, size_t inCount) = 0;

  // inCount values of inSize bytes each, swapped when the flag says so: a read stream reads all
  // in one transfer and swaps in place; a write stream sends them one at a time, each swapped.
  // Returns the number of whole values moved.
  size_t MoveValues(void* ioValues, size_t inSize, size_t inCount);

  ITZXferBytes& Bytes() { return *m_bytes; }

 private:
  std::unique_ptr<ITZXferBytes> m_bytes;
  uint16_t m_swapBytes = 0;
};
