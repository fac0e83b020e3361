#pragma once
// CTZStreamWrite: the writing stream. Every transfer sends the caller's variable to the file;
// written bytes may sit in the byte mover's buffer until Flush(), a seek, or destruction.
// See ITZStream for the contract.

#include "platform/CTZStream.h"

class CTZStreamWrite : public CTZStream {
 public:
  explicit CTZStreamWrite(std::unique_ptr<ITZXferBytes> inBytes);

  TZString XferString(TZString& ioText, bool inAsUTF8, bool inWithLength) override;
  size_t XferBoolArray(int16_t* ioValues, size_t inCount) override;
  bool XferBool(int16_t& ioValue) override;
  bool IsReadStream() override;
  bool IsWriteStream() override;
  bool ReadLine(TZString& outText, char inTerminator) override;

 protected:
  size_t MoveBytes(void* ioBuffer, size_t inCount) override;
};
