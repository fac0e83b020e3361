#include <cerrno>
#include <cstdio>
#include <ctime>
#include <memory>
#include <mutex>

#include "PkgFSFileName.h"
#include "XPkgFile.h"
#include "pkg/PkgException.h"
#include "pkg/PkgFileSystem.h"

namespace pkg {

namespace {

// Larger than the runtime's default so that block reads of package data and writes of
// temporary files need few system calls.
constexpr std::size_t kFileBufferSize = 64 * 1024;

class BasePkgFSFile : public IPkgFSFile {
 public:
  BasePkgFSFile(IPkgFileSystem* inFileSystem, PkgFSFileNamePtr inName, int inMode, std::FILE* inFile)
      : m_fileSystem(inFileSystem),
        m_name(std::move(inName)),
        m_mode(inMode),
        m_file(inFile),
        m_buffer(new char[kFileBufferSize]) {
    // The runtime ignores the size unless it is also given the memory.
    std::setvbuf(m_file, m_buffer.get(), _IOFBF, kFileBufferSize);
  }

  ~BasePkgFSFile() override {
    if (m_file != nullptr) {
      std::fclose(m_file);
    }
  }

  int GetMode() const override { return m_mode; }

  void Close() override {
    if (m_file == nullptr) {
      return;
    }
    std::FILE* file = m_file;
    m_file = nullptr;
    if (std::fclose(file) != 0) {
      ThrowPkgRuntimeError(errno);
    }
  }

  std::size_t Read(void* outBuffer, std::size_t inCount) override {
    std::FILE* file = Handle();
    SwitchTo(kReading);
    const std::size_t got = std::fread(outBuffer, 1, inCount, file);
    if (got < inCount && std::ferror(file)) {
      const int error = errno;
      std::clearerr(file);
      m_position = kUnknown;
      ThrowPkgRuntimeError(error);
    }
    Advance(got);
    return got;
  }

  void Write(const void* inBuffer, std::size_t inCount) override {
    std::FILE* file = Handle();
    SwitchTo(kWriting);
    const std::size_t put = std::fwrite(inBuffer, 1, inCount, file);
    if (std::ferror(file)) {
      const int error = errno;
      std::clearerr(file);
      m_position = kUnknown;
      ThrowPkgRuntimeError(error);
    }
    Advance(put);
    if (put != inCount) {
      throw PackageIOException(kPkgErrWriteFile);
    }
  }

  // Every reader of a shared package file positions it before each read; a seek to where the
  // file already is would only throw away the runtime's buffer, so it is skipped.
  void Seek(int64_t inOffset, int inOrigin) override {
    if (inOrigin == kPkgSeekBegin && m_position != kUnknown && inOffset == m_position) {
      return;
    }
    RealSeek(inOffset, inOrigin);
    m_position = inOrigin == kPkgSeekBegin ? inOffset : kUnknown;
  }

  int64_t Tell() override {
    if (m_position != kUnknown) {
      return m_position;
    }
    const int64_t position = XPkgTell(Handle());
    if (position < 0) {
      ThrowPkgRuntimeError(errno);
    }
    m_position = position;
    return position;
  }

  void Flush() override {
    if (std::fflush(Handle()) != 0) {
      ThrowPkgRuntimeError(errno);
    }
  }

  void Truncate(int64_t inSize) override {
    if (!XPkgTruncate(Handle(), inSize)) {
      ThrowPkgRuntimeError(errno);
    }
  }

  int GetCapabilities() const override {
    return kPkgCapRead | kPkgCapWrite | kPkgCapSeek | kPkgCapTell | kPkgCapTruncate;
  }
  IPkgFileSystem* GetFileSystem() const override { return m_fileSystem; }
  PkgFSFileNamePtr GetFileName() const override { return m_name; }

 private:
  enum Direction { kIdle, kReading, kWriting };
  static constexpr int64_t kUnknown = -1;

  std::FILE* Handle() const {
    if (m_file == nullptr) {
      throw PackageIOException(kPkgErrUnsupportedOperation);
    }
    return m_file;
  }

  void RealSeek(int64_t inOffset, int inOrigin) {
    m_direction = kIdle;
    if (!XPkgSeek(Handle(), inOffset, inOrigin)) {
      m_position = kUnknown;
      ThrowPkgRuntimeError(errno);
    }
  }

  // The C runtime needs a seek between a read and a following write, and the other way round.
  void SwitchTo(Direction inDirection) {
    if (m_direction != inDirection && m_direction != kIdle) {
      RealSeek(0, kPkgSeekCurrent);
    }
    m_direction = inDirection;
  }

  void Advance(std::size_t inCount) {
    if (m_position != kUnknown) {
      m_position += static_cast<int64_t>(inCount);
    }
  }

  IPkgFileSystem* m_fileSystem;
  PkgFSFileNamePtr m_name;
  int m_mode;
  std::FILE* m_file;
  // The runtime's buffer; the stream is closed before it is freed.
  std::unique_ptr<char[]> m_buffer;
  // Where the runtime's position is, or kUnknown, and what the last transfer was.
  int64_t m_position = 0;
  Direction m_direction = kIdle;
};

const char* ModeText(int inMode) {
  switch (inMode & ~(kPkgModeAte | kPkgModeBinary)) {
    case kPkgModeIn:
      return "rb";
    case kPkgModeOut:
    case kPkgModeOut | kPkgModeTrunc:
      return "wb";
    case kPkgModeIn | kPkgModeOut:
      return "r+b";
    case kPkgModeIn | kPkgModeOut | kPkgModeTrunc:
      return "w+b";
    default:
      return nullptr;
  }
}

}  // namespace

BasePkgFileSystem* BasePkgFileSystem::GetInstance() {
  static std::mutex creation;
  static BasePkgFileSystem* instance = nullptr;
  std::lock_guard<std::mutex> lock(creation);
  if (instance == nullptr) {
    static BasePkgFileSystem made(XPkgTempFolder(), XPkgProcessId(), static_cast<uint32_t>(std::clock()));
    instance = &made;
  }
  return instance;
}

BasePkgFileSystem::BasePkgFileSystem(std::string inTempFolder, uint32_t inProcessId, uint32_t inClock)
    : m_processId(inProcessId),
      m_counter(static_cast<uint16_t>(0u - inProcessId)),
      m_seed(m_counter),
      m_tempFolder(std::move(inTempFolder)) {
  if (!m_tempFolder.empty() && m_tempFolder.back() != '/') {
    m_tempFolder += '/';
  }
  const uint16_t low = static_cast<uint16_t>(inClock);
  const uint16_t swapped = static_cast<uint16_t>((low << 8) | (low >> 8));
  m_seed = static_cast<uint16_t>(m_seed ^ swapped);
  if (m_seed == 0) {
    m_seed = 0xFFFF;
  }
}

std::string BasePkgFileSystem::NextTempFileName() {
  if (m_tempFolder.empty()) {
    return std::string();
  }
  const uint16_t rotated = static_cast<uint16_t>((m_counter >> 4) | (m_counter << 12));
  ++m_counter;
  char name[32];
  std::snprintf(name, sizeof(name), "mox%05X%04X", m_processId, static_cast<unsigned>(m_seed ^ rotated));
  return m_tempFolder + name;
}

PkgFSFilePtr BasePkgFileSystem::OpenFile(const PkgFSFileNamePtr& inFileName, int inMode) {
  const char* mode = ModeText(inMode);
  if (mode == nullptr || !inFileName) {
    throw PackageIOException(kPkgErrUnsupportedOperation);
  }
  std::FILE* file = std::fopen(inFileName->GetPath().c_str(), mode);
  if (file == nullptr) {
    ThrowPkgRuntimeError(errno);
  }
  return PkgFSFilePtr(new BasePkgFSFile(this, inFileName, inMode & ~(kPkgModeAte | kPkgModeBinary), file));
}

PkgFSFilePtr BasePkgFileSystem::CreateTempFile() {
  for (unsigned attempt = 0; attempt < 0x10000; ++attempt) {
    const std::string path = NextTempFileName();
    if (path.empty()) {
      break;
    }
    int error = 0;
    std::FILE* file = XPkgCreateExclusive(path, error);
    if (file != nullptr) {
      return PkgFSFilePtr(
          new BasePkgFSFile(this, MakeFileName(path), kPkgModeIn | kPkgModeOut | kPkgModeTrunc, file));
    }
    if (error != EEXIST) {
      ThrowPkgRuntimeError(error);
    }
  }
  throw PackageIOException(kPkgErrCreateTempFile);
}

void BasePkgFileSystem::RemoveFile(const PkgFSFileNamePtr& inFileName) {
  if (!inFileName) {
    throw PackageException(kPkgErrBadArgument);
  }
  if (std::remove(inFileName->GetPath().c_str()) != 0) {
    ThrowPkgRuntimeError(errno);
  }
}

PkgFSFileNamePtr BasePkgFileSystem::MakeFileName(const std::string& inPath) {
  return PkgFSFileNamePtr(new PkgFSFileName(this, inPath));
}

}  // namespace pkg
