// CorePathUtils: static helpers around APath: the current and temporary folders, classification
// of paths and UTF-8 conversion.
//
// Folder texts from the system are UTF-8 and are parsed in the native (POSIX) form. Nothing
// throws; failures give an empty path, false or 0. Thread safety: the current folder is
// process-wide; SetCurrentDir affects every thread.
#ifndef TARSEL_ORN_COREPATHUTILS_H
#define TARSEL_ORN_COREPATHUTILS_H

#include <tarsel/orn/APath.h>
#include <tarsel/orn/APathComponent.h>
#include <tarsel/orn/AString8.h>
#include <tarsel/orn/Export.h>

#include <cstdint>

namespace tarsel {
namespace orn {

class TARSEL_ORN_API CorePathUtils {
 public:
  // The process's current folder; empty on failure.
  static APath GetCurrentDir();
  // $TMPDIR, else /tmp, without trailing separators; created with its parents when missing.
  // Empty on failure.
  static APath GetTempDir();
  // False for an invalid path or when the system refuses.
  static bool SetCurrentDir(const APath& inPath);
  // Bytes free for the caller on the volume holding the path (see CoreFileUtils).
  static uint64_t GetPathFreeSpace(const APath& inPath);

  // Valid, and the first component is not a drive ("/usr/x", "a/b").
  static bool IsPosixPath(const APath& inPath);
  // Valid, absolute, more than one component, and the first is neither a drive nor the empty
  // root component ("\\server\share").
  static bool IsUNCPath(const APath& inPath);
  // Valid, and the first component is a drive ("C:\x").
  static bool IsWinLocalPath(const APath& inPath);

  // The native text as UTF-8, and back (decoded, then parsed in the native form).
  static bool APathToUTF8(const APath& inPath, AString8& outText);
  static bool UTF8ToAPath(const AString8& inText, APath& outPath);
  static bool APathComponentToUTF8(const APathComponent& inComponent, AString8& outText);
  static bool UTF8ToAPathComponent(const AString8& inText, APathComponent& outComponent);

  // Not supported: return false and leave the output as it was.
  static bool APathToFileURL(const APath& inPath, AString& outURL);
  static bool FileURLToAPath(const AString& inURL, APath& outPath);

  CorePathUtils() = delete;
};

}  // namespace orn
}  // namespace tarsel

#endif  // TARSEL_ORN_COREPATHUTILS_H
