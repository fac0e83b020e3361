#pragma once
// CTZStreamRead: the reading stream. Every transfer fills the caller's variable from the file.
// See ITZStream for the contract.

#include "platform/CTZStream.h"

class CTZStreamRead : public CTZStream {
 public:
  explicit CTZStreamRead(std::unique_ptr<ITZXferBytes> inBytes);

  TZString XferString(TZString& ioText, bool inAsUTF8, bool inWithLength) override;
  bool XferBool(int16_t& ioValue) override;
  bool IsReadStream() override;
  bool IsWriteStream() override;
  bool ReadLine(TZString& outText, char inTerminator) override;

 protected:
  size_t MoveBytes(void* ioBuffer, size_t inCount) override;
};
