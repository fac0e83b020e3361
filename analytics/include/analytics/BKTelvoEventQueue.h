// The analytics event queue: every part of the program that reports an event only puts it here
// and goes on; it never waits for the network. The analytics thread is the only consumer.
//
// First in, first out, no size limit. An event whose name and value are both empty is the stop
// marker: the consumer ends when it takes it, and events queued after it stay in the queue.
// Producers may be any thread, also before the consumer runs. The lock is held only to append,
// to copy the front and to remove the front.
#pragma once

#include <cstddef>
#include <deque>

#include "platform/TZMutex.h"
#include "platform/TZString.h"

struct BKTelvoEvent {
  TZString m_name;
  TZString m_value;

  bool IsStopMarker() const { return m_name.empty() && m_value.empty(); }
};

class BKTelvoEventQueue {
 public:
  // The process-wide queue, made during static initialisation and never destroyed.
  static BKTelvoEventQueue& Instance();

  BKTelvoEventQueue() = default;
  BKTelvoEventQueue(const BKTelvoEventQueue&) = delete;
  BKTelvoEventQueue& operator=(const BKTelvoEventQueue&) = delete;

  // Appends a copy of the event and wakes the consumer. Returns at once.
  void Push(const TZString& inName, const TZString& inValue);
  // Appends the stop marker.
  void PushStopMarker();

  // Consumer side: waits while the queue is empty, then returns a copy of the front event,
  // which stays in the queue until PopFront.
  BKTelvoEvent WaitFront();
  // Removes the front event; does nothing on an empty queue.
  void PopFront();

  size_t Size() const;

 private:
  mutable TZMutex m_mutex;
  TZCondition m_notEmpty;
  std::deque<BKTelvoEvent> m_items;
};

// Queues the analytics event {inName, inValue} on the process-wide queue. Any thread.
void SendTelvoEvent(const TZString& inName, const TZString& inValue);
