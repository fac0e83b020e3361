#include <tarsel/orn/AFile.h>
#include <tarsel/orn/CoreFileUtils.h>
#include <tarsel/orn/CorePathUtils.h>

#include "OrnSystem.h"

namespace tarsel {
namespace orn {

APath CorePathUtils::GetCurrentDir() {
  AString text;
  if (!system::ReadCurrentDir(text)) {
    return APath();
  }
  return APath(text, APath::kPathTypeNative);
}

APath CorePathUtils::GetTempDir() {
  const AString text = system::TempDirText();
  const APath path(text, APath::kPathTypeNative);
  AFile folder(path);
  if (!folder.Exists() && !folder.MakeDirectory(true)) {
    return APath();
  }
  return path;
}

bool CorePathUtils::SetCurrentDir(const APath& inPath) {
  return inPath.IsValid() && system::ChangeCurrentDir(inPath.GetPath(APath::kPathTypeNative, true));
}

uint64_t CorePathUtils::GetPathFreeSpace(const APath& inPath) {
  return CoreFileUtils::GetFileFreeSpace(AFile(inPath));
}

bool CorePathUtils::IsPosixPath(const APath& inPath) {
  return inPath.IsValid() && !inPath.GetComponent(0).IsWinDrive();
}

bool CorePathUtils::IsUNCPath(const APath& inPath) {
  const APathComponent first = inPath.GetComponent(0);
  return inPath.IsValid() && inPath.IsAbsolute() && inPath.Size() > 1 && !first.IsWinDrive() &&
         !first.IsEmpty();
}

bool CorePathUtils::IsWinLocalPath(const APath& inPath) {
  return inPath.IsValid() && inPath.GetComponent(0).IsWinDrive();
}

bool CorePathUtils::APathToUTF8(const APath& inPath, AString8& outText) {
  return AString::AStringToUTF8(inPath.GetPath(APath::kPathTypeNative, false), outText);
}

bool CorePathUtils::UTF8ToAPath(const AString8& inText, APath& outPath) {
  AString text;
  return AString::UTF8ToAString(inText, text) && outPath.SetPath(text, APath::kPathTypeNative);
}

bool CorePathUtils::APathComponentToUTF8(const APathComponent& inComponent, AString8& outText) {
  return AString::AStringToUTF8(inComponent.Get(), outText);
}

bool CorePathUtils::UTF8ToAPathComponent(const AString8& inText, APathComponent& outComponent) {
  AString text;
  if (!AString::UTF8ToAString(inText, text)) {
    return false;
  }
  outComponent.Set(text);
  return true;
}

bool CorePathUtils::APathToFileURL(const APath&, AString&) { return false; }

bool CorePathUtils::FileURLToAPath(const AString&, APath&) { return false; }

}  // namespace orn
}  // namespace tarsel
