#include "platform/TZBKWorkerThread.h"

#include "platform/TZAssert.h"
#include "platform/TZExceptionUtils.h"

namespace {

// The source path the assertion lines name, in the form the installer's build gives it.
const char kSourcePath[] = "..\\..\\..\\source\\components\\briskencore\\TZBKWorkerThread";

}  // namespace

TZBKWorkerThread::TZBKWorkerThread(uint32_t inPriority, TZBKWorkerThreadCallback* inCallback,
                                   ITZCustomExceptionHandler* inHandler)
    : TZWorkerThread(inPriority), m_callback(inCallback), m_handler(inHandler) {}

TZBKWorkerThread::~TZBKWorkerThread() {
  // Join here, while this object is whole: the thread reads m_callback and m_handler.
  Join();
}

void TZBKWorkerThread::Run() {
  TZExceptionUtils::InstallExceptionHandlers();
  try {
    if (m_callback) m_callback->Run();
  } catch (const TZBKException& exception) {
    TZReportAssert("TZCustomException in TZBKWorkerThread", kSourcePath, 54);
    if (m_handler) m_handler->HandleException(exception);
  } catch (...) {
    TZReportAssert("Exception in TZBKWorkerThread", kSourcePath, 59);
    if (m_handler) m_handler->HandleUnknownException();
  }
}
