#pragma once
// A CAN source module driven by the host's frame loop on the manual clock: 100 slow samples of
// 1 ms per frame, so a frame is 800 ticks and a slow sample 8 ticks.
#include <functional>
#include <vector>

#include "frame/CanPacket.h"
#include "host/candriver/FrameTiming.h"
#include "host/slowsampling/CSourceDriver.h"
#include "source/CCanSourceModule.h"
#include "sources/CCanStandardSource.h"
#include "tests/source/PluginRig.h"

namespace plugin_test {

// A packet found in a frame, with the slow sample it was placed at.
struct Placed {
  int sample;
  std::size_t offset;  // bytes from the start of the region
  int channel;
  std::uint32_t id;
  int length;
  std::uint8_t data0;
};

class ModuleRig : public PluginRig {
 protected:
  static constexpr std::int64_t kFrameNs = 100'000'000;
  static constexpr std::int64_t kTickNs = 125'000;

  explicit ModuleRig(const std::string& driverConfig = {}) : PluginRig(driverConfig) {
    m_module.Create(L"CAN", nullptr);
  }
  std::vector<CCanSource*> Sources() { return m_module.sources(); }
  CCanSource* Add(int channel, bool active = true, const wchar_t* name = L"src") {
    return m_module.create(0, name, channel, false, BITRATE_500K, FD_ARBITRATION_500K, FD_DATA_1M,
                           active);
  }
  // Attaches the module to the frame loop (its create(container)).
  void Attach() { m_driver.attach(&m_module); }
  void Start(float samplePeriod = 0.001F, unsigned samplesPerFrame = 100) {
    ASSERT_TRUE(m_driver.configure(samplePeriod, samplesPerFrame));
    m_frameStart = Now();
    ASSERT_TRUE(m_driver.start());
  }
  // Runs the frame that started at the last frame start: `during` may move the clock inside the
  // frame and send; then the clock goes to the frame's end, everything due is delivered, the UI
  // queue (regular re-synchronisation) runs, and the frame is filled.
  std::vector<Placed> Frame(const std::function<void(std::int64_t frameStartNs)>& during = {}) {
    if (during) during(m_frameStart);
    m_frameStart += kFrameNs;
    SetTime(m_frameStart);
    EXPECT_TRUE(WaitUntilDelivered());
    CCentralMessageService::Pump();
    EXPECT_TRUE(m_driver.run_frame());
    return Packets();
  }
  // A stall of `ns` (a suspended machine): the clock jumps while no frame runs and the driver
  // delivers what it kept; then the frames held up run back to back at the clock's time, as the
  // frame loop catches up, and one frame more.
  void CatchUp(std::int64_t ns) {
    m_frameStart += ns;
    SetTime(m_frameStart);
    ASSERT_TRUE(WaitUntilDelivered());
    for (std::int64_t f = 0; f < ns / kFrameNs; ++f) {
      CCentralMessageService::Pump();
      ASSERT_TRUE(m_driver.run_frame());
    }
    Frame();
  }
  // For Frame: sends one message on the 500 kbit/s bus so that its transmission ends, and the
  // sources receive it, at frame start + `ticks` (or as soon as the clock allows).
  std::function<void(std::int64_t)> SendAt(CanIo& sender, std::int64_t ticks, CanMessage m) {
    return [this, &sender, ticks, m](std::int64_t frameStart) {
      const XeCanDriverKvaser::detail::BusParams bus{false, 500'000, 0, 0};
      SetTime(frameStart + ticks * kTickNs - XeCanDriverKvaser::detail::FrameDurationNs(m, bus));
      EXPECT_TRUE(sender.Send(m));
    };
  }
  // Hands `m` to every source as its reception thread does, stamped with host time `ns` (the
  // test's channels have no clock offset or drift). Several at one instant, which a bus would
  // carry one after the other, test the packing of the capture on its own.
  void Hear(std::int64_t ns, CanMessage m) {
    m.timestamp = static_cast<std::uint32_t>(ns / kTickNs);
    for (CCanSource* source : Sources()) {
      m.channel = source->bus_channel();
      static_cast<CCanStandardSource*>(source)->on_filtered_message(m);
    }
  }
  std::vector<Placed> Packets() {
    const auto region = m_driver.region(&m_module);
    const auto* bytes = reinterpret_cast<const std::uint8_t*>(region.data());
    const std::size_t bytesPerSample = std::size_t{4} * m_driver.floats_per_sample(&m_module);
    std::vector<Placed> found;
    can::PacketScanner scanner(bytes, region.size() * 4, can::ScanMode::Complete);
    for (can::PacketRef p{}; scanner.next(p);)
      found.push_back({static_cast<int>(p.offset / bytesPerSample), p.offset, p.channel, p.id,
                       p.length, p.length ? p.data[0] : std::uint8_t{0}});
    return found;
  }

  CCanSourceModule m_module;
  SlowSampling::CSourceDriver m_driver;
  std::int64_t m_frameStart = 0;
};

}  // namespace plugin_test
