// Linux half of TZFileUtil.

#include "XTZFileUtil.h"

#include <unistd.h>

#include <cstdlib>
#include <vector>

namespace XTZFileUtil {

std::string ExecutablePath() {
  std::vector<char> buffer(32768);
  const ssize_t length = readlink("/proc/self/exe", buffer.data(), buffer.size());
  if (length <= 0 || static_cast<size_t>(length) >= buffer.size()) return std::string();
  return std::string(buffer.data(), static_cast<size_t>(length));
}

std::string LocalAppDataFolder() {
  const char* data = std::getenv("XDG_DATA_HOME");
  if (data != nullptr && data[0] == '/') return data;
  const char* home = std::getenv("HOME");
  if (home == nullptr || home[0] == '\0') return std::string();
  std::string folder = home;
  if (folder.back() != '/') folder += '/';
  return folder + ".local/share";
}

}  // namespace XTZFileUtil
