#include "PkgPath.h"

#include <vector>

#include "pkg/PkgException.h"

namespace pkg {

namespace {

// Applies a segment's effect on the kept segments; inCore is the segment without its '/'.
// Returns false when the segment is one of the dropped kinds.
bool ApplyDotSegment(const std::string& inCore, std::vector<std::string>& ioKept, const PkgSeparators& inSep) {
  const std::string dot(1, inSep.current);
  const std::string dotDot(2, inSep.current);
  if (inCore.empty() || inCore == dot) {
    return true;
  }
  if (inCore == dotDot) {
    if (!ioKept.empty()) {
      ioKept.pop_back();
    }
    return true;
  }
  return false;
}

}  // namespace

std::string NormalizePkgPath(const std::string& inPath, const PkgSeparators& inSep) {
  if (inPath.empty()) {
    throw PackageException(kPkgErrBadArgument);
  }
  const std::string root(1, inSep.path);
  if (inPath == root) {
    return root;
  }
  std::vector<std::string> kept;
  std::string tail;
  std::size_t start = 0;
  while (start < inPath.size()) {
    const std::size_t slash = inPath.find(inSep.path, start);
    const std::size_t end = slash == std::string::npos ? inPath.size() : slash + 1;
    const std::string segment = inPath.substr(start, end - start);
    const std::size_t hash = segment.find(inSep.fragment);
    if (hash != std::string::npos) {
      const std::string before = segment.substr(0, hash);
      if (ApplyDotSegment(before, kept, inSep)) {
        tail = inPath.substr(start + hash);
      } else {
        tail = inPath.substr(start);
      }
      break;
    }
    const std::string core = slash == std::string::npos ? segment : segment.substr(0, segment.size() - 1);
    if (!ApplyDotSegment(core, kept, inSep)) {
      kept.push_back(segment);
    }
    start = end;
  }
  std::string result;
  for (const auto& segment : kept) {
    result += segment;
  }
  result += tail;
  return result.empty() ? root : result;
}

std::string JoinPkgPath(const std::string& inPath, const std::string& inDirectoryName, const PkgSeparators& inSep) {
  if (!inPath.empty() && inPath[0] == inSep.path) {
    return inPath;
  }
  std::string joined = inDirectoryName;
  if (joined.empty() || joined.back() != inSep.path) {
    joined += inSep.path;
  }
  return joined + inPath;
}

std::string ResolvePkgPath(const std::string& inRelativePath, const std::string& inFileName, const PkgSeparators& inSep) {
  const std::size_t colon = inRelativePath.find(inSep.scheme);
  const std::size_t slash = inRelativePath.find(inSep.path);
  if (colon != std::string::npos && (slash == std::string::npos || colon < slash)) {
    return inRelativePath;
  }
  if (inRelativePath.size() >= 2 && inRelativePath[0] == inSep.path && inRelativePath[1] == inSep.path) {
    return inRelativePath;
  }
  std::string path;
  if (!inRelativePath.empty() && inRelativePath[0] == inSep.path) {
    path = inRelativePath;
  } else if (!inRelativePath.empty() && inRelativePath[0] == inSep.fragment) {
    path = inSep.path + inFileName + inRelativePath;
  } else {
    const std::size_t last = inFileName.rfind(inSep.path);
    const std::string folder = last == std::string::npos ? std::string() : inFileName.substr(0, last + 1);
    path = inSep.path + folder + inRelativePath;
  }
  const std::string normal = NormalizePkgPath(path, inSep);
  return normal[0] == inSep.path ? normal : inSep.path + normal;
}

}  // namespace pkg
