#include <gtest/gtest.h>

#include <set>
#include <thread>
#include <vector>

#include "host/services/CCentralMessageService.h"
#include "host/services/CThreadControllerRegistry.h"
#include "host/services/HostClock.h"

namespace {

class MessageService : public ::testing::Test {
 protected:
  host::ScopedManualClock m_clock;
};

TEST_F(MessageService, MessagesRunOnThePumpingThreadInOrder) {
  std::vector<int> ran;
  std::thread other([&] {
    CCentralMessageService::ScheduleMessage([&] { ran.push_back(1); }, true);
    CCentralMessageService::ScheduleMessage([&] { ran.push_back(2); }, false);  // not the UI thread
  });
  other.join();
  EXPECT_TRUE(ran.empty());
  EXPECT_EQ(CCentralMessageService::PendingMessages(), 2u);
  CCentralMessageService::ScheduleMessage(
      [&] {
        ran.push_back(3);
        // Queued by a message: waits for the next pump.
        CCentralMessageService::ScheduleMessage([&] { ran.push_back(5); }, true);
      },
      true);
  EXPECT_EQ(CCentralMessageService::Pump(), 3u);
  EXPECT_EQ(ran, (std::vector<int>{1, 2, 3}));
  // On the UI thread (the one that pumps), a synchronous message runs at once.
  CCentralMessageService::ScheduleMessage([&] { ran.push_back(4); }, false);
  EXPECT_EQ(ran, (std::vector<int>{1, 2, 3, 4}));
  EXPECT_EQ(CCentralMessageService::Pump(), 1u);
  EXPECT_EQ(ran.back(), 5);
}

TEST_F(MessageService, RegularCallbacksFollowTheHostClock) {
  int coalesced = 0, each = 0, removed = 0;
  const std::uint32_t a =
      CCentralMessageService::RegisterRegularCallback([&] { ++coalesced; }, 1000, true);
  const std::uint32_t b =
      CCentralMessageService::RegisterRegularCallback([&] { ++each; }, 1000, false);
  std::uint32_t c = 0;
  c = CCentralMessageService::RegisterRegularCallback(
      [&] {
        ++removed;
        CCentralMessageService::UnRegisterRegularCallback(c);  // from inside its own run
      },
      500, false);
  EXPECT_NE(a, 0u);
  EXPECT_EQ((std::set<std::uint32_t>{a, b, c}).size(), 3u);

  m_clock.advance_ms(999);
  EXPECT_EQ(CCentralMessageService::Pump(), 1u);  // c at 500 ms
  m_clock.advance_ms(1);
  CCentralMessageService::Pump();
  EXPECT_EQ(coalesced, 1);
  EXPECT_EQ(each, 1);
  m_clock.advance_ms(3500);  // a late pump: three intervals missed
  CCentralMessageService::Pump();
  EXPECT_EQ(coalesced, 2);
  EXPECT_EQ(each, 4);
  EXPECT_EQ(removed, 1);
  CCentralMessageService::UnRegisterRegularCallback(a);
  CCentralMessageService::UnRegisterRegularCallback(0);
  m_clock.advance_ms(500);  // 5000 ms
  CCentralMessageService::Pump();
  EXPECT_EQ(coalesced, 2);
  EXPECT_EQ(each, 5);
}

TEST(ThreadRegistry, NamesRegisteredThreads) {
  auto& registry = CThreadControllerRegistry::Object();
  const std::size_t before = registry.Count();
  std::atomic<bool> quit{false};
  std::thread worker([&] {
    while (!quit)
      std::this_thread::yield();
  });
  registry.Register(worker, L"CAN Source \u00e4 with a long name");
  EXPECT_EQ(registry.Name(worker.get_id()), L"CAN Source \u00e4 with a long name");
  EXPECT_EQ(registry.Count(), before + 1);
  registry.Release(worker);
  EXPECT_EQ(registry.Name(worker.get_id()), L"");
  EXPECT_EQ(registry.Count(), before);
  quit = true;
  worker.join();
  registry.Register(worker, L"not running");  // ignored
  EXPECT_EQ(registry.Count(), before);
}

}  // namespace
