#include <gtest/gtest.h>

#include <thread>
#include <vector>

#include "host/mfc/Win.h"
#include "host/services/HostClock.h"
#include "host/settings/PrWin.h"

namespace {

TEST(HostClock, ManualClockDrivesTickCountAndUsbTime) {
  host::ScopedManualClock clock;
  EXPECT_EQ(GetTickCount(), 0u);
  clock.advance_ms(1500);
  EXPECT_EQ(GetTickCount(), 1500u);
  EXPECT_EQ(host::UsbTicks(), 12000);
  clock.advance_ns(-5);  // never backwards
  EXPECT_EQ(host::UsbTicks(), 12000);
  // The tick counter wraps at 2^32 ms like the host's.
  clock.clock().set_ns((std::int64_t{1} << 32) * 1'000'000 + 7'000'000);
  EXPECT_EQ(GetTickCount(), 7u);
}

TEST(HostClock, SleeperWakesWhenManualClockPassesDeadlineOrIsCancelled) {
  host::ScopedManualClock clock;
  std::atomic<bool> cancel{false};
  std::atomic<int> result{-1};
  std::thread sleeper([&] { result = host::HostClock().sleep_until(1'000'000, cancel) ? 1 : 0; });
  clock.advance_ns(999'999);
  clock.advance_ns(1);
  sleeper.join();
  EXPECT_EQ(result, 1);

  std::thread cancelled(
      [&] { result = host::HostClock().sleep_until(5'000'000'000, cancel) ? 1 : 0; });
  cancel = true;
  host::HostClock().notify_waiters();
  cancelled.join();
  EXPECT_EQ(result, 0);
}

// Each sleeper is woken by the move that reaches its own deadline or by its own cancel flag,
// whatever the others wait for.
TEST(HostClock, ManualClockWakesEachSleeperAtItsOwnDeadline) {
  host::ScopedManualClock clock;
  std::atomic<bool> cancels[3] = {false, false, false};
  std::atomic<int> results[3] = {-1, -1, -1};
  std::vector<std::thread> sleepers;
  sleepers.reserve(3);
  for (std::int64_t i = 0; i < 3; ++i)
    sleepers.emplace_back([&, i] {
      results[i] = host::HostClock().sleep_until((i + 1) * 1'000'000, cancels[i]) ? 1 : 0;
    });
  clock.clock().set_ns(2'000'000);
  sleepers[0].join();
  sleepers[1].join();
  EXPECT_EQ(results[0], 1);
  EXPECT_EQ(results[1], 1);
  EXPECT_EQ(results[2], -1);
  cancels[2] = true;
  host::HostClock().notify_waiters();
  sleepers[2].join();
  EXPECT_EQ(results[2], 0);
}

TEST(HostLog, CapturesCategoryStyleAndFormattedLines) {
  host::CaptureLog log;
  PrWin::Output(L"plain\n", 1, 3);
  PrWin::Output(16, L"CCanSource::start(): on bus %d, '%s'\n", 2, L"X");
  const auto lines = log.lines();
  ASSERT_EQ(lines.size(), 2u);
  EXPECT_EQ(lines[0].category, 1);
  EXPECT_EQ(lines[0].style, 3);
  EXPECT_EQ(lines[1].text, L"CCanSource::start(): on bus 2, 'X'\n");
  EXPECT_EQ(lines[1].category, 16);
}

TEST(HostLog, StreamSinkFiltersByCategory) {
  std::FILE* f = std::tmpfile();
  auto sink = std::make_shared<host::StreamLogSink>(f, 1u << 1);
  host::AddLogSink(sink);
  PrWin::Output(L"error \u00fc\n", 1, 3);
  PrWin::Output(L"trace\n", 16, 0);
  host::RemoveLogSink(sink);
  std::rewind(f);
  char buf[64] = {};
  const auto n = std::fread(buf, 1, sizeof buf - 1, f);
  EXPECT_EQ(std::string(buf, n), "error \xC3\xBC\n");
  std::fclose(f);
}

TEST(MessageBox, ResponderSeesTextAndAnswers) {
  CString seen;
  auto previous = mfc::SetMessageBoxResponder([&](const CString& text, UINT) {
    seen = text;
    return IDCANCEL;
  });
  EXPECT_EQ(AfxMessageBox(L"hello", MB_ICONINFORMATION), IDCANCEL);
  EXPECT_EQ(seen, L"hello");
  mfc::SetMessageBoxResponder(previous);
  EXPECT_EQ(AfxMessageBox(L"again"), IDOK);
}

}  // namespace
