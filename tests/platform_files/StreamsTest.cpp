#include <gtest/gtest.h>
#include <sys/stat.h>

#include <algorithm>
#include <cstring>
#include <functional>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "TestFolder.h"
#include "platform/CTZStreamRead.h"
#include "platform/CTZStreamWrite.h"
#include "platform/FileXferBytes.h"
#include "platform/TZStreamUtil.h"

namespace {

const uint32_t kWriteCreate = FileXferBytes::kOpenWrite | FileXferBytes::kOpenCreate;

std::string Pattern(size_t inSize, uint32_t inSeed) {
  std::string bytes(inSize, '\0');
  std::mt19937 random(inSeed);
  for (char& byte : bytes) byte = static_cast<char>(random());
  return bytes;
}

class StreamsTest : public ::testing::Test {
 protected:
  std::string PathOf(const std::string& inName) const { return m_folder.Path() + "/" + inName; }

  std::unique_ptr<ITZStream> Writer(const std::string& inName, uint16_t inSwap = 0) {
    std::unique_ptr<ITZStream> stream = TZStreamUtil::NewWriteStream(FileAt(PathOf(inName)), kWriteCreate);
    if (stream) stream->SetSwapBytes(inSwap);
    return stream;
  }

  std::unique_ptr<ITZStream> Reader(const std::string& inName, uint16_t inSwap = 0) {
    std::unique_ptr<ITZStream> stream = TZStreamUtil::NewReadStream(FileAt(PathOf(inName)));
    if (stream) stream->SetSwapBytes(inSwap);
    return stream;
  }

  TestFolder m_folder;
};

// Each row writes values with one swap setting, checks the bytes in the file, then reads them
// back with the same setting.
struct OrderRow {
  const char* name;
  uint16_t swap;
  std::function<void(ITZStream&)> write;
  const char* bytes;
  std::function<void(ITZStream&)> readAndCheck;
};

TEST_F(StreamsTest, ValuesInBothByteOrders) {
  const OrderRow rows[] = {
      {"XferInt16", 0,
       [](ITZStream& s) {
         int16_t v = 0x0102;
         EXPECT_TRUE(s.XferInt16(v));
       },
       "02 01",
       [](ITZStream& s) {
         int16_t v = 0;
         EXPECT_TRUE(s.XferInt16(v));
         EXPECT_EQ(0x0102, v);
       }},
      {"XferInt16", 1,
       [](ITZStream& s) {
         int16_t v = 0x0102;
         EXPECT_TRUE(s.XferInt16(v));
       },
       "01 02",
       [](ITZStream& s) {
         int16_t v = 0;
         EXPECT_TRUE(s.XferInt16(v));
         EXPECT_EQ(0x0102, v);
       }},
      {"XferInt32", 0,
       [](ITZStream& s) {
         int32_t v = 0x01020304;
         EXPECT_TRUE(s.XferInt32(v));
       },
       "04 03 02 01",
       [](ITZStream& s) {
         int32_t v = 0;
         EXPECT_TRUE(s.XferInt32(v));
         EXPECT_EQ(0x01020304, v);
       }},
      {"XferInt32", 1,
       [](ITZStream& s) {
         int32_t v = 0x01020304;
         EXPECT_TRUE(s.XferInt32(v));
       },
       "01 02 03 04",
       [](ITZStream& s) {
         int32_t v = 0;
         EXPECT_TRUE(s.XferInt32(v));
         EXPECT_EQ(0x01020304, v);
       }},
      {"XferInt64 high half first", 0,
       [](ITZStream& s) {
         int64_t v = 0x0000000100000002LL;
         EXPECT_TRUE(s.XferInt64(v));
       },
       "01 00 00 00 02 00 00 00",
       [](ITZStream& s) {
         int64_t v = 0;
         EXPECT_TRUE(s.XferInt64(v));
         EXPECT_EQ(0x0000000100000002LL, v);
       }},
      {"XferInt64 high half first", 1,
       [](ITZStream& s) {
         int64_t v = 0x0000000100000002LL;
         EXPECT_TRUE(s.XferInt64(v));
       },
       "00 00 00 01 00 00 00 02",
       [](ITZStream& s) {
         int64_t v = 0;
         EXPECT_TRUE(s.XferInt64(v));
         EXPECT_EQ(0x0000000100000002LL, v);
       }},
      {"XferInt64 negative", 0,
       [](ITZStream& s) {
         int64_t v = -2;
         EXPECT_TRUE(s.XferInt64(v));
       },
       "ff ff ff ff fe ff ff ff",
       [](ITZStream& s) {
         int64_t v = 0;
         EXPECT_TRUE(s.XferInt64(v));
         EXPECT_EQ(-2, v);
       }},
      {"Xfer64", 0,
       [](ITZStream& s) {
         uint64_t v = 0x0102030405060708ULL;
         EXPECT_TRUE(s.Xfer64(v));
       },
       "08 07 06 05 04 03 02 01",
       [](ITZStream& s) {
         uint64_t v = 0;
         EXPECT_TRUE(s.Xfer64(v));
         EXPECT_EQ(0x0102030405060708ULL, v);
       }},
      {"Xfer64", 1,
       [](ITZStream& s) {
         uint64_t v = 0x0102030405060708ULL;
         EXPECT_TRUE(s.Xfer64(v));
       },
       "01 02 03 04 05 06 07 08",
       [](ITZStream& s) {
         uint64_t v = 0;
         EXPECT_TRUE(s.Xfer64(v));
         EXPECT_EQ(0x0102030405060708ULL, v);
       }},
      {"Xfer32 unsigned and float", 1,
       [](ITZStream& s) {
         uint32_t u = 0xA1B2C3D4u;
         float f = 1.0f;
         EXPECT_TRUE(s.Xfer32(u));
         EXPECT_TRUE(s.Xfer32(f));
       },
       "a1 b2 c3 d4 3f 80 00 00",
       [](ITZStream& s) {
         uint32_t u = 0;
         float f = 0;
         EXPECT_TRUE(s.Xfer32(u));
         EXPECT_TRUE(s.Xfer32(f));
         EXPECT_EQ(0xA1B2C3D4u, u);
         EXPECT_EQ(1.0f, f);
       }},
      {"arrays", 0,
       [](ITZStream& s) {
         int16_t a[2] = {0x0102, 0x0304};
         int32_t b[2] = {0x05060708, -1};
         EXPECT_EQ(2u, s.XferInt16Array(a, 2));
         EXPECT_EQ(2u, s.XferInt32Array(b, 2));
       },
       "02 01 04 03 08 07 06 05 ff ff ff ff",
       [](ITZStream& s) {
         int16_t a[2] = {};
         int32_t b[2] = {};
         EXPECT_EQ(2u, s.XferInt16Array(a, 2));
         EXPECT_EQ(2u, s.XferInt32Array(b, 2));
         EXPECT_EQ(0x0304, a[1]);
         EXPECT_EQ(0x05060708, b[0]);
         EXPECT_EQ(-1, b[1]);
       }},
      {"arrays", 1,
       [](ITZStream& s) {
         int16_t a[2] = {0x0102, 0x0304};
         uint32_t b[2] = {0x05060708u, 9};
         uint64_t c[2] = {1, 0x1122334455667788ULL};
         EXPECT_EQ(2u, s.XferInt16Array(a, 2));
         EXPECT_EQ(2u, s.Xfer32Array(b, 2));
         EXPECT_EQ(2u, s.Xfer64Array(c, 2));
         EXPECT_EQ(0x0102, a[0]);  // the caller's values stay as they were
       },
       "01 02 03 04 05 06 07 08 00 00 00 09 00 00 00 00 00 00 00 01 11 22 33 44 55 66 77 88",
       [](ITZStream& s) {
         int16_t a[2] = {};
         uint32_t b[2] = {};
         uint64_t c[2] = {};
         EXPECT_EQ(2u, s.XferInt16Array(a, 2));
         EXPECT_EQ(2u, s.Xfer32Array(b, 2));
         EXPECT_EQ(2u, s.Xfer64Array(c, 2));
         EXPECT_EQ(0x0304, a[1]);
         EXPECT_EQ(0x05060708u, b[0]);
         EXPECT_EQ(0x1122334455667788ULL, c[1]);
       }},
      {"bytes and chars are never swapped", 1,
       [](ITZStream& s) {
         char c = 'x';
         EXPECT_TRUE(s.XferChar(c));
         char b[3] = {1, 2, 3};
         EXPECT_EQ(3u, s.XferBytes(b, 3));
       },
       "78 01 02 03",
       [](ITZStream& s) {
         char c = 0;
         char b[3] = {};
         EXPECT_TRUE(s.XferChar(c));
         EXPECT_EQ(3u, s.XferBytes(b, 3));
         EXPECT_EQ('x', c);
         EXPECT_EQ(3, b[2]);
       }},
  };
  for (const OrderRow& row : rows) {
    SCOPED_TRACE(std::string(row.name) + ", swap " + std::to_string(row.swap));
    {
      std::unique_ptr<ITZStream> writer = Writer("values.bin", row.swap);
      ASSERT_TRUE(writer);
      EXPECT_EQ(row.swap, writer->GetSwapBytes());
      row.write(*writer);
    }
    EXPECT_EQ(row.bytes, Hex(ReadFileText(PathOf("values.bin"))));
    std::unique_ptr<ITZStream> reader = Reader("values.bin", row.swap);
    ASSERT_TRUE(reader);
    row.readAndCheck(*reader);
    char extra;
    EXPECT_FALSE(reader->XferChar(extra)) << "bytes left over";
    EXPECT_EQ(ITZXferBytes::kStateEndOfFile, reader->GetState());
  }
}

TEST_F(StreamsTest, ShortValuesAtTheEndAreReported) {
  WriteFileText(PathOf("short.bin"), std::string("\x01\x02\x03\x04\x05\x06\x07", 7));
  std::unique_ptr<ITZStream> reader = Reader("short.bin", 1);
  uint64_t values[2] = {};
  EXPECT_EQ(0u, reader->Xfer64Array(values, 2));
  EXPECT_EQ(ITZXferBytes::kStateEndOfFile, reader->GetState());
  EXPECT_EQ(0, reader->Seek(0, ITZXferBytes::kSeekStart));
  EXPECT_EQ(ITZXferBytes::kStateGood, reader->GetState()) << "a seek clears the end of the file";
  int32_t numbers[2] = {};
  EXPECT_EQ(1u, reader->XferInt32Array(numbers, 2));
  EXPECT_EQ(0x01020304, numbers[0]);
}

TEST_F(StreamsTest, BooleansAreFoldedWhenWrittenAndKeptWhenRead) {
  {
    std::unique_ptr<ITZStream> writer = Writer("bools.bin");
    int16_t value = 5;
    EXPECT_TRUE(writer->XferBool(value));
    EXPECT_EQ(1, value);
    int16_t values[2] = {0, 1};
    const std::string log = LoggedDuring([&] { EXPECT_EQ(2u, writer->XferBoolArray(values, 2)); });
    EXPECT_NE(std::string::npos,
              log.find("Assert failed: Warning: Using XferBool(TZBool16 *buf, TZInt32 num) is currently not "
                       "crossplatfom savvy at "))
        << log;
    int16_t two = 2;
    EXPECT_TRUE(writer->XferInt16(two));
  }
  EXPECT_EQ("01 00 00 00 01 00 02 00", Hex(ReadFileText(PathOf("bools.bin"))));
  std::unique_ptr<ITZStream> reader = Reader("bools.bin");
  int16_t values[3] = {};
  EXPECT_EQ(3u, reader->XferBoolArray(values, 3));
  EXPECT_EQ(0, values[1]);
  int16_t value = 0;
  const std::string log = LoggedDuring([&] { EXPECT_TRUE(reader->XferBool(value)); });
  EXPECT_EQ(2, value) << "a bad boolean is returned as read";
  EXPECT_NE(std::string::npos, log.find("Assert failed: CTZStreamRead::XferBool - this isn't a bool you are "
                                        "reading. Something's wrong. at "))
      << log;
}

TEST_F(StreamsTest, WritingABadBooleanIsReported) {
  std::unique_ptr<ITZStream> writer = Writer("bools.bin");
  int16_t value = 7;
  const std::string log = LoggedDuring([&] { writer->XferBool(value); });
  EXPECT_NE(std::string::npos,
            log.find("Assert failed: CStreamWrite::XferBool - this isn't a bool you are writing at "))
      << log;
  int16_t good = 1;
  EXPECT_EQ("", LoggedDuring([&] { writer->XferBool(good); }));
}

TEST_F(StreamsTest, StringsRoundTrip) {
  struct Row {
    bool asUtf8;
    bool withLength;
    uint16_t swap;
    const char* bytes;
  };
  // "hé€": UTF-8 68 c3 a9 e2 82 ac; UTF-16 units 0068 00e9 20ac.
  const Row rows[] = {
      {true, true, 0, "06 00 00 00 68 c3 a9 e2 82 ac"},
      {true, true, 1, "00 00 00 06 68 c3 a9 e2 82 ac"},
      {true, false, 0, "68 c3 a9 e2 82 ac"},
      {false, true, 0, "06 00 00 00 68 00 e9 00 ac 20"},
      {false, true, 1, "00 00 00 06 68 00 e9 00 ac 20"},
      {false, false, 1, "68 00 e9 00 ac 20"},
  };
  const TZString text(u"h\u00e9\u20ac");
  for (const Row& row : rows) {
    SCOPED_TRACE(std::string("utf8 ") + (row.asUtf8 ? "yes" : "no") + ", length " +
                 (row.withLength ? "yes" : "no") + ", swap " + std::to_string(row.swap));
    {
      std::unique_ptr<ITZStream> writer = Writer("string.bin", row.swap);
      TZString sent = text;
      EXPECT_TRUE(writer->XferString(sent, row.asUtf8, row.withLength) == text);
    }
    EXPECT_EQ(row.bytes, Hex(ReadFileText(PathOf("string.bin"))));
    std::unique_ptr<ITZStream> reader = Reader("string.bin", row.swap);
    // Without a stored length the caller passes a text of the expected length.
    TZString received = row.withLength ? TZString() : TZString(u"xyz");
    if (!row.withLength && row.asUtf8) received = TZString(u"\u00e9\u00e9\u00e9");  // 6 UTF-8 bytes
    const TZString result = reader->XferString(received, row.asUtf8, row.withLength);
    EXPECT_TRUE(received == text);
    EXPECT_TRUE(result == text);
  }
}

TEST_F(StreamsTest, DamagedStringLengthReadsOnlyWhatIsThere) {
  WriteFileText(PathOf("damaged.bin"), std::string("\xff\xff\xff\x7f"
                                                   "abc",
                                                   7));
  std::unique_ptr<ITZStream> reader = Reader("damaged.bin");
  TZString text;
  EXPECT_EQ("abc", reader->XferString(text, true, true).ToUTF8());
  EXPECT_EQ(ITZXferBytes::kStateEndOfFile, reader->GetState());
}

TEST_F(StreamsTest, ReadLine) {
  struct Row {
    const char* name;
    std::string content;
    char terminator;
    std::vector<std::string> lines;  // in order; "!" marks a false result
  };
  const Row rows[] = {
      {"two lines", "ab\ncd", '\n', {"ab", "cd", ""}},
      {"empty lines", "\n\nx\n", '\n', {"", "", "x", ""}},
      {"other terminator", "a;b", ';', {"a", "b"}},
      {"multi-byte characters", "\xC3\xA9t\xE2\x82\xAC\nz", '\n', {"\xC3\xA9t\xE2\x82\xAC", "z"}},
      {"four-byte character", "\xF0\x9F\x98\x80!", '!', {"\xF0\x9F\x98\x80"}},
      {"stray continuation byte", "a\x80z", '\n', {"!a"}},
      {"bad continuation byte", "a\xC3z", '\n', {"!a"}},
      {"byte 0xFF", "a\xFF", '\n', {"!a"}},
      {"character cut by the end", "ab\xE2\x82", '\n', {"ab"}},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    WriteFileText(PathOf("lines.txt"), row.content);
    std::unique_ptr<ITZStream> reader = Reader("lines.txt");
    for (const std::string& expected : row.lines) {
      TZString line(u"junk");
      const bool ok = reader->ReadLine(line, row.terminator);
      const bool expectOk = expected.empty() || expected[0] != '!';
      EXPECT_EQ(expectOk, ok);
      EXPECT_EQ(expectOk ? expected : expected.substr(1), line.ToUTF8());
    }
  }
  std::unique_ptr<ITZStream> writer = Writer("out.txt");
  TZString line(u"junk");
  EXPECT_FALSE(writer->ReadLine(line, '\n'));
  EXPECT_TRUE(line.empty());
}

TEST_F(StreamsTest, CopyTakesTheWholeFileAndKeepsTheReadPosition) {
  const std::string content = Pattern(10000, 1);
  WriteFileText(PathOf("source.bin"), content);
  std::unique_ptr<ITZStream> reader = Reader("source.bin");
  char skipped[1234];
  ASSERT_EQ(sizeof skipped, reader->XferBytes(skipped, sizeof skipped));
  {
    std::unique_ptr<ITZStream> writer = Writer("target.bin");
    char head[3] = {'h', 'd', 'r'};
    writer->XferBytes(head, 3);
    EXPECT_EQ(TZStreamUtil::kCopyOK, TZStreamUtil::Copy(reader.get(), writer.get()));
    EXPECT_EQ(10003, FileSize(PathOf("target.bin"))) << "the copy flushes the target";
  }
  EXPECT_EQ(1234, reader->Tell());
  EXPECT_TRUE(ReadFileText(PathOf("target.bin")) == "hdr" + content);
}

TEST_F(StreamsTest, CopyRefusesMissingOrWrongStreams) {
  WriteFileText(PathOf("source.bin"), "abc");
  std::unique_ptr<ITZStream> reader = Reader("source.bin");
  std::unique_ptr<ITZStream> writer = Writer("target.bin");
  const std::string log =
      LoggedDuring([&] { EXPECT_EQ(TZStreamUtil::kCopyRefused, TZStreamUtil::Copy(nullptr, writer.get())); });
  EXPECT_NE(std::string::npos, log.find("Assert failed: null input stream in Stream copy at ")) << log;
  EXPECT_EQ(TZStreamUtil::kCopyRefused, TZStreamUtil::Copy(reader.get(), nullptr));
  const std::string wrongLog = LoggedDuring(
      [&] { EXPECT_EQ(TZStreamUtil::kCopyRefused, TZStreamUtil::Copy(writer.get(), reader.get())); });
  EXPECT_NE(std::string::npos, wrongLog.find("Assert failed: incorrect streams passed to stream copy at "))
      << wrongLog;
  EXPECT_EQ(TZStreamUtil::kCopyRefused, TZStreamUtil::Copy(reader.get(), reader.get()));
  writer.reset();
  EXPECT_EQ(0, FileSize(PathOf("target.bin")));
}

TEST_F(StreamsTest, CopyReportsAFullDisk) {
  WriteFileText(PathOf("source.bin"), Pattern(10000, 2));
  std::unique_ptr<ITZStream> reader = Reader("source.bin");
  std::unique_ptr<ITZStream> full =
      TZStreamUtil::NewWriteStream(FileAt("/dev/full"), FileXferBytes::kOpenWrite);
  ASSERT_TRUE(full);
  EXPECT_EQ(TZStreamUtil::kCopyShort, TZStreamUtil::Copy(reader.get(), full.get()));
  EXPECT_EQ(ITZXferBytes::kStateError, full->GetState());
  EXPECT_EQ(0, reader->Tell());
}

// Fault injection: a source whose size promises more bytes than its reads deliver, as a file cut
// short while it is being copied.
class ShrinkingBytes : public ITZXferBytes {
 public:
  size_t Read(void* outBuffer, size_t inCount) override {
    const size_t count = std::min<size_t>(inCount, m_delivers > m_position ? m_delivers - m_position : 0);
    std::memset(outBuffer, 'x', count);
    m_position += count;
    if (count < inCount) m_state = kStateEndOfFile;
    return count;
  }
  size_t Write(const void*, size_t) override { return 0; }
  int64_t Seek(int64_t inOffset, int inOrigin) override {
    m_position = static_cast<size_t>(inOrigin == kSeekEnd ? kClaims + inOffset : inOffset);
    m_state = kStateGood;
    return static_cast<int64_t>(m_position);
  }
  int64_t Tell() const override { return static_cast<int64_t>(m_position); }
  bool Flush() override { return true; }
  int GetState() const override { return m_state; }
  bool Truncate() override { return false; }
  bool Close() override { return true; }

 private:
  static const size_t kClaims = 10000;
  const size_t m_delivers = 5000;
  size_t m_position = 0;
  int m_state = kStateGood;
};

TEST_F(StreamsTest, CopyReportsAShortRead) {
  CTZStreamRead reader(std::unique_ptr<ITZXferBytes>(new ShrinkingBytes()));
  std::unique_ptr<ITZStream> writer = Writer("target.bin");
  EXPECT_EQ(TZStreamUtil::kCopyShort, TZStreamUtil::Copy(&reader, writer.get()));
  writer.reset();
  EXPECT_EQ(4096, FileSize(PathOf("target.bin"))) << "only whole blocks that were read are written";
}

TEST_F(StreamsTest, LargeWritesBypassTheBufferSmallOnesWaitForTheClose) {
  const std::string big = Pattern(1 << 20, 3);
  std::unique_ptr<ITZStream> writer = Writer("big.bin");
  EXPECT_EQ(big.size(), writer->XferBytes(const_cast<char*>(big.data()), big.size()));
  EXPECT_EQ(1 << 20, FileSize(PathOf("big.bin"))) << "1 MiB goes straight to the file";
  writer.reset();
  EXPECT_TRUE(ReadFileText(PathOf("big.bin")) == big);

  const std::string small = Pattern(100, 4);
  writer = Writer("small.bin");
  EXPECT_EQ(100u, writer->XferBytes(const_cast<char*>(small.data()), small.size()));
  EXPECT_EQ(0, FileSize(PathOf("small.bin")));
  EXPECT_EQ(100, writer->Tell());
  writer.reset();
  EXPECT_TRUE(ReadFileText(PathOf("small.bin")) == small);
}

TEST_F(StreamsTest, StreamsThatCannotBeOpened) {
  mkdir(PathOf("folder").c_str(), 0755);
  WriteFileText(PathOf("existing.txt"), "keep");
  EXPECT_FALSE(TZStreamUtil::NewWriteStream(FileAt(PathOf("missing/file.bin")), kWriteCreate));
  EXPECT_FALSE(PathExists(PathOf("missing")));
  EXPECT_FALSE(TZStreamUtil::NewWriteStream(FileAt(PathOf("folder")), kWriteCreate));
  EXPECT_FALSE(TZStreamUtil::NewReadStream(FileAt(PathOf("missing.bin"))));
  EXPECT_FALSE(TZStreamUtil::NewReadStream(FileAt(PathOf("folder"))));
  FileXferBytes bytes;
  EXPECT_EQ(ITZXferBytes::kStateError, bytes.GetState()) << "before any open";
  EXPECT_FALSE(bytes.OpenPath(PathOf("existing.txt"), FileXferBytes::kOpenRead | FileXferBytes::kOpenCreate));
  EXPECT_FALSE(bytes.OpenPath(PathOf("existing.txt"), 0));
  EXPECT_EQ(ITZXferBytes::kStateClosed, bytes.GetState());
  EXPECT_EQ("keep", ReadFileText(PathOf("existing.txt")));
}

TEST_F(StreamsTest, OpenModes) {
  struct Row {
    uint32_t flags;
    const char* after;  // the file after writing "XY" to "abcd"
  };
  const Row rows[] = {
      {FileXferBytes::kOpenWrite, "XYcd"},
      {FileXferBytes::kOpenWrite | FileXferBytes::kOpenCreate, "XY"},
      {FileXferBytes::kOpenAppend, "abcdXY"},
      {FileXferBytes::kOpenAppend | FileXferBytes::kOpenCreate, "abcdXY"},
      {FileXferBytes::kOpenWrite | FileXferBytes::kOpenRead, "XYcd"},
  };
  for (const Row& row : rows) {
    WriteFileText(PathOf("mode.txt"), "abcd");
    {
      FileXferBytes bytes;
      ASSERT_TRUE(bytes.OpenPath(PathOf("mode.txt"), row.flags)) << row.flags;
      EXPECT_EQ(2u, bytes.Write("XY", 2)) << row.flags;
    }
    EXPECT_EQ(row.after, ReadFileText(PathOf("mode.txt"))) << row.flags;
    // Creating: every writing mode makes a missing file.
    std::remove(PathOf("new.txt").c_str());
    FileXferBytes bytes;
    EXPECT_TRUE(bytes.OpenPath(PathOf("new.txt"), row.flags)) << row.flags;
  }
}

TEST_F(StreamsTest, ReadWriteSeekAndTruncateOnOneFile) {
  FileXferBytes bytes;
  ASSERT_TRUE(bytes.OpenPath(PathOf("rw.bin"), FileXferBytes::kOpenRead | kWriteCreate));
  EXPECT_EQ(6u, bytes.Write("abcdef", 6));
  EXPECT_EQ(6, bytes.Tell());
  EXPECT_EQ(2, bytes.Seek(2, ITZXferBytes::kSeekStart));
  char got[3] = {};
  EXPECT_EQ(2u, bytes.Read(got, 2));
  EXPECT_STREQ("cd", got);
  EXPECT_EQ(1u, bytes.Write("Z", 1));
  EXPECT_EQ(5, bytes.Tell());
  EXPECT_EQ(3, bytes.Seek(-2, ITZXferBytes::kSeekCurrent));
  EXPECT_EQ(-1, bytes.Seek(-7, ITZXferBytes::kSeekEnd)) << "before the start";
  EXPECT_EQ(3, bytes.Tell());
  EXPECT_TRUE(bytes.Truncate());
  EXPECT_EQ(3, bytes.Seek(0, ITZXferBytes::kSeekEnd));
  EXPECT_TRUE(bytes.Close());
  EXPECT_EQ(ITZXferBytes::kStateClosed, bytes.GetState());
  EXPECT_EQ("abc", ReadFileText(PathOf("rw.bin")));
}

// Small and large reads and seeks of every origin, checked against the file's bytes: the
// read-ahead must never hand out a wrong byte or lose the position.
TEST_F(StreamsTest, ReadsAndSeeksMatchTheFile) {
  const std::string content = Pattern(3 * 1024 * 1024 + 17, 5);
  WriteFileText(PathOf("random.bin"), content);
  FileXferBytes bytes;
  ASSERT_TRUE(bytes.OpenPath(PathOf("random.bin"), FileXferBytes::kOpenRead));
  std::mt19937 random(6);
  const int64_t size = static_cast<int64_t>(content.size());
  int64_t position = 0;
  std::vector<char> buffer(400000);
  for (int step = 0; step < 3000; ++step) {
    const unsigned kind = random() % 10;
    if (kind < 7) {
      static const size_t sizes[] = {1, 7, 100, 4096, 65535, 65536, 70000, 262143, 262144, 300000};
      const size_t count = kind < 5 ? (random() % 3000) + 1 : sizes[random() % 10];
      const size_t expected = static_cast<size_t>(std::min<int64_t>(count, size - position));
      const size_t got = bytes.Read(buffer.data(), count);
      ASSERT_EQ(expected, got) << "step " << step << " at " << position << " count " << count;
      ASSERT_EQ(0, std::memcmp(buffer.data(), content.data() + position, got)) << "step " << step;
      position += static_cast<int64_t>(got);
      ASSERT_EQ(expected < count ? ITZXferBytes::kStateEndOfFile : ITZXferBytes::kStateGood, bytes.GetState())
          << "step " << step;
    } else {
      // Mostly short hops, which stay inside the read-ahead, and some jumps anywhere.
      const int origin = static_cast<int>(random() % 3) == 0 ? ITZXferBytes::kSeekStart
                         : random() % 2                      ? ITZXferBytes::kSeekEnd
                                                             : ITZXferBytes::kSeekCurrent;
      const int64_t hop = static_cast<int64_t>(random() % 80000) - 40000;
      const int64_t target = random() % 4 == 0
                                 ? static_cast<int64_t>(random() % static_cast<uint32_t>(size + 1))
                                 : std::min(size, std::max<int64_t>(0, position + hop));
      const int64_t base = origin == ITZXferBytes::kSeekStart ? 0
                           : origin == ITZXferBytes::kSeekEnd ? size
                                                              : position;
      ASSERT_EQ(target, bytes.Seek(target - base, origin)) << "step " << step;
      position = target;
    }
    ASSERT_EQ(position, bytes.Tell()) << "step " << step;
  }
}

}  // namespace
