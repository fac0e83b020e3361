// Package path rules.
//
// NormalizePkgPath cuts the path into segments (each ending with its '/', the last may have
// none) and rebuilds it: a leading '/', empty segments and "." are dropped; ".." removes the
// segment kept before it (nothing at the start); other segments (".x", "...") stay, and so does
// a trailing '/'. The fragment character '#' ends the work: the rest is copied unchanged from
// the start of its segment (from the '#' itself when it follows a separator, "." or "..", whose
// effect still applies). A path that leaves nothing is "/"; an empty path is code 22.
//   "a//./b" -> "a/b"    "a/x/../b/" -> "a/b/"    "../b" -> "b"    "a/b#c/../d" -> "a/b#c/../d"
#pragma once

#include <string>

#include "pkg/PackageFactory.h"

namespace pkg {

std::string NormalizePkgPath(const std::string& inPath, const PkgSeparators& inSeparators);

// inPath joined to a directory name: a path starting with '/' unchanged, otherwise the
// directory's name (with a '/' added when it lacks one) in front of it.
std::string JoinPkgPath(const std::string& inPath, const std::string& inDirectoryName,
                        const PkgSeparators& inSeparators);

// A path relative to the file inFileName (see IPkgFile::ResolvePath).
std::string ResolvePkgPath(const std::string& inRelativePath, const std::string& inFileName,
                           const PkgSeparators& inSeparators);

}  // namespace pkg
