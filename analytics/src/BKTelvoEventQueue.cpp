#include "analytics/BKTelvoEventQueue.h"

namespace {

// Made during static initialisation, as the program's first events may come from there.
BKTelvoEventQueue& s_forceCreation = BKTelvoEventQueue::Instance();

}  // namespace

BKTelvoEventQueue& BKTelvoEventQueue::Instance() {
  // Never destroyed: threads may still queue events while the process exits.
  static BKTelvoEventQueue* const instance = new BKTelvoEventQueue();
  return *instance;
}

void BKTelvoEventQueue::Push(const TZString& inName, const TZString& inValue) {
  BKTelvoEvent event{inName, inValue};
  TZLock lock(m_mutex);
  m_items.push_back(std::move(event));
  m_notEmpty.NotifyAll();
}

void BKTelvoEventQueue::PushStopMarker() { Push(TZString(), TZString()); }

BKTelvoEvent BKTelvoEventQueue::WaitFront() {
  TZLock lock(m_mutex);
  while (m_items.empty()) m_notEmpty.Wait(lock);
  return m_items.front();
}

void BKTelvoEventQueue::PopFront() {
  TZLock lock(m_mutex);
  if (!m_items.empty()) m_items.pop_front();
}

size_t BKTelvoEventQueue::Size() const {
  TZLock lock(m_mutex);
  return m_items.size();
}

void SendTelvoEvent(const TZString& inName, const TZString& inValue) {
  BKTelvoEventQueue::Instance().Push(inName, inValue);
}
