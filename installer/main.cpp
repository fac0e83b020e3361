#include <string>

#include "installer/BKInstallerApp.h"
#include "platform/TZProcessList.h"

int main(int argc, char** argv) {
  TZSetProcessArguments(argc, argv);
  std::string commandLine;
  for (int i = 1; i < argc; ++i) {
    if (i > 1) commandLine += ' ';
    commandLine += argv[i];
  }
  constexpr int kShowNormal = 1;
  static int s_instance;
  return BKInstallerMain(&s_instance, nullptr, TZString(commandLine.c_str()), kShowNormal);
}
