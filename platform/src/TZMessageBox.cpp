#include "platform/TZMessageBox.h"

#include <cstdio>

#include "XTZMessageBox.h"
#include "platform/TZMutex.h"

namespace {

TZMutex& ResponderMutex() {
  static TZMutex mutex;
  return mutex;
}

TZMessageBoxResponder& Responder() {
  static TZMessageBoxResponder responder;
  return responder;
}

}  // namespace

TZMessageBoxAnswer TZDefaultMessageBoxAnswer(TZMessageBoxButtons inButtons) {
  switch (inButtons) {
    case kTZMessageBoxRetryCancel:
      return kTZAnswerRetry;
    case kTZMessageBoxYesNo:
      return kTZAnswerNo;
    case kTZMessageBoxOK:
      break;
  }
  return kTZAnswerOK;
}

void TZSetMessageBoxResponder(TZMessageBoxResponder inResponder) {
  TZLock lock(ResponderMutex());
  Responder() = std::move(inResponder);
}

TZMessageBoxAnswer TZRunMessageBox(const TZMessageBoxRequest& inRequest) {
  TZMessageBoxResponder responder;
  {
    TZLock lock(ResponderMutex());
    responder = Responder();
  }
  // The responder and the box block; neither runs under the lock.
  if (responder) return responder(inRequest);
  TZMessageBoxAnswer answer = TZDefaultMessageBoxAnswer(inRequest.m_buttons);
  if (XTZShowSystemMessageBox(inRequest, answer)) return answer;
  std::fprintf(stderr, "%s: %s\n", inRequest.m_caption.ToUTF8().c_str(), inRequest.m_text.ToUTF8().c_str());
  std::fflush(stderr);
  return TZDefaultMessageBoxAnswer(inRequest.m_buttons);
}

void TZShowMessageBox(const TZString& inText) {
  static const TZString caption = TZString("Tarsel Ostrel");
  TZMessageBoxRequest request;
  request.m_caption = caption;
  request.m_text = inText;
  request.m_buttons = kTZMessageBoxOK;
  TZRunMessageBox(request);
}
