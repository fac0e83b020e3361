#pragma once
// TZFileUtil: where the program's files live, and the run's scratch ("session") folder.
//
// Folders on Linux:
//   application path     the running executable (/proc/self/exe)
//   local app data       $XDG_DATA_HOME, else $HOME/.local/share
//   temporary folder     $TMPDIR, else /tmp (created when missing)
//   session folder       <temporary folder>/TZ<thread id><number>Session, made on first use
//
// All scratch data of one run (the downloaded package, the extraction folder, dumps) lives in the
// session folder, which DeleteSessionTempFolder removes at the end of the run. The first call that
// needs it creates it; when that creation fails the session path stays empty for the rest of the
// run (no retry) and the operations that need it fail.
//
// Nothing here throws (beyond std::bad_alloc). Failures give empty paths, empty texts or false;
// the two misuses noted below are reported as assertions and the call continues. Every function
// may be called from any thread; the session path and the dump path are guarded by a lock.

#include "platform/TZFile.h"
#include "platform/TZPath.h"
#include "platform/TZString.h"

class TZFileUtil {
 public:
  // The running executable, with "." and ".." resolved; empty (after an assertion report) when
  // the system does not say.
  static TZPath GetApplicationPath();
  // The user's local application-data folder; empty when neither variable names one.
  static TZString GetLocalAppDataFolder();
  // Local app data + "Tarsel" + inName, created with its parents if missing. An empty inName is a
  // misuse: reported as the assertion "Dont use TZFileUtil::GetUserPreferenceFolder()", and the
  // folder local app data + "Tarsel" is returned (and created). Empty when there is no local app
  // data folder.
  static TZFile GetUserPreferenceFolder(const TZString& inName);
  // Makes the folder named by inPath with its parents; true on success, false if it exists.
  static bool CreateFolder(const TZString& inPath);
  // The user's temporary folder, created if missing.
  static TZFile GetTempFolder();

  // The session folder (see above); a copy of the session path, empty if it could not be made.
  // After DeleteSessionTempFolder it still returns the old (now missing) path.
  static TZPath GetSessionTempFolder();
  // A new empty file "data-" + thread id + number + inSuffix in the session folder; an empty
  // path on failure. Two calls give two files in the same folder.
  static TZFile CreateUniqueDataFile(const TZString& inSuffix);
  // A new folder inPrefix + thread id + number + inSuffix in the session folder; an empty path on
  // failure.
  static TZFile CreateUniqueSessionFolder(const TZString& inPrefix, const TZString& inSuffix);
  // Removes the session folder and everything in it, read-only contents included; true if all
  // of it went. False when there is no session folder.
  static bool DeleteSessionTempFolder();

  // Copies inSource over inTarget. If the plain copy fails, a read-only target is made writable
  // and deleted, the target's folder is created with its parents, and the copy is tried once
  // more. True if a copy succeeded.
  static bool CopyFileReplacing(const TZFile& inSource, const TZFile& inTarget);

  // The last component of inFile's path.
  static TZString GetFileName(const tarsel::orn::AFile& inFile);
  // The last component of the native path inPath without its extension:
  //   "/src/Module.cpp" -> "Module", "Foo" -> "Foo", "a/b.tar.gz" -> "b.tar", "" -> ""
  static TZString GetBaseName(const TZString& inPath);

  // The last component of the crash-dump path that SetDumpPath stored (empty until then).
  static TZString GetDumpFileName();
  // Stores the full path of the latest crash dump.
  static void SetDumpPath(const TZString& inPath);
};
