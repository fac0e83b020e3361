// tzunzip ZIP DEST: unpacks the zip package ZIP into the folder DEST with the installer's own
// unzip utility, and exits with its result (0 success, 1 failure; 2 for a wrong command line).
#include <cstdio>

#include "platform/TZPath.h"
#include "platform/TZString.h"
#include "ziputils/TZInternalZipUtils.h"

int main(int argc, char** argv) {
  if (argc != 3) {
    std::fprintf(stderr, "usage: tzunzip ZIP DEST\n");
    return 2;
  }
  return TZInternalZipUtils::Unzip(TZPath(TZString(argv[1])), TZPath(TZString(argv[2])));
}
