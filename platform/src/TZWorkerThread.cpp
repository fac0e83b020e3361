#include "platform/TZWorkerThread.h"

#include "TZThreadImpl.h"

TZThreadImpl::~TZThreadImpl() { Join(); }

void TZThreadImpl::Start() {
  // Reserve first so that storing the new thread cannot fail after it has started.
  m_threads.reserve(m_threads.size() + 1);
  m_threads.push_back(std::make_unique<boost::thread>([this] { Run(); }));
}

void TZThreadImpl::Join() {
  for (auto& thread : m_threads)
    if (thread->joinable()) thread->join();
  m_threads.clear();
}

void TZWorkerThreadImpl::Run() {
  XTZApplyThreadPriority(m_priority);
  if (m_owner) m_owner->Run();
}

TZWorkerThread::TZWorkerThread(uint32_t inPriority)
    : m_impl(std::make_unique<TZWorkerThreadImpl>(inPriority, this)) {}

TZWorkerThread::~TZWorkerThread() { m_impl->Join(); }

void TZWorkerThread::Start() { m_impl->Start(); }

void TZWorkerThread::Join() { m_impl->Join(); }
