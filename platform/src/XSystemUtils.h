#pragma once
// The platform half of SystemUtils: the calls into the system, one small function each.

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace XSystemUtils {

// Fills inCount bytes from the kernel's random source; false if it could not.
bool FillRandom(uint8_t* outBytes, size_t inCount);

// The kernel's release text (e.g. "6.1.0-13-amd64"); empty if the kernel cannot be asked.
std::string KernelRelease();

// True when the kernel is 64-bit and this process is 32-bit.
bool Is32BitProcessOn64BitKernel();

// Starts inArguments[0] (looked up in PATH when it has no "/") with the given arguments, the
// caller's environment and standard descriptors, and waits for it. False when it could not be
// started; otherwise true with the exit status (128 + signal for a child ended by a signal).
bool SpawnAndWait(const std::vector<std::string>& inArguments, uint32_t& outExitCode);

}  // namespace XSystemUtils
