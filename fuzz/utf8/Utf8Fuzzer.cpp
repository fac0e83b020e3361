// Fuzzes the UTF-8 decoder and encoder of AString with arbitrary bytes. Invariants:
//   - decoding never reads past the input (the sanitizers watch) and yields at most one unit
//     per byte, with no 0 unit and a correct character count;
//   - encoding then decoding gives back exactly the decoded units;
//   - input that is well-formed UTF-8 (no 0 byte, no overlong form, no surrogate, at most
//     U+10FFFF) comes back byte for byte.
#include <tarsel/orn/AString.h>
#include <tarsel/orn/AString8.h>

#include <cstdint>
#include <cstdlib>
#include <cstring>

using tarsel::orn::AString;
using tarsel::orn::AString8;

namespace {

void Check(bool inCondition, const char* inWhat) {
  if (!inCondition) {
    __builtin_printf("invariant broken: %s\n", inWhat);
    std::abort();
  }
}

// An independent check of well-formed UTF-8 without 0 bytes.
bool IsWellFormed(const uint8_t* inData, size_t inSize) {
  size_t pos = 0;
  while (pos < inSize) {
    const uint8_t lead = inData[pos];
    size_t length = 0;
    uint32_t codePoint = 0;
    uint32_t minimum = 0;
    if (lead == 0) {
      return false;
    } else if (lead < 0x80) {
      ++pos;
      continue;
    } else if (lead >= 0xC0 && lead < 0xE0) {
      length = 2, codePoint = lead & 0x1F, minimum = 0x80;
    } else if (lead >= 0xE0 && lead < 0xF0) {
      length = 3, codePoint = lead & 0x0F, minimum = 0x800;
    } else if (lead >= 0xF0 && lead < 0xF8) {
      length = 4, codePoint = lead & 0x07, minimum = 0x10000;
    } else {
      return false;
    }
    if (inSize - pos < length) {
      return false;
    }
    for (size_t i = 1; i < length; ++i) {
      if ((inData[pos + i] & 0xC0) != 0x80) {
        return false;
      }
      codePoint = codePoint << 6 | (inData[pos + i] & 0x3F);
    }
    if (codePoint < minimum || codePoint > 0x10FFFF || (codePoint >= 0xD800 && codePoint <= 0xDFFF)) {
      return false;
    }
    pos += length;
  }
  return true;
}

uint32_t CountCharacters(const char16_t* inUnits, uint32_t inCount) {
  uint32_t chars = 0;
  for (uint32_t i = 0; i < inCount; ++i, ++chars) {
    if (inUnits[i] >= 0xD800 && inUnits[i] <= 0xDBFF && i + 1 < inCount && inUnits[i + 1] >= 0xDC00 &&
        inUnits[i + 1] <= 0xDFFF) {
      ++i;
    }
  }
  return chars;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* inData, size_t inSize) {
  const AString8 input(reinterpret_cast<const char*>(inData), inSize);
  AString decoded;
  Check(AString::UTF8ToAString(input, decoded), "decoding succeeds");
  const char16_t* units = decoded.GrabWString();
  Check(decoded.UTF16Count() <= inSize, "at most one unit per byte");
  Check(units[decoded.UTF16Count()] == 0, "terminated");
  for (uint32_t i = 0; i < decoded.UTF16Count(); ++i) {
    Check(units[i] != 0, "no 0 unit");
  }
  Check(decoded.CharCount() == CountCharacters(units, decoded.UTF16Count()), "character count");

  AString8 encoded;
  Check(AString::AStringToUTF8(decoded, encoded), "encoding succeeds");
  AString again;
  Check(AString::UTF8ToAString(encoded, again), "decoding the encoding succeeds");
  Check(again == decoded, "decode(encode(decode(x))) == decode(x)");

  if (IsWellFormed(inData, inSize)) {
    Check(encoded.size() == inSize && std::memcmp(encoded.c_str(), inData, inSize) == 0,
          "well-formed UTF-8 comes back unchanged");
  }
  return 0;
}
