// System services of the foundation library on POSIX systems (Linux).
#include <dirent.h>
#include <fcntl.h>
#include <limits.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/statfs.h>
#include <sys/statvfs.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <tarsel/orn/APath.h>
#include <tarsel/orn/AString8.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <memory>

#include "OrnSystem.h"

extern char** environ;

namespace tarsel {
namespace orn {
namespace system {

namespace {

// Super-block magic numbers of network file systems (statfs f_type).
constexpr unsigned long kNetworkFileSystems[] = {
    0x6969,      // NFS
    0x517B,      // SMB
    0xFF534D42,  // CIFS
    0xFE534D42,  // SMB2
    0x01021997,  // 9P
    0x5346414F,  // AFS
    0x73757245,  // Coda
    0x564C,      // NCP
    0x00C36400,  // Ceph
    0x47504653,  // GPFS
    0x013111A8,  // IBRIX
    0x0BD00BD0,  // Lustre
};

int WriteAll(int inFd, const char* inData, size_t inSize) {
  while (inSize > 0) {
    const ssize_t written = ::write(inFd, inData, inSize);
    if (written < 0) {
      if (errno == EINTR) {
        continue;
      }
      return errno;
    }
    inData += written;
    inSize -= static_cast<size_t>(written);
  }
  return 0;
}

// Copies inFrom's contents to inTo; 0 or errno.
int CopyContents(int inFrom, int inTo) {
  char buffer[64 * 1024];
  for (;;) {
    const ssize_t got = ::read(inFrom, buffer, sizeof buffer);
    if (got < 0) {
      if (errno == EINTR) {
        continue;
      }
      return errno;
    }
    if (got == 0) {
      return 0;
    }
    const int error = WriteAll(inTo, buffer, static_cast<size_t>(got));
    if (error != 0) {
      return error;
    }
  }
}

}  // namespace

std::string ToSystem(const AString& inText) {
  AString8 bytes;
  if (!AString::AStringToUTF8(inText, bytes)) {
    return std::string();
  }
  try {
    return std::string(bytes.c_str(), bytes.size());
  } catch (...) {
    return std::string();
  }
}

AString FromSystem(const char* inBytes) {
  AString text;
  try {
    AString::UTF8ToAString(AString8(inBytes), text);
  } catch (...) {
    text.Clear();
  }
  return text;
}

bool ReadCurrentDir(AString& outText) {
  std::unique_ptr<char[]> buffer(new (std::nothrow) char[APath::kMaxPathLength]);
  if (!buffer || ::getcwd(buffer.get(), APath::kMaxPathLength) == nullptr) {
    return false;
  }
  outText = FromSystem(buffer.get());
  return !outText.IsEmpty();
}

bool ChangeCurrentDir(const AString& inText) {
  const std::string path = ToSystem(inText);
  return !path.empty() && ::chdir(path.c_str()) == 0;
}

AString TempDirText() {
  const char* folder = std::getenv("TMPDIR");
  std::string text = folder != nullptr && folder[0] != 0 ? folder : "/tmp";
  while (text.size() > 1 && text.back() == '/') {
    text.pop_back();
  }
  return FromSystem(text.c_str());
}

uint32_t CurrentThreadId() { return static_cast<uint32_t>(::syscall(SYS_gettid)); }

uint32_t TickCount() {
  timespec now{};
  ::clock_gettime(CLOCK_MONOTONIC, &now);
  const uint64_t milliseconds =
      static_cast<uint64_t>(now.tv_sec) * 1000 + static_cast<uint64_t>(now.tv_nsec) / 1000000;
  return static_cast<uint32_t>(milliseconds);
}

bool ListFolder(const AString& inText, std::vector<AString>& outNames, bool& outComplete) {
  outNames.clear();
  outComplete = false;
  DIR* folder = ::opendir(ToSystem(inText).c_str());
  if (folder == nullptr) {
    return false;
  }
  try {
    for (;;) {
      errno = 0;
      const dirent* entry = ::readdir(folder);
      if (entry == nullptr) {
        outComplete = errno == 0;
        break;
      }
      if (std::strcmp(entry->d_name, ".") != 0 && std::strcmp(entry->d_name, "..") != 0) {
        outNames.push_back(FromSystem(entry->d_name));
      }
    }
  } catch (...) {
    outComplete = false;
  }
  ::closedir(folder);
  return true;
}

bool IsRealFolder(const AString& inText) {
  struct stat info;
  return ::lstat(ToSystem(inText).c_str(), &info) == 0 && S_ISDIR(info.st_mode);
}

bool ClearReadOnly(const AString& inText) {
  const std::string path = ToSystem(inText);
  struct stat info;
  if (::lstat(path.c_str(), &info) != 0) {
    return false;
  }
  if (S_ISLNK(info.st_mode) || (info.st_mode & S_IWUSR) != 0) {
    return true;
  }
  return ::chmod(path.c_str(), (info.st_mode | S_IWUSR) & 07777) == 0;
}

int CopyFile(const AString& inSource, const AString& inDestination, bool inSync) {
  const std::string source = ToSystem(inSource);
  const std::string destination = ToSystem(inDestination);
  const int from = ::open(source.c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY);
  if (from < 0) {
    return errno;
  }
  struct stat info;
  if (::fstat(from, &info) != 0) {
    const int error = errno;
    ::close(from);
    return error;
  }
  if (!S_ISREG(info.st_mode)) {
    ::close(from);
    return EISDIR;
  }
  std::string temporary = destination + ".copy-XXXXXX";
  const int to = ::mkostemp(&temporary[0], O_CLOEXEC);
  if (to < 0) {
    const int error = errno;
    ::close(from);
    return error;
  }
  int error = CopyContents(from, to);
  if (error == 0 && ::fchmod(to, info.st_mode & 07777) != 0) {
    error = errno;
  }
  if (error == 0 && inSync && ::fsync(to) != 0) {
    error = errno;
  }
  if (::close(to) != 0 && error == 0) {
    error = errno;
  }
  ::close(from);
  if (error == 0 && ::rename(temporary.c_str(), destination.c_str()) != 0) {
    error = errno;
  }
  if (error != 0) {
    ::unlink(temporary.c_str());
  }
  return error;
}

int Rename(const AString& inSource, const AString& inDestination) {
  return ::rename(ToSystem(inSource).c_str(), ToSystem(inDestination).c_str()) == 0 ? 0 : errno;
}

uint64_t FreeSpace(const AString& inFolderText) {
  struct statvfs info;
  if (::statvfs(ToSystem(inFolderText).c_str(), &info) != 0) {
    return 0;
  }
  return static_cast<uint64_t>(info.f_bavail) * static_cast<uint64_t>(info.f_frsize);
}

AString MountPoint(const AString& inText) {
  AString canonical;
  if (RealPath(inText, canonical) != 0) {
    return AString();
  }
  std::string path = ToSystem(canonical);
  struct stat info;
  if (::stat(path.c_str(), &info) != 0) {
    return AString();
  }
  // Walk up while the parent is on the same device.
  while (path != "/") {
    const size_t slash = path.find_last_of('/');
    const std::string parent = slash == 0 ? "/" : path.substr(0, slash);
    struct stat parentInfo;
    if (::stat(parent.c_str(), &parentInfo) != 0 || parentInfo.st_dev != info.st_dev) {
      break;
    }
    path = parent;
  }
  return FromSystem(path.c_str());
}

bool IsNetworkFileSystem(const AString& inText) {
  struct statfs info;
  if (::statfs(ToSystem(inText).c_str(), &info) != 0) {
    return false;
  }
  for (unsigned long type : kNetworkFileSystems) {
    if (static_cast<unsigned long>(info.f_type) == type) {
      return true;
    }
  }
  return false;
}

int RealPath(const AString& inText, AString& outText) {
  char* resolved = ::realpath(ToSystem(inText).c_str(), nullptr);
  if (resolved == nullptr) {
    return errno;
  }
  outText = FromSystem(resolved);
  std::free(resolved);
  return 0;
}

bool StartFileBrowser(const AString& inFolderText) {
  const std::string folder = ToSystem(inFolderText);
  // The shell puts xdg-open in the background and ends at once, so this waits only for the shell
  // and the browser is not our child. Without xdg-open the shell fails.
  const char* argv[] = {
      "/bin/sh",
      "-c",
      "command -v xdg-open >/dev/null || exit 127; xdg-open \"$1\" >/dev/null 2>&1 </dev/null &",
      "sh",
      folder.c_str(),
      nullptr};
  pid_t child = 0;
  if (::posix_spawn(&child, "/bin/sh", nullptr, nullptr, const_cast<char* const*>(argv), environ) != 0) {
    return false;
  }
  int status = 0;
  while (::waitpid(child, &status, 0) < 0) {
    if (errno != EINTR) {
      return false;
    }
  }
  return WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

}  // namespace system
}  // namespace orn
}  // namespace tarsel
