// CCanSink::process and callback: packets of a block -> values at their frames in pulse and hop
// lists, completion at the block's end, time-outs.
#include <limits>

#include "host/mfc/Win.h"
#include "tests/sink/SinkRig.h"
#include "tests/sink/SinkView.h"

namespace sink_test {
namespace {

using List = std::vector<std::pair<std::uint32_t, float>>;

std::vector<std::uint8_t> Engine(std::uint16_t rpm, std::uint8_t tempRaw) {
  return {static_cast<std::uint8_t>(rpm), static_cast<std::uint8_t>(rpm >> 8), tempRaw, 0};
}

class SinkProcess : public SinkRig {
 protected:
  FakeCanSource source{0};
  std::unique_ptr<CCanSink> sink = MakeSink(source, 0);
};

using Values = std::vector<std::pair<std::uint32_t, double>>;

// The block's decoded values of one signal, as the host reads them.
Values DecodedValues(const CCanSink& sink, const FakeCanSource& source, int signal) {
  const SinkSourceEntry& entry = *sink.source_entry(source.id());
  Values out;
  for (const auto& v : entry.values)
    if (v.ordinal == entry.states.at(signal).ordinal) out.emplace_back(v.frame, v.value);
  return out;
}

TEST_F(SinkProcess, ValuesBecomePulsesAndHopsAtTheirFramesAndTheListsAreCompleted) {
  // Rpm is a rate per minute in the parameter database, Temp is not; Other has no signal.
  ASSERT_EQ(sink->source_entry(source.id())->states.size(), 2u);
  Block block(20, 4);                      // 100 frames per second
  block.Put(0, 0, 0x100, Engine(999, 1));  // frame 0: a value, no list entry of length 0
  block.Put(3, 0, 0x100, Engine(600, 127));
  block.Put(5, 1, 0x100, Engine(777, 2));  // another bus: skipped
  block.Put(7, 0, 0x100, Engine(1200, 128));
  sink->process(block.View(), source.id());

  EXPECT_EQ(Entries(State(*sink, source, 1)), (List{{3, 10.0F}, {4, 5.0F}, {13, 5.0F}}));
  EXPECT_EQ(Entries(State(*sink, source, 3)), (List{{3, 87.0F}, {4, 88.0F}, {13, 88.0F}}));
  // Every value as decoded, at its frame: the rate itself, not the period the list stores.
  EXPECT_EQ(DecodedValues(*sink, source, 1), (Values{{0, 999}, {3, 600}, {7, 1200}}));
  EXPECT_EQ(DecodedValues(*sink, source, 3), (Values{{0, -39}, {3, 87}, {7, 88}}));
  EXPECT_EQ(State(*sink, source, 1).lastFrame, -1);
  const auto stats = sink->statistics();
  EXPECT_EQ(stats.decoded, 3u);
  EXPECT_EQ(stats.sharedFrame, 0u);

  // The host's output signal: the rate in force at each frame, carried into the next block.
  std::vector<double> rate(20);
  const auto& pulses = *State(*sink, source, 1).list;
  EXPECT_DOUBLE_EQ(pulses.ToSamples(rate, 0.0, 100.0F), 1200.0);
  EXPECT_EQ(rate[2], 0.0);
  EXPECT_EQ(rate[3], 600.0);
  EXPECT_EQ(rate[19], 1200.0);

  // The next block without values continues each signal with its last value over the block.
  Block empty(20, 4);
  sink->process(empty.View(), source.id());
  EXPECT_EQ(Entries(State(*sink, source, 1)), (List{{20, 5.0F}}));
  EXPECT_EQ(Entries(State(*sink, source, 3)), (List{{20, 88.0F}}));
  EXPECT_TRUE(sink->source_entry(source.id())->values.empty());
}

// A value in the first frame of a block is the signal's last value from there on: the block gets
// it from its start, and it ends a silence that would otherwise run into the time-out.
TEST_F(SinkProcess, AValueInTheFirstFrameTakesEffectForTheBlockAndEndsASilence) {
  sink->set_log_level(1);
  sink_view::SinkWindows::Of(*sink)->set_timeout(2);
  sink->apply_settings();
  Block first(10, 4);
  first.Put(0, 0, 0x100, Engine(600, 50));
  // A message of a 1 s cycle at a frame's start, ten blocks of 0.1 s apart.
  for (int i = 0; i < 5; ++i) {
    m_clock.advance_ms(1000);
    Block empty(10, 4);
    for (int k = 0; k < 9; ++k)
      sink->process(empty.View(), source.id());
    sink->process(first.View(), source.id());
    EXPECT_EQ(Entries(State(*sink, source, 3)), (List{{10, 10.0F}}));
    EXPECT_EQ(DecodedValues(*sink, source, 3), (Values{{0, 10}}));
  }
  EXPECT_EQ(State(*sink, source, 3).timeouts, 0u);
  EXPECT_EQ(m_log.count(L"CCanSink::process(): timed out on signal 'Coolant temperature'\n"), 0u);
  // A rate in frame 0 gives the pulse of the whole block its period.
  EXPECT_EQ(Entries(State(*sink, source, 1)), (List{{10, 10.0F}}));
}

TEST_F(SinkProcess, ARateOfZeroAndASecondValueInOneFrame) {
  Block block(10, 8);  // rows of 32 bytes: two 12-byte packets fit in one row
  block.Put(2, 0, 0x100, Engine(0, 50));
  block.Put(5, 0, 0x100, Engine(300, 60));
  block.Put(5, 0, 0x100, Engine(900, 70), 12);
  sink->process(block.View(), source.id());
  const List rpm = Entries(State(*sink, source, 1));
  ASSERT_EQ(rpm.size(), 3u);
  EXPECT_EQ(rpm[0], (std::pair<std::uint32_t, float>{2, std::numeric_limits<float>::max()}));
  EXPECT_EQ(rpm[1], (std::pair<std::uint32_t, float>{3, 20.0F}));
  EXPECT_EQ(m_log.count(L"CCanSink::callback(): 'Engine speed' received twice for frame 5\n"), 1u);
  EXPECT_EQ(Entries(State(*sink, source, 3)).at(1).second, 20.0F);  // the first value stays
  // The second value of frame 5 is recorded all the same, and counted.
  EXPECT_EQ(DecodedValues(*sink, source, 1), (Values{{2, 0}, {5, 300}, {5, 900}}));
  EXPECT_EQ(DecodedValues(*sink, source, 3), (Values{{2, 10}, {5, 20}, {5, 30}}));
  EXPECT_EQ(sink->statistics().sharedFrame, 2u);
}

TEST_F(SinkProcess, HeadersThatAreNoPacketsAndPacketsAtTheEndOfTheBlock) {
  Block block(10, 4);
  block.Put(2, 0, 0x100, Engine(600, 50));
  block.Bytes()[2 * 16 + 2] = 0;  // length 0: not a header, the scan goes on
  block.Put(4, 0, 0x100, {0x58, 0x02, 60, 0, 0, 0, 0, 0});  // fills row 4
  block.Bytes()[4 * 16 + 2] = 65;                           // length 65: not a header either
  block.Put(6, 0, 0x100, Engine(1200, 70));
  // A packet whose data end exactly at the end of the block is not read.
  block.Put(9, 0, 0x100, {1, 2, 3, 4, 5, 6, 7, 8});
  sink->process(block.View(), source.id());
  EXPECT_EQ(Entries(State(*sink, source, 3)), (List{{6, 30.0F}, {4, 30.0F}}));
  EXPECT_EQ(sink->statistics().decoded, 1u);
}

TEST_F(SinkProcess, ASilentSignalTimesOutOncePerSilence) {
  sink->set_log_level(1);
  sink_view::SinkWindows::Of(*sink)->set_timeout(2);
  sink->apply_settings();
  Block values(10, 4);
  values.Put(3, 0, 0x100, Engine(600, 50));
  sink->process(values.View(), source.id());
  const std::wstring line = L"CCanSink::process(): timed out on signal 'Coolant temperature'\n";

  m_clock.advance_ms(1900);
  Block empty(10, 4);
  sink->process(empty.View(), source.id());
  EXPECT_EQ(Entries(State(*sink, source, 3)), (List{{10, 10.0F}}));
  EXPECT_EQ(m_log.count(line), 0u);

  m_clock.advance_ms(600);
  sink->process(empty.View(), source.id());
  sink->process(empty.View(), source.id());
  EXPECT_TRUE(State(*sink, source, 3).list->empty());
  EXPECT_TRUE(State(*sink, source, 1).list->empty());
  EXPECT_EQ(m_log.count(line), 1u);
  EXPECT_EQ(State(*sink, source, 3).timeouts, 1u);

  // A value ends the silence; without a time-out the last value goes on.
  sink->process(values.View(), source.id());
  sink_view::SinkWindows::Of(*sink)->set_timeout(0);
  sink->apply_settings();
  m_clock.advance_ms(5000);
  sink->process(empty.View(), source.id());
  EXPECT_EQ(Entries(State(*sink, source, 3)), (List{{10, 10.0F}}));
}

// A signal's silence counts from the tick of its last value, not from the start of the block
// that brought it: decoding a block takes time too.
TEST_F(SinkProcess, ATimeOutCountsFromTheTickOfTheLastValue) {
  sink->set_log_level(1);
  sink_view::SinkWindows::Of(*sink)->set_timeout(2);
  sink->apply_settings();
  // 1.5 s pass while the block is decoded, before the values of frame 7 arrive.
  CCanDecoder* decoder = sink_view::DbcDecoder(*sink, 0);
  bool stepped = false;
  decoder->m_valueCallback = [this, &stepped, deliver = decoder->m_valueCallback](
                                 int signal, float value, int frame) {
    if (frame == 7 && !stepped) {
      m_clock.advance_ms(1500);
      stepped = true;
    }
    deliver(signal, value, frame);
  };
  Block values(10, 4);
  values.Put(3, 0, 0x100, Engine(600, 50));
  values.Put(7, 0, 0x100, Engine(1200, 60));
  sink->process(values.View(), source.id());
  ASSERT_TRUE(stepped);
  const std::wstring line = L"CCanSink::process(): timed out on signal 'Coolant temperature'\n";

  // 2.5 s after the block started, 1 s after the last value: the signal goes on.
  m_clock.advance_ms(1000);
  Block empty(10, 4);
  sink->process(empty.View(), source.id());
  EXPECT_EQ(Entries(State(*sink, source, 3)), (List{{10, 20.0F}}));
  EXPECT_EQ(m_log.count(line), 0u);

  // 2 s after the last value: timed out.
  m_clock.advance_ms(1000);
  sink->process(empty.View(), source.id());
  EXPECT_TRUE(State(*sink, source, 3).list->empty());
  EXPECT_EQ(m_log.count(line), 1u);
}

TEST_F(SinkProcess, BlocksTheSinkCannotReadAreIgnored) {
  Block block(10, 4);
  block.Put(3, 0, 0x100, Engine(600, 50));
  sink->process(block.View(), source.id());
  Block other(10, 4);
  other.Put(4, 0, 0x100, Engine(900, 60));
  sink->process(other.View(7), source.id());  // another channel coding
  sink->process(other.View(), 999999);        // no such source
  EXPECT_EQ(Entries(State(*sink, source, 3)), (List{{3, 10.0F}, {7, 10.0F}}));
}

}  // namespace
}  // namespace sink_test
