// CCanSourceModule: capture and frame alignment, once per frame on the processing thread.
#include <algorithm>
#include <cmath>

#include "host/settings/LogCategories.h"
#include "host/settings/PrWin.h"
#include "host/slowsampling/CSlowSourceContainer.h"
#include "source/CCanSourceModule.h"

bool CCanSourceModule::update() {
  if (m_slots.empty()) return true;
  float* region = m_container->data() + m_dataOffset;
  std::fill_n(region, static_cast<std::size_t>(m_samplesPerFrame) * m_floatsPerSample, 0.0F);
  m_timeMachine.poll();
  bool result = true;
  for (const auto& slot : m_slots)
    result = slot->source->fetch() && result;
  m_timeMachine.capsule_set();
  for (const auto& slot : m_slots)
    m_assembler.add_batch(slot->source->batch());
  m_assembler.merge();
  fill(region, m_floatsPerSample);
  if (!m_syncEnabled) advance_frame_capsule();
  publish_statistics(true);
  return result;
}

void CCanSourceModule::advance_frame_capsule() {
  auto n = static_cast<std::int64_t>(m_ticksPerFrame);
  m_tickCarry += m_ticksPerFrame - std::floor(m_ticksPerFrame);
  if (m_tickCarry > 1.0F) {
    m_tickCarry -= 1.0F;
    n += 1;
  }
  CTimeCapsule* frame = m_sync.frame_time_capsule();
  frame->raw_update(frame->m_last + n);
}

bool CCanSourceModule::fill(float* region, unsigned floatsPerSample) {
  if (m_assembler.buffer().empty()) return true;
  const std::int64_t frameStart = m_timeMachine.get(kFrameTimeItem)->time();
  const FrameAssembler::Frame frame{reinterpret_cast<std::uint8_t*>(region),
                                    floatsPerSample * 4u * m_samplesPerFrame,
                                    static_cast<float>(floatsPerSample * 4u) * m_samplesPerTick,
                                    frameStart, future_from(frameStart)};
  const FrameAssembler::Tally tally = m_assembler.fill(frame);
  m_delivered += static_cast<std::uint32_t>(tally.processed);
  log_fill(tally);
  return true;
}

std::int64_t CCanSourceModule::future_from(std::int64_t frameStart) {
  // A record is in the future when it lies beyond the limit after the frame and after the USB
  // time now: after a stall (a suspended machine, a starved process) the frames catch up with
  // the time the driver's records were stamped at, and those wait for their frames.
  return std::max(frameStart,
                  m_syncEnabled ? m_timeMachine.get(kUsbTimeItem)->time() : frameStart) +
         kFutureLimit;
}

void CCanSourceModule::log_fill(const FrameAssembler::Tally& tally) const {
  if (tally.future > 0 && m_logLevel != 0)
    PrWin::Output(PrWin::kCategoryTrace, L"fill: drop %d future CAN messages\n", tally.future);
  if (tally.unrouted > 0 && m_logLevel > 0)
    PrWin::Output(PrWin::kCategoryTrace,
                  L"fill: dropped %d CAN messages of channels without handle\n", tally.unrouted);
  if (tally.old > 0 && m_logLevel > 0)
    PrWin::Output(PrWin::kCategoryTrace, L"fill: dropped %d old CAN messages\n", tally.old);
  if (tally.processed > 0 && m_logLevel > 1)
    PrWin::Output(PrWin::kCategoryTrace, L"fill: processed %d new CAN messages\n", tally.processed);
}
