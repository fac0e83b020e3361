#include "platform/TZProcessList.h"

namespace {

std::vector<TZString>& Arguments() {
  static std::vector<TZString> arguments;
  return arguments;
}

}  // namespace

void TZSetProcessArguments(int inArgc, const char* const* inArgv) {
  std::vector<TZString>& arguments = Arguments();
  arguments.clear();
  for (int i = 0; i < inArgc && inArgv && inArgv[i]; ++i) arguments.push_back(TZString(inArgv[i]));
}

const std::vector<TZString>& TZGetProcessArguments() { return Arguments(); }
