#pragma once
// ITZStream: typed binary transfer to or from a file. The same operation serves both directions:
// on a read stream (CTZStreamRead) a transfer fills the caller's variable from the file; on a
// write stream (CTZStreamWrite) it sends the caller's variable to the file.
//
// Byte order: with the swap flag 0 (the default) 2-, 4- and 8-byte values are stored in the
// machine's order (little-endian); with any other value they are byte-swapped (big-endian in the
// file). XferBytes, XferChar and the 16-bit units of XferString are never swapped.
//
// Positions and sizes are 64-bit. Nothing here throws: failures show in GetState(), in short
// counts, in false results and in assertion reports to the log. A stream is used by one thread at
// a time; nothing is locked. A stream owns its ITZXferBytes and closes it when destroyed.

#include <cstddef>
#include <cstdint>

#include "platform/TZString.h"

class ITZStream {
 public:
  virtual ~ITZStream() = default;

  // Moves up to inCount bytes; returns the count moved. No swapping.
  virtual size_t XferBytes(void* ioBuffer, size_t inCount) = 0;
  // One byte; true if it moved.
  virtual bool XferChar(char& ioChar) = 0;
  // A text, as UTF-8 (inAsUTF8) or as raw 16-bit units, preceded by its byte length as a 32-bit
  // value when inWithLength. Writing returns a copy of ioText. Reading without inWithLength takes
  // as many bytes as ioText holds now (its UTF-8 length, or twice its unit count), so the caller
  // passes a text of the expected length; the decoded text replaces ioText and is returned. A
  // length read from the file is trusted only as far as bytes arrive: a short read gives the
  // bytes that arrived and state kStateEndOfFile.
  virtual TZString XferString(TZString& ioText, bool inAsUTF8, bool inWithLength) = 0;
  // inCount 16-bit booleans (as XferInt16Array); returns the count moved.
  virtual size_t XferBoolArray(int16_t* ioValues, size_t inCount) = 0;
  // One 16-bit boolean; a value other than 0 or 1 is reported as an assertion. Writing stores 1
  // for any nonzero value (and sets ioValue to it); reading returns the value as read.
  virtual bool XferBool(int16_t& ioValue) = 0;
  virtual size_t XferInt16Array(int16_t* ioValues, size_t inCount) = 0;
  virtual bool XferInt16(int16_t& ioValue) = 0;
  virtual size_t XferInt32Array(int32_t* ioValues, size_t inCount) = 0;
  virtual bool XferInt32(int32_t& ioValue) = 0;
  // Two 32-bit transfers: the high half first, then the low half (each in the swap order).
  //   0x0000000100000002 unswapped -> 01 00 00 00 02 00 00 00
  virtual bool XferInt64(int64_t& ioValue) = 0;
  virtual size_t Xfer32Array(uint32_t* ioValues, size_t inCount) = 0;
  virtual bool Xfer32(uint32_t& ioValue) = 0;
  virtual size_t Xfer32Array(float* ioValues, size_t inCount) = 0;
  virtual bool Xfer32(float& ioValue) = 0;
  // 8-byte values; the arrays stop at the first value that does not move completely and return
  // how many did.
  virtual size_t Xfer64Array(uint64_t* ioValues, size_t inCount) = 0;
  virtual bool Xfer64(uint64_t& ioValue) = 0;

  // ITZXferBytes::kSeekStart, kSeekEnd, anything else from the current position. Returns the new
  // position or -1.
  virtual int64_t Seek(int64_t inOffset, int inOrigin) = 0;
  virtual int64_t Tell() = 0;
  // Ends the file at the current position.
  virtual bool Truncate() = 0;
  // Writes out buffered data; false if not all of it could be written.
  virtual bool Flush() = 0;
  // ITZXferBytes state: 0 good, 1 end of file, 2 error, 3 closed.
  virtual int GetState() = 0;
  virtual bool IsReadStream() = 0;
  virtual bool IsWriteStream() = 0;
  virtual void SetSwapBytes(uint16_t inSwap) = 0;
  virtual uint16_t GetSwapBytes() = 0;

  // Read streams: reads one line of UTF-8 text into outText, without the terminator byte.
  // Returns true at the terminator, at the end of the file or when the stream is not in a good
  // state (outText then holds what was gathered, possibly nothing); false on malformed UTF-8 (a
  // byte that cannot start a character, a continuation byte outside 0x80-0xBF, a character longer
  // than 6 bytes). Write streams return false with outText empty.
  //   "ab\ncd" with '\n': "ab" (true), then "cd" (true, state end of file), then "" (true)
  virtual bool ReadLine(TZString& outText, char inTerminator) = 0;
};
