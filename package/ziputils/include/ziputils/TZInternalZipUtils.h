// Unzip-to-folder: unpacks a zip package into a folder with the package library.
//
// Unzip opens the package for reading, visits every entry in archive order (ExtractEntry),
// making folders and writing files below the destination, and closes the package. It returns 0
// when every entry was extracted and 1 when anything failed; it logs nothing itself. On failure
// the files and folders already written stay; nothing outside the destination is ever written.
//
// An entry fails the call (result 1) when:
//   - its name would land outside the destination: an absolute name ('/' or '\' first), a drive
//     letter ("C:"), a ".." component (names are split at both '/' and '\'), a NUL byte, or a
//     file name with no component left ("./"); this is checked before anything is written for it;
//   - its file or folder cannot be created or opened, or a write or the flush comes up short;
//   - the bytes written differ from the central directory's uncompressed size or CRC-32;
//   - the package library fails (damaged data: code 31, and the record codes).
// An entry with an empty name is skipped. Existing files are overwritten. Times and attributes
// stored in the archive are not applied.
//
// Each entry is read once from start to end and written straight into its file: unpacking makes
// no temporary files and needs no room beyond the destination.
//
// Threads: the destination is held in one process-wide variable during a call, so only one
// Unzip may run at a time in a process.
#pragma once

#include <string>
#include <vector>

#include "pkg/Package.h"

class TZPath;

class TZInternalZipUtils {
 public:
  static int Unzip(const TZPath& inZipPath, const TZPath& inDestinationFolder);

  // Extracts one entry below the destination of the running Unzip; throws on failure.
  static void ExtractEntry(const pkg::PkgEntryPtr& inEntry);

  // The components a stored name adds below the destination ("." and empty ones dropped), or
  // false when the name must be refused (see above). "a\\b/./c" -> {"a", "b", "c"};
  // "../x", "/x", "\\x", "C:x", "a/../x" -> false.
  static bool SplitEntryName(const std::string& inName, std::vector<std::string>& outComponents);
};
