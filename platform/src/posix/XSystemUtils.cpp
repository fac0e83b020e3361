// Linux half of SystemUtils: getrandom, uname and posix_spawn.

#include "XSystemUtils.h"

#include <errno.h>
#include <signal.h>
#include <spawn.h>
#include <sys/random.h>
#include <sys/utsname.h>
#include <sys/wait.h>

#include <cstring>

extern char** environ;

namespace XSystemUtils {

bool FillRandom(uint8_t* outBytes, size_t inCount) {
  size_t done = 0;
  while (done < inCount) {
    const ssize_t got = getrandom(outBytes + done, inCount - done, 0);
    if (got < 0) {
      if (errno == EINTR) continue;
      return false;
    }
    done += static_cast<size_t>(got);
  }
  return true;
}

std::string KernelRelease() {
  struct utsname names;
  if (uname(&names) != 0) return std::string();
  return names.release;
}

bool Is32BitProcessOn64BitKernel() {
  if (sizeof(void*) == 8) return false;
  struct utsname names;
  if (uname(&names) != 0) return false;
  return std::strstr(names.machine, "64") != nullptr || std::strcmp(names.machine, "s390x") == 0;
}

bool SpawnAndWait(const std::vector<std::string>& inArguments, uint32_t& outExitCode) {
  if (inArguments.empty()) return false;
  std::vector<char*> argv;
  argv.reserve(inArguments.size() + 1);
  for (const std::string& argument : inArguments) argv.push_back(const_cast<char*>(argument.c_str()));
  argv.push_back(nullptr);

  // The child inherits no descriptor beyond the standard three, starts with an empty signal mask
  // and default signal actions, whatever this process has set up for itself.
  posix_spawn_file_actions_t actions;
  posix_spawnattr_t attributes;
  if (posix_spawn_file_actions_init(&actions) != 0) return false;
  if (posix_spawnattr_init(&attributes) != 0) {
    posix_spawn_file_actions_destroy(&actions);
    return false;
  }
  sigset_t noSignals;
  sigset_t allSignals;
  sigemptyset(&noSignals);
  sigfillset(&allSignals);
  bool prepared = posix_spawn_file_actions_addclosefrom_np(&actions, 3) == 0 &&
                  posix_spawnattr_setsigmask(&attributes, &noSignals) == 0 &&
                  posix_spawnattr_setsigdefault(&attributes, &allSignals) == 0 &&
                  posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETSIGMASK | POSIX_SPAWN_SETSIGDEF) == 0;
  pid_t child = -1;
  const int spawned =
      prepared ? posix_spawnp(&child, argv[0], &actions, &attributes, argv.data(), environ) : -1;
  posix_spawnattr_destroy(&attributes);
  posix_spawn_file_actions_destroy(&actions);
  if (spawned != 0) return false;

  int status = 0;
  while (waitpid(child, &status, 0) < 0) {
    if (errno != EINTR) {
      // The child cannot be waited for (someone else reaped it); its outcome is unknown, which
      // must not read as success.
      outExitCode = 1;
      return true;
    }
  }
  if (WIFEXITED(status)) {
    outExitCode = static_cast<uint32_t>(WEXITSTATUS(status));
  } else {
    outExitCode = 128u + static_cast<uint32_t>(WTERMSIG(status));
  }
  return true;
}

}  // namespace XSystemUtils
