#include <dirent.h>
#include <limits.h>
#include <unistd.h>

#include <cstdlib>
#include <string>

#include "platform/TZProcessList.h"

namespace {

std::string LowerAscii(std::string inText) {
  for (char& c : inText)
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  return inText;
}

// The process id a /proc entry names, or 0 for entries that are not processes.
uint32_t ProcessId(const char* inEntry) {
  char* end = nullptr;
  const unsigned long id = std::strtoul(inEntry, &end, 10);
  if (end == inEntry || *end != '\0' || id == 0 || id > UINT32_MAX) return 0;
  return static_cast<uint32_t>(id);
}

}  // namespace

bool FindProcessesByImageName(const TZString& inName, std::vector<uint32_t>* outIds) {
  const std::string name = LowerAscii(inName.ToUTF8());
  DIR* proc = opendir("/proc");
  if (!proc) return false;
  bool found = false;
  while (const dirent* entry = readdir(proc)) {
    const uint32_t id = ProcessId(entry->d_name);
    if (!id) continue;
    const std::string link = std::string("/proc/") + entry->d_name + "/exe";
    char image[PATH_MAX + 1];
    const ssize_t length = readlink(link.c_str(), image, PATH_MAX);
    if (length <= 0) continue;
    if (LowerAscii(std::string(image, static_cast<size_t>(length))).find(name) == std::string::npos) continue;
    found = true;
    if (!outIds) break;
    outIds->push_back(id);
  }
  closedir(proc);
  return found;
}
