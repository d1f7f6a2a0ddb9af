#include "host/obd/CCanSequencer.h"

#include <array>
#include <deque>
#include <mutex>
#include <vector>

#include "host/obd/AnalysisTimer.h"
#include "host/obd/CSequencerSettingsModel.h"
#include "host/obd/IsoTp.h"
#include "host/obd/ObdPids.h"
#include "host/obd/SequencerSettings.h"
#include "host/services/HostClock.h"
#include "host/settings/FileIO.h"
#include "host/settings/LogCategories.h"
#include "host/settings/PrWin.h"
#include "host/settings/SettingsFolder.h"

namespace XeCanAnalysis {
namespace {
constexpr std::uint8_t kPad = 0x55;
constexpr std::uint32_t kFirstEcuId = 0x7E8;
constexpr std::uint32_t kEcuCount = 8;
constexpr std::uint32_t kPhysicalOffset = 8;  // an ECU answering on 7E8+n listens on 7E0+n
constexpr std::uint8_t kServiceVehicleInfo = 0x09;
constexpr std::size_t kVinAnswerPrefix = 3;  // 49 02 <count>

std::wstring Wide(const std::string& text) {
  return std::wstring(text.begin(), text.end());
}
}  // namespace

using XeCanDriverKvaser::CanMessage;

// What the caller's thread, the reception thread and the timer thread share; the read monitor holds
// it by shared pointer since the controller keeps its monitors after the sequencer is gone.
struct CCanSequencer::Core {
  XeCanDriverKvaser::CanControl* control;
  AnalysisTimer* timer = nullptr;
  mutable std::mutex mutex;
  bool alive = true;
  bool shutDown = false;
  bool regularOn = false;
  bool ticking = false;   // the timer is armed or will re-arm itself
  bool timerSet = false;  // SetTimer was called: the file's period no longer counts
  int periodMs = 10;
  std::vector<SequencerRequest> regular;
  std::vector<SequencerRequest> oneShot;
  std::deque<SequencerRequest> queued;  // one-shot requests not yet sent
  std::size_t nextRegular = 0;
  // One answer underway per ECU, with the flow control it is given and the frames left in the
  // current block (0: no limit).
  struct Incoming {
    IsoTpReceiver receiver;
    std::uint8_t blockSize = 0;
    std::uint8_t separation = 0;
    std::uint8_t blockLeft = 0;
  };
  std::array<Incoming, kEcuCount> incoming;
  Statistics stats;

  // Caller holds the mutex.
  void Tick(std::int64_t now) {
    if (ticking) return;
    ticking = true;
    timer->Arm(now);
  }
  std::int64_t OnTimer(std::int64_t due);
  bool OnMessage(const CanMessage& m);
  const SequencerRequest* RequestFor(std::span<const std::uint8_t> answer) const;
  void Count(const std::vector<std::uint8_t>& payload);
};

std::int64_t CCanSequencer::Core::OnTimer(std::int64_t due) {
  std::lock_guard lock(mutex);
  const SequencerRequest* request = nullptr;
  SequencerRequest oneShotRequest;
  if (alive && !shutDown && !queued.empty()) {
    oneShotRequest = std::move(queued.front());
    queued.pop_front();
    request = &oneShotRequest;
  } else if (alive && !shutDown && regularOn && !regular.empty()) {
    request = &regular[nextRegular++ % regular.size()];
    nextRegular %= regular.size();
  }
  if (request == nullptr) {
    ticking = false;
    return kNoDeadline;
  }
  control->Send(IsoTpStart(request->id, request->payload, kPad));
  NoteAnalysisSend();
  ++stats.requests;
  return due + std::int64_t{periodMs} * 1'000'000;
}

const SequencerRequest* CCanSequencer::Core::RequestFor(
    std::span<const std::uint8_t> answer) const {
  if (answer.size() < 2) return nullptr;
  for (const auto* list : {&oneShot, &regular})
    for (const SequencerRequest& r : *list)
      if (r.payload.size() >= 2 && r.payload[0] + kPositiveOffset == answer[0] &&
          r.payload[1] == answer[1])
        return &r;
  return nullptr;
}

void CCanSequencer::Core::Count(const std::vector<std::uint8_t>& payload) {
  if (payload[0] == kNegativeResponse) {
    ++stats.negatives;
    return;
  }
  ++stats.answers;
  if (payload.size() > kVinAnswerPrefix && payload[0] == kServiceVehicleInfo + kPositiveOffset &&
      payload[1] == 0x02)
    stats.vin.assign(payload.begin() + kVinAnswerPrefix, payload.end());
}

bool CCanSequencer::Core::OnMessage(const CanMessage& m) {
  if (m.flags != 0 || m.id < kFirstEcuId || m.id >= kFirstEcuId + kEcuCount) return true;
  std::lock_guard lock(mutex);
  if (!alive || shutDown) return true;
  Incoming& in = incoming[m.id - kFirstEcuId];
  switch (in.receiver.Feed(m)) {
    case IsoTpReceiver::Result::FirstFrame: {
      const SequencerRequest* r = RequestFor(in.receiver.payload());
      in.blockSize = r ? r->blockSize : 0;
      in.separation = r ? r->separation : 0;
      break;
    }
    case IsoTpReceiver::Result::InProgress:
      if (in.blockSize == 0 || --in.blockLeft != 0) return true;
      break;
    case IsoTpReceiver::Result::Complete:
      Count(in.receiver.payload());
      return true;
    case IsoTpReceiver::Result::Ignored:
      return true;
  }
  // A first frame, or the end of a block: the ECU waits for flow control.
  in.blockLeft = in.blockSize;
  control->Send(IsoTpFlowControl(m.id - kPhysicalOffset, FlowStatus::Continue, in.blockSize,
                                 in.separation, kPad));
  NoteAnalysisSend();
  return true;
}

CCanSequencer::CCanSequencer(const CString& name, XeCanDriverKvaser::CanControl* control)
    : m_file(SequencerSettingsFile(host::SettingsFolder(), name.GetString())),
      m_core(std::make_shared<Core>()) {
  m_core->control = control;
  LoadSettings(true);
  m_timer = std::make_unique<AnalysisTimer>(
      name, [core = m_core.get()](std::int64_t due) { return core->OnTimer(due); });
  m_core->timer = m_timer.get();
  control->AddCanReadMonitor([core = m_core](const CanMessage& m) { return core->OnMessage(m); });
}

CCanSequencer::~CCanSequencer() {
  ShutDown();
  {
    std::lock_guard lock(m_core->mutex);
    m_core->alive = false;
  }
  m_timer.reset();
}

void CCanSequencer::LoadSettings(bool writeDefaults) {
  std::wstring error;
  const auto text = FileIO::ReadWholeFile(m_file, error);
  SequencerSettings settings;
  if (text) {
    settings = SequencerSettings::Parse(*text);
  } else if (writeDefaults && !std::filesystem::exists(m_file)) {
    settings = SequencerSettings::Defaults();
    if (!FileIO::WriteFileAtomic(m_file, settings.Text(), error))
      PrWin::Output(PrWin::kCategoryError, L"CCanSequencer: %s\n", error.c_str());
  } else {
    PrWin::Output(PrWin::kCategoryError, L"CCanSequencer: %s; the requests stay as they are\n",
                  error.c_str());
    return;
  }
  // A file that is no request list would give a line for each of its lines.
  for (std::size_t i = 0; i < settings.problems.size() && i < kReportedProblems; ++i) {
    const auto& p = settings.problems[i];
    PrWin::Output(PrWin::kCategoryError, L"CCanSequencer: %s:%d: %s\n", m_file.wstring().c_str(),
                  p.line, Wide(p.text).c_str());
  }
  if (settings.problems.size() > kReportedProblems)
    PrWin::Output(PrWin::kCategoryError, L"CCanSequencer: %s: %u more lines in error left out\n",
                  m_file.wstring().c_str(),
                  static_cast<unsigned>(settings.problems.size() - kReportedProblems));
  std::lock_guard lock(m_core->mutex);
  if (!m_core->timerSet) m_core->periodMs = settings.timerMs;
  m_core->regular = std::move(settings.regular);
  m_core->oneShot = std::move(settings.oneShot);
  m_core->nextRegular = 0;
}

void CCanSequencer::SetTimer(int ms) {
  if (ms < 1) return;
  std::lock_guard lock(m_core->mutex);
  m_core->periodMs = ms;
  m_core->timerSet = true;
}

void CCanSequencer::StartTimer() {
  std::lock_guard lock(m_core->mutex);
  if (m_core->shutDown) return;
  m_core->regularOn = true;
  m_core->Tick(host::HostClock().now_ns());
}

void CCanSequencer::StopTimer() {
  std::lock_guard lock(m_core->mutex);
  m_core->regularOn = false;
  if (m_core->queued.empty()) {
    m_core->ticking = false;
    m_timer->Disarm();
  }
}

void CCanSequencer::StartAction() {
  std::lock_guard lock(m_core->mutex);
  if (m_core->shutDown || m_core->oneShot.empty()) return;
  m_core->queued.insert(m_core->queued.end(), m_core->oneShot.begin(), m_core->oneShot.end());
  m_core->Tick(host::HostClock().now_ns());
}

void CCanSequencer::ChangeSettings() {
  if (const SequencerSettingsResponder responder = CurrentSequencerSettingsResponder()) {
    CSequencerSettingsModel model(m_file);
    if (!responder(model)) return;
    std::string error;
    if (!model.Save(error)) {
      PrWin::Output(PrWin::kCategoryError,
                    L"CCanSequencer: %s: %s; the requests stay as they are\n",
                    m_file.wstring().c_str(), mfc::WidenUtf8(error).c_str());
      return;
    }
  }
  LoadSettings(false);
}

void CCanSequencer::ShutDown() {
  std::lock_guard lock(m_core->mutex);
  m_core->shutDown = true;
  m_core->regularOn = false;
  m_core->queued.clear();
  m_core->ticking = false;
  if (m_timer) m_timer->Disarm();
}

CCanSequencer::Statistics CCanSequencer::GetStatistics() const {
  std::lock_guard lock(m_core->mutex);
  return m_core->stats;
}

int CCanSequencer::TimerMs() const {
  std::lock_guard lock(m_core->mutex);
  return m_core->periodMs;
}

}  // namespace XeCanAnalysis
