#pragma once
// The platform half of TZFileUtil: where the system keeps the executable and the user's data.

#include <string>

namespace XTZFileUtil {

// The running executable's path (UTF-8); empty if the system does not say.
std::string ExecutablePath();

// $XDG_DATA_HOME if it is an absolute path, else $HOME/.local/share if HOME is set, else empty.
std::string LocalAppDataFolder();

}  // namespace XTZFileUtil
