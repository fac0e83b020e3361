#include <algorithm>
#include <cerrno>
#include <cstring>
#include <limits>

#include "PkgFSFileName.h"
#include "pkg/PkgException.h"
#include "pkg/PkgMemFileSystem.h"

namespace pkg {

namespace {

// A file over a shared byte vector; the position may lie beyond the end (reads there return 0,
// writes there fill the gap with zeros).
class MemPkgFSFile : public IPkgFSFile {
 public:
  MemPkgFSFile(IPkgFileSystem* inFileSystem, PkgFSFileNamePtr inName, int inMode,
               boost::shared_ptr<MemPkgFileSystem::Bytes> inBytes)
      : m_fileSystem(inFileSystem), m_name(std::move(inName)), m_mode(inMode), m_bytes(std::move(inBytes)) {}

  int GetMode() const override { return m_mode; }
  void Close() override { m_bytes.reset(); }

  std::size_t Read(void* outBuffer, std::size_t inCount) override {
    const auto& bytes = Bytes();
    if ((m_mode & kPkgModeIn) == 0) {
      ThrowPkgRuntimeError(EBADF);
    }
    if (m_position >= bytes.size()) {
      return 0;
    }
    const std::size_t count = static_cast<std::size_t>(std::min<uint64_t>(inCount, bytes.size() - m_position));
    std::memcpy(outBuffer, bytes.data() + m_position, count);
    m_position += count;
    return count;
  }

  void Write(const void* inBuffer, std::size_t inCount) override {
    auto& bytes = Bytes();
    if ((m_mode & kPkgModeOut) == 0) {
      ThrowPkgRuntimeError(EBADF);
    }
    if (inCount == 0) {
      return;
    }
    if (m_position > bytes.max_size() - inCount) {
      ThrowPkgRuntimeError(EFBIG);
    }
    const uint64_t end = m_position + inCount;
    if (end > bytes.size()) {
      bytes.resize(static_cast<std::size_t>(end));
    }
    std::memcpy(bytes.data() + m_position, inBuffer, inCount);
    m_position = end;
  }

  void Seek(int64_t inOffset, int inOrigin) override {
    const auto& bytes = Bytes();
    int64_t base = 0;
    if (inOrigin == kPkgSeekCurrent) {
      base = static_cast<int64_t>(m_position);
    } else if (inOrigin == kPkgSeekEnd) {
      base = static_cast<int64_t>(bytes.size());
    } else if (inOrigin != kPkgSeekBegin) {
      ThrowPkgRuntimeError(EINVAL);
    }
    if ((inOffset < 0 && base + inOffset < 0) ||
        (inOffset > 0 && base > std::numeric_limits<int64_t>::max() - inOffset)) {
      ThrowPkgRuntimeError(EINVAL);
    }
    m_position = static_cast<uint64_t>(base + inOffset);
  }

  int64_t Tell() override {
    Bytes();
    return static_cast<int64_t>(m_position);
  }

  void Flush() override { Bytes(); }

  void Truncate(int64_t inSize) override {
    if (inSize < 0) {
      ThrowPkgRuntimeError(EINVAL);
    }
    Bytes().resize(static_cast<std::size_t>(inSize));
  }

  int GetCapabilities() const override {
    return kPkgCapRead | kPkgCapWrite | kPkgCapSeek | kPkgCapTell | kPkgCapTruncate;
  }
  IPkgFileSystem* GetFileSystem() const override { return m_fileSystem; }
  PkgFSFileNamePtr GetFileName() const override { return m_name; }

 private:
  MemPkgFileSystem::Bytes& Bytes() const {
    if (!m_bytes) {
      throw PackageIOException(kPkgErrUnsupportedOperation);
    }
    return *m_bytes;
  }

  IPkgFileSystem* m_fileSystem;
  PkgFSFileNamePtr m_name;
  int m_mode;
  boost::shared_ptr<MemPkgFileSystem::Bytes> m_bytes;
  uint64_t m_position = 0;
};

}  // namespace

PkgFSFilePtr MemPkgFileSystem::OpenFile(const PkgFSFileNamePtr& inFileName, int inMode) {
  if (!inFileName) {
    throw PackageIOException(kPkgErrUnsupportedOperation);
  }
  const int mode = inMode & ~(kPkgModeAte | kPkgModeBinary);
  const std::string path = inFileName->GetPath();
  const auto found = m_files.find(path);
  switch (mode) {
    case kPkgModeIn:
    case kPkgModeIn | kPkgModeOut:
      if (found == m_files.end()) {
        ThrowPkgRuntimeError(ENOENT);
      }
      return PkgFSFilePtr(new MemPkgFSFile(this, inFileName, mode, found->second));
    case kPkgModeOut:
    case kPkgModeOut | kPkgModeTrunc:
    case kPkgModeIn | kPkgModeOut | kPkgModeTrunc: {
      auto bytes = boost::shared_ptr<Bytes>(new Bytes());
      m_files[path] = bytes;
      return PkgFSFilePtr(new MemPkgFSFile(this, inFileName, mode, bytes));
    }
    default:
      throw PackageIOException(kPkgErrUnsupportedOperation);
  }
}

PkgFSFilePtr MemPkgFileSystem::CreateTempFile() {
  std::string path;
  do {
    path = "mem-temp-" + std::to_string(m_tempCounter++);
  } while (m_files.count(path) != 0);
  return OpenFile(MakeFileName(path), kPkgModeIn | kPkgModeOut | kPkgModeTrunc);
}

void MemPkgFileSystem::RemoveFile(const PkgFSFileNamePtr& inFileName) {
  if (!inFileName || m_files.erase(inFileName->GetPath()) == 0) {
    ThrowPkgRuntimeError(ENOENT);
  }
}

PkgFSFileNamePtr MemPkgFileSystem::MakeFileName(const std::string& inPath) {
  return PkgFSFileNamePtr(new PkgFSFileName(this, inPath));
}

void MemPkgFileSystem::AddFile(const std::string& inPath, Bytes inBytes) {
  m_files[inPath] = boost::shared_ptr<Bytes>(new Bytes(std::move(inBytes)));
}

bool MemPkgFileSystem::HasFile(const std::string& inPath) const { return m_files.count(inPath) != 0; }

MemPkgFileSystem::Bytes MemPkgFileSystem::GetFile(const std::string& inPath) const {
  const auto found = m_files.find(inPath);
  return found == m_files.end() ? Bytes() : *found->second;
}

}  // namespace pkg
