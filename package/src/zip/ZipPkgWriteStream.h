// The write stream of an entry: every byte written updates the entry's CRC-32 and, for a
// deflated entry, goes through zlib raw deflate (level 6, window bits -15, memory level 9,
// default strategy) whose output is written in blocks of 4,096 bytes, gathered into writes of
// up to 256 KiB. The package decides where the data go (ZipPackage::OpenWriteTarget): straight
// into a new package's file after the entry's local header, or appended to the update's staging
// file. A local header goes out with the first write; while it is still in memory at the end it
// is completed there, so a small entry is written once, in order, without seeking back.
//
// A raw write stream takes bytes that are already compressed: they are stored as they come and
// the CRC-32 and size are those set on the entry (SetCRC, SetSize64).
//
// Closing finishes the deflate stream and hands the entry its data; a failure on the way
// (codes 27, 29, 32, 50) leaves the entry without new data. One thread at a time.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <streambuf>
#include <vector>

#include <zlib.h>

#include "pkg/Package.h"

namespace pkg {
namespace zip {

class ZipPkgFile;

// The compressor and buffers of a write stream (about half a MiB). The package keeps one between
// streams, so that a package of many entries sets them up once rather than once per entry.
class ZpWriteState {
 public:
  static constexpr std::size_t kOutputBlock = 4096;
  static constexpr std::size_t kInputArea = 16384;
  // Output blocks are gathered into writes of this size.
  static constexpr std::size_t kPendingSize = 256 * 1024;

  ZpWriteState();
  ~ZpWriteState();
  ZpWriteState(const ZpWriteState&) = delete;
  ZpWriteState& operator=(const ZpWriteState&) = delete;

  // The compressor, ready for a new raw deflate stream; code 32 when it cannot be set up.
  z_stream& StartDeflate();

  char m_area[kInputArea];
  unsigned char m_output[kOutputBlock];
  unsigned char m_pending[kPendingSize];

 private:
  z_stream m_zstream;
  bool m_initialised = false;
};

class ZipPkgWriteStreamBuf : public std::streambuf {
 public:
  static constexpr std::size_t kOutputBlock = ZpWriteState::kOutputBlock;
  static constexpr std::size_t kInputArea = ZpWriteState::kInputArea;
  static constexpr std::size_t kPendingSize = ZpWriteState::kPendingSize;

  // Writes inPrefix (a local header, or nothing) and then the data at inOffset of inTarget, with
  // the compressor and buffers of inState. Code 32 when the compressor cannot be set up.
  ZipPkgWriteStreamBuf(PkgFSFilePtr inTarget, uint64_t inOffset, const std::vector<uint8_t>& inPrefix, int inMethod,
                       bool inRaw, std::unique_ptr<ZpWriteState> inState);
  ~ZipPkgWriteStreamBuf() override = default;
  ZipPkgWriteStreamBuf(const ZipPkgWriteStreamBuf&) = delete;
  ZipPkgWriteStreamBuf& operator=(const ZipPkgWriteStreamBuf&) = delete;

  // Ends the data: finishes the deflate stream. What is left may still be in memory.
  void Finish();
  // After Finish: replaces the prefix with inPrefix (of the same length; in memory when it has
  // not been written yet, else in place) when given, and writes everything that is left.
  void Complete(const std::vector<uint8_t>* inPrefix);
  // Gives the compressor and buffers back; the buffer cannot be used afterwards.
  std::unique_ptr<ZpWriteState> ReleaseState() { return std::move(m_state); }
  uint32_t GetCRC() const { return m_crc; }
  uint64_t GetSize() const { return m_size; }
  // The bytes of data produced so far (after the prefix), written or not.
  uint64_t GetCompressedSize() const { return m_written + m_pendingCount - m_prefixSize; }

 protected:
  int_type overflow(int_type inChar) override;
  std::streamsize xsputn(const char* inData, std::streamsize inCount) override;
  int sync() override;

 private:
  void Consume(const char* inData, std::size_t inCount);
  void Deflate(const char* inData, std::size_t inCount, int inFlush);
  void WriteOut(const void* inData, std::size_t inCount);
  void FlushPending();
  void DrainArea();

  PkgFSFilePtr m_target;
  uint64_t m_offset;
  int m_method;
  bool m_raw;
  bool m_deflating = false;
  bool m_finished = false;
  uint32_t m_crc = 0;
  uint64_t m_size = 0;
  uint64_t m_written = 0;
  std::size_t m_prefixSize = 0;
  std::unique_ptr<ZpWriteState> m_state;
  z_stream* m_zstream = nullptr;
  std::size_t m_pendingCount = 0;
};

class ZipPkgWriteStream : public IPkgStream {
 public:
  // Writes inPrefix and then the entry's data at inOffset of inTarget; inDirect says that
  // inTarget is the package file itself (see ZipPackage::OpenWriteTarget).
  ZipPkgWriteStream(ZipPkgFile* inEntry, PkgFSFilePtr inTarget, uint64_t inOffset, const std::vector<uint8_t>& inPrefix,
                    bool inDirect, int inMethod, bool inRaw, std::unique_ptr<ZpWriteState> inState);
  ~ZipPkgWriteStream() override;
  // Finishes the entry's data and detaches the stream; the stream is then bad. Errors of the
  // finishing are thrown after the stream is detached. A second Close does nothing.
  void Close() override;
  IPkgFile* GetFile() const override;

 private:
  ZipPkgFile* m_entry;
  // Where the entry's data start (after the prefix).
  uint64_t m_offset;
  bool m_direct;
  int m_method;
  bool m_raw;
  std::unique_ptr<ZipPkgWriteStreamBuf> m_buffer;
};

}  // namespace zip
}  // namespace pkg
