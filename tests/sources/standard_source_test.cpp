#include <gtest/gtest.h>

#include "host/settings/CResourceList.h"
#include "sources/CCanStandardSource.h"
#include "tests/source/DialogCapture.h"
#include "tests/source/PluginRig.h"

namespace plugin_test {
namespace {

class StandardSource : public PluginRig {
 protected:
  DialogCapture m_dialogs;

  std::unique_ptr<CCanStandardSource> Make(const wchar_t* name = L"X", int channel = 0) {
    auto s = std::make_unique<CCanStandardSource>(nullptr, 0, name, channel, false, BITRATE_500K,
                                                  FD_ARBITRATION_500K, FD_DATA_1M);
    s->set_active(true);
    return s;
  }
  static void Receive(CCanStandardSource& s, std::uint32_t id, int times = 1) {
    CanMessage m = Message(id, {1, 2, 3});
    for (int i = 0; i < times; ++i)
      s.on_filtered_message(m);
  }
  static std::vector<std::uint32_t> FetchedIds(CCanStandardSource& s) {
    EXPECT_TRUE(s.fetch());
    std::vector<std::uint32_t> ids;
    for (const auto& r : s.batch())
      ids.push_back(r.message.id);
    return ids;
  }
  static std::vector<std::wstring> StoredLines(const wchar_t* list) {
    std::vector<std::wstring> lines;
    CResourceList l(*CSeaBase::Sea(0), list);
    for (l.GotoHead(); l.IsValid(); l.GotoNext()) {
      CString text;
      l.GetCurrentLine()->GetLineValuePart(text);
      lines.push_back(text.str());
    }
    return lines;
  }
};

TEST_F(StandardSource, DefaultTablePassesEveryIdAndCountsIt) {
  auto s = Make();
  Receive(*s, 0x10, 2);
  Receive(*s, 0x1FFFFFFF);
  EXPECT_EQ(FetchedIds(*s), (std::vector<std::uint32_t>{0x10, 0x10, 0x1FFFFFFF}));
  EXPECT_EQ(s->received(), 3u);
  const auto stats = s->stats_snapshot();
  ASSERT_EQ(stats.size(), 2u);
  EXPECT_EQ(stats[0].second.count, 2u);
  EXPECT_TRUE(stats[1].second.pass);
  // A second fetch without new messages leaves an empty batch.
  EXPECT_TRUE(FetchedIds(*s).empty());
}

TEST_F(StandardSource, InactiveRangesAndInactiveSourcesCountButQueueNothing) {
  auto s = Make();
  s->replace_ranges({{0, 255, true}, {256, kMaxCanId, false}});
  Receive(*s, 255);
  Receive(*s, 256);
  EXPECT_EQ(FetchedIds(*s), std::vector<std::uint32_t>{255});
  s->set_active(false);
  Receive(*s, 255);
  EXPECT_TRUE(FetchedIds(*s).empty());
  EXPECT_EQ(s->received(), 1u);
  const auto stats = s->stats_snapshot();
  EXPECT_EQ(stats[0].second.count, 2u);  // 255: once active, once inactive
  EXPECT_EQ(stats[1].second.count, 1u);  // 256: counted, never queued
  EXPECT_EQ(StoredLines(L"X-0"), (std::vector<std::wstring>{L"0 255 1", L"256 1073741823 0"}));
}

TEST_F(StandardSource, NewTableAppliesAtOnceToIdsAlreadySeen) {
  auto s = Make();
  Receive(*s, 300);
  EXPECT_EQ(FetchedIds(*s).size(), 1u);
  ASSERT_TRUE(s->replace_ranges({{0, 299, true}, {300, 300, false}, {301, kMaxCanId, true}}));
  Receive(*s, 300);
  Receive(*s, 301);
  EXPECT_EQ(FetchedIds(*s), std::vector<std::uint32_t>{301});
  EXPECT_EQ(s->stats_snapshot().front().second.count, 2u);  // counts are not touched by a table
}

TEST_F(StandardSource, StoredTableIsReadBackAndAnInvalidOneIsStillHonoured) {
  {
    CResourceList list(*CSeaBase::Sea(0), L"Y-2");
    for (const wchar_t* line : {L"500 600 0", L"0 499 1"})
      list.AddLineTail()->SetSeaLine(line);
  }
  auto s = Make(L"Y", 2);
  EXPECT_EQ(s->ranges(), (IdRangeList{{500, 600, false}, {0, 499, true}}));
  EXPECT_EQ(m_log.count_containing(L"'Y-2' is not sorted and contiguous"), 1u);
  Receive(*s, 550);   // first range holding it: inactive
  Receive(*s, 10);    // active
  Receive(*s, 9000);  // no range: passes
  EXPECT_EQ(FetchedIds(*s), (std::vector<std::uint32_t>{10, 9000}));
  // The stored table is only written by an apply: destruction keeps it as it was.
  s.reset();
  EXPECT_EQ(StoredLines(L"Y-2"), (std::vector<std::wstring>{L"500 600 0", L"0 499 1"}));
}

TEST_F(StandardSource, RefreshIsScheduledOnlyForBusyTrafficAndNotTooOften) {
  constexpr auto kQuiet = CCanStandardSource::kQuietCount;
  constexpr auto kInterval = CCanStandardSource::kRefreshMs;
  auto s = Make();
  s->show_settings();
  Receive(*s, 1, kQuiet);
  m_clock.advance_ms(kInterval + 1);
  s->fetch();
  EXPECT_EQ(CCentralMessageService::PendingMessages(), 0u);  // quiet bus
  Receive(*s, 2);
  s->fetch();
  ASSERT_EQ(CCentralMessageService::PendingMessages(), 1u);
  Receive(*s, 2, 200);
  m_clock.advance_ms(kInterval);
  s->fetch();  // busy, but not more than the interval since the last one
  EXPECT_EQ(CCentralMessageService::PendingMessages(), 1u);

  CCentralMessageService::Pump();
  ASSERT_NE(DialogCapture::last(), nullptr);
  const CCanStandardSrcDlg& dialog = *DialogCapture::last();
  EXPECT_TRUE(dialog.is_open());
  EXPECT_EQ(dialog.refresh_count(), 1);
  const auto& shares = dialog.shares();
  ASSERT_EQ(shares.size(), 2u);
  const auto total = static_cast<float>(kQuiet + 201);
  EXPECT_FLOAT_EQ(shares[0].second, static_cast<float>(kQuiet) / total * 100.0F);
  EXPECT_EQ(dialog.rate_text(), std::to_wstring((kQuiet + 201) * 1000 / (2 * kInterval + 1)));
  // The dialog asked for the counts to restart from what it showed at the next fetch: what came
  // in meanwhile counts toward the next refresh.
  Receive(*s, 2, 7);
  s->fetch();
  const auto stats = s->stats_snapshot();
  ASSERT_EQ(stats.size(), 2u);
  EXPECT_EQ(stats[0].second.count, 0u);
  EXPECT_EQ(stats[1].second.count, 7u);
}

TEST_F(StandardSource, ScheduledRefreshOfADestroyedSourceDoesNothing) {
  auto s = Make();
  Receive(*s, 1, CCanStandardSource::kQuietCount + 1);
  m_clock.advance_ms(CCanStandardSource::kRefreshMs + 1);
  s->fetch();
  s.reset();
  EXPECT_EQ(CCentralMessageService::Pump(), 1u);
}

TEST_F(StandardSource, ReceivesFromTheBusOnItsReceptionThreadInOrder) {
  auto s = Make(L"bus", 0);
  s->set_log_level(1);
  CanIo sender = Sender(1);
  ASSERT_TRUE(s->start());
  EXPECT_EQ(m_log.count(L"CCanSource::start(): on bus 0\n"), 1u);
  for (std::uint32_t i = 0; i < 500; ++i) {
    SetTime(Now() + 250'000);  // 2 ticks apart
    ASSERT_TRUE(sender.Send(Message(0x100 + i % 7, {static_cast<std::uint8_t>(i)})));
  }
  SetTime(Now() + 1'000'000);  // the last one's transmission has ended
  ASSERT_TRUE(WaitUntilDelivered());
  ASSERT_TRUE(s->fetch());
  ASSERT_EQ(s->batch().size(), 500u);
  for (std::size_t i = 0; i < 500; ++i) {
    EXPECT_EQ(s->batch()[i].message.data[0], static_cast<std::uint8_t>(i));
    EXPECT_EQ(s->batch()[i].stamp, s->batch()[i].message.timestamp);
    if (i > 0) {
      EXPECT_EQ(s->batch()[i].stamp - s->batch()[i - 1].stamp, 2u);
    }
  }
  ASSERT_TRUE(s->stop());
  EXPECT_EQ(m_log.count(L"CCanSource::stop(): off bus 0, received 500 messages\n"), 1u);
}

TEST_F(StandardSource, WithoutChannelStartFailsAndTouchesNothing) {
  auto s = Make(L"none", -1);
  Receive(*s, 5);
  EXPECT_FALSE(s->start());
  EXPECT_EQ(s->received(), 1u);
  EXPECT_EQ(FetchedIds(*s).size(), 1u);
}

}  // namespace
}  // namespace plugin_test
