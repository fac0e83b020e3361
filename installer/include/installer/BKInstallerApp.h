// The program entry and the start-up checks.
#pragma once

#include <cstdint>

#include "platform/TZString.h"

// The installer's version, as logged at start-up.
constexpr int kBKVersionMajor = 1;
constexpr int kBKVersionMinor = 0;
constexpr int kBKVersionBuild = 0;
constexpr int kBKVersionRevision = 1;

// The oldest kernel the installer runs on.
constexpr int kBKMinimumSystemMajor = 3;
constexpr int kBKMinimumSystemMinor = 2;

// The installer's own start-up error codes.
constexpr int32_t kBKErrorSystemTooOld = 9;
constexpr int32_t kBKErrorAnotherInstance = 9006;

// The program entry, on the main thread. inInstance and inPrevInstance are opaque (the second is
// always null here), inCommandLine is the arguments after the program name joined by single
// spaces, inShowCommand the window's show command. Installs the fault translator, refuses a second
// copy (9006) and a system older than Linux 3.2 (9), switches the log to the temporary folder's
// "tzbk_installer_log.txt", logs the version and the OS description. Start-up failures are shown
// in a message box captioned "Tarsel Morlix". Returns 0 in every case.
int BKInstallerMain(void* inInstance, void* inPrevInstance, const TZString& inCommandLine, int inShowCommand);

// NAME_MAJOR.MINOR.BUILD_BITS, e.g. "Linux_6.1.0_64-bit": the kernel release's first three
// numbers and the kernel's bitness.
TZString GetOSDescription();

// The first three numbers of an OS version text such as "Linux 6.1.0"; missing numbers are 0.
void ParseOSVersion(const TZString& inVersion, int& outMajor, int& outMinor, int& outBuild);

// True when MAJOR.MINOR of inVersion (as ParseOSVersion reads it) is at least inMajor.inMinor.
bool IsSystemAtLeast(const TZString& inVersion, int inMajor, int inMinor);

// True when two or more running processes have an image path containing this program's file
// name (this process is always one of them).
bool IsAnotherInstanceRunning();

// The text of the start-up error box for a code: the texts of 9006 and 9, empty for any other
// code (no box is shown then).
TZString GetStartupErrorMessage(int32_t inCode);
