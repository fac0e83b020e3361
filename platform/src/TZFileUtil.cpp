#include "platform/TZFileUtil.h"

#include <tarsel/orn/CoreFileUtils.h>
#include <tarsel/orn/CorePathUtils.h>

#include <mutex>

#include "XTZFileUtil.h"
#include "platform/TZAssert.h"

using tarsel::orn::AFile;
using tarsel::orn::APath;
using tarsel::orn::AString;
using tarsel::orn::CoreFileUtils;
using tarsel::orn::CorePathUtils;

namespace {

// Process-wide state. Never destroyed: the logger and the crash handler may ask for the session
// folder while static objects are being torn down.
struct FileUtilState {
  std::mutex mutex;
  bool sessionLookedAt = false;
  TZPath sessionPath;
  TZString dumpPath;
};

FileUtilState& State() {
  static FileUtilState* state = new FileUtilState();
  return *state;
}

}  // namespace

TZPath TZFileUtil::GetApplicationPath() {
  const std::string text = XTZFileUtil::ExecutablePath();
  if (text.empty()) {
    TZReportAssert("", __FILE__, __LINE__);
    return TZPath();
  }
  TZPath path{TZString(text.c_str())};
  path.ResolveAliases();
  return path;
}

TZString TZFileUtil::GetLocalAppDataFolder() { return TZString(XTZFileUtil::LocalAppDataFolder().c_str()); }

TZFile TZFileUtil::GetUserPreferenceFolder(const TZString& inName) {
  const TZString localData = GetLocalAppDataFolder();
  if (localData.empty()) return TZFile();
  TZFile folder(localData);
  folder.AppendName(AString(u"Tarsel"));
  if (inName.empty()) {
    TZReportAssert("Dont use TZFileUtil::GetUserPreferenceFolder()", __FILE__, __LINE__);
  } else {
    folder.AppendName(inName.ToAString());
  }
  if (!folder.Exists()) folder.MakeDirectory(true);
  return folder;
}

bool TZFileUtil::CreateFolder(const TZString& inPath) { return TZFile(inPath).MakeDirectory(true); }

TZFile TZFileUtil::GetTempFolder() { return TZFile(CorePathUtils::GetTempDir()); }

TZPath TZFileUtil::GetSessionTempFolder() {
  FileUtilState& state = State();
  std::lock_guard<std::mutex> lock(state.mutex);
  if (!state.sessionLookedAt) {
    state.sessionLookedAt = true;
    AFile folder;
    if (state.sessionPath.IsEmpty() &&
        CoreFileUtils::CreateUniqueTempDir(AString(u"TZ"), AString(u"Session"), folder)) {
      state.sessionPath = TZPath(folder.GetPath());
    }
  }
  return state.sessionPath;
}

TZFile TZFileUtil::CreateUniqueDataFile(const TZString& inSuffix) {
  const TZPath session = GetSessionTempFolder();
  AFile file;
  if (session.IsEmpty() ||
      !CoreFileUtils::CreateUniqueFile(session, AString(u"data-"), inSuffix.ToAString(), file)) {
    return TZFile();
  }
  return TZFile(file);
}

TZFile TZFileUtil::CreateUniqueSessionFolder(const TZString& inPrefix, const TZString& inSuffix) {
  const TZPath session = GetSessionTempFolder();
  AFile folder;
  if (session.IsEmpty() ||
      !CoreFileUtils::CreateUniqueDir(session, inPrefix.ToAString(), inSuffix.ToAString(), folder)) {
    return TZFile();
  }
  return TZFile(folder);
}

bool TZFileUtil::DeleteSessionTempFolder() {
  const TZPath session = GetSessionTempFolder();
  if (session.IsEmpty()) return false;
  return CoreFileUtils::DeleteDirectory(AFile(session), true);
}

bool TZFileUtil::CopyFileReplacing(const TZFile& inSource, const TZFile& inTarget) {
  // Without a source there is nothing to replace the target with: keep it.
  if (!inSource.Exists()) return false;
  if (CoreFileUtils::CopyFileW(inSource, inTarget, false)) return true;
  TZFile target(inTarget);
  if (target.Exists()) {
    target.SetAttribute(AFile::kIsReadOnly, false);
    target.Delete();
  }
  TZFile(target.GetPath().Parent()).MakeDirectory(true);
  return CoreFileUtils::CopyFileW(inSource, inTarget, false);
}

TZString TZFileUtil::GetFileName(const AFile& inFile) { return TZString(inFile.GetNameStr()); }

TZString TZFileUtil::GetBaseName(const TZString& inPath) {
  const TZPath path(inPath);
  if (path.IsEmpty()) return TZString();
  return TZString(path.GetComponent(APath::kLastComponentIndex).GetBase());
}

TZString TZFileUtil::GetDumpFileName() {
  FileUtilState& state = State();
  std::lock_guard<std::mutex> lock(state.mutex);
  return GetFileName(TZFile(state.dumpPath));
}

void TZFileUtil::SetDumpPath(const TZString& inPath) {
  FileUtilState& state = State();
  std::lock_guard<std::mutex> lock(state.mutex);
  state.dumpPath = inPath;
}
