#pragma once
// SystemUtils: small questions put to the operating system (a fresh GUID, the platform and OS
// version names, WOW64) and running a command line to completion.
//
// Every function is static, keeps no state and may be called from any thread. None throws:
// failures show as empty texts or as the documented bool results.

#include <cstdint>
#include <string>
#include <vector>

#include "platform/TZString.h"

class SystemUtils {
 public:
  // A new random (version 4) UUID as 36 lower-case characters in groups 8-4-4-4-12 joined by
  // hyphens, without braces, e.g. "3f2c0a9e-6b1d-4c57-9e0f-2a7d5b8c1e44". Taken from the kernel's
  // random source; when that fails the assertion "Failed to generate a GUID" is reported and the
  // result is empty.
  static TZString CreateGUIDString();

  // "Linux".
  static TZString GetPlatformName();

  // "Linux " and the first three numbers of the kernel release, e.g. "Linux 6.1.0" for the release
  // "6.1.0-13-amd64"; a missing number counts as 0. "Linux 0.0.0" if the kernel cannot be asked.
  static TZString GetOSVersionString();

  // The device token sent with the handshake: a process-wide text that nothing sets, so empty.
  static TZString GetDeviceToken();

  // True for a 32-bit process on a 64-bit kernel.
  static bool IsWow64();

  // Runs a command line and waits, without a time limit, for the program to end.
  // The command line is inArguments joined with single spaces, in order; no quoting is added, so
  // an argument that contains spaces must carry its own quotes (see SplitCommandLine for how the
  // line is cut into the program's arguments). The program is looked up in PATH when its name has
  // no "/"; it gets the caller's environment, current folder and standard input, output and error,
  // and no other open descriptor.
  // Returns true when the program could not be started (missing, not executable, not a program,
  // empty command line): outExitCode is then left unchanged. Otherwise returns false and stores
  // the program's exit status in outExitCode; a program ended by a signal gets 128 plus the
  // signal's number (SIGKILL gives 137), so it never reads as success.
  // Blocks the calling thread while the program runs. Waits for that exact child only.
  static bool RunProcessAndWait(const std::vector<TZString>& inArguments, uint32_t& outExitCode);

  // Cuts a command line (UTF-8) into arguments by the rules of the Windows C runtime
  // (CommandLineToArgvW):
  // - the program name runs to the first space or tab outside quotes; quotes group and are
  //   removed, backslashes are literal;
  // - every later argument is separated by spaces or tabs outside quotes; quotes group and are
  //   removed; 2n backslashes before a quote give n backslashes and the quote groups; 2n+1 give
  //   n backslashes and a literal quote; other backslashes are literal; "" inside a quoted part
  //   gives a literal quote.
  // Examples (input -> arguments):
  //   "C:\Program Files\a.exe" x      -> [C:\Program Files\a.exe] [x]
  //   a "b c" d                       -> [a] [b c] [d]
  //   a b\"c                          -> [a] [b"c]
  //   a "b\\" c                       -> [a] [b\] [c]
  //   a b\ c\                         -> [a] [b\] [c\]
  //   a "" ""                         -> [a] [] []
  //   a --deploymentFile="/x y/d.xml" -> [a] [--deploymentFile=/x y/d.xml]
  // An empty or all-blank line gives a single empty program name.
  static std::vector<std::string> SplitCommandLine(const std::string& inCommandLine);
};
