// A file of more than 4 GiB through the streams. It writes about 4 GiB to the disk (the copy of a
// sparse file is not sparse), so it runs with the slow tests.

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <memory>
#include <string>

#include "TestFolder.h"
#include "platform/FileXferBytes.h"
#include "platform/TZStreamUtil.h"

namespace {

// More than 4 GiB: positions past 2^32 and the copy of such a file keep every byte in place.
TEST(LargeFile, WrittenAndCopiedPastFourGibibytes) {
  TestFolder folder;
  auto pathOf = [&](const std::string& inName) { return folder.Path() + "/" + inName; };
  const uint32_t writeCreate = FileXferBytes::kOpenWrite | FileXferBytes::kOpenCreate;
  const int64_t kGiB = 1LL << 30;
  struct Mark {
    int64_t offset;
    const char* text;
  };
  const Mark marks[] = {
      {0, "HEAD"}, {2 * kGiB - 2, "TWO"}, {4 * kGiB - 3, "ACROSS"}, {4 * kGiB + 12345, "TAIL"}};
  const int64_t size = 4 * kGiB + 12345 + 4;
  {
    std::unique_ptr<ITZStream> writer = TZStreamUtil::NewWriteStream(FileAt(pathOf("huge.bin")), writeCreate);
    for (const Mark& mark : marks) {
      ASSERT_EQ(mark.offset, writer->Seek(mark.offset, ITZXferBytes::kSeekStart));
      const size_t length = std::strlen(mark.text);
      ASSERT_EQ(length, writer->XferBytes(const_cast<char*>(mark.text), length));
    }
    EXPECT_EQ(size, writer->Tell());
  }
  ASSERT_EQ(size, FileSize(pathOf("huge.bin")));
  std::unique_ptr<ITZStream> reader = TZStreamUtil::NewReadStream(FileAt(pathOf("huge.bin")));
  {
    std::unique_ptr<ITZStream> writer = TZStreamUtil::NewWriteStream(FileAt(pathOf("copy.bin")), writeCreate);
    ASSERT_EQ(TZStreamUtil::kCopyOK, TZStreamUtil::Copy(reader.get(), writer.get()));
  }
  ASSERT_EQ(size, FileSize(pathOf("copy.bin")));
  std::unique_ptr<ITZStream> copy = TZStreamUtil::NewReadStream(FileAt(pathOf("copy.bin")));
  auto byteAt = [&](int64_t inOffset) {
    for (const Mark& mark : marks) {
      const int64_t length = static_cast<int64_t>(std::strlen(mark.text));
      if (inOffset >= mark.offset && inOffset < mark.offset + length)
        return mark.text[inOffset - mark.offset];
    }
    return '\0';
  };
  for (ITZStream* stream : {reader.get(), copy.get()}) {
    for (const Mark& mark : marks) {
      const int64_t from = std::max<int64_t>(0, mark.offset - 2);
      const int64_t to =
          std::min<int64_t>(size, mark.offset + static_cast<int64_t>(std::strlen(mark.text)) + 2);
      ASSERT_EQ(from, stream->Seek(from, ITZXferBytes::kSeekStart));
      std::string got(static_cast<size_t>(to - from), '?');
      ASSERT_EQ(got.size(), stream->XferBytes(&got[0], got.size())) << mark.text;
      std::string expected;
      for (int64_t offset = from; offset < to; ++offset) expected += byteAt(offset);
      EXPECT_EQ(Hex(expected), Hex(got))
          << mark.text << (stream == copy.get() ? " in the copy" : " in the source");
    }
  }
}

}  // namespace
