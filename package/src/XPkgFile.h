// System calls the file layer needs beyond the C runtime's buffered files. The Linux half is
// src/posix/XPkgFile.cpp.
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>

namespace pkg {

// The process id.
uint32_t XPkgProcessId();

// The temporary folder: $TMPDIR, else "/tmp".
std::string XPkgTempFolder();

// Creates inPath exclusively (read and write for the owner only) and returns it as a buffered
// file opened "w+b". Returns null with outErrno set when the file exists (EEXIST) or cannot be
// made; the file is removed again when only the buffered wrapping fails.
std::FILE* XPkgCreateExclusive(const std::string& inPath, int& outErrno);

// 64-bit seek, tell and truncate on a buffered file; false or -1 on failure with errno set.
bool XPkgSeek(std::FILE* inFile, int64_t inOffset, int inOrigin);
int64_t XPkgTell(std::FILE* inFile);
bool XPkgTruncate(std::FILE* inFile, int64_t inSize);

}  // namespace pkg
