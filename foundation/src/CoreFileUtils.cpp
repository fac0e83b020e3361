#include <tarsel/orn/CoreFileUtils.h>
#include <tarsel/orn/CorePathUtils.h>

#include <cerrno>
#include <cwctype>
#include <vector>

#include "OrnSystem.h"

namespace tarsel {
namespace orn {

namespace {

constexpr uint32_t kUniqueAttempts = 1000;

// The checks shared by copy and move; true when the operation may go on.
bool MayTransfer(const AFile& inSource, const AFile& inDestination, bool inFailIfExists) {
  return inSource.Exists() && inDestination.HasValidPath() && !(inFailIfExists && inDestination.Exists());
}

AString Decimal(uint32_t inValue) {
  char16_t digits[11];
  int count = 0;
  do {
    digits[count++] = static_cast<char16_t>(u'0' + inValue % 10);
    inValue /= 10;
  } while (inValue != 0);
  AString text;
  while (count > 0) {
    text.Append(digits[--count]);
  }
  return text;
}

bool CreateUnique(const APath& inParent, const AString& inPrefix, const AString& inSuffix, bool inFolder,
                  AFile& outFile) {
  const AString thread = Decimal(system::CurrentThreadId());
  const uint32_t tick = system::TickCount();
  for (uint32_t attempt = 0; attempt < kUniqueAttempts; ++attempt) {
    APath candidate(inParent);
    if (!candidate.Append(APathComponent(inPrefix + thread + Decimal(tick + attempt) + inSuffix)) ||
        !outFile.SetPath(candidate)) {
      break;
    }
    if (outFile.Exists()) {
      continue;
    }
    int error = 0;
    const bool made = inFolder ? outFile.MakeDirectory(true, &error) : outFile.MakeFile(true, &error);
    if (made) {
      return true;
    }
    // Another process took the name between the check and the creation: try the next one.
    if (error != EEXIST) {
      break;
    }
  }
  outFile.SetPath(APath());
  return false;
}

// inName may hold separators ("sub/name"): it is parsed as a relative path below the folder.
bool CreateNamedTemp(const AString& inName, bool inFolder, AFile& outFile) {
  APath path = CorePathUtils::GetTempDir();
  const APath name(inName, APath::kPathTypeNative);
  if (path.IsEmpty() || name.IsEmpty() || name.IsAbsolute() || !name.IsValid() || !path.Append(name)) {
    outFile.SetPath(APath());
    return false;
  }
  outFile.SetPath(path);
  if (outFile.Exists() || !(inFolder ? outFile.MakeDirectory(true) : outFile.MakeFile(true))) {
    outFile.SetPath(APath());
    return false;
  }
  return true;
}

AString Folded(const AString& inText) {
  AString folded(inText);
  for (uint32_t i = 0; i < folded.CharCount(); ++i) {
    const char16_t unit = folded.GetChar(i);
    if (unit != 0) {
      folded.SetChar(i, static_cast<char16_t>(std::towlower(static_cast<wint_t>(unit))));
    }
  }
  return folded;
}

}  // namespace

bool CoreFileUtils::CopyFileW(const AFile& inSource, const AFile& inDestination, bool inFailIfExists) {
  return FileCopy(inSource, inDestination, inFailIfExists);
}

bool CoreFileUtils::FileCopy(const AFile& inSource, const AFile& inDestination, bool inFailIfExists) {
  if (inSource == inDestination) {
    return true;
  }
  if (!MayTransfer(inSource, inDestination, inFailIfExists)) {
    return false;
  }
  return system::CopyFile(inSource.GetPath(true), inDestination.GetPath(true), false) == 0;
}

bool CoreFileUtils::MoveFileW(const AFile& inSource, const AFile& inDestination, bool inFailIfExists) {
  return FileMove(inSource, inDestination, inFailIfExists);
}

bool CoreFileUtils::FileMove(const AFile& inSource, const AFile& inDestination, bool inFailIfExists) {
  if (inSource == inDestination) {
    return true;
  }
  if (!MayTransfer(inSource, inDestination, inFailIfExists)) {
    return false;
  }
  const bool folder = system::IsRealFolder(inSource.GetPath(true));
  if (folder && inDestination.Exists()) {
    return false;
  }
  const int error = system::Rename(inSource.GetPath(true), inDestination.GetPath(true));
  if (error == 0) {
    return true;
  }
  if (error != EXDEV || folder) {
    return false;
  }
  if (system::CopyFile(inSource.GetPath(true), inDestination.GetPath(true), true) != 0) {
    return false;
  }
  AFile source(inSource);
  source.DeleteOnDestroy(false);
  return source.Delete();
}

bool CoreFileUtils::RenameFile(AFile& ioFile, const AString& inNewName) {
  if (inNewName.IsEmpty() || inNewName.Contains(u'/') || inNewName == u"." || inNewName == u"..") {
    return false;
  }
  if (ioFile.GetNameStr() == inNewName) {
    return true;
  }
  if (!ioFile.Exists()) {
    return ioFile.SetName(inNewName);
  }
  AFile renamed(ioFile);
  renamed.DeleteOnDestroy(false);
  // Another object of the new name is never replaced.
  if (!renamed.SetName(inNewName) || renamed.Exists() ||
      system::Rename(ioFile.GetPath(true), renamed.GetPath(true)) != 0) {
    return false;
  }
  return ioFile.SetName(inNewName);
}

bool CoreFileUtils::DeleteDirectory(const AFile& inDirectory, bool inForce) {
  const AString text = inDirectory.GetPath(true);
  // A link to a folder is not walked: that would empty the folder it points to.
  if (!inDirectory.Exists() || !system::IsRealFolder(text)) {
    return false;
  }
  if (inForce) {
    // The folder must be writable for its entries to go.
    system::ClearReadOnly(text);
  }
  std::vector<AString> names;
  bool complete = false;
  if (!system::ListFolder(text, names, complete)) {
    return false;
  }
  bool ok = true;
  for (const AString& name : names) {
    AFile entry(inDirectory);
    entry.DeleteOnDestroy(false);
    if (!entry.AppendName(name)) {
      ok = false;
      continue;
    }
    if (system::IsRealFolder(entry.GetPath(true))) {
      ok = DeleteDirectory(entry, inForce) && ok;
      continue;
    }
    if (inForce) {
      system::ClearReadOnly(entry.GetPath(true));
    }
    ok = entry.Delete() && ok;
  }
  if (!ok || !complete) {
    return false;
  }
  AFile folder(inDirectory);
  folder.DeleteOnDestroy(false);
  return folder.Delete();
}

bool CoreFileUtils::CreateUniqueDir(const APath& inParent, const AString& inPrefix, const AString& inSuffix,
                                    AFile& outFile) {
  return CreateUnique(inParent, inPrefix, inSuffix, true, outFile);
}

bool CoreFileUtils::CreateUniqueFile(const APath& inParent, const AString& inPrefix, const AString& inSuffix,
                                     AFile& outFile) {
  return CreateUnique(inParent, inPrefix, inSuffix, false, outFile);
}

bool CoreFileUtils::CreateUniqueTempDir(const AString& inPrefix, const AString& inSuffix, AFile& outFile) {
  const APath temp = CorePathUtils::GetTempDir();
  return !temp.IsEmpty() && CreateUniqueDir(temp, inPrefix, inSuffix, outFile);
}

bool CoreFileUtils::CreateUniqueTempFile(const AString& inPrefix, const AString& inSuffix, AFile& outFile) {
  const APath temp = CorePathUtils::GetTempDir();
  return !temp.IsEmpty() && CreateUniqueFile(temp, inPrefix, inSuffix, outFile);
}

bool CoreFileUtils::CreateTempDir(const AString& inName, AFile& outFile) {
  return CreateNamedTemp(inName, true, outFile);
}

bool CoreFileUtils::CreateTempFile(const AString& inName, AFile& outFile) {
  return CreateNamedTemp(inName, false, outFile);
}

AFile CoreFileUtils::GetTempDir() { return AFile(CorePathUtils::GetTempDir()); }

AFile CoreFileUtils::GetCurrentDir() { return AFile(CorePathUtils::GetCurrentDir()); }

bool CoreFileUtils::SetCurrentDir(const AFile& inFolder) {
  return CorePathUtils::SetCurrentDir(inFolder.GetPath());
}

uint64_t CoreFileUtils::GetFileFreeSpace(const AFile& inFile) {
  if (!inFile.HasPath()) {
    return 0;
  }
  // A file that does not exist yet is measured by the folder that would hold it.
  AFile target;
  if (!inFile.Exists()) {
    target.SetPath(inFile.GetPath());
  } else if (ResolveAlias(inFile, target) != 0) {
    return 0;
  }
  const AString folder =
      target.GetAttribute(AFile::kIsDirectory) ? target.GetPath(true) : target.GetParentPath(true);
  return folder.IsEmpty() ? 0 : system::FreeSpace(folder);
}

AString CoreFileUtils::GetVolumeName(const AFile& inFile) {
  const APath path = inFile.GetPath();
  const APathComponent first = path.GetComponent(0);
  if (first.IsWinDrive()) {
    return first.Get();
  }
  if (CorePathUtils::IsUNCPath(path)) {
    return path.Subpath(0, 2).GetPath(APath::kPathTypeWindows, false);
  }
  if (path.IsAbsolute() && first.IsEmpty()) {
    return system::MountPoint(inFile.GetPath(true));
  }
  return AString();
}

bool CoreFileUtils::OnSameVolume(const AFile& inFirst, const AFile& inSecond) {
  const AString first = GetVolumeName(inFirst);
  return !first.IsEmpty() && first == GetVolumeName(inSecond);
}

bool CoreFileUtils::OnServerVolume(const AFile& inFile) {
  return CorePathUtils::IsUNCPath(inFile.GetPath()) ||
         (inFile.HasPath() && system::IsNetworkFileSystem(inFile.GetPath(true)));
}

bool CoreFileUtils::PathsEquivalent(const AFile& inFirst, const AFile& inSecond, bool inResolveAliases) {
  AFile first(inFirst);
  AFile second(inSecond);
  first.DeleteOnDestroy(false);
  second.DeleteOnDestroy(false);
  if (inResolveAliases) {
    AFile resolved;
    if (ResolveAlias(inFirst, resolved) == 0) {
      first.SetPath(resolved.GetPath());
    }
    if (ResolveAlias(inSecond, resolved) == 0) {
      second.SetPath(resolved.GetPath());
    }
  }
  return Folded(first.GetPath(false)) == Folded(second.GetPath(false));
}

int CoreFileUtils::ResolveAlias(const AFile& inSource, AFile& outFile, bool* outIsFolder, bool* outWasAlias,
                                bool) {
  if (!inSource.Exists()) {
    return ENOENT;
  }
  if (!inSource.GetAttribute(AFile::kIsAlias)) {
    outFile.SetPath(inSource.GetPath());
    if (outIsFolder != nullptr) {
      *outIsFolder = inSource.GetAttribute(AFile::kIsDirectory);
    }
    if (outWasAlias != nullptr) {
      *outWasAlias = false;
    }
    return 0;
  }
  AString target;
  const int error = system::RealPath(inSource.GetPath(true), target);
  if (error != 0) {
    return error;
  }
  outFile.SetPath(target);
  if (outIsFolder != nullptr) {
    *outIsFolder = outFile.GetAttribute(AFile::kIsDirectory);
  }
  if (outWasAlias != nullptr) {
    *outWasAlias = true;
  }
  return 0;
}

bool CoreFileUtils::ShowFileLocation(const AFile& inFile) {
  const AString text = inFile.GetPath(false);
  if (text.IsEmpty()) {
    return false;
  }
  const AString folder = inFile.GetAttribute(AFile::kIsDirectory) || !inFile.HasParentPath()
                             ? text
                             : inFile.GetParentPath(false);
  return system::StartFileBrowser(folder);
}

bool CoreFileUtils::AFileToUTF8(const AFile& inFile, AString8& outText) {
  return AString::AStringToUTF8(inFile.GetPath(false), outText);
}

bool CoreFileUtils::UTF8ToAFile(const AString8& inText, AFile& outFile) {
  AString text;
  return AString::UTF8ToAString(inText, text) && outFile.SetPath(text);
}

}  // namespace orn
}  // namespace tarsel
