// The system services the portable parts of the library need beyond AFile's slots. Implemented
// once per platform (src/posix). Texts are native path texts; errors are errno values.
#ifndef TARSEL_ORN_ORNSYSTEM_H
#define TARSEL_ORN_ORNSYSTEM_H

#include <tarsel/orn/AString.h>

#include <cstdint>
#include <string>
#include <vector>

namespace tarsel {
namespace orn {
namespace system {

// UTF-8 bytes of a text for the system, and back.
std::string ToSystem(const AString& inText);
AString FromSystem(const char* inBytes);

bool ReadCurrentDir(AString& outText);
bool ChangeCurrentDir(const AString& inText);
// The temporary folder's text without trailing separators.
AString TempDirText();
uint32_t CurrentThreadId();
// Milliseconds of a monotonic clock, low 32 bits.
uint32_t TickCount();

// The names in a folder besides "." and ".."; false when the listing cannot start.
// outComplete is false when the listing stopped early.
bool ListFolder(const AString& inText, std::vector<AString>& outNames, bool& outComplete);
// The object is a folder itself (links not followed).
bool IsRealFolder(const AString& inText);
// Adds the owner's write bit; links are left alone.
bool ClearReadOnly(const AString& inText);
// Copies a regular file's contents and permission bits through a temporary file beside the
// destination that is renamed over it. 0 or errno.
int CopyFile(const AString& inSource, const AString& inDestination, bool inSync);
// rename(2): 0 or errno.
int Rename(const AString& inSource, const AString& inDestination);
uint64_t FreeSpace(const AString& inFolderText);
// The mount point holding an existing path, or empty.
AString MountPoint(const AString& inText);
bool IsNetworkFileSystem(const AString& inText);
// 0 and the canonical absolute path, or errno.
int RealPath(const AString& inText, AString& outText);
// Starts the desktop's file browser on a folder without waiting for it.
bool StartFileBrowser(const AString& inFolderText);

}  // namespace system
}  // namespace orn
}  // namespace tarsel

#endif  // TARSEL_ORN_ORNSYSTEM_H
