#include "XPkgFile.h"

#include <cerrno>
#include <cstdlib>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace pkg {

uint32_t XPkgProcessId() { return static_cast<uint32_t>(::getpid()); }

std::string XPkgTempFolder() {
  const char* dir = std::getenv("TMPDIR");
  if (dir != nullptr && dir[0] != '\0') {
    return dir;
  }
  return "/tmp";
}

std::FILE* XPkgCreateExclusive(const std::string& inPath, int& outErrno) {
  const int fd = ::open(inPath.c_str(), O_RDWR | O_CREAT | O_EXCL | O_CLOEXEC, S_IRUSR | S_IWUSR);
  if (fd < 0) {
    outErrno = errno;
    return nullptr;
  }
  std::FILE* file = ::fdopen(fd, "w+b");
  if (file == nullptr) {
    outErrno = errno;
    ::close(fd);
    ::unlink(inPath.c_str());
    return nullptr;
  }
  return file;
}

bool XPkgSeek(std::FILE* inFile, int64_t inOffset, int inOrigin) {
  const int whence = inOrigin == 0 ? SEEK_SET : (inOrigin == 1 ? SEEK_CUR : SEEK_END);
  return ::fseeko(inFile, static_cast<off_t>(inOffset), whence) == 0;
}

int64_t XPkgTell(std::FILE* inFile) { return static_cast<int64_t>(::ftello(inFile)); }

bool XPkgTruncate(std::FILE* inFile, int64_t inSize) {
  if (std::fflush(inFile) != 0) {
    return false;
  }
  return ::ftruncate(::fileno(inFile), static_cast<off_t>(inSize)) == 0;
}

}  // namespace pkg
