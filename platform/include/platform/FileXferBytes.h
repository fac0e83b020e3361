#pragma once
// FileXferBytes: ITZXferBytes on a file, with a 512 KiB write buffer and a 512 KiB read-ahead.
//
// Writes gather in the write buffer and go to the file in system calls of at most 64 KiB (a piece
// between 4 KiB and 64 KiB is cut to a multiple of 4 KiB); a block larger than the buffer goes
// straight to the file. Reads are served straight from the file until more than 64 KiB have been
// asked for in requests below 256 KiB (since the last open or far seek); then small requests are
// served from a 512 KiB read-ahead buffer. Requests of 64 KiB or more always bypass it.
//
// State: kStateError at construction; Open makes it kStateGood or kStateClosed. Positions and
// sizes are 64-bit. Never throws. One thread at a time.

#include <memory>
#include <string>

#include "platform/ITZXferBytes.h"
#include "platform/TZFile.h"

class FileXferBytes : public ITZXferBytes {
 public:
  // Open flags; combine with |.
  enum : uint32_t { kOpenRead = 1, kOpenWrite = 2, kOpenAppend = 4, kOpenCreate = 8 };

  static constexpr size_t kBufferSize = 524288;  // write buffer and read-ahead
  static constexpr size_t kPieceSize = 65536;    // largest system call

  FileXferBytes();
  ~FileXferBytes() override;  // closes
  FileXferBytes(const FileXferBytes&) = delete;
  FileXferBytes& operator=(const FileXferBytes&) = delete;

  // Opens a file (closing the one open before, if any). Access is read for kOpenRead, write (and
  // read too with kOpenRead) for kOpenWrite or kOpenAppend. Which file is used:
  //   append (with or without create)  opens the file or makes it; position at its end
  //   write | create                   makes the file or empties an existing one; position 0
  //   write                            opens the file or makes it, keeping its bytes; position 0
  //   read                             opens an existing file; position 0
  //   read | create, or no access flag refused
  // New files get read and write permission as the umask allows. Folders are refused. The
  // descriptor is not inherited by child processes. True on success (state kStateGood); false
  // otherwise (state kStateClosed).
  bool Open(const TZFile& inFile, uint32_t inFlags);
  // The same on a path given as UTF-8 text.
  bool OpenPath(const std::string& inUtf8Path, uint32_t inFlags);

  size_t Read(void* outBuffer, size_t inCount) override;
  size_t Write(const void* inBuffer, size_t inCount) override;
  int64_t Seek(int64_t inOffset, int inOrigin) override;
  int64_t Tell() const override;
  bool Flush() override;
  int GetState() const override;
  bool Truncate() override;
  bool Close() override;

 private:
  // Writes at the file position in pieces of at most kPieceSize; advances the position by what
  // was written; a short total sets kStateError.
  size_t RawWrite(const uint8_t* inData, size_t inCount);
  // Reads at the file position until inCount bytes, the end of the file or an error; advances
  // the position. outFailed tells an error from the end of the file.
  size_t ReadAt(uint8_t* outBuffer, size_t inCount, bool& outFailed);
  // ReadAt that sets kStateEndOfFile or kStateError when fewer than inCount bytes arrive.
  size_t RawRead(uint8_t* outBuffer, size_t inCount);
  // Writes out the write buffer; on a short write the unwritten rest stays buffered.
  bool WritePending();
  // Forgets the read-ahead contents; the file position becomes the logical position.
  void DropReadAhead();

  int m_handle = -1;
  int m_state = kStateError;
  std::unique_ptr<uint8_t[]> m_writeBuffer;
  size_t m_writeCount = 0;
  std::unique_ptr<uint8_t[]> m_readBuffer;
  size_t m_readPos = 0;
  size_t m_readFill = 0;
  int64_t m_readBufferStart = 0;
  uint64_t m_readRequested = 0;
  // Where the next system call reads or writes. Pending write data go here; with read-ahead
  // data buffered it is the end of the buffered bytes.
  int64_t m_filePos = 0;
};
