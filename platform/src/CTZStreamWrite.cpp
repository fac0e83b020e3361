#include "platform/CTZStreamWrite.h"

#include <string>

#include "platform/TZAssert.h"

CTZStreamWrite::CTZStreamWrite(std::unique_ptr<ITZXferBytes> inBytes) : CTZStream(std::move(inBytes)) {}

size_t CTZStreamWrite::MoveBytes(void* ioBuffer, size_t inCount) { return Bytes().Write(ioBuffer, inCount); }

bool CTZStreamWrite::IsReadStream() { return false; }

bool CTZStreamWrite::IsWriteStream() { return true; }

size_t CTZStreamWrite::XferBoolArray(int16_t* ioValues, size_t inCount) {
  TZReportAssert("Warning: Using XferBool(TZBool16 *buf, TZInt32 num) is currently not crossplatfom savvy",
                 __FILE__, __LINE__);
  return CTZStream::XferBoolArray(ioValues, inCount);
}

bool CTZStreamWrite::XferBool(int16_t& ioValue) {
  if (ioValue != 0 && ioValue != 1) {
    TZReportAssert("CStreamWrite::XferBool - this isn't a bool you are writing", __FILE__, __LINE__);
  }
  ioValue = ioValue != 0 ? 1 : 0;
  return XferInt16(ioValue);
}

TZString CTZStreamWrite::XferString(TZString& ioText, bool inAsUTF8, bool inWithLength) {
  if (inAsUTF8) {
    std::string bytes = ioText.ToUTF8();
    int32_t length = static_cast<int32_t>(static_cast<uint32_t>(bytes.size()));
    if (inWithLength) XferInt32(length);
    MoveBytes(&bytes[0], bytes.size());
  } else {
    int32_t length = static_cast<int32_t>(static_cast<uint32_t>(ioText.size() * 2));
    if (inWithLength) XferInt32(length);
    MoveBytes(&ioText[0], ioText.size() * 2);
  }
  return ioText;
}

bool CTZStreamWrite::ReadLine(TZString& outText, char inTerminator) {
  outText.clear();
  return false;
}
