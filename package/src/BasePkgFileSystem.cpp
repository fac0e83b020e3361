#include <cerrno>
#include <cstdio>
#include <ctime>
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
      : m_fileSystem(inFileSystem), m_name(std::move(inName)), m_mode(inMode), m_file(inFile) {
    std::setvbuf(m_file, nullptr, _IOFBF, kFileBufferSize);
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
    const std::size_t got = std::fread(outBuffer, 1, inCount, file);
    if (got < inCount && std::ferror(file)) {
      const int error = errno;
      std::clearerr(file);
      ThrowPkgRuntimeError(error);
    }
    return got;
  }

  void Write(const void* inBuffer, std::size_t inCount) override {
    std::FILE* file = Handle();
    const std::size_t put = std::fwrite(inBuffer, 1, inCount, file);
    if (std::ferror(file)) {
      const int error = errno;
      std::clearerr(file);
      ThrowPkgRuntimeError(error);
    }
    if (put != inCount) {
      throw PackageIOException(kPkgErrWriteFile);
    }
  }

  void Seek(int64_t inOffset, int inOrigin) override {
    if (!XPkgSeek(Handle(), inOffset, inOrigin)) {
      ThrowPkgRuntimeError(errno);
    }
  }

  int64_t Tell() override {
    const int64_t position = XPkgTell(Handle());
    if (position < 0) {
      ThrowPkgRuntimeError(errno);
    }
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
  std::FILE* Handle() const {
    if (m_file == nullptr) {
      throw PackageIOException(kPkgErrUnsupportedOperation);
    }
    return m_file;
  }

  IPkgFileSystem* m_fileSystem;
  PkgFSFileNamePtr m_name;
  int m_mode;
  std::FILE* m_file;
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
