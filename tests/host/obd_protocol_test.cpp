// The OBD-II pieces the simulator and the sequencer are made of: the drive cycle, the answers to
// request payloads, ISO-TP framing and the sequencer's settings text.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "host/obd/IsoTp.h"
#include "host/obd/ObdDriveCycle.h"
#include "host/obd/ObdPids.h"
#include "host/obd/SequencerSettings.h"

namespace {

using namespace XeCanAnalysis;
using Bytes = std::vector<std::uint8_t>;

constexpr std::int64_t kSecond = 1'000'000'000;

Bytes Answer(const Bytes& request, std::int64_t ns = 3500 * kSecond / 1000, std::uint32_t run = 0) {
  return ObdAnswer(request, DriveCycle(ns), run);
}

TEST(ObdDriveCycle, PhasesGearsAndRepetition) {
  EXPECT_EQ(DriveCycle(kSecond / 2).speedKmh, 0.0);
  EXPECT_EQ(DriveCycle(kSecond / 2).engineRpm, 800.0);
  EXPECT_EQ(DriveCycle(3500 * kSecond / 1000).speedKmh, 20.0);
  EXPECT_EQ(DriveCycle(3500 * kSecond / 1000).engineRpm, 1600.0);  // just shifted into 2nd
  // A 5 s measurement from the clock's start sees the car pull away and the engine rev.
  EXPECT_EQ(DriveCycle(5 * kSecond).speedKmh, 32.0);
  EXPECT_NEAR(DriveCycle(3500 * kSecond / 1000 - 1).engineRpm, 3000.0, 1e-3);
  EXPECT_EQ(DriveCycle(35 * kSecond).engineRpm, 2800.0);  // cruise in 5th
  EXPECT_EQ(DriveCycle(45 * kSecond).speedKmh, 50.0);     // braking
  EXPECT_EQ(DriveCycle(57 * kSecond).speedKmh, 0.0);
  // Speed is continuous across the phase boundaries.
  EXPECT_NEAR(DriveCycle(13500 * kSecond / 1000 - 1).speedKmh, 100.0, 1e-6);
  EXPECT_NEAR(DriveCycle(50 * kSecond - 1).speedKmh, 0.0, 1e-6);
  // The cycle repeats; temperatures and fuel follow the total time.
  EXPECT_EQ(DriveCycle(kCycleNs + 3500 * kSecond / 1000).engineRpm, 1600.0);
  EXPECT_EQ(DriveCycle(0).coolantC, 20.0);
  EXPECT_EQ(DriveCycle(600 * kSecond).coolantC, 90.0);
  EXPECT_LT(DriveCycle(600 * kSecond).fuelPercent, DriveCycle(0).fuelPercent);
}

TEST(ObdPids, AnswersWithStandardScalings) {
  EXPECT_EQ(Answer({0x01, 0x0C}), (Bytes{0x41, 0x0C, 0x19, 0x00}));  // 1600 rpm x 4
  EXPECT_EQ(Answer({0x01, 0x0D}), (Bytes{0x41, 0x0D, 20}));
  EXPECT_EQ(Answer({0x01, 0x05}, 0), (Bytes{0x41, 0x05, 60}));  // 20 degC + 40
  EXPECT_EQ(Answer({0x01, 0x04}), (Bytes{0x41, 0x04, 204}));    // 80 % of 255
  EXPECT_EQ(Answer({0x01, 0x11}), (Bytes{0x41, 0x11, 153}));    // 60 %
  EXPECT_EQ(Answer({0x01, 0x46}), (Bytes{0x41, 0x46, 60}));
  EXPECT_EQ(Answer({0x01, 0x1F}, 0, 300), (Bytes{0x41, 0x1F, 0x01, 0x2C}));
  EXPECT_EQ(Answer({0x01, 0x2F}, 0), (Bytes{0x41, 0x2F, 191}));  // 75 %
}

TEST(ObdPids, SupportedBitmapsChainAndMatchTheTable) {
  EXPECT_EQ(Answer({0x01, 0x00}), (Bytes{0x41, 0x00, 0x18, 0x1A, 0x80, 0x03}));
  EXPECT_EQ(Answer({0x01, 0x20}), (Bytes{0x41, 0x20, 0x00, 0x02, 0x00, 0x01}));
  EXPECT_EQ(Answer({0x01, 0x40}), (Bytes{0x41, 0x40, 0x04, 0x00, 0x00, 0x00}));
  // Every PID a bitmap announces is answered, every other one refused.
  for (unsigned pid = 1; pid < 0x60; ++pid) {
    const Bytes a = Answer({0x01, static_cast<std::uint8_t>(pid)});
    const Bytes bitmap = Answer({0x01, static_cast<std::uint8_t>((pid - 1) / 32 * 32)});
    const unsigned bit = (pid - 1) % 32;
    const bool announced = bitmap.size() == 6 && (bitmap[2 + bit / 8] & (0x80 >> (bit % 8)));
    EXPECT_EQ(a[0] == 0x41, announced) << "PID " << pid;
  }
}

TEST(ObdPids, RefusalsCarryTheRightCode) {
  EXPECT_EQ(Answer({0x01, 0x0A}), (Bytes{0x7F, 0x01, 0x31}));
  EXPECT_EQ(Answer({0x01, 0x60}), (Bytes{0x7F, 0x01, 0x31}));
  EXPECT_EQ(Answer({0x01}), (Bytes{0x7F, 0x01, 0x13}));
  EXPECT_EQ(Answer({0x09, 0x04}), (Bytes{0x7F, 0x09, 0x31}));
  EXPECT_EQ(Answer({0x22, 0xF1, 0x90}), (Bytes{0x7F, 0x22, 0x11}));
  EXPECT_TRUE(Answer({}).empty());
}

TEST(IsoTp, HeaderExamplesAndVinRoundTrip) {
  const Bytes vin = Answer({0x09, 0x02});
  ASSERT_EQ(vin.size(), 20u);
  const CanMessage first = IsoTpStart(0x7E8, vin, 0xAA);
  EXPECT_EQ(Bytes(first.data, first.data + 8),
            (Bytes{0x10, 0x14, 0x49, 0x02, 0x01, 'W', 'V', 'Z'}));
  EXPECT_EQ(IsoTpConsecutiveCount(vin.size()), 2u);
  const CanMessage fc = IsoTpFlowControl(0x7E0, FlowStatus::Continue, 0, 0xF3, 0x55);
  EXPECT_EQ(Bytes(fc.data, fc.data + 8), (Bytes{0x30, 0, 0xF3, 0x55, 0x55, 0x55, 0x55, 0x55}));
  EXPECT_EQ(SeparationNs(0xF3), 300'000);
  EXPECT_EQ(SeparationNs(5), 5'000'000);
  EXPECT_EQ(SeparationNs(0x80), 127'000'000);

  IsoTpReceiver receiver;
  EXPECT_EQ(receiver.Feed(IsoTpConsecutive(0x7E8, vin, 1, 0xAA)), IsoTpReceiver::Result::Ignored);
  EXPECT_EQ(receiver.Feed(first), IsoTpReceiver::Result::FirstFrame);
  // Out of sequence frames are not taken.
  EXPECT_EQ(receiver.Feed(IsoTpConsecutive(0x7E8, vin, 2, 0xAA)), IsoTpReceiver::Result::Ignored);
  EXPECT_EQ(receiver.Feed(IsoTpConsecutive(0x7E8, vin, 1, 0xAA)),
            IsoTpReceiver::Result::InProgress);
  EXPECT_EQ(receiver.Feed(IsoTpConsecutive(0x7E8, vin, 2, 0xAA)), IsoTpReceiver::Result::Complete);
  EXPECT_EQ(receiver.payload(), vin);
  // Padding past the announced length is not part of the payload.
  EXPECT_EQ(receiver.Feed(IsoTpStart(0x7E8, Bytes{0x41, 0x0D, 20}, 0xAA)),
            IsoTpReceiver::Result::Complete);
  EXPECT_EQ(receiver.payload(), (Bytes{0x41, 0x0D, 20}));
}

TEST(SequencerSettings, HeaderExamples) {
  const auto s = SequencerSettings::Parse(
      "timer 10\n"
      "regular 7DF 010C\n"
      "regular 7E0 01 0D   # physical\n"
      "oneshot 7DF 0902 st=5\n"
      "oneshot 7DF 0902 st=F3 bs=2\n");
  EXPECT_TRUE(s.problems.empty());
  EXPECT_EQ(s.timerMs, 10);
  EXPECT_EQ(s.regular, (std::vector<SequencerRequest>{{0x7DF, {0x01, 0x0C}, 0, 0},
                                                      {0x7E0, {0x01, 0x0D}, 0, 0}}));
  EXPECT_EQ(s.oneShot, (std::vector<SequencerRequest>{{0x7DF, {0x09, 0x02}, 5, 0},
                                                      {0x7DF, {0x09, 0x02}, 0xF3, 2}}));
}

TEST(SequencerSettings, WrongLinesAreListedWithTheirLineAndLeftOut) {
  const auto s = SequencerSettings::Parse(
      "# comment\n"
      "poll 7DF 010C\n"
      "regular 800 010C\n"
      "regular 7DF 010\n"
      "regular 7DF 0102030405060708\n"
      "regular 7DF 010C st=200\n"
      "timer 0\n"
      "\n"
      "regular 7DF 010D\r\n");
  using E = SequencerSettingsError;
  std::vector<std::pair<int, E>> got;
  for (const auto& p : s.problems)
    got.emplace_back(p.line, p.error);
  EXPECT_EQ(got, (std::vector<std::pair<int, E>>{{2, E::UnknownKeyword},
                                                 {3, E::BadIdentifier},
                                                 {4, E::BadPayload},
                                                 {5, E::BadPayload},
                                                 {6, E::BadOption},
                                                 {7, E::BadTimer}}));
  EXPECT_EQ(s.timerMs, 10);
  ASSERT_EQ(s.regular.size(), 1u);
  EXPECT_EQ(s.regular[0].payload, (Bytes{0x01, 0x0D}));
}

TEST(SequencerSettings, TextReadsBackAsTheSameSettings) {
  SequencerSettings s = SequencerSettings::Defaults();
  s.timerMs = 25;
  s.oneShot.push_back({0x7E0, {0x09, 0x02}, 0xF9, 3});
  s.oneShot.push_back({0x7E1, {0x01, 0x00}, 127, 0});
  const auto back = SequencerSettings::Parse(s.Text());
  EXPECT_TRUE(back.problems.empty());
  EXPECT_EQ(back.timerMs, 25);
  EXPECT_EQ(back.regular, s.regular);
  EXPECT_EQ(back.oneShot, s.oneShot);
}

}  // namespace
