#include "host/obd/COBDVehicleSimulator.h"

#include <mutex>
#include <vector>

#include "host/obd/AnalysisTimer.h"
#include "host/obd/IsoTp.h"
#include "host/obd/ObdPids.h"
#include "host/services/HostClock.h"

namespace XeCanAnalysis {
namespace {
constexpr std::uint8_t kPad = 0xAA;
// How long the ECU waits for the tester's flow control before it drops the answer (N_Bs).
constexpr std::int64_t kFlowControlTimeoutNs = 1'000'000'000;
}  // namespace

using XeCanDriverKvaser::CanMessage;
using XeCanDriverKvaser::kCanFlagExtended;
using XeCanDriverKvaser::kCanFlagFd;
using XeCanDriverKvaser::kCanFlagRemote;

// What the reception thread and the timer thread share. The monitor holds it by shared pointer
// because the controller keeps its monitors after the simulator is gone; `alive` tells it so.
struct COBDVehicleSimulator::Core {
  XeCanDriverKvaser::CanControl* control;
  AnalysisTimer* timer = nullptr;
  std::mutex mutex;
  bool alive = true;
  bool active = false;
  std::int64_t startedNs = 0;
  // The multi-frame answer underway (empty: none).
  std::vector<std::uint8_t> answer;
  std::size_t nextIndex = 0;  // sequence number of the next consecutive frame
  std::size_t blockLeft = 0;  // frames until the next flow control; 0 = no limit
  bool waitingForFlow = false;
  std::int64_t separationNs = 0;
  std::int64_t lastFrameNs = 0;  // when the last consecutive frame went out

  void Send(const CanMessage& m) {
    control->Send(m);
    NoteAnalysisSend();
  }
  bool OnMessage(const CanMessage& m);
  void Answer(const CanMessage& request, std::int64_t now);
  void OnFlowControl(const CanMessage& fc, std::int64_t now);
  // Sends consecutive frames due at `now`; returns when the next one is due.
  std::int64_t SendConsecutive(std::int64_t now);
  std::int64_t OnTimer(std::int64_t due);
};

bool COBDVehicleSimulator::Core::OnMessage(const CanMessage& m) {
  if (m.flags & (kCanFlagExtended | kCanFlagRemote | kCanFlagFd)) return true;
  if (m.id != kFunctionalId && m.id != kPhysicalId) return true;
  std::lock_guard lock(mutex);
  if (!alive || !active) return true;
  const std::int64_t now = host::HostClock().now_ns();
  const auto kind = IsoTpKindOf(m);
  if (kind == IsoTpKind::Single) Answer(m, now);
  if (kind == IsoTpKind::FlowControl && m.id == kPhysicalId) OnFlowControl(m, now);
  return true;
}

void COBDVehicleSimulator::Core::Answer(const CanMessage& request, std::int64_t now) {
  const std::size_t n = request.data[0] & 0x0F;
  if (n == 0 || n > kIsoTpSingleMax || static_cast<std::size_t>(request.length) < n + 1) return;
  const auto runSeconds = static_cast<std::uint32_t>((now - startedNs) / 1'000'000'000);
  auto payload = ObdAnswer(std::span(request.data + 1, n), DriveCycle(now), runSeconds);
  // A new request ends a multi-frame answer still underway, as the tester has moved on.
  answer.clear();
  timer->Disarm();
  Send(IsoTpStart(kResponseId, payload, kPad));
  if (payload.size() <= kIsoTpSingleMax) return;
  answer = std::move(payload);
  nextIndex = 1;
  waitingForFlow = true;
  timer->Arm(now + kFlowControlTimeoutNs);
}

void COBDVehicleSimulator::Core::OnFlowControl(const CanMessage& fc, std::int64_t now) {
  if (answer.empty() || !waitingForFlow) return;
  switch (static_cast<FlowStatus>(fc.data[0] & 0x0F)) {
    case FlowStatus::Continue:
      waitingForFlow = false;
      blockLeft = fc.data[1];
      separationNs = SeparationNs(fc.data[2]);
      // The separation holds across blocks too: the tester may need the time between frames.
      if (nextIndex > 1 && lastFrameNs + separationNs > now)
        timer->Arm(lastFrameNs + separationNs);
      else
        timer->Arm(SendConsecutive(now));
      return;
    case FlowStatus::Wait:
      timer->Arm(now + kFlowControlTimeoutNs);
      return;
    default:  // overflow or reserved: the tester cannot take the answer
      answer.clear();
      timer->Disarm();
  }
}

std::int64_t COBDVehicleSimulator::Core::SendConsecutive(std::int64_t now) {
  const std::size_t count = IsoTpConsecutiveCount(answer.size());
  lastFrameNs = now;
  do {
    Send(IsoTpConsecutive(kResponseId, answer, nextIndex, kPad));
    if (nextIndex++ == count) {
      answer.clear();
      return kNoDeadline;
    }
    if (blockLeft != 0 && --blockLeft == 0) {
      waitingForFlow = true;
      return now + kFlowControlTimeoutNs;
    }
  } while (separationNs == 0);
  return now + separationNs;
}

std::int64_t COBDVehicleSimulator::Core::OnTimer(std::int64_t due) {
  std::lock_guard lock(mutex);
  if (!alive || !active || answer.empty()) return kNoDeadline;
  if (waitingForFlow) {  // the tester did not answer the first frame or block in time
    answer.clear();
    return kNoDeadline;
  }
  return SendConsecutive(due);
}

COBDVehicleSimulator::COBDVehicleSimulator(const CString& name,
                                           XeCanDriverKvaser::CanControl* control)
    : m_core(std::make_shared<Core>()) {
  m_core->control = control;
  m_timer = std::make_unique<AnalysisTimer>(
      name, [core = m_core.get()](std::int64_t due) { return core->OnTimer(due); });
  m_core->timer = m_timer.get();
  control->AddCanReadMonitor([core = m_core](const CanMessage& m) { return core->OnMessage(m); });
}

COBDVehicleSimulator::~COBDVehicleSimulator() {
  {
    std::lock_guard lock(m_core->mutex);
    m_core->alive = false;
  }
  m_timer.reset();
}

void COBDVehicleSimulator::Activate(bool active) {
  std::lock_guard lock(m_core->mutex);
  if (active && !m_core->active) m_core->startedNs = host::HostClock().now_ns();
  m_core->active = active;
  if (!active) {
    m_core->answer.clear();
    m_timer->Disarm();
  }
}

bool COBDVehicleSimulator::IsActive() const {
  std::lock_guard lock(m_core->mutex);
  return m_core->active;
}

}  // namespace XeCanAnalysis
