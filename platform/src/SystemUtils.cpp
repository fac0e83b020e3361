#include "platform/SystemUtils.h"

#include <cstdio>

#include "XSystemUtils.h"
#include "platform/TZAssert.h"

namespace {

// Leading decimal digits of inText from inPos on (0 if none); inPos moves past them.
unsigned ReadNumber(const std::string& inText, size_t& ioPos) {
  unsigned value = 0;
  bool any = false;
  while (ioPos < inText.size() && inText[ioPos] >= '0' && inText[ioPos] <= '9') {
    if (value < 100000000u) value = value * 10 + static_cast<unsigned>(inText[ioPos] - '0');
    any = true;
    ++ioPos;
  }
  return any ? value : 0;
}

bool IsBlank(char inChar) { return inChar == ' ' || inChar == '\t'; }

}  // namespace

TZString SystemUtils::CreateGUIDString() {
  uint8_t bytes[16];
  if (!XSystemUtils::FillRandom(bytes, sizeof bytes)) {
    TZReportAssert("Failed to generate a GUID", __FILE__, __LINE__);
    return TZString();
  }
  bytes[6] = static_cast<uint8_t>((bytes[6] & 0x0F) | 0x40);  // version 4: random
  bytes[8] = static_cast<uint8_t>((bytes[8] & 0x3F) | 0x80);  // the RFC 4122 variant
  char text[37];
  std::snprintf(text, sizeof text, "%02x%02x%02x%02x-%02x%02x-%02x%02x-%02x%02x-%02x%02x%02x%02x%02x%02x",
                bytes[0], bytes[1], bytes[2], bytes[3], bytes[4], bytes[5], bytes[6], bytes[7], bytes[8],
                bytes[9], bytes[10], bytes[11], bytes[12], bytes[13], bytes[14], bytes[15]);
  return TZString(text, 1);
}

TZString SystemUtils::GetPlatformName() { return TZString("Linux", 1); }

TZString SystemUtils::GetOSVersionString() {
  const std::string release = XSystemUtils::KernelRelease();
  size_t pos = 0;
  unsigned numbers[3] = {0, 0, 0};
  for (int i = 0; i < 3; ++i) {
    numbers[i] = ReadNumber(release, pos);
    if (pos < release.size() && release[pos] == '.') {
      ++pos;
    } else {
      break;
    }
  }
  std::string text = "Linux " + std::to_string(numbers[0]) + "." + std::to_string(numbers[1]) + "." +
                     std::to_string(numbers[2]);
  return TZString(text.c_str(), 1);
}

TZString SystemUtils::GetDeviceToken() {
  static const TZString deviceToken;
  return deviceToken;
}

bool SystemUtils::IsWow64() { return XSystemUtils::Is32BitProcessOn64BitKernel(); }

bool SystemUtils::RunProcessAndWait(const std::vector<TZString>& inArguments, uint32_t& outExitCode) {
  std::string commandLine;
  for (size_t i = 0; i < inArguments.size(); ++i) {
    if (i > 0) commandLine += ' ';
    commandLine += inArguments[i].ToUTF8();
  }
  const std::vector<std::string> argv = SplitCommandLine(commandLine);
  if (argv.empty() || argv[0].empty()) return true;
  return !XSystemUtils::SpawnAndWait(argv, outExitCode);
}

std::vector<std::string> SystemUtils::SplitCommandLine(const std::string& inCommandLine) {
  std::vector<std::string> arguments;
  const size_t size = inCommandLine.size();
  size_t p = 0;

  // The program name: quotes only group, backslashes are ordinary characters.
  std::string program;
  bool inQuote = false;
  while (p < size && (inQuote || !IsBlank(inCommandLine[p]))) {
    if (inCommandLine[p] == '"') {
      inQuote = !inQuote;
    } else {
      program += inCommandLine[p];
    }
    ++p;
  }
  arguments.push_back(program);

  for (;;) {
    while (p < size && IsBlank(inCommandLine[p])) ++p;
    if (p >= size) break;
    std::string argument;
    inQuote = false;
    for (;;) {
      size_t backslashes = 0;
      while (p < size && inCommandLine[p] == '\\') {
        ++backslashes;
        ++p;
      }
      bool copyChar = true;
      if (p < size && inCommandLine[p] == '"') {
        if (backslashes % 2 == 0) {
          if (inQuote && p + 1 < size && inCommandLine[p + 1] == '"') {
            ++p;  // "" inside a quoted part: one literal quote
          } else {
            copyChar = false;
            inQuote = !inQuote;
          }
        }
        backslashes /= 2;
      }
      argument.append(backslashes, '\\');
      if (p >= size || (!inQuote && IsBlank(inCommandLine[p]))) break;
      if (copyChar) argument += inCommandLine[p];
      ++p;
    }
    arguments.push_back(argument);
  }
  return arguments;
}
