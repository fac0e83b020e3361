#include <gtest/gtest.h>

#include "pkg/PkgHexStrings.h"

namespace {

TEST(PkgHexStrings, IntegersAreTheirBytesInMemoryOrder) {
  const pkg::IPkgHexStrings& hex = *pkg::BasePkgHexStrings::GetInstance();
  EXPECT_EQ(hex.FromUInt16(0x4A21), "214A");
  EXPECT_EQ(hex.FromInt32(-2), "FEFFFFFF");
  EXPECT_EQ(hex.FromUInt64(0x0102030405060708ull), "0807060504030201");
  EXPECT_EQ(hex.FromInt8(-1), "FF");
  EXPECT_EQ(hex.ToUInt16("214A"), 0x4A21);
  EXPECT_EQ(hex.ToUInt16("214a"), 0x4A21) << "lowercase digits";
  EXPECT_EQ(hex.ToInt32("FEFFFFFF"), -2);
  EXPECT_EQ(hex.ToUInt64("0807060504030201"), 0x0102030405060708ull);
  EXPECT_EQ(hex.ToUInt32("21"), 0x21u) << "a short text gives the low bytes";
  EXPECT_EQ(hex.ToUInt8("2A4B"), 0x2A) << "at most one byte";
  uint8_t bytes[2] = {0xEE, 0xEE};
  EXPECT_EQ(hex.TextToBytes("0AZZ33", bytes, 2), 3u) << "the length halved, whatever the room";
  EXPECT_EQ(bytes[0], 0x0A);
  EXPECT_EQ(bytes[1], 0x00) << "a pair that is not hexadecimal";
  const uint8_t raw[] = {0x00, 0x7F, 0x80, 0xFF};
  EXPECT_EQ(hex.BytesToText(raw, sizeof(raw)), "007F80FF");
}

}  // namespace
