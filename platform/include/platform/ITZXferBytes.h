#pragma once
// ITZXferBytes: the byte mover under the binary streams (ITZStream). A stream owns one and sends
// every byte through it; FileXferBytes is the implementation on a file.
//
// Positions and sizes are 64-bit. Nothing here throws: failures show in GetState(), in short
// counts and in the documented results. One thread at a time; nothing is locked.

#include <cstddef>
#include <cstdint>

class ITZXferBytes {
 public:
  // GetState() values.
  enum : int { kStateGood = 0, kStateEndOfFile = 1, kStateError = 2, kStateClosed = 3 };
  // Seek origins: from the start, from the end; any other value is relative to the position.
  enum : int { kSeekCurrent = 0, kSeekStart = 1, kSeekEnd = 4 };

  virtual ~ITZXferBytes() = default;

  // Reads up to inCount bytes into outBuffer; returns how many arrived. Fewer than asked means the
  // end of the file (state kStateEndOfFile) or an error (kStateError).
  virtual size_t Read(void* outBuffer, size_t inCount) = 0;
  // Writes inCount bytes (possibly only into a buffer); returns how many were taken. Fewer than
  // asked means an error (kStateError).
  virtual size_t Write(const void* inBuffer, size_t inCount) = 0;
  // Moves the position; returns the new position, or -1 (position unchanged) when the target
  // would lie before the start or the system refuses.
  virtual int64_t Seek(int64_t inOffset, int inOrigin) = 0;
  // The position of the next byte read or written.
  virtual int64_t Tell() const = 0;
  // Writes out buffered data; false (and kStateError) if not all of it could be written.
  virtual bool Flush() = 0;
  virtual int GetState() const = 0;
  // Ends the file at the current position; false if that failed.
  virtual bool Truncate() = 0;
  // Writes out buffered data and closes; state kStateClosed. False if the buffered data could not
  // all be written or the close failed.
  virtual bool Close() = 0;
};
