// The analytics event queue: order across threads, events before the consumer, the stop marker.
#include <gtest/gtest.h>

#include <string>
#include <thread>
#include <vector>

#include "analytics/BKTelvoEventQueue.h"

namespace {

// Takes events as the analytics thread does, until the stop marker.
std::vector<BKTelvoEvent> ConsumeUntilStop(BKTelvoEventQueue& inQueue) {
  std::vector<BKTelvoEvent> taken;
  for (;;) {
    BKTelvoEvent event = inQueue.WaitFront();
    inQueue.PopFront();
    if (event.IsStopMarker()) return taken;
    taken.push_back(std::move(event));
  }
}

TEST(EventQueueTest, EventsQueuedBeforeTheConsumerAreAllDelivered) {
  BKTelvoEventQueue queue;
  queue.Push(TZString(u"Launch"), TZString(u"Linux_6.1.0_64-bit"));
  queue.Push(TZString(u"Test"), TZString(u""));
  queue.PushStopMarker();
  std::vector<BKTelvoEvent> taken;
  std::thread consumer([&] { taken = ConsumeUntilStop(queue); });
  consumer.join();
  ASSERT_EQ(2u, taken.size());
  EXPECT_EQ(TZString(u"Launch"), taken[0].m_name);
  EXPECT_EQ(TZString(u"Linux_6.1.0_64-bit"), taken[0].m_value);
  // A name with an empty value is an event, not the stop marker.
  EXPECT_EQ(TZString(u"Test"), taken[1].m_name);
  EXPECT_EQ(0u, queue.Size());
}

TEST(EventQueueTest, EventsKeepTheirOrderAcrossThreadsAndStopAtTheMarker) {
  BKTelvoEventQueue queue;
  std::vector<BKTelvoEvent> taken;
  std::thread consumer([&] { taken = ConsumeUntilStop(queue); });
  constexpr int kProducers = 3;
  constexpr int kEach = 300;
  std::vector<std::thread> producers;
  for (int p = 0; p < kProducers; ++p)
    producers.emplace_back([&queue, p] {
      for (int i = 0; i < kEach; ++i)
        queue.Push(TZString(("P" + std::to_string(p)).c_str()), TZString(std::to_string(i).c_str()));
    });
  for (auto& producer : producers) producer.join();
  queue.PushStopMarker();
  // Queued after the marker: stays in the queue, never taken.
  queue.Push(TZString(u"Late"), TZString(u"1"));
  consumer.join();

  ASSERT_EQ(static_cast<size_t>(kProducers * kEach), taken.size());
  std::vector<int> next(kProducers, 0);
  for (const BKTelvoEvent& event : taken) {
    const int p = event.m_name[1] - u'0';
    ASSERT_TRUE(p >= 0 && p < kProducers) << event.m_name.ToUTF8();
    EXPECT_EQ(next[p]++, std::stoi(event.m_value.ToUTF8())) << event.m_name.ToUTF8();
  }
  EXPECT_EQ(1u, queue.Size());
  EXPECT_EQ(TZString(u"Late"), queue.WaitFront().m_name);
}

TEST(EventQueueTest, TwoThreadsInSequenceComeOutInThatOrder) {
  BKTelvoEventQueue& queue = BKTelvoEventQueue::Instance();
  while (queue.Size()) queue.PopFront();
  std::thread first([] { SendTelvoEvent(TZString(u"HandshakeBegin"), TZString(u"")); });
  first.join();
  std::thread second([] { SendTelvoEvent(TZString(u"HandshakeEnd"), TZString(u"ok")); });
  second.join();
  ASSERT_EQ(2u, queue.Size());
  EXPECT_EQ(TZString(u"HandshakeBegin"), queue.WaitFront().m_name);
  queue.PopFront();
  EXPECT_EQ(TZString(u"HandshakeEnd"), queue.WaitFront().m_name);
  EXPECT_EQ(TZString(u"ok"), queue.WaitFront().m_value);
  queue.PopFront();
  queue.PopFront();  // on an empty queue: nothing happens
  EXPECT_EQ(0u, queue.Size());
}

}  // namespace
