// The vehicle simulator and the sequencer against each other on the virtual bus, with a manual host
// clock stepped 1 ms at a time; a third channel captures the traffic as a bus monitor would.
#include <algorithm>
#include <memory>

#include "host/obd/AnalysisTimer.h"
#include "host/obd/CCanSequencer.h"
#include "host/obd/COBDVehicleSimulator.h"
#include "host/obd/ObdPids.h"
#include "host/settings/PrWin.h"
#include "tests/host/DriverFixture.h"

namespace driver_test {
namespace {

using XeCanAnalysis::CCanSequencer;
using XeCanAnalysis::COBDVehicleSimulator;
using Bytes = std::vector<std::uint8_t>;

constexpr std::int64_t kMs = 1'000'000;
constexpr std::uint32_t kTicksPerMs = 8;

// A node of the test bus: a handle and its controller on bus.
struct Node {
  explicit Node(int channel) : io(channel), control(L"node", io) {
    control.Start(false, BITRATE_500K, FD_ARBITRATION_500K, FD_DATA_2M);
    control.GoOnBus();
  }
  CanIo io;
  CanControl control;
};

class ObdBus : public DriverFixture {
 protected:
  ObdBus() { SetTime(14'000 * kMs); }  // accelerating: values change with every request

  void WriteSettings(const std::string& text) {
    testing_support::WriteFile(m_dir / "OBDTester.sequencer", text);
  }
  void Step(int ms) {
    for (int i = 0; i < ms; ++i) {
      m_clock.advance_ms(1);
      ASSERT_TRUE(XeCanAnalysis::WaitUntilSettled());
    }
  }
  std::vector<CanMessage> Captured(std::uint32_t id) {
    std::vector<CanMessage> out;
    for (const CanMessage& m : m_spy.messages())
      if (m.id == id) out.push_back(m);
    return out;
  }

  Node m_tester{0}, m_ecu{1}, m_monitor{2};
  Collector m_spy{m_monitor.control};
};

Bytes Payload(const CanMessage& single) {
  return Bytes(single.data + 1, single.data + 1 + (single.data[0] & 0x0F));
}

// Every request is answered exactly once, within a millisecond, with the drive cycle's value at
// the time between request and answer.
TEST_F(ObdBus, EveryRequestGetsOneAnswerWithTheDriveCycleValue) {
  COBDVehicleSimulator ecu(L"OBDVehicle", &m_ecu.control);
  CCanSequencer tester(L"OBDTester", &m_tester.control);
  EXPECT_TRUE(std::filesystem::exists(m_dir / "OBDTester.sequencer"));  // defaults written
  ecu.Activate(true);
  tester.SetTimer(10);
  tester.StartTimer();
  ASSERT_TRUE(XeCanAnalysis::WaitUntilSettled());
  Step(295);

  const auto requests = Captured(0x7DF);
  const auto answers = Captured(0x7E8);
  ASSERT_EQ(requests.size(), 30u);  // at 0, 10, ..., 290 ms
  ASSERT_EQ(answers.size(), requests.size());
  for (std::size_t i = 0; i < requests.size(); ++i) {
    const std::uint32_t asked = requests[i].timestamp;
    EXPECT_EQ(asked - requests[0].timestamp, i * 10 * kTicksPerMs);
    EXPECT_LE(answers[i].timestamp - asked, kTicksPerMs);
    const Bytes request = Payload(requests[i]);
    const Bytes answer = Payload(answers[i]);
    const auto at = [&](std::uint32_t ticks) {
      return XeCanAnalysis::ObdAnswer(request, XeCanAnalysis::DriveCycle(ticks * 125'000LL), 0);
    };
    EXPECT_TRUE(answer == at(asked) || answer == at(answers[i].timestamp)) << "request " << i;
  }
  // Round robin over engine speed, vehicle speed, coolant temperature.
  EXPECT_EQ(Payload(requests[0]), (Bytes{0x01, 0x0C}));
  EXPECT_EQ(Payload(requests[1]), (Bytes{0x01, 0x0D}));
  EXPECT_EQ(Payload(requests[2]), (Bytes{0x01, 0x05}));
  EXPECT_EQ(Payload(requests[3]), (Bytes{0x01, 0x0C}));
  EXPECT_EQ(tester.GetStatistics().answers, 30u);
}

// A day skipped (canhost run --fast over a silent log): the analysis timers move on with the
// clock, so the tester takes up its requests after the day where it was instead of sending the
// day's 8.6 million, and each still gets its answer.
TEST_F(ObdBus, SkippedTimeCarriesNoRequests) {
  COBDVehicleSimulator ecu(L"OBDVehicle", &m_ecu.control);
  CCanSequencer tester(L"OBDTester", &m_tester.control);
  ecu.Activate(true);
  tester.SetTimer(10);
  tester.StartTimer();
  ASSERT_TRUE(XeCanAnalysis::WaitUntilSettled());
  Step(95);
  const std::size_t requests = Captured(0x7DF).size();
  EXPECT_EQ(requests, 10u);

  constexpr std::int64_t kDay = 86'400'000 * kMs;
  const std::int64_t deadline = XeCanAnalysis::NextDeadline();
  XeCanAnalysis::SkipDeadlines(kDay);
  SkipBusTime(kDay);
  EXPECT_EQ(XeCanAnalysis::NextDeadline(), deadline + kDay);
  SetTime(Now() + kDay);
  ASSERT_TRUE(XeCanAnalysis::WaitUntilSettled());
  EXPECT_EQ(Captured(0x7DF).size(), requests);
  Step(100);
  EXPECT_EQ(Captured(0x7DF).size(), 2 * requests);
  EXPECT_EQ(Captured(0x7E8).size(), 2 * requests);
  EXPECT_EQ(tester.GetStatistics().answers, 2 * requests);
}

// The first frame waits for the tester's flow control; the consecutive frames keep its separation
// time and block size.
TEST_F(ObdBus, VinArrivesWholeAtTheTestersPace) {
  WriteSettings("oneshot 7DF 0902 st=5 bs=1\n");
  COBDVehicleSimulator ecu(L"OBDVehicle", &m_ecu.control);
  CCanSequencer tester(L"OBDTester", &m_tester.control);
  ecu.Activate(true);
  tester.StartAction();
  ASSERT_TRUE(XeCanAnalysis::WaitUntilSettled());
  Step(40);

  EXPECT_EQ(tester.GetStatistics().vin, XeCanAnalysis::kSimulatedVin);
  EXPECT_EQ(tester.GetStatistics().requests, 1u);  // once, not every period
  const auto frames = Captured(0x7E8);
  const auto flow = Captured(0x7E0);
  ASSERT_EQ(frames.size(), 3u);
  ASSERT_EQ(flow.size(), 2u);  // block size 1: flow control before each consecutive frame
  EXPECT_EQ(frames[0].data[0], 0x10);
  EXPECT_EQ(flow[0].data[0], 0x30);
  EXPECT_EQ(flow[0].data[2], 5);
  EXPECT_GE(frames[1].timestamp, flow[0].timestamp);
  EXPECT_GE(frames[2].timestamp - frames[1].timestamp, 5 * kTicksPerMs);
}

// The same exchanges when the one thread that moves the clock also runs the timers' actions and
// the deliveries (canhost run --fast): every request answered within a millisecond, the VIN whole
// at the tester's pace; and the timers' and reception threads take over again afterwards.
TEST_F(ObdBus, ARunnerThatActsAndDeliversItselfGivesTheSameExchanges) {
  WriteSettings("timer 10\nregular 7DF 010C\noneshot 7DF 0902 st=5 bs=1\n");
  COBDVehicleSimulator ecu(L"OBDVehicle", &m_ecu.control);
  CCanSequencer tester(L"OBDTester", &m_tester.control);
  ecu.Activate(true);
  {
    const XeCanAnalysis::ScopedInlineActions inlineActions;
    const ScopedInlineDelivery inlineDelivery;
    tester.StartTimer();
    tester.StartAction();
    ASSERT_TRUE(XeCanAnalysis::WaitUntilSettled());
    Step(95);
    EXPECT_EQ(tester.GetStatistics().vin, XeCanAnalysis::kSimulatedVin);
    // The one-shot takes the first period: the VIN's three frames, then nine answers.
    EXPECT_EQ(Captured(0x7E8).size(), 3u + 9u);
  }
  Step(100);
  const auto requests = Captured(0x7DF);
  ASSERT_EQ(requests.size(), 1u + 19u);
  EXPECT_EQ(Captured(0x7E8).size(), 3u + 19u);
  EXPECT_EQ(tester.GetStatistics().answers, 1u + 19u);  // the VIN, then the regular ones
  for (std::size_t i = 2; i < requests.size(); ++i)
    EXPECT_EQ(requests[i].timestamp - requests[i - 1].timestamp, 10 * kTicksPerMs) << i;
}

TEST_F(ObdBus, UnsupportedRequestsAreRefusedAndAnInactiveEcuIsSilent) {
  WriteSettings("timer 5\nregular 7DF 010A\nregular 7E0 2201\nregular 7DF 010D\n");
  COBDVehicleSimulator ecu(L"OBDVehicle", &m_ecu.control);
  CCanSequencer tester(L"OBDTester", &m_tester.control);
  tester.StartTimer();
  ASSERT_TRUE(XeCanAnalysis::WaitUntilSettled());
  Step(29);
  EXPECT_EQ(Captured(0x7DF).size() + Captured(0x7E0).size(), 6u);
  EXPECT_TRUE(Captured(0x7E8).empty());

  ecu.Activate(true);
  Step(30);
  const auto answers = Captured(0x7E8);
  ASSERT_EQ(answers.size(), 6u);
  EXPECT_EQ(Payload(answers[0]), (Bytes{0x7F, 0x01, 0x31}));
  EXPECT_EQ(Payload(answers[1]), (Bytes{0x7F, 0x22, 0x11}));
  EXPECT_EQ(Payload(answers[2])[0], 0x41);
  EXPECT_EQ(tester.GetStatistics().negatives, 4u);

  ecu.Activate(false);
  Step(30);
  EXPECT_EQ(Captured(0x7E8).size(), 6u);
  EXPECT_FALSE(ecu.IsActive());
}

TEST_F(ObdBus, WrongSettingsLinesAreLoggedAndTheRestStaysInForce) {
  host::CaptureLog log;
  WriteSettings("regular 7DF 010C\npoll 7DF 010D\nregular 7DF 0105\n");
  CCanSequencer tester(L"OBDTester", &m_tester.control);
  const std::wstring where = (m_dir / "OBDTester.sequencer").wstring() + L":2: ";
  EXPECT_EQ(log.count_containing(where), 1u);
  tester.StartTimer();
  ASSERT_TRUE(XeCanAnalysis::WaitUntilSettled());
  Step(19);
  auto requests = Captured(0x7DF);
  ASSERT_EQ(requests.size(), 2u);
  EXPECT_EQ(Payload(requests[1]), (Bytes{0x01, 0x05}));

  // Headless options: the file is read again.
  WriteSettings("regular 7DF 0111\n");
  tester.ChangeSettings();
  Step(10);
  requests = Captured(0x7DF);
  ASSERT_EQ(requests.size(), 3u);
  EXPECT_EQ(Payload(requests[2]), (Bytes{0x01, 0x11}));
  EXPECT_EQ(testing_support::ReadFile(m_dir / "OBDTester.sequencer"), "regular 7DF 0111\n");
}

TEST_F(ObdBus, StopTimerAndShutDownEndTheRequests) {
  COBDVehicleSimulator ecu(L"OBDVehicle", &m_ecu.control);
  CCanSequencer tester(L"OBDTester", &m_tester.control);
  ecu.Activate(true);
  tester.StartTimer();
  ASSERT_TRUE(XeCanAnalysis::WaitUntilSettled());
  Step(25);
  tester.StopTimer();
  const std::size_t sent = Captured(0x7DF).size();
  EXPECT_EQ(sent, 3u);
  Step(30);
  EXPECT_EQ(Captured(0x7DF).size(), sent);

  tester.StartTimer();  // restarts at once
  ASSERT_TRUE(XeCanAnalysis::WaitUntilSettled());
  Step(1);
  EXPECT_EQ(Captured(0x7DF).size(), sent + 1);
  tester.ShutDown();
  tester.StartTimer();
  tester.StartAction();
  Step(30);
  EXPECT_EQ(Captured(0x7DF).size(), sent + 1);
  EXPECT_EQ(XeCanAnalysis::NextDeadline(), XeCanAnalysis::kNoDeadline);
}

}  // namespace
}  // namespace driver_test
