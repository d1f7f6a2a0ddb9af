#include "host/slowsampling/CSourceDriver.h"

#include <cmath>

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

void CSourceDriver::choose_floats_per_sample(const CSlowAsyncSourcePlugin* plugin,
                                             unsigned floats) {
  for (Entry& entry : m_entries)
    if (entry.plugin == plugin) entry.chosen = floats;
}

bool CSourceDriver::configure(float samplePeriod, unsigned samplesPerFrame) {
  if (!(samplePeriod > 0.0F) || samplesPerFrame == 0) return false;
  m_samplesPerFrame = samplesPerFrame;
  // The period comes as a float: 0.001F is 0.001 + 4.7e-11, which would make the frame time line
  // run 12 ms ahead of the host clock in three days. Periods are whole nanoseconds.
  const double period = std::round(static_cast<double>(samplePeriod) * 1e9) / 1e9;
  m_ticksPerFrame = static_cast<double>(samplesPerFrame) * period / CQorSyncInterface::kTickSeconds;
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
    entry.plugin->propagate_log_level();
  }
  return true;
}

bool CSourceDriver::start() {
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
  return ok;
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
