#include "installer/BKInstallerApp.h"

#include <cstdio>
#include <string>
#include <vector>

#include "analytics/BKTelvoEventQueue.h"
#include "platform/SystemUtils.h"
#include "platform/TZBKException.h"
#include "platform/TZCustomExceptionHandler.h"
#include "platform/TZExceptionUtils.h"
#include "platform/TZFileUtil.h"
#include "platform/TZLogger.h"
#include "platform/TZMessageBox.h"
#include "platform/TZProcessList.h"

namespace {

TZString Text(const char* inUtf8) { return TZString(inUtf8); }

// The file name (with extension) of this program's executable.
TZString ExecutableFileName() {
  const TZString path = TZFileUtil::GetApplicationPath().ToString();
  const size_t slash = path.rfind(u'/');
  return slash == TZString::npos ? path : path.Substring(slash + 1);
}

// A file in the temporary folder.
TZString TempFile(const char* inName) {
  TZString folder = TZFileUtil::GetTempFolder().ToString();
  if (!folder.empty() && folder.back() != u'/') folder += u'/';
  return folder + inName;
}

}  // namespace

void ParseOSVersion(const TZString& inVersion, int& outMajor, int& outMinor, int& outBuild) {
  const std::string text = inVersion.ToUTF8();
  int numbers[3] = {0, 0, 0};
  size_t position = text.find_first_of("0123456789");
  for (int& number : numbers) {
    if (position == std::string::npos || position >= text.size() || text[position] < '0' ||
        text[position] > '9')
      break;
    long value = 0;
    while (position < text.size() && text[position] >= '0' && text[position] <= '9') {
      if (value < 1000000) value = value * 10 + (text[position] - '0');
      ++position;
    }
    number = static_cast<int>(value);
    if (position >= text.size() || text[position] != '.') break;
    ++position;
  }
  outMajor = numbers[0];
  outMinor = numbers[1];
  outBuild = numbers[2];
}

bool IsSystemAtLeast(const TZString& inVersion, int inMajor, int inMinor) {
  int major = 0;
  int minor = 0;
  int build = 0;
  ParseOSVersion(inVersion, major, minor, build);
  return major > inMajor || (major == inMajor && minor >= inMinor);
}

TZString GetOSDescription() {
  int major = 0;
  int minor = 0;
  int build = 0;
  ParseOSVersion(SystemUtils::GetOSVersionString(), major, minor, build);
  // A 64-bit process runs only on a 64-bit kernel; a 32-bit one may run on either.
  const bool kernel64 = sizeof(void*) == 8 || SystemUtils::IsWow64();
  char text[96];
  std::snprintf(text, sizeof text, "%s_%d.%d.%d_%s", SystemUtils::GetPlatformName().ToUTF8().c_str(), major,
                minor, build, kernel64 ? "64-bit" : "32-bit");
  return Text(text);
}

bool IsAnotherInstanceRunning() {
  std::vector<uint32_t> ids;
  FindProcessesByImageName(ExecutableFileName(), &ids);
  return ids.size() >= 2;
}

TZString GetStartupErrorMessage(int32_t inCode) {
  switch (inCode) {
    case kBKErrorAnotherInstance:
      return Text(
          "Another instance of Tarsel Morlix Installer is running. Please wait for it to "
          "finish.");
    case kBKErrorSystemTooOld:
      return Text("Tarsel Morlix requires Linux 3.2 or greater to run.");
    default:
      return TZString();
  }
}

int BKInstallerMain(void* inInstance, void* inPrevInstance, const TZString& inCommandLine,
                    int inShowCommand) {
  TZLogger& logger = TZLogger::Instance();
  try {
    TZExceptionUtils::InstallExceptionHandlers();
    // Lives for the whole run; the analytics thread and the installer service get its address.
    InstallerCustomExceptionHandler customHandler;

    if (IsAnotherInstanceRunning()) throw TZBKException(kBKErrorAnotherInstance, __FILE__, __LINE__);

    const std::vector<TZString>& arguments = TZGetProcessArguments();
    if (arguments.size() > 1 && !arguments[1].empty()) SendTelvoEvent(Text("Test"), arguments[1]);

    logger.SetLogFile(TempFile("tzbk_installer_log.txt"));
    logger.m_enabled = true;
    logger.m_echoToStdout = true;

    if (logger.m_enabled)
      logger.Log("Tarsel Morlix Installer Version %d.%d.%d.%d", kBKVersionMajor, kBKVersionMinor,
                 kBKVersionBuild, kBKVersionRevision);

    const TZString osDescription = GetOSDescription();
    if (logger.m_enabled) logger.Log("OS: %s", osDescription.ToUTF8().c_str());
    SendTelvoEvent(Text("Launch"), osDescription);

    if (!IsSystemAtLeast(SystemUtils::GetOSVersionString(), kBKMinimumSystemMajor, kBKMinimumSystemMinor))
      throw TZBKException(kBKErrorSystemTooOld, __FILE__, __LINE__);

    // The user interface and the installer service run here, between the start-up checks
    // and the end of the run.
  } catch (const TZBKException& exception) {
    const int32_t code = exception.GetCode();
    if (logger.m_enabled) logger.Log("Caught exception: %d", code);
    const TZString text = GetStartupErrorMessage(code);
    if (!text.empty()) {
      SendTelvoEvent(Text("LastError"), Text(std::to_string(code).c_str()));
      TZMessageBoxRequest box;
      box.m_caption = Text("Tarsel Morlix");
      box.m_text = text;
      box.m_buttons = kTZMessageBoxOK;
      TZRunMessageBox(box);
    }
  } catch (...) {
    if (logger.m_enabled) logger.Log("Unknown exception in main()");
  }

  if (logger.m_enabled) logger.Log("Done. Exiting ...");
  return 0;
}
