// CoreFileUtils: static operations on whole files and folders: copy, move, rename, recursive
// delete, unique and temporary names, free space, volumes, alias resolution, showing a file in
// the file browser.
//
// "The text" of a file is its native path text. Nothing throws; failures are false, 0, an empty
// result or an errno value. Thread safety: the functions keep no state; the file system and the
// current folder are shared by all threads.
#ifndef TARSEL_ORN_COREFILEUTILS_H
#define TARSEL_ORN_COREFILEUTILS_H

#include <tarsel/orn/AFile.h>
#include <tarsel/orn/AString.h>
#include <tarsel/orn/AString8.h>
#include <tarsel/orn/Export.h>

#include <cstdint>

namespace tarsel {
namespace orn {

class TARSEL_ORN_API CoreFileUtils {
 public:
  // True at once for equal files; false if the source is missing or not a file, the destination
  // has no valid path, or inFailIfExists is set and it exists. The copy is written beside the
  // destination and then renamed over it, so a failed copy leaves an existing destination intact.
  static bool CopyFileW(const AFile& inSource, const AFile& inDestination, bool inFailIfExists);
  static bool FileCopy(const AFile& inSource, const AFile& inDestination, bool inFailIfExists);
  // The same checks; renames, or copies and removes the source across file systems (files only),
  // syncing the destination. An existing destination is replaced unless the source is a folder.
  static bool MoveFileW(const AFile& inSource, const AFile& inDestination, bool inFailIfExists);
  static bool FileMove(const AFile& inSource, const AFile& inDestination, bool inFailIfExists);
  // Empty name or one holding "/" (or "." / ".."): false; same name: true; a missing object only
  // changes its name; else it is renamed in its folder (never over another object of that name)
  // and ioFile takes the new path.
  static bool RenameFile(AFile& ioFile, const AString& inNewName);
  // Deletes a folder tree; links are removed, never followed (a link given as inDirectory is
  // refused). Without inForce a read-only entry is kept and the result is false; with it the
  // read-only attribute is cleared first.
  static bool DeleteDirectory(const AFile& inDirectory, bool inForce);

  // Creates inParent/<prefix><thread id><tick + i><suffix> for the first free i below 1000, with
  // missing parents; outFile names it. False (outFile emptied) when all are taken or creation fails.
  static bool CreateUniqueDir(const APath& inParent, const AString& inPrefix, const AString& inSuffix,
                              AFile& outFile);
  static bool CreateUniqueFile(const APath& inParent, const AString& inPrefix, const AString& inSuffix,
                               AFile& outFile);
  // The same in CorePathUtils::GetTempDir().
  static bool CreateUniqueTempDir(const AString& inPrefix, const AString& inSuffix, AFile& outFile);
  static bool CreateUniqueTempFile(const AString& inPrefix, const AString& inSuffix, AFile& outFile);
  // outFile becomes the temporary folder plus inName (a valid relative path, "sub/name" allowed),
  // created with parents when nothing exists there; otherwise outFile is emptied and the result
  // is false.
  static bool CreateTempDir(const AString& inName, AFile& outFile);
  static bool CreateTempFile(const AString& inName, AFile& outFile);

  static AFile GetTempDir();
  static AFile GetCurrentDir();
  static bool SetCurrentDir(const AFile& inFolder);

  // Bytes free for the caller on the volume holding the folder (the file itself if a folder,
  // else its parent, also for a file not yet made; links followed); 0 on any failure.
  static uint64_t GetFileFreeSpace(const AFile& inFile);
  // "\\server\share" for a UNC path, "C:" for a drive path, the mount point holding an existing
  // absolute native path, else empty.
  static AString GetVolumeName(const AFile& inFile);
  // Both volume names are equal and not empty.
  static bool OnSameVolume(const AFile& inFirst, const AFile& inSecond);
  // A UNC path, or a path on a network file system (NFS, SMB/CIFS, 9P, AFS, Ceph and the like).
  static bool OnServerVolume(const AFile& inFile);
  // Texts compared without regard to case (towlower under the current C locale); with
  // inResolveAliases both are resolved first.
  static bool PathsEquivalent(const AFile& inFirst, const AFile& inSecond, bool inResolveAliases);

  // 0 on success, else an errno value: ENOENT when the source does not exist, the error of
  // realpath when a link does not resolve. A non-alias resolves to itself.
  static int ResolveAlias(const AFile& inSource, AFile& outFile, bool* outIsFolder = nullptr,
                          bool* outWasAlias = nullptr, bool inNoUI = true);

  // Asks the desktop's file browser (xdg-open, started in the background) to open the file's
  // folder. False for an empty path or when the request could not be started.
  static bool ShowFileLocation(const AFile& inFile);

  static bool AFileToUTF8(const AFile& inFile, AString8& outText);
  static bool UTF8ToAFile(const AString8& inText, AFile& outFile);

  CoreFileUtils() = delete;
};

}  // namespace orn
}  // namespace tarsel

#endif  // TARSEL_ORN_COREFILEUTILS_H
