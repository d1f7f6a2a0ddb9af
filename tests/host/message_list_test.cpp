// The message list without a window: what the processing thread's tracker publishes from a
// scripted stream of messages (measured time stepped by the script), and how the list model shows
// it: counts, rates, highlighted bytes and their fading, sorting and filtering.
#include <gtest/gtest.h>

#include <array>
#include <cstdint>
#include <string>

#include "host/ui/MessageListModel.h"
#include "host/ui/MessageTracker.h"

namespace {

using ui::MessageListModel;
using ui::MessageTracker;

constexpr std::uint32_t kExtended = ui::kExtendedIdFlag | 0x18FEF100u;

// Feeds `tracker` 100 messages/s of 0x100 on channel 0 (a counter in byte 0) and 20 messages/s of
// an extended identifier on channel 1 from `from` to `to` hundredths of a second, publishing every
// 0.1 s like frames.
void Stream(MessageTracker& tracker, int from, int to, bool extendedToo = true) {
  for (int tick = from; tick < to; ++tick) {
    const double t = tick / 100.0;
    const std::array<std::uint8_t, 8> counter = {
        static_cast<std::uint8_t>(tick), 0, 0, 0, 0, 0, 0, 0};
    tracker.Add(0, 0x100, 8, counter.data(), t);
    const std::uint8_t fixed[3] = {0xAA, 0xBB, 0xCC};
    if (extendedToo && tick % 5 == 0) tracker.Add(1, kExtended, 3, fixed, t);
    if ((tick + 1) % 10 == 0) tracker.Publish((tick + 1) / 100.0);
  }
}

TEST(MessageTracker, CountsRatesAndLastDataPerChannelAndIdentifier) {
  MessageTracker tracker;
  EXPECT_TRUE(tracker.Snapshot()->rows.empty());
  Stream(tracker, 0, 300);
  const ui::MessageSnapshotPtr s = tracker.Snapshot();
  EXPECT_DOUBLE_EQ(s->seconds, 3.0);
  ASSERT_EQ(s->rows.size(), 2u);
  const ui::MessageStat& fast = s->rows[0];
  EXPECT_EQ(fast.channel, 0);
  EXPECT_EQ(fast.id, 0x100u);
  EXPECT_FALSE(fast.extended());
  EXPECT_EQ(fast.count, 300u);
  EXPECT_NEAR(fast.rate, 100.0, 1e-9);
  EXPECT_DOUBLE_EQ(fast.last, 2.99);
  EXPECT_EQ(fast.length, 8);
  EXPECT_EQ(fast.data[0], static_cast<std::uint8_t>(299));
  const ui::MessageStat& slow = s->rows[1];
  EXPECT_EQ(slow.channel, 1);
  EXPECT_TRUE(slow.extended());
  EXPECT_EQ(slow.bareId(), 0x18FEF100u);
  EXPECT_EQ(slow.count, 60u);
  EXPECT_NEAR(slow.rate, 20.0, 1e-9);

  // The extended identifier falls silent: its rate is 0 after the next whole window, while the
  // snapshot handed out before stays as it was.
  Stream(tracker, 300, 450, false);
  EXPECT_NEAR(tracker.Snapshot()->rows[1].rate, 0.0, 1e-9);
  EXPECT_NEAR(tracker.Snapshot()->rows[0].rate, 100.0, 1e-9);
  EXPECT_EQ(s->rows[0].count, 300u);
  EXPECT_NEAR(s->rows[1].rate, 20.0, 1e-9);

  tracker.Restart();
  EXPECT_TRUE(tracker.Snapshot()->rows.empty());
}

TEST(MessageTracker, ListsABoundedNumberOfIdentifiersAndCountsTheRest) {
  MessageTracker tracker;
  const std::uint8_t byte[1] = {0};
  for (std::uint32_t id = 0; id < MessageTracker::kMaxRows + 10; ++id)
    tracker.Add(1, ui::kExtendedIdFlag | id, 1, byte, 0.0);
  tracker.Add(1, ui::kExtendedIdFlag, 1, byte, 0.5);  // a listed one still counts
  tracker.Publish(1.0);
  const ui::MessageSnapshotPtr s = tracker.Snapshot();
  ASSERT_EQ(s->rows.size(), MessageTracker::kMaxRows);
  EXPECT_EQ(s->unlisted, 10u);
  EXPECT_EQ(s->rows[0].count, 2u);
  tracker.Restart();
  tracker.Publish(0.1);
  EXPECT_EQ(tracker.Snapshot()->unlisted, 0u);
}

TEST(MessageListModel, ChangedBytesAreHighlightedAndFade) {
  MessageTracker tracker;
  const std::uint8_t first[2] = {0x01, 0x02};
  const std::uint8_t second[4] = {0x01, 0x07, 0x10, 0x11};
  tracker.Add(0, 0x123, 2, first, 1.0);
  tracker.Publish(1.0);
  MessageListModel model;
  model.Update(tracker.Snapshot());
  // The first message changes nothing: there is nothing to compare with.
  EXPECT_EQ(model.Highlight(0, 0), 0.0);
  EXPECT_EQ(model.Highlight(0, 1), 0.0);

  // Byte 1 changes and bytes 2-3 are new; byte 0 stays.
  tracker.Add(0, 0x123, 4, second, 2.0);
  for (const double at : {2.0, 2.5, 3.5, 4.0, 9.0}) {
    tracker.Publish(at);
    model.Update(tracker.Snapshot());
    const double expected = at >= 4.0 ? 0.0 : 1.0 - (at - 2.0) / MessageListModel::kFadeSeconds;
    EXPECT_EQ(model.Highlight(0, 0), 0.0) << at;
    for (int byte = 1; byte < 4; ++byte)
      EXPECT_NEAR(model.Highlight(0, byte), expected, 1e-6) << at << " byte " << byte;
    EXPECT_EQ(model.Highlight(0, 4), 0.0) << "past the length";
  }
  EXPECT_EQ(model.Text(0, MessageListModel::kData), "01 07 10 11");
  EXPECT_EQ(model.Text(0, MessageListModel::kSinceLast), "7.000");
}

TEST(MessageListModel, SortsByAnyColumnAndFiltersByIdentifierOrName) {
  MessageTracker tracker;
  Stream(tracker, 0, 200);
  const std::uint8_t one[1] = {1};
  tracker.Add(0, 0x7DF, 1, one, 2.0);
  tracker.Publish(2.1);
  MessageListModel model;
  model.SetNamer([](int channel, std::uint32_t id) {
    return channel == 1 && id == kExtended ? std::string("EEC1") : std::string();
  });
  EXPECT_TRUE(model.Update(tracker.Snapshot()));
  ASSERT_EQ(model.RowCount(), 3u);
  EXPECT_EQ(model.Text(0, MessageListModel::kId), "100");
  EXPECT_EQ(model.Text(1, MessageListModel::kId), "7DF");
  EXPECT_EQ(model.Text(2, MessageListModel::kId), "18FEF100 x");
  EXPECT_EQ(model.Name(2), "EEC1");
  EXPECT_EQ(model.Text(0, MessageListModel::kRate), "100.0");
  // The same rows in the same order: only values changed.
  EXPECT_FALSE(model.Update(tracker.Snapshot()));

  EXPECT_TRUE(model.SetSort(MessageListModel::kCount, false));
  EXPECT_EQ(model.Row(0).id, 0x100u);
  EXPECT_EQ(model.Row(1).id, kExtended);
  EXPECT_EQ(model.Row(2).id, 0x7DFu);
  model.SetSort(MessageListModel::kName, true);  // unnamed first, ties by channel and identifier
  EXPECT_EQ(model.Row(0).id, 0x100u);
  EXPECT_EQ(model.Row(2).id, kExtended);
  model.SetSort(MessageListModel::kSinceLast, true);
  EXPECT_EQ(model.Row(0).id, 0x7DFu);
  EXPECT_EQ(model.Find(0, 0x100), std::optional<std::size_t>(1));
  EXPECT_EQ(model.Find(3, 0x100), std::nullopt);

  EXPECT_TRUE(model.SetFilter("fef1"));
  ASSERT_EQ(model.RowCount(), 1u);
  EXPECT_EQ(model.Row(0).id, kExtended);
  model.SetFilter("eec");
  ASSERT_EQ(model.RowCount(), 1u);
  model.SetFilter("7d");
  ASSERT_EQ(model.RowCount(), 1u);
  EXPECT_EQ(model.Row(0).id, 0x7DFu);
  model.SetFilter("nothing like it");
  EXPECT_EQ(model.RowCount(), 0u);
  model.SetFilter("");
  EXPECT_EQ(model.RowCount(), 3u);
}

}  // namespace
