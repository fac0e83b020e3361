// Questions about the running processes.
#pragma once

#include <cstdint>
#include <vector>

#include "platform/TZString.h"

// Scans every running process whose image path can be read (on Linux the target of
// /proc/<pid>/exe; processes whose link cannot be read are skipped). A process matches when its
// image path, lower-cased, contains inName, lower-cased (ASCII letters only), as a substring: so
// "/opt/x/my-morlix-installer" matches "morlix-installer".
// Returns true when at least one process matches. With outIds, every matching process id is
// appended to it; without, the scan stops at the first match. Never throws.
bool FindProcessesByImageName(const TZString& inName, std::vector<uint32_t>* outIds);

// The process's own arguments, kept for the code that needs them after start-up (the program
// entry sends the first one as an analytics event). Set once by main before other threads start.
void TZSetProcessArguments(int inArgc, const char* const* inArgv);
// The arguments as given to main, the program name first; empty if never set.
const std::vector<TZString>& TZGetProcessArguments();
