// The POSIX half of AFile: system calls on the UTF-8 form of the native path text.
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <ctime>
#include <string>

#include "AFileImpl.h"
#include "OrnInternal.h"
#include "OrnSystem.h"

namespace tarsel {
namespace orn {

namespace {

// Seconds between 1601-01-01 and 1970-01-01, the start of the file-time scale.
constexpr int64_t kFileTimeEpochOffset = 11644473600LL;
constexpr int64_t kFileTimeUnitsPerSecond = 10000000LL;

uint64_t ToFileTime(int64_t inSeconds, int64_t inNanoseconds) {
  const int64_t units = (inSeconds + kFileTimeEpochOffset) * kFileTimeUnitsPerSecond + inNanoseconds / 100;
  return units < 0 ? 0 : static_cast<uint64_t>(units);
}

timespec FromFileTime(uint64_t inValue) {
  timespec time{};
  time.tv_sec =
      static_cast<time_t>(static_cast<int64_t>(inValue / kFileTimeUnitsPerSecond) - kFileTimeEpochOffset);
  time.tv_nsec = static_cast<long>(inValue % kFileTimeUnitsPerSecond * 100);
  return time;
}

bool IsReadOnlyMode(mode_t inMode) { return (inMode & (S_IWUSR | S_IWGRP | S_IWOTH)) == 0; }

bool CanOpenForReading(const std::string& inPath, bool inFolder) {
  const int fd =
      ::open(inPath.c_str(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC | (inFolder ? O_DIRECTORY : 0));
  if (fd < 0) {
    return false;
  }
  ::close(fd);
  return true;
}

bool CanOpenForWriting(const std::string& inPath, bool inFolder, bool inAlsoRead) {
  if (inFolder) {
    // A folder cannot be opened for writing; being allowed to change its entries is the analogue.
    return ::faccessat(AT_FDCWD, inPath.c_str(), inAlsoRead ? (R_OK | W_OK) : W_OK, AT_EACCESS) == 0;
  }
  const int fd = ::open(inPath.c_str(), (inAlsoRead ? O_RDWR : O_WRONLY) | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
  if (fd < 0) {
    return false;
  }
  ::close(fd);
  return true;
}

class AFileImplX : public AFileImpl {
 public:
  bool MakeFile(bool inCreateParents, int& outError) override {
    return Make(inCreateParents, outError, [this] {
      const int fd = ::open(m_system.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOCTTY | O_CLOEXEC, 0666);
      if (fd < 0) {
        return false;
      }
      ::close(fd);
      return true;
    });
  }

  bool MakeDirectory(bool inCreateParents, int& outError) override {
    return Make(inCreateParents, outError, [this] { return ::mkdir(m_system.c_str(), 0777) == 0; });
  }

  bool Delete() override {
    struct stat info;
    if (::lstat(m_system.c_str(), &info) != 0) {
      return false;
    }
    if (!S_ISLNK(info.st_mode) && IsReadOnlyMode(info.st_mode)) {
      errno = EACCES;
      return false;
    }
    if (S_ISDIR(info.st_mode)) {
      return ::rmdir(m_system.c_str()) == 0;
    }
    return ::unlink(m_system.c_str()) == 0;
  }

  bool Exists() const override {
    struct stat info;
    return !m_system.empty() && ::lstat(m_system.c_str(), &info) == 0;
  }

  bool CanOpen(AFile::AccessMode inAccess, AFile::ShareMode inShare) const override {
    if (inShare < AFile::kShareRead || inShare > AFile::kShareNone) {
      return false;
    }
    struct stat info;
    if (::stat(m_system.c_str(), &info) != 0) {
      return false;
    }
    const bool folder = S_ISDIR(info.st_mode);
    switch (inAccess) {
      case AFile::kAccessRead:
        return CanOpenForReading(m_system, folder);
      case AFile::kAccessWrite:
        return CanOpenForWriting(m_system, folder, false);
      case AFile::kAccessReadWrite:
        return CanOpenForWriting(m_system, folder, true);
    }
    return false;
  }

  bool IsOpen() const override {
    struct stat info;
    if (::stat(m_system.c_str(), &info) != 0) {
      return false;
    }
    int fd = ::open(m_system.c_str(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    if (fd < 0 && !S_ISDIR(info.st_mode)) {
      fd = ::open(m_system.c_str(), O_WRONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    }
    if (fd < 0) {
      return false;
    }
    const bool locked = ::flock(fd, LOCK_EX | LOCK_NB) != 0 && errno == EWOULDBLOCK;
    ::close(fd);
    return locked;
  }

  uint64_t GetSize() const override {
    struct stat info;
    if (::stat(m_system.c_str(), &info) != 0) {
      return 0;
    }
    if (!S_ISDIR(info.st_mode)) {
      return static_cast<uint64_t>(info.st_size);
    }
    std::vector<AString> names;
    bool complete = false;
    return system::ListFolder(m_text, names, complete) ? names.size() : 0;
  }

  bool Touch() override {
    const timespec times[2] = {{0, UTIME_OMIT}, {0, UTIME_NOW}};
    return Exists() && ::utimensat(AT_FDCWD, m_system.c_str(), times, 0) == 0;
  }

  bool GetOSTypeAttribute(AFile::OSTypeAttribute, uint32_t&) const override { return false; }
  bool SetOSTypeAttribute(AFile::OSTypeAttribute, uint32_t) override { return false; }
  bool GetOSTypeAttributes(AFile::OSTypeAttributes&) const override { return false; }

  bool GetTimeAttribute(AFile::TimeAttribute inWhich, uint64_t& outValue) const override {
    AFile::TimeAttributes times;
    if (!GetTimeAttributes(times)) {
      return false;
    }
    switch (inWhich) {
      case AFile::kTimeCreated:
        outValue = times.created;
        return true;
      case AFile::kTimeModified:
        outValue = times.modified;
        return true;
      case AFile::kTimeAccessed:
        outValue = times.accessed;
        return true;
    }
    return false;
  }

  bool SetTimeAttribute(AFile::TimeAttribute inWhich, uint64_t inValue) override {
    timespec times[2] = {{0, UTIME_OMIT}, {0, UTIME_OMIT}};
    if (inWhich == AFile::kTimeAccessed) {
      times[0] = FromFileTime(inValue);
    } else if (inWhich == AFile::kTimeModified) {
      times[1] = FromFileTime(inValue);
    } else {
      return false;
    }
    return ::utimensat(AT_FDCWD, m_system.c_str(), times, 0) == 0;
  }

  bool GetTimeAttributes(AFile::TimeAttributes& outAttributes) const override {
    struct statx info;
    if (::statx(AT_FDCWD, m_system.c_str(), 0, STATX_BASIC_STATS | STATX_BTIME, &info) != 0) {
      return false;
    }
    outAttributes.modified = ToFileTime(info.stx_mtime.tv_sec, info.stx_mtime.tv_nsec);
    outAttributes.accessed = ToFileTime(info.stx_atime.tv_sec, info.stx_atime.tv_nsec);
    outAttributes.created = (info.stx_mask & STATX_BTIME) != 0
                                ? ToFileTime(info.stx_btime.tv_sec, info.stx_btime.tv_nsec)
                                : outAttributes.modified;
    return true;
  }

  bool GetBoolAttribute(AFile::BoolAttribute inWhich) const override {
    AFile::BoolAttributes all;
    const bool resolve = inWhich == AFile::kIsFileAlias || inWhich == AFile::kIsFolderAlias;
    const bool access = inWhich == AFile::kIsReadable || inWhich == AFile::kIsWritable;
    if (!GetBoolAttributes(all, resolve, access)) {
      return false;
    }
    switch (inWhich) {
      case AFile::kIsFile:
        return all.isFile;
      case AFile::kIsDirectory:
        return all.isDirectory;
      case AFile::kIsAlias:
        return all.isAlias;
      case AFile::kIsFileAlias:
        return all.isFileAlias;
      case AFile::kIsFolderAlias:
        return all.isFolderAlias;
      case AFile::kIsReadable:
        return all.isReadable;
      case AFile::kIsWritable:
        return all.isWritable;
      case AFile::kIsReadOnly:
        return all.isReadOnly;
      case AFile::kIsHidden:
        return all.isHidden;
      case AFile::kBoolAttributeNone:
        return false;
    }
    return false;
  }

  bool SetBoolAttribute(AFile::BoolAttribute inWhich, bool inValue) override {
    if (inWhich != AFile::kIsReadOnly && inWhich != AFile::kIsHidden) {
      return false;
    }
    if (!Exists()) {
      return false;
    }
    if (GetBoolAttribute(inWhich) == inValue) {
      return true;
    }
    if (inWhich == AFile::kIsHidden) {
      return false;
    }
    struct stat info;
    if (::stat(m_system.c_str(), &info) != 0) {
      return false;
    }
    const mode_t mode = inValue ? (info.st_mode & ~(S_IWUSR | S_IWGRP | S_IWOTH)) : (info.st_mode | S_IWUSR);
    return ::chmod(m_system.c_str(), mode & 07777) == 0;
  }

  bool GetBoolAttributes(AFile::BoolAttributes& outAttributes, bool inResolveAliases,
                         bool inCheckAccess) const override {
    struct stat link;
    if (m_system.empty() || ::lstat(m_system.c_str(), &link) != 0) {
      return false;
    }
    struct stat target;
    const bool resolves = ::stat(m_system.c_str(), &target) == 0;
    const bool alias = S_ISLNK(link.st_mode);
    const bool folder = resolves && S_ISDIR(target.st_mode);
    outAttributes.isAlias = alias;
    outAttributes.isDirectory = folder;
    outAttributes.isFile = !folder && !alias;
    outAttributes.isReadOnly = resolves && IsReadOnlyMode(target.st_mode);
    const AString name = m_path.GetComponent(APath::kLastComponentIndex).Get();
    outAttributes.isHidden = name.GetChar(0) == u'.' && name != u"." && name != u"..";
    if (inResolveAliases && alias && resolves) {
      outAttributes.isFileAlias = !folder;
      outAttributes.isFolderAlias = folder;
    }
    if (inCheckAccess && resolves) {
      outAttributes.isReadable = CanOpenForReading(m_system, folder);
      outAttributes.isWritable = CanOpenForWriting(m_system, folder, false);
    }
    return true;
  }

  void PathUpdated() override {
    AFileImpl::PathUpdated();
    m_system = system::ToSystem(m_text);
  }

 private:
  template <class F>
  bool Make(bool inCreateParents, int& outError, F inCreate) {
    outError = 0;
    if (m_path.IsEmpty()) {
      outError = EINVAL;
      return false;
    }
    if (Exists()) {
      outError = EEXIST;
      return false;
    }
    if (inCreateParents) {
      outError = CreateParents();
      if (outError != 0) {
        return false;
      }
    }
    if (!inCreate()) {
      outError = errno;
      return false;
    }
    return true;
  }

  std::string m_system;
};

}  // namespace

AFileImpl* AFileImpl::Create() { return internal::TryNew<AFileImplX>(); }

}  // namespace orn
}  // namespace tarsel
