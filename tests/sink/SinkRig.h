#pragma once
// What the sink tests share: a fresh settings folder with a small DBC file, a manual host clock,
// the host log captured, fake CAN sources (the sink needs only the source's id and bus channel)
// and blocks of packets laid out as the source module writes them.
#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <vector>

#include "frame/CanBusSource.h"
#include "frame/CanPacket.h"
#include "host/services/HostClock.h"
#include "host/settings/CSeaBase.h"
#include "host/settings/PrWin.h"
#include "host/settings/SettingsFolder.h"
#include "host/slowsampling/CAsyncSource.h"
#include "host/slowsampling/CSourceInfo.h"
#include "host/valuelists/CDescriptionInterface.h"
#include "sink/CCanDbcDecoder.h"
#include "sink/CCanSink.h"
#include "tests/sink/SinkView.h"
#include "tests/support/TestSupport.h"

namespace sink_test {

// Two signals: Rpm (application signal 1, a rate per minute in the parameter database: pulse
// list) and Temp (3: hop list); Other has no application signal.
inline constexpr char kDbc[] = R"(VERSION ""
BO_ 256 Engine: 8 E
 SG_ Rpm : 0|16@1+ (1,0) [0|65535] "1/min" H
 SG_ Temp : 16|8@1+ (1,-40) [-40|215] "degC" H
 SG_ Other : 24|8@1+ (1,0) [0|255] "" H
BA_DEF_ SG_ "ApplicationSignal" INT -1 2147483647;
BA_DEF_DEF_ "ApplicationSignal" -1;
BA_ "ApplicationSignal" SG_ 256 Rpm 1;
BA_ "ApplicationSignal" SG_ 256 Temp 3;
)";

class FakeCanSource : public SlowSampling::CAsyncSource, public CanBusSource {
 public:
  explicit FakeCanSource(int channel) : CAsyncSource(nullptr, L"fake"), m_channel(channel) {
    SlowSampling::CSourceInfo::SourceInfo().signin(this);
  }
  int bus_channel() const noexcept override { return m_channel; }

 private:
  int m_channel;
};

class OtherSource : public SlowSampling::CAsyncSource {
 public:
  OtherSource() : CAsyncSource(nullptr, L"other") {
    SlowSampling::CSourceInfo::SourceInfo().signin(this);
  }
};

// A block of `rows` rows of `yDims` 32-bit values, packets written at their row.
class Block {
 public:
  Block(unsigned rows, unsigned yDims, double delta = 0.01)
      : m_words(std::size_t{rows} * yDims + 1, 0), m_rows(rows), m_yDims(yDims), m_delta(delta) {}
  void Put(unsigned row, int channel, std::uint32_t id, std::vector<std::uint8_t> data,
           unsigned offsetBytes = 0) {
    auto* bytes = reinterpret_cast<std::uint8_t*>(m_words.data());
    can::WritePacket(bytes + std::size_t{row} * m_yDims * 4 + offsetBytes, channel,
                     static_cast<int>(data.size()), id, data.data());
  }
  std::uint8_t* Bytes() { return reinterpret_cast<std::uint8_t*>(m_words.data()); }
  CDescriptionInterface View(int coding = 8) const {
    return CDescriptionInterface(m_words.data(), CXChannelDescriptionInterface(m_delta, m_rows),
                                 m_yDims, CYChannelDescriptionInterface(coding));
  }

 private:
  std::vector<std::uint32_t> m_words;  // one spare word: a packet may end at the last row
  unsigned m_rows;
  unsigned m_yDims;
  double m_delta;
};

class SinkRig : public ::testing::Test {
 protected:
  SinkRig() {
    host::SetSettingsFolder(m_dir.path());
    testing_support::WriteFile(m_dir / "engine.dbc", kDbc);
  }

  // A sink named "CCanSink" with a DBC decoder reading engine.dbc on `channel`, bound to `source`.
  std::unique_ptr<CCanSink> MakeSink(SlowSampling::CAsyncSource& source, int channel) {
    auto sink = std::make_unique<CCanSink>();
    sink->Create(L"CCanSink", nullptr);
    EXPECT_TRUE(sink->add_src(&source));
    CCanDecoder* decoder = sink->set_decoder(channel, RUNTIME_CLASS(CCanDbcDecoder));
    EXPECT_TRUE(decoder->SetDbcXmlFilename(L"engine.dbc"));
    sink->sync_signals();
    sink->update_container();
    return sink;
  }

  static const SinkSignalState& State(const CCanSink& sink, const SlowSampling::CAsyncSource& s,
                                      int signal) {
    return sink.source_entry(s.id())->states.at(signal);
  }
  static std::vector<std::pair<std::uint32_t, float>> Entries(const SinkSignalState& state) {
    std::vector<std::pair<std::uint32_t, float>> out;
    for (const auto& e : state.list->entries())
      out.emplace_back(e.length, e.value);
    return out;
  }

  testing_support::TempDir m_dir;
  host::ScopedManualClock m_clock{1'000'000'000};
  host::CaptureLog m_log;
  sink_view::SinkWindows m_windows;  // before any sink of the test
};

}  // namespace sink_test
