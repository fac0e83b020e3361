#include "platform/CTZStreamRead.h"

#include <algorithm>
#include <cstring>
#include <string>

#include "platform/TZAssert.h"

namespace {

const size_t kStringChunk = 65536;

}  // namespace

CTZStreamRead::CTZStreamRead(std::unique_ptr<ITZXferBytes> inBytes) : CTZStream(std::move(inBytes)) {}

size_t CTZStreamRead::MoveBytes(void* ioBuffer, size_t inCount) { return Bytes().Read(ioBuffer, inCount); }

bool CTZStreamRead::IsReadStream() { return true; }

bool CTZStreamRead::IsWriteStream() { return false; }

bool CTZStreamRead::XferBool(int16_t& ioValue) {
  if (!XferInt16(ioValue)) return false;
  if (ioValue != 0 && ioValue != 1) {
    TZReportAssert("CTZStreamRead::XferBool - this isn't a bool you are reading. Something's wrong.",
                   __FILE__, __LINE__);
  }
  return true;
}

TZString CTZStreamRead::XferString(TZString& ioText, bool inAsUTF8, bool inWithLength) {
  uint64_t length = inAsUTF8 ? ioText.ToUTF8().size() : ioText.size() * 2;
  if (inWithLength) {
    int32_t stored = 0;
    length = XferInt32(stored) ? static_cast<uint32_t>(stored) : 0;
  }
  // The length may come from a damaged file: grow the buffer only as bytes actually arrive.
  std::string bytes;
  while (bytes.size() < length) {
    const size_t chunk = static_cast<size_t>(std::min<uint64_t>(length - bytes.size(), kStringChunk));
    const size_t old = bytes.size();
    bytes.resize(old + chunk);
    const size_t got = MoveBytes(&bytes[old], chunk);
    bytes.resize(old + got);
    if (got < chunk) break;
  }
  if (inAsUTF8) {
    ioText = TZString(bytes.c_str(), 1);
  } else {
    ioText.assign(bytes.size() / 2, u'\0');
    std::memcpy(&ioText[0], bytes.data(), ioText.size() * 2);
  }
  return ioText;
}

bool CTZStreamRead::ReadLine(TZString& outText, char inTerminator) {
  outText.clear();
  if (GetState() != ITZXferBytes::kStateGood) return true;
  const uint8_t terminator = static_cast<uint8_t>(inTerminator);
  std::string line;
  bool wellFormed = true;
  bool atTerminator = false;
  while (wellFormed && !atTerminator) {
    uint8_t lead;
    if (MoveBytes(&lead, 1) != 1) break;
    size_t continuation;
    if (lead < 0x80) {
      continuation = 0;
    } else if ((lead & 0xE0) == 0xC0) {
      continuation = 1;
    } else if ((lead & 0xF0) == 0xE0) {
      continuation = 2;
    } else if ((lead & 0xF8) == 0xF0) {
      continuation = 3;
    } else if ((lead & 0xFC) == 0xF8) {
      continuation = 4;
    } else if ((lead & 0xFE) == 0xFC) {
      continuation = 5;
    } else {
      wellFormed = false;
      break;
    }
    std::string character(1, static_cast<char>(lead));
    bool complete = true;
    for (size_t i = 0; i < continuation; ++i) {
      uint8_t next;
      if (MoveBytes(&next, 1) != 1) {
        complete = false;
        break;
      }
      if (next < 0x80 || next > 0xBF) {
        wellFormed = false;
        break;
      }
      character += static_cast<char>(next);
    }
    if (!complete || !wellFormed) break;
    if (static_cast<uint8_t>(character.back()) == terminator) {
      character.pop_back();
      atTerminator = true;
    }
    line += character;
  }
  outText = TZString(line.c_str(), 1);
  return wellFormed;
}
