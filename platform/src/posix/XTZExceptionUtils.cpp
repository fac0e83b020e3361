// Hardware faults become C++ exceptions on threads that installed the translator.
//
// The handlers run on a per-thread alternate signal stack, so that even a stack overflow is
// reported. On a marked thread the handler writes the crash dump with async-signal-safe calls
// only, restores the signal mask the thread had before the signal, and throws XTZSEHException at
// the faulting instruction (the code is built with -fnon-call-exceptions). On other threads, and
// for signals sent by a process rather than raised by a fault, the previous action applies.
#include "XTZExceptionUtils.h"

#include <execinfo.h>
#include <fcntl.h>
#include <limits.h>
#include <sched.h>
#include <sys/mman.h>
#include <sys/random.h>
#include <sys/stat.h>
#include <ucontext.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <csignal>
#include <cstring>
#include <string>

#include "platform/TZAssert.h"
#include "platform/TZCrashDump.h"
#include "platform/TZFileUtil.h"
#include "platform/TZMutex.h"
#include "platform/XTZSEHException.h"

#ifndef TZ_INSTALLER_VERSION
#define TZ_INSTALLER_VERSION "unknown"
#endif

namespace {

#if defined(TZ_SANITIZE_THREAD)
// ThreadSanitizer owns the signal machinery; faults keep their default behaviour there.
constexpr bool kTranslatorOn = false;
#else
constexpr bool kTranslatorOn = true;
#endif

const int kSignals[] = {SIGSEGV, SIGBUS, SIGFPE, SIGILL};
constexpr int kSignalCount = sizeof kSignals / sizeof kSignals[0];

// The translator's process-wide state. Written under s_installMutex with the handlers not yet
// (or no longer) installed; read by the handlers.
TZMutex s_installMutex;
bool s_installed = false;
struct sigaction s_previous[kSignalCount];
char s_dumpFolder[PATH_MAX];

// The dump lock: the system thread id of the thread writing a dump, 0 when free. A spin lock,
// because a signal handler may not block on a mutex.
std::atomic<pid_t> s_dumpOwner{0};
char s_lastDumpPath[PATH_MAX];

// The thread's mark: set by InstallHandlers on the thread.
thread_local bool t_translate = false;

// The alternate signal stack this thread made; freed when the thread ends.
struct AltStack {
  void* m_memory = nullptr;
  size_t m_size = 0;

  ~AltStack() {
    if (!m_memory) return;
    stack_t current{};
    if (sigaltstack(nullptr, &current) == 0 && current.ss_sp == m_memory) {
      stack_t off{};
      off.ss_flags = SS_DISABLE;
      sigaltstack(&off, nullptr);
    }
    munmap(m_memory, m_size);
  }
};
thread_local AltStack t_altStack;

constexpr size_t kAltStackSize = 256 * 1024;

// --- async-signal-safe text output -------------------------------------------------------------

class SafeWriter {
 public:
  explicit SafeWriter(int inFd) : m_fd(inFd) {}
  ~SafeWriter() { Flush(); }

  SafeWriter& Str(const char* inText) {
    while (inText && *inText) Put(*inText++);
    return *this;
  }
  SafeWriter& Dec(long long inValue) {
    char digits[24];
    int count = 0;
    unsigned long long value = inValue < 0 ? 0ULL - static_cast<unsigned long long>(inValue)
                                           : static_cast<unsigned long long>(inValue);
    do {
      digits[count++] = static_cast<char>('0' + value % 10);
      value /= 10;
    } while (value);
    if (inValue < 0) Put('-');
    while (count) Put(digits[--count]);
    return *this;
  }
  SafeWriter& Hex(unsigned long long inValue, int inWidth = 16) {
    static const char kHex[] = "0123456789abcdef";
    Str("0x");
    for (int shift = (inWidth - 1) * 4; shift >= 0; shift -= 4) Put(kHex[(inValue >> shift) & 0xF]);
    return *this;
  }
  void Flush() {
    size_t done = 0;
    while (done < m_used) {
      const ssize_t n = write(m_fd, m_buffer + done, m_used - done);
      if (n < 0 && errno == EINTR) continue;
      if (n <= 0) break;
      done += static_cast<size_t>(n);
    }
    m_used = 0;
  }

 private:
  void Put(char inChar) {
    if (m_used == sizeof m_buffer) Flush();
    m_buffer[m_used++] = inChar;
  }

  int m_fd;
  char m_buffer[512];
  size_t m_used = 0;
};

// Appends inText to the NUL-terminated text in inBuffer (capacity inSize); false if it is cut.
bool Append(char* inBuffer, size_t inSize, const char* inText) {
  size_t used = std::strlen(inBuffer);
  while (*inText) {
    if (used + 1 >= inSize) return false;
    inBuffer[used++] = *inText++;
  }
  inBuffer[used] = '\0';
  return true;
}

// A version 4 GUID as 36 lower-case characters; empty when the kernel gives no random bytes.
void MakeGuid(char (&outText)[37]) {
  unsigned char bytes[16];
  outText[0] = '\0';
  if (getrandom(bytes, sizeof bytes, GRND_NONBLOCK) != static_cast<ssize_t>(sizeof bytes)) return;
  bytes[6] = static_cast<unsigned char>((bytes[6] & 0x0F) | 0x40);
  bytes[8] = static_cast<unsigned char>((bytes[8] & 0x3F) | 0x80);
  static const char kHex[] = "0123456789abcdef";
  int out = 0;
  for (int i = 0; i < 16; ++i) {
    if (i == 4 || i == 6 || i == 8 || i == 10) outText[out++] = '-';
    outText[out++] = kHex[bytes[i] >> 4];
    outText[out++] = kHex[bytes[i] & 0xF];
  }
  outText[out] = '\0';
}

const char* SignalName(int inSignal) {
  switch (inSignal) {
    case SIGSEGV:
      return "SIGSEGV";
    case SIGBUS:
      return "SIGBUS";
    case SIGFPE:
      return "SIGFPE";
    case SIGILL:
      return "SIGILL";
    default:
      return "signal";
  }
}

void WriteRegisters(SafeWriter& inOut, const ucontext_t* inContext) {
#if defined(__x86_64__)
  static const struct {
    const char* m_name;
    int m_index;
  } kRegisters[] = {
      {"rip", REG_RIP}, {"rsp", REG_RSP}, {"rbp", REG_RBP},    {"rax", REG_RAX}, {"rbx", REG_RBX},
      {"rcx", REG_RCX}, {"rdx", REG_RDX}, {"rsi", REG_RSI},    {"rdi", REG_RDI}, {"r8", REG_R8},
      {"r9", REG_R9},   {"r10", REG_R10}, {"r11", REG_R11},    {"r12", REG_R12}, {"r13", REG_R13},
      {"r14", REG_R14}, {"r15", REG_R15}, {"eflags", REG_EFL},
  };
  inOut.Str("registers:\n");
  for (const auto& reg : kRegisters)
    inOut.Str("  ")
        .Str(reg.m_name)
        .Str("=")
        .Hex(static_cast<unsigned long long>(inContext->uc_mcontext.gregs[reg.m_index]))
        .Str("\n");
#else
  (void)inOut;
  (void)inContext;
#endif
}

void CopyFile(SafeWriter& inOut, int inFd, const char* inPath) {
  inOut.Flush();
  const int source = open(inPath, O_RDONLY | O_CLOEXEC);
  if (source < 0) return;
  char buffer[4096];
  for (;;) {
    const ssize_t n = read(source, buffer, sizeof buffer);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) break;
    ssize_t done = 0;
    while (done < n) {
      const ssize_t w = write(inFd, buffer + done, static_cast<size_t>(n - done));
      if (w < 0 && errno == EINTR) continue;
      if (w <= 0) break;
      done += w;
    }
  }
  close(source);
}

// Writes one dump file and copies its path to outPath; returns 0 or the errno of the step that
// failed. Async-signal-safe.
int WriteDump(int inSignal, const siginfo_t* inInfo, const ucontext_t* inContext, char (&outPath)[PATH_MAX]) {
  outPath[0] = '\0';
  const pid_t self = gettid();
  pid_t expected = 0;
  while (!s_dumpOwner.compare_exchange_weak(expected, self, std::memory_order_acquire)) {
    if (expected == self) return EDEADLK;  // a fault while this thread was writing a dump
    expected = 0;
    sched_yield();
  }

  int error = 0;
  char path[PATH_MAX];
  path[0] = '\0';
  char guid[37];
  MakeGuid(guid);
  if (!s_dumpFolder[0]) {
    error = ENOENT;
  } else {
    // The "Dump" folder is made only when a dump is written; the session folder too, in case
    // the run's teardown has removed it already.
    char session[PATH_MAX];
    session[0] = '\0';
    Append(session, sizeof session, s_dumpFolder);
    char* lastSlash = std::strrchr(session, '/');
    if (lastSlash && lastSlash != session) *lastSlash = '\0';
    mkdir(session, 0700);
    if (mkdir(s_dumpFolder, 0700) != 0 && errno != EEXIST)
      error = errno;
    else if (!Append(path, sizeof path, s_dumpFolder) || !Append(path, sizeof path, "/TzDump") ||
             !Append(path, sizeof path, guid) || !Append(path, sizeof path, ".dmp"))
      error = ENAMETOOLONG;
  }

  if (!error) {
    s_lastDumpPath[0] = '\0';
    Append(s_lastDumpPath, sizeof s_lastDumpPath, path);
    const int fd = open(path, O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
    if (fd < 0) {
      error = errno;
    } else {
      SafeWriter out(fd);
      out.Str("Tarsel Morlix Installer crash dump\n")
          .Str("version=")
          .Str(TZ_INSTALLER_VERSION)
          .Str("\n")
          .Str("process=")
          .Dec(getpid())
          .Str(" thread=")
          .Dec(self)
          .Str("\n")
          .Str("signal=")
          .Dec(inSignal)
          .Str(" (")
          .Str(SignalName(inSignal))
          .Str(")")
          .Str(" code=")
          .Dec(inInfo->si_code)
          .Str(" address=")
          .Hex(reinterpret_cast<uintptr_t>(inInfo->si_addr))
          .Str("\n");
      WriteRegisters(out, inContext);
      out.Str("backtrace:\n");
      out.Flush();
      void* frames[64];
      const int depth = backtrace(frames, 64);
      backtrace_symbols_fd(frames, depth, fd);
      out.Str("memory map:\n");
      CopyFile(out, fd, "/proc/self/maps");
      out.Flush();
      close(fd);
    }
  }

  Append(outPath, sizeof outPath, path);
  s_dumpOwner.store(0, std::memory_order_release);
  return error;
}

int SignalIndex(int inSignal) {
  for (int i = 0; i < kSignalCount; ++i)
    if (kSignals[i] == inSignal) return i;
  return -1;
}

// Hands the signal to whatever was installed before the translator.
void ChainToPrevious(int inSignal, siginfo_t* inInfo, void* inContext) {
  const int index = SignalIndex(inSignal);
  const struct sigaction previous = s_previous[index];
  if (previous.sa_flags & SA_SIGINFO) {
    if (previous.sa_sigaction) {
      previous.sa_sigaction(inSignal, inInfo, inContext);
      return;
    }
  } else if (previous.sa_handler != SIG_DFL && previous.sa_handler != SIG_IGN) {
    previous.sa_handler(inSignal);
    return;
  }
  if (previous.sa_handler == SIG_IGN && inInfo->si_code <= 0) return;
  // The default action ends the process: a fault ends it when the faulting instruction runs
  // again on return; a sent signal is raised again and delivered once the handler returns.
  struct sigaction fallback {};
  fallback.sa_handler = SIG_DFL;
  sigemptyset(&fallback.sa_mask);
  sigaction(inSignal, &fallback, nullptr);
  if (inInfo->si_code <= 0) raise(inSignal);
}

void FaultHandler(int inSignal, siginfo_t* inInfo, void* inContext) {
  // si_code > 0: raised by the kernel for a fault of this thread, not sent by a process.
  if (!t_translate || inInfo->si_code <= 0) {
    ChainToPrevious(inSignal, inInfo, inContext);
    return;
  }
  const auto* context = static_cast<const ucontext_t*>(inContext);
  char path[PATH_MAX];
  const int dumpError = WriteDump(inSignal, inInfo, context, path);
  // Leaving the handler by an exception skips the mask restore the kernel would do on return.
  pthread_sigmask(SIG_SETMASK, &context->uc_sigmask, nullptr);
  // From here on the thread is about to throw, which allocates anyway: the dump is on disk
  // first, so the bookkeeping below may use the ordinary facilities.
  if (dumpError) {
    const std::string message = "CreateFile failed. Error: " + std::to_string(dumpError);
    TZReportAssert(message.c_str(), "..\\..\\..\\source\\private\\exceptions\\WTZExceptionUtils", 97);
  } else {
    TZFileUtil::SetDumpPath(TZString(path));
  }
  throw XTZSEHException(static_cast<uint32_t>(inSignal), inInfo->si_code,
                        reinterpret_cast<uintptr_t>(inInfo->si_addr), dumpError);
}

void EnsureAltStack() {
  stack_t current{};
  if (sigaltstack(nullptr, &current) == 0 && !(current.ss_flags & SS_DISABLE) &&
      current.ss_size >= kAltStackSize / 4)
    return;  // this thread already has one (a sanitizer's, or ours)
  void* memory =
      mmap(nullptr, kAltStackSize, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS | MAP_STACK, -1, 0);
  if (memory == MAP_FAILED) return;  // faults are still translated; only a stack overflow is not
  stack_t stack{};
  stack.ss_sp = memory;
  stack.ss_size = kAltStackSize;
  if (sigaltstack(&stack, nullptr) != 0) {
    munmap(memory, kAltStackSize);
    return;
  }
  t_altStack.m_memory = memory;
  t_altStack.m_size = kAltStackSize;
}

void InstallProcessWide() {
  TZLock lock(s_installMutex);
  if (s_installed) return;
  // backtrace loads the unwinder on its first call; a signal handler must not load anything.
  void* frames[2];
  backtrace(frames, 2);

  const std::string folder = TZFileUtil::GetSessionTempFolder().ToString().ToUTF8();
  s_dumpFolder[0] = '\0';
  if (!folder.empty() && Append(s_dumpFolder, sizeof s_dumpFolder, folder.c_str()) &&
      (folder.back() == '/' || Append(s_dumpFolder, sizeof s_dumpFolder, "/")) &&
      Append(s_dumpFolder, sizeof s_dumpFolder, "Dump")) {
  } else {
    s_dumpFolder[0] = '\0';
  }

  struct sigaction action {};
  action.sa_sigaction = FaultHandler;
  action.sa_flags = SA_SIGINFO | SA_ONSTACK;
  sigemptyset(&action.sa_mask);
  for (int i = 0; i < kSignalCount; ++i) sigaction(kSignals[i], &action, &s_previous[i]);
  s_installed = true;
}

}  // namespace

void XTZExceptionUtils::InstallHandlers() {
  if (!kTranslatorOn) return;
  InstallProcessWide();
  EnsureAltStack();
  t_translate = true;
}

void XTZExceptionUtils::RestoreHandlers() {
  TZLock lock(s_installMutex);
  if (!s_installed) return;
  for (int i = 0; i < kSignalCount; ++i) sigaction(kSignals[i], &s_previous[i], nullptr);
  s_installed = false;
}

TZString TZGetLastDumpPath() {
  const pid_t self = gettid();
  pid_t expected = 0;
  while (!s_dumpOwner.compare_exchange_weak(expected, self, std::memory_order_acquire)) {
    expected = 0;
    sched_yield();
  }
  const std::string path(s_lastDumpPath);
  s_dumpOwner.store(0, std::memory_order_release);
  return TZString(path.c_str());
}
