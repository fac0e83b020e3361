#include "XTZFolders.h"

#include <time.h>
#include <unistd.h>

#include <cstdlib>

std::string XTZTempFolderText() {
  const char* variable = std::getenv("TMPDIR");
  std::string folder = variable && *variable ? variable : "/tmp";
  if (folder.back() != '/') folder += '/';
  return folder;
}

std::string XTZSessionFolderText() {
  timespec now{};
  clock_gettime(CLOCK_MONOTONIC, &now);
  const unsigned long tick = static_cast<unsigned long>(now.tv_sec) * 1000UL + now.tv_nsec / 1000000;
  return XTZTempFolderText() + "TZ" + std::to_string(gettid()) + std::to_string(tick & 0xFFFFFFFFUL) +
         "Session";
}
