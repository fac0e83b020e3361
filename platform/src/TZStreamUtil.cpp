#include "platform/TZStreamUtil.h"

#include "platform/CTZStreamRead.h"
#include "platform/CTZStreamWrite.h"
#include "platform/FileXferBytes.h"
#include "platform/TZAssert.h"

namespace TZStreamUtil {

namespace {

const size_t kCopyBlock = 4096;

}  // namespace

std::unique_ptr<ITZStream> NewReadStream(const TZFile& inFile) {
  std::unique_ptr<FileXferBytes> bytes(new FileXferBytes());
  if (!bytes->Open(inFile, FileXferBytes::kOpenRead)) return nullptr;
  return std::unique_ptr<ITZStream>(new CTZStreamRead(std::move(bytes)));
}

std::unique_ptr<ITZStream> NewWriteStream(const TZFile& inFile, uint32_t inFlags) {
  std::unique_ptr<FileXferBytes> bytes(new FileXferBytes());
  if (!bytes->Open(inFile, inFlags)) return nullptr;
  return std::unique_ptr<ITZStream>(new CTZStreamWrite(std::move(bytes)));
}

int Copy(ITZStream* inRead, ITZStream* inWrite) {
  if (inRead == nullptr || inWrite == nullptr) {
    TZReportAssert("null input stream in Stream copy", __FILE__, __LINE__);
    return kCopyRefused;
  }
  if (!inRead->IsReadStream() || !inWrite->IsWriteStream()) {
    TZReportAssert("incorrect streams passed to stream copy", __FILE__, __LINE__);
    return kCopyRefused;
  }
  const int64_t savedPosition = inRead->Tell();
  const int64_t size = inRead->Seek(0, ITZXferBytes::kSeekEnd);
  int result = kCopyOK;
  if (size < 0 || inRead->Seek(0, ITZXferBytes::kSeekStart) != 0) {
    result = kCopyShort;
  } else {
    uint8_t block[kCopyBlock];
    int64_t left = size;
    while (left > 0) {
      const size_t count = left >= static_cast<int64_t>(kCopyBlock) ? kCopyBlock : static_cast<size_t>(left);
      if (inRead->XferBytes(block, count) != count || inWrite->XferBytes(block, count) != count) {
        result = kCopyShort;
        break;
      }
      left -= static_cast<int64_t>(count);
    }
  }
  if (!inWrite->Flush()) result = kCopyShort;
  inRead->Seek(savedPosition, ITZXferBytes::kSeekStart);
  return result;
}

}  // namespace TZStreamUtil
