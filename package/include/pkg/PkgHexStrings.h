// Hexadecimal texts of bytes and integers, as the package properties use them: two uppercase
// digits per byte, integers as their bytes in memory order (least significant first), so the
// 16-bit value 0x4A21 is "214A". Reading accepts upper- and lowercase digits.
//
// BasePkgHexStrings::GetInstance() is a process-wide instance, made on first use under a lock;
// the object has no state, so any thread may use it.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace pkg {

class IPkgHexStrings {
 public:
  virtual std::string BytesToText(const uint8_t* inBytes, std::size_t inCount) const = 0;
  // Converts pairs of digits into at most inRoom bytes; returns the text's length halved. A pair
  // with a character that is not a hexadecimal digit converts to 0.
  virtual std::size_t TextToBytes(const std::string& inText, uint8_t* outBytes, std::size_t inRoom) const = 0;
  virtual std::string FromInt64(int64_t inValue) const = 0;
  virtual std::string FromUInt64(uint64_t inValue) const = 0;
  virtual std::string FromInt32(int32_t inValue) const = 0;
  virtual std::string FromUInt32(uint32_t inValue) const = 0;
  virtual std::string FromInt16(int16_t inValue) const = 0;
  virtual std::string FromUInt16(uint16_t inValue) const = 0;
  virtual std::string FromInt8(int8_t inValue) const = 0;
  virtual std::string FromUInt8(uint8_t inValue) const = 0;
  // The reverse: at most 8, 4, 2 or 1 bytes, fewer when the text is shorter (the rest is 0).
  virtual int64_t ToInt64(const std::string& inText) const = 0;
  virtual uint64_t ToUInt64(const std::string& inText) const = 0;
  virtual int32_t ToInt32(const std::string& inText) const = 0;
  virtual uint32_t ToUInt32(const std::string& inText) const = 0;
  virtual int16_t ToInt16(const std::string& inText) const = 0;
  virtual uint16_t ToUInt16(const std::string& inText) const = 0;
  virtual int8_t ToInt8(const std::string& inText) const = 0;
  virtual uint8_t ToUInt8(const std::string& inText) const = 0;
  virtual ~IPkgHexStrings() = default;
};

class BasePkgHexStrings : public IPkgHexStrings {
 public:
  static BasePkgHexStrings* GetInstance();

  std::string BytesToText(const uint8_t* inBytes, std::size_t inCount) const override;
  std::size_t TextToBytes(const std::string& inText, uint8_t* outBytes, std::size_t inRoom) const override;
  std::string FromInt64(int64_t inValue) const override { return FromUInt64(static_cast<uint64_t>(inValue)); }
  std::string FromUInt64(uint64_t inValue) const override { return Little(inValue, 8); }
  std::string FromInt32(int32_t inValue) const override { return FromUInt32(static_cast<uint32_t>(inValue)); }
  std::string FromUInt32(uint32_t inValue) const override { return Little(inValue, 4); }
  std::string FromInt16(int16_t inValue) const override { return FromUInt16(static_cast<uint16_t>(inValue)); }
  std::string FromUInt16(uint16_t inValue) const override { return Little(inValue, 2); }
  std::string FromInt8(int8_t inValue) const override { return FromUInt8(static_cast<uint8_t>(inValue)); }
  std::string FromUInt8(uint8_t inValue) const override { return Little(inValue, 1); }
  int64_t ToInt64(const std::string& inText) const override { return static_cast<int64_t>(ToUInt64(inText)); }
  uint64_t ToUInt64(const std::string& inText) const override { return FromLittle(inText, 8); }
  int32_t ToInt32(const std::string& inText) const override { return static_cast<int32_t>(ToUInt32(inText)); }
  uint32_t ToUInt32(const std::string& inText) const override { return static_cast<uint32_t>(FromLittle(inText, 4)); }
  int16_t ToInt16(const std::string& inText) const override { return static_cast<int16_t>(ToUInt16(inText)); }
  uint16_t ToUInt16(const std::string& inText) const override { return static_cast<uint16_t>(FromLittle(inText, 2)); }
  int8_t ToInt8(const std::string& inText) const override { return static_cast<int8_t>(ToUInt8(inText)); }
  uint8_t ToUInt8(const std::string& inText) const override { return static_cast<uint8_t>(FromLittle(inText, 1)); }

 private:
  std::string Little(uint64_t inValue, std::size_t inWidth) const;
  uint64_t FromLittle(const std::string& inText, std::size_t inWidth) const;
};

}  // namespace pkg
