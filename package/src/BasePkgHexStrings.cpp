#include "pkg/PkgHexStrings.h"

#include <mutex>

namespace pkg {

namespace {

int DigitValue(char inDigit) {
  if (inDigit >= '0' && inDigit <= '9') {
    return inDigit - '0';
  }
  if (inDigit >= 'A' && inDigit <= 'F') {
    return inDigit - 'A' + 10;
  }
  if (inDigit >= 'a' && inDigit <= 'f') {
    return inDigit - 'a' + 10;
  }
  return -1;
}

}  // namespace

BasePkgHexStrings* BasePkgHexStrings::GetInstance() {
  static std::mutex creation;
  static BasePkgHexStrings* instance = nullptr;
  std::lock_guard<std::mutex> lock(creation);
  if (instance == nullptr) {
    static BasePkgHexStrings made;
    instance = &made;
  }
  return instance;
}

std::string BasePkgHexStrings::BytesToText(const uint8_t* inBytes, std::size_t inCount) const {
  static const char kDigits[] = "0123456789ABCDEF";
  std::string text;
  text.reserve(inCount * 2);
  for (std::size_t i = 0; i < inCount; ++i) {
    text += kDigits[inBytes[i] >> 4];
    text += kDigits[inBytes[i] & 0x0F];
  }
  return text;
}

std::size_t BasePkgHexStrings::TextToBytes(const std::string& inText, uint8_t* outBytes, std::size_t inRoom) const {
  const std::size_t pairs = inText.size() / 2;
  for (std::size_t i = 0; i < pairs && i < inRoom; ++i) {
    const int high = DigitValue(inText[2 * i]);
    const int low = DigitValue(inText[2 * i + 1]);
    outBytes[i] = high < 0 || low < 0 ? 0 : static_cast<uint8_t>((high << 4) | low);
  }
  return pairs;
}

std::string BasePkgHexStrings::Little(uint64_t inValue, std::size_t inWidth) const {
  uint8_t bytes[8];
  for (std::size_t i = 0; i < inWidth; ++i) {
    bytes[i] = static_cast<uint8_t>(inValue >> (8 * i));
  }
  return BytesToText(bytes, inWidth);
}

uint64_t BasePkgHexStrings::FromLittle(const std::string& inText, std::size_t inWidth) const {
  uint8_t bytes[8] = {};
  TextToBytes(inText, bytes, inWidth);
  uint64_t value = 0;
  for (std::size_t i = 0; i < inWidth; ++i) {
    value |= static_cast<uint64_t>(bytes[i]) << (8 * i);
  }
  return value;
}

}  // namespace pkg
