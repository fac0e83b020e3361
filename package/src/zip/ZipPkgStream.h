// Entry streams: the standard stream on an entry's data (ZipPkgStream), its buffer
// (ZipPkgStreamBuf) and the decoder under it (ZipPkgStreamData).
//
// Stored data are read straight from the source into the caller's memory; deflated data are
// inflated (zlib raw deflate) straight into the caller's memory from a 4,096-byte input buffer.
// Every read positions the source first, because the package file is shared by the package and
// all its streams. A deflated entry never yields more than its declared size: more is code 31,
// so hostile data cannot inflate without bound.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <streambuf>

#include <zlib.h>

#include "pkg/Package.h"

namespace pkg {
namespace zip {

class ZipPkgFile;

class ZipPkgStreamData {
 public:
  static constexpr std::size_t kInputSize = 4096;

  ZipPkgStreamData();
  ~ZipPkgStreamData();
  ZipPkgStreamData(const ZipPkgStreamData&) = delete;
  ZipPkgStreamData& operator=(const ZipPkgStreamData&) = delete;

  // Serves the bytes [inStart, inEnd) of inSource: method 0 as they are, any other method
  // inflated, yielding at most inLimit bytes. Code 31 when the decompressor cannot be set up.
  void Start(PkgFSFilePtr inSource, int inMethod, uint64_t inStart, uint64_t inEnd, uint64_t inLimit);
  // Up to inCount bytes into outBuffer; 0 at the end of the data. Code 31 on damaged deflate
  // data, on data that run out before the deflate stream ends, and on output past the limit.
  std::size_t Read(char* outBuffer, std::size_t inCount);
  // Stored data only: the next read starts inTarget bytes after the start.
  void SeekStored(uint64_t inTarget);
  // Ends the decompressor and lets go of the source; code 30 on failure. Ending twice does
  // nothing.
  void End();
  bool IsStored() const { return m_method == 0; }

 private:
  std::size_t ReadStored(char* outBuffer, std::size_t inCount);
  std::size_t ReadInflated(char* outBuffer, std::size_t inCount);

  PkgFSFilePtr m_source;
  int m_method = 0;
  uint64_t m_start = 0;
  uint64_t m_current = 0;
  uint64_t m_end = 0;
  uint64_t m_limit = 0;
  uint64_t m_produced = 0;
  z_stream m_zstream;
  bool m_inflating = false;
  int m_status = Z_OK;
  unsigned char m_input[kInputSize];
};

class ZipPkgStreamBuf : public std::streambuf {
 public:
  // Sets up reading of the entry's data (its temporary file when it has one and inRaw is off).
  ZipPkgStreamBuf(ZipPkgFile* inEntry, int inMode, bool inRaw);
  // Ends the decoder (code 30 on failure); the buffer is then closed.
  void Close();

 protected:
  int_type underflow() override;
  std::streamsize xsgetn(char* outBuffer, std::streamsize inCount) override;
  pos_type seekoff(off_type inOffset, std::ios_base::seekdir inDirection, std::ios_base::openmode inWhich) override;
  pos_type seekpos(pos_type inPosition, std::ios_base::openmode inWhich) override;
  int sync() override { return 0; }

 private:
  static constexpr std::size_t kPutBack = 4;
  static constexpr std::size_t kReadArea = 6;

  void SwitchToTempFile();
  int64_t CurrentPosition() const { return m_position - static_cast<int64_t>(egptr() - gptr()); }

  ZipPkgFile* m_entry;
  int m_mode;
  bool m_raw;
  bool m_open = true;
  bool m_separate = false;
  char m_area[kPutBack + kReadArea] = {};
  // Logical position of the end of the character area, and the logical size.
  int64_t m_position = 0;
  int64_t m_size = 0;
  ZipPkgStreamData m_data;
};

class ZipPkgStream : public IPkgStream {
 public:
  // May throw (codes 23, 31, record codes); the stream is then not made.
  ZipPkgStream(ZipPkgFile* inEntry, int inMode, bool inRaw);
  ~ZipPkgStream() override;
  void Close() override;
  IPkgFile* GetFile() const override;

 private:
  ZipPkgFile* m_entry;
  std::unique_ptr<ZipPkgStreamBuf> m_buffer;
};

}  // namespace zip
}  // namespace pkg
