#include "host/slowsampling/CSourceDriver.h"

#include <algorithm>
#include <cmath>

#include "host/slowsampling/CAsyncSource.h"
#include "host/timemachine/CQorSyncInterface.h"

namespace SlowSampling {

unsigned CSourceDriver::FloatsPerSample(std::uint32_t bytesPerSecond, float samplePeriod) noexcept {
  const float floats = std::ceil(static_cast<float>(bytesPerSecond) * samplePeriod * 0.25F);
  return floats > 0.0F ? static_cast<unsigned>(floats) : 0U;
}

void CSourceDriver::attach(CSlowAsyncSourcePlugin* plugin) {
  if (plugin == nullptr || find(plugin) != nullptr) return;
  m_entries.push_back(Entry{plugin});
  plugin->create(&m_container);
}

void CSourceDriver::attach_sink(CSlowSinkPlugin* sink) {
  if (sink == nullptr || std::find(m_sinks.begin(), m_sinks.end(), sink) != m_sinks.end()) return;
  m_sinks.push_back(sink);
}

void CSourceDriver::detach(const CSlowAsyncSourcePlugin* plugin) {
  std::erase_if(m_entries, [plugin](const Entry& e) { return e.plugin == plugin; });
}

void CSourceDriver::detach_sink(const CSlowSinkPlugin* sink) {
  std::erase(m_sinks, sink);
}

void CSourceDriver::choose_floats_per_sample(const CSlowAsyncSourcePlugin* plugin,
                                             unsigned floats) {
  for (Entry& entry : m_entries)
    if (entry.plugin == plugin) entry.chosen = floats;
}

bool CSourceDriver::configure(float samplePeriod, unsigned samplesPerFrame) {
  if (!(samplePeriod > 0.0F) || samplesPerFrame == 0) return false;
  m_samplesPerFrame = samplesPerFrame;
  // The period comes as a float: 0.001F is 0.001 + 4.7e-11, which would make the frame time line
  // run 12 ms ahead of the host clock in three days, and the sinks' frame rate 999.99995 per
  // second. Periods are whole nanoseconds.
  m_samplePeriod = std::round(static_cast<double>(samplePeriod) * 1e9) / 1e9;
  m_ticksPerFrame =
      static_cast<double>(samplesPerFrame) * m_samplePeriod / CQorSyncInterface::kTickSeconds;
  std::size_t total = 0;
  for (Entry& entry : m_entries) {
    entry.floatsPerSample = entry.chosen != 0
                                ? entry.chosen
                                : FloatsPerSample(entry.plugin->bytes_per_second(), samplePeriod);
    entry.offset = static_cast<int>(total);
    total += static_cast<std::size_t>(samplesPerFrame) * entry.floatsPerSample;
  }
  m_container.resize(total);
  for (Entry& entry : m_entries) {
    entry.plugin->signal_change(samplePeriod, samplesPerFrame,
                                static_cast<int>(entry.floatsPerSample));
    entry.plugin->set_data_offset(entry.offset);
    entry.coding = entry.plugin->data_format().first;
    entry.plugin->propagate_log_level();
  }
  return true;
}

bool CSourceDriver::start() {
  for (CSlowSinkPlugin* sink : m_sinks)
    sink->begin_processing();
  bool ok = true;
  for (Entry& entry : m_entries)
    ok = entry.plugin->start() && ok;
  m_frames = 0;
  CQorSyncInterface::start_frames();
  return ok;
}

bool CSourceDriver::run_frame() {
  m_container.clear();
  bool ok = true;
  for (Entry& entry : m_entries)
    ok = entry.plugin->update() && ok;
  feed_sinks();
  CQorSyncInterface::advance_frame(m_ticksPerFrame);
  ++m_frames;
  return ok;
}

void CSourceDriver::skip_frames(std::uint64_t frames) {
  for (std::uint64_t i = 0; i < frames; ++i)
    CQorSyncInterface::advance_frame(m_ticksPerFrame);
  m_frames += frames;
}

bool CSourceDriver::stop() {
  bool ok = true;
  for (Entry& entry : m_entries)
    ok = entry.plugin->stop() && ok;
  for (CSlowSinkPlugin* sink : m_sinks)
    sink->end_processing();
  return ok;
}

void CSourceDriver::feed_sinks() {
  for (CSlowSinkPlugin* sink : m_sinks) {
    sink->adopt_staged();
    for (CAsyncSource* source : sink->sources()) {
      const Entry* entry = find(source->plugin());
      if (entry == nullptr) continue;
      const CDescriptionInterface block(
          m_container.data() + entry->offset,
          CXChannelDescriptionInterface(m_samplePeriod, m_samplesPerFrame), entry->floatsPerSample,
          CYChannelDescriptionInterface(entry->coding));
      sink->process(block, source->id());
    }
  }
}

const CSourceDriver::Entry* CSourceDriver::find(
    const CSlowAsyncSourcePlugin* plugin) const noexcept {
  for (const Entry& entry : m_entries) {
    if (entry.plugin == plugin) return &entry;
  }
  return nullptr;
}

std::span<const float> CSourceDriver::region(const CSlowAsyncSourcePlugin* plugin) const {
  const Entry* entry = find(plugin);
  if (entry == nullptr) return {};
  return m_container.region(entry->offset,
                            static_cast<std::size_t>(m_samplesPerFrame) * entry->floatsPerSample);
}

unsigned CSourceDriver::floats_per_sample(const CSlowAsyncSourcePlugin* plugin) const {
  const Entry* entry = find(plugin);
  return entry == nullptr ? 0U : entry->floatsPerSample;
}

}  // namespace SlowSampling
