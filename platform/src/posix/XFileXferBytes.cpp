// FileXferBytes on POSIX descriptors: pread/pwrite at a position kept here, so a seek is free
// until the next transfer.

#include <errno.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstring>
#include <limits>
#include <new>

#include "platform/FileXferBytes.h"
#include "platform/TZAssert.h"

namespace {

const size_t kPageSize = 4096;
const size_t kReadAheadLimit = 262144;  // requests from this size on bypass the read-ahead
const uint64_t kReadAheadWarmUp = 65536;
const int64_t kFarSeek = 32768;

}  // namespace

FileXferBytes::FileXferBytes() = default;

FileXferBytes::~FileXferBytes() {
  if (m_handle >= 0) Close();
}

bool FileXferBytes::Open(const TZFile& inFile, uint32_t inFlags) {
  return OpenPath(inFile.ToString().ToUTF8(), inFlags);
}

bool FileXferBytes::OpenPath(const std::string& inUtf8Path, uint32_t inFlags) {
  if (m_handle >= 0) Close();
  m_writeBuffer.reset();
  m_writeCount = 0;
  m_readBuffer.reset();
  m_readPos = m_readFill = 0;
  m_state = kStateClosed;

  const bool read = (inFlags & kOpenRead) != 0;
  const bool append = (inFlags & kOpenAppend) != 0;
  const bool write = append || (inFlags & kOpenWrite) != 0;
  int openFlags = O_CLOEXEC;
  if (write) {
    openFlags |= (read ? O_RDWR : O_WRONLY) | O_CREAT;
    if (!append && (inFlags & kOpenCreate) != 0) openFlags |= O_TRUNC;
  } else if (read && (inFlags & kOpenCreate) == 0) {
    openFlags |= O_RDONLY;
  } else {
    return false;  // no access asked for, or "empty the file" on a file opened for reading only
  }
  if (write) {
    m_writeBuffer.reset(new (std::nothrow) uint8_t[kBufferSize]);
    if (!m_writeBuffer) return false;
  }

  int handle;
  do {
    handle = open(inUtf8Path.c_str(), openFlags, 0666);
  } while (handle < 0 && errno == EINTR);
  struct stat info;
  if (handle >= 0 && (fstat(handle, &info) != 0 || S_ISDIR(info.st_mode))) {
    close(handle);
    handle = -1;
  }
  if (handle < 0) {
    m_writeBuffer.reset();
    return false;
  }
  m_handle = handle;
  m_filePos = append ? static_cast<int64_t>(info.st_size) : 0;
  m_readRequested = 0;
  m_state = kStateGood;
  return true;
}

size_t FileXferBytes::RawWrite(const uint8_t* inData, size_t inCount) {
  if (m_handle < 0) {
    TZReportAssert("fCoreFileHandle is nil", __FILE__, __LINE__);
    return 0;
  }
  size_t written = 0;
  while (written < inCount) {
    size_t piece = std::min(inCount - written, kPieceSize);
    if (piece > kPageSize) piece -= piece % kPageSize;
    const ssize_t n = pwrite(m_handle, inData + written, piece, m_filePos);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) break;
    written += static_cast<size_t>(n);
    m_filePos += n;
  }
  if (written < inCount) m_state = kStateError;
  return written;
}

bool FileXferBytes::WritePending() {
  if (m_writeCount == 0) return true;
  const size_t written = RawWrite(m_writeBuffer.get(), m_writeCount);
  if (written < m_writeCount) {
    std::memmove(m_writeBuffer.get(), m_writeBuffer.get() + written, m_writeCount - written);
    m_writeCount -= written;
    return false;
  }
  m_writeCount = 0;
  return true;
}

size_t FileXferBytes::Write(const void* inBuffer, size_t inCount) {
  if (m_handle < 0) {
    TZReportAssert("fCoreFileHandle is nil", __FILE__, __LINE__);
    return 0;
  }
  DropReadAhead();
  if (m_writeCount > 0 && inCount > kBufferSize - m_writeCount) {
    if (!WritePending()) return 0;
  }
  const uint8_t* data = static_cast<const uint8_t*>(inBuffer);
  if (inCount > kBufferSize || !m_writeBuffer) return RawWrite(data, inCount);
  std::memcpy(m_writeBuffer.get() + m_writeCount, data, inCount);
  m_writeCount += inCount;
  return inCount;
}

size_t FileXferBytes::ReadAt(uint8_t* outBuffer, size_t inCount, bool& outFailed) {
  outFailed = false;
  size_t done = 0;
  while (done < inCount) {
    const size_t piece = std::min(inCount - done, kPieceSize);
    const ssize_t n = pread(m_handle, outBuffer + done, piece, m_filePos);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) {
      outFailed = true;
      break;
    }
    if (n == 0) break;
    done += static_cast<size_t>(n);
    m_filePos += n;
  }
  return done;
}

size_t FileXferBytes::RawRead(uint8_t* outBuffer, size_t inCount) {
  bool failed = false;
  const size_t done = ReadAt(outBuffer, inCount, failed);
  if (failed) {
    m_state = kStateError;
  } else if (done < inCount) {
    m_state = kStateEndOfFile;
  }
  return done;
}

void FileXferBytes::DropReadAhead() {
  if (m_readFill > 0) m_filePos = m_readBufferStart + static_cast<int64_t>(m_readPos);
  m_readPos = m_readFill = 0;
}

size_t FileXferBytes::Read(void* outBuffer, size_t inCount) {
  if (m_handle < 0) {
    TZReportAssert("fCoreFileHandle is nil", __FILE__, __LINE__);
    return 0;
  }
  if (!WritePending()) return 0;
  uint8_t* out = static_cast<uint8_t*>(outBuffer);

  const uint64_t requestedBefore = m_readRequested;
  m_readRequested += inCount;
  if (!m_readBuffer && requestedBefore > 0 && m_readRequested > kReadAheadWarmUp &&
      inCount < kReadAheadLimit) {
    m_readBuffer.reset(new (std::nothrow) uint8_t[kBufferSize]);
  }

  size_t done = 0;
  if (m_readPos < m_readFill) {
    done = std::min(inCount, m_readFill - m_readPos);
    std::memcpy(out, m_readBuffer.get() + m_readPos, done);
    m_readPos += done;
    if (done == inCount) return done;
  }
  DropReadAhead();
  const size_t remaining = inCount - done;
  if (remaining < kPieceSize && m_readBuffer && m_readRequested > kReadAheadWarmUp) {
    m_readBufferStart = m_filePos;
    bool failed = false;
    m_readFill = ReadAt(m_readBuffer.get(), kBufferSize, failed);
    m_readPos = std::min(remaining, m_readFill);
    std::memcpy(out + done, m_readBuffer.get(), m_readPos);
    if (failed && m_readPos < remaining) {
      m_state = kStateError;
    } else if (m_readPos < remaining) {
      m_state = kStateEndOfFile;
    }
    return done + m_readPos;
  }
  return done + RawRead(out + done, remaining);
}

int64_t FileXferBytes::Seek(int64_t inOffset, int inOrigin) {
  if (m_handle < 0) {
    TZReportAssert("fCoreFileHandle is nil", __FILE__, __LINE__);
    return -1;
  }
  if (!WritePending()) return -1;
  int64_t base;
  if (inOrigin == kSeekStart) {
    base = 0;
  } else if (inOrigin == kSeekEnd) {
    struct stat info;
    if (fstat(m_handle, &info) != 0) return -1;
    base = info.st_size;
  } else {
    base = Tell();
  }
  if ((inOffset > 0 && base > std::numeric_limits<int64_t>::max() - inOffset) || base + inOffset < 0) {
    return -1;
  }
  const int64_t target = base + inOffset;
  if (m_state == kStateEndOfFile) m_state = kStateGood;
  if (m_readFill > 0 && target >= m_readBufferStart &&
      target < m_readBufferStart + static_cast<int64_t>(m_readFill)) {
    m_readPos = static_cast<size_t>(target - m_readBufferStart);
    return target;
  }
  const int64_t from = Tell();
  DropReadAhead();
  if (target - from > kFarSeek || from - target > kFarSeek) m_readRequested = 0;
  m_filePos = target;
  return target;
}

int64_t FileXferBytes::Tell() const {
  if (m_writeCount > 0) return m_filePos + static_cast<int64_t>(m_writeCount);
  if (m_readFill > 0) return m_readBufferStart + static_cast<int64_t>(m_readPos);
  return m_filePos;
}

bool FileXferBytes::Flush() {
  if (m_handle < 0) return m_writeCount == 0;
  return WritePending();
}

int FileXferBytes::GetState() const { return m_state; }

bool FileXferBytes::Truncate() {
  if (m_handle < 0) return false;
  if (!WritePending()) return false;
  DropReadAhead();
  int result;
  do {
    result = ftruncate(m_handle, m_filePos);
  } while (result != 0 && errno == EINTR);
  if (result != 0) m_state = kStateError;
  return result == 0;
}

bool FileXferBytes::Close() {
  if (m_handle < 0) {
    if (m_state != kStateClosed) TZReportAssert("fCoreFileHandle is nil", __FILE__, __LINE__);
    m_state = kStateClosed;
    return false;
  }
  bool ok = WritePending();
  m_writeBuffer.reset();
  m_writeCount = 0;
  m_readBuffer.reset();
  m_readPos = m_readFill = 0;
  if (close(m_handle) != 0 && errno != EINTR) ok = false;
  m_handle = -1;
  m_state = kStateClosed;
  return ok;
}
