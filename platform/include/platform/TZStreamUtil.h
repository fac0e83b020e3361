#pragma once
// TZStreamUtil: making file streams and copying one stream into another.

#include <memory>

#include "platform/ITZStream.h"
#include "platform/TZFile.h"

namespace TZStreamUtil {

// Results of Copy.
enum : int { kCopyOK = 0, kCopyRefused = 1, kCopyShort = 2 };

// A read stream on inFile (FileXferBytes::kOpenRead), or null when the file cannot be opened.
std::unique_ptr<ITZStream> NewReadStream(const TZFile& inFile);

// A write stream on inFile opened with inFlags (FileXferBytes::kOpen...; kOpenWrite |
// kOpenCreate empties an existing file, kOpenWrite alone keeps its bytes), or null when the file
// cannot be opened (for example when its folder does not exist).
std::unique_ptr<ITZStream> NewWriteStream(const TZFile& inFile, uint32_t inFlags);

// Copies everything inRead holds, from its start, to inWrite at inWrite's position, in blocks of
// 4,096 bytes, then flushes inWrite, and puts inRead back where it was.
// Returns kCopyOK; kCopyRefused (with an assertion report, nothing moved) when a stream is null
// or the first is not a read stream or the second not a write stream; kCopyShort when a read,
// a write or the final flush moved fewer bytes than asked (a full disk, a file that shrank), or
// the read stream's size could not be taken. On kCopyShort the target holds the bytes that moved.
int Copy(ITZStream* inRead, ITZStream* inWrite);

}  // namespace TZStreamUtil
