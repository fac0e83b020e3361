// The folders the logger and the crash dumps need, until the file utilities provide them.
#pragma once

#include <string>

// The temporary folder ($TMPDIR, else /tmp), ending in '/'.
std::string XTZTempFolderText();

// A path for this run's session folder in the temporary folder: "TZ", the thread id, a number
// and "Session". Not created here: the crash handler makes it when it writes the first dump.
std::string XTZSessionFolderText();
