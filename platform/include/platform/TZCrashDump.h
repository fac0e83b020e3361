// Crash dumps: one file per translated hardware fault, "TzDump" + a new GUID + ".dmp" in the
// "Dump" folder of the run's session folder. The dump is plain text for whoever reads it: the
// installer's version, process and thread id, signal, code and faulting address, the registers,
// a backtrace with symbol names, and a copy of /proc/self/maps.
//
// The file is written inside the signal handler with async-signal-safe calls only. Faults on
// several threads at once write their dumps one after the other (the dump lock).
#pragma once

#include "platform/TZString.h"

// The full path of the most recent dump file; empty until the first dump. Any thread.
TZString TZGetLastDumpPath();
