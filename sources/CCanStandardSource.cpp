#include "sources/CCanStandardSource.h"

#include <algorithm>
#include <mutex>

#include "host/mfc/Win.h"
#include "host/services/CCentralMessageService.h"
#include "host/services/Host.h"
#include "host/settings/LogCategories.h"
#include "host/settings/PrWin.h"
#include "sources/SnapshotLock.h"

namespace {
// Installed by the library entry when the library loads.
struct DialogFactorySlot {
  static constexpr bool kLoadedCode = true;
  StandardSourceDialogFactory factory = nullptr;
};
StandardSourceDialogFactory& DialogFactory() {
  return host::CurrentHost().Get<DialogFactorySlot>().factory;
}

CString StoreListName(const CString& name, int channel) {
  return name + L"-" + std::to_wstring(channel).c_str();
}
}  // namespace

CCanStandardSource::CCanStandardSource(CSlowAsyncSourcePlugin* plugin, int type,
                                       const CString& name, int channel, bool fd,
                                       XeCanDriverKvaser::bitrate_t bitrate,
                                       XeCanDriverKvaser::fd_arbitrationrate_t fdArbitration,
                                       XeCanDriverKvaser::fd_datarate_t fdData)
    : CCanSource(plugin, type, name, channel, fd, bitrate, fdArbitration, fdData),
      m_rangeStore(CString()),
      m_lastSchedule(GetTickCount()),
      m_alive(std::make_shared<CCanStandardSource*>(this)) {
  m_rangeStore.set_list_name(StoreListName(name, channel));
  IdRangeList stored;
  m_rangeStore.read(stored);
  if (stored.empty()) stored.push_back({0, kMaxCanId, true});
  {
    host::CriticalSectionLock lock(m_lock);
    m_ranges = std::move(stored);
    m_rangesValid = table_is_valid();
  }
  if (!m_rangesValid)
    PrWin::Output(PrWin::kCategoryError,
                  L"CCanStandardSource: the ID range table '%s' is not sorted and contiguous; "
                  L"IDs take the flag of the first range holding them, uncovered IDs pass\n",
                  m_rangeStore.list_name().GetString());
  m_control.AddCanReadMonitor([this](const CanMessage& m) { return on_filtered_message(m); });
  if (const auto factory = DialogFactory()) m_dlg = factory(*this);
}

StandardSourceDialogFactory CCanStandardSource::set_dialog_factory(
    StandardSourceDialogFactory factory) {
  std::swap(DialogFactory(), factory);
  return factory;
}

CCanStandardSource::~CCanStandardSource() {
  // Reception ends before the statistics and the table go; a refresh still waiting on the UI
  // thread must not reach the destroyed dialog.
  shutdown_reception();
  *m_alive = nullptr;
  m_dlg.reset();
}

bool CCanStandardSource::table_is_valid() const noexcept {
  if (m_ranges.empty()) return false;
  int expectedStart = 0;
  for (const IdRange& range : m_ranges) {
    if (range.start != expectedStart || range.stop < range.start) return false;
    expectedStart = range.stop + 1;
  }
  return m_ranges.back().stop == kMaxCanId;
}

bool CCanStandardSource::range_flag(int id) const noexcept {
  if (m_rangesValid) {
    const auto it =
        std::lower_bound(m_ranges.begin(), m_ranges.end(), id,
                         [](const IdRange& range, int value) { return range.stop < value; });
    return it == m_ranges.end() ? true : it->active;
  }
  for (const IdRange& range : m_ranges)
    if (range.start <= id && id <= range.stop) return range.active;
  return true;
}

bool CCanStandardSource::on_filtered_message(const CanMessage& message) {
  const int id = static_cast<int>(message.id);
  // One lock for the statistics and the queue: a known ID costs one map lookup and one append.
  host::CriticalSectionLock lock(m_lock);
  auto it = m_idStats.find(id);
  if (it == m_idStats.end()) it = m_idStats.emplace(id, IdStat{0, range_flag(id)}).first;
  ++it->second.count;
  if (it->second.pass && active()) enqueue_locked(message);
  return true;
}

bool CCanStandardSource::fetch() {
  const bool result = CCanSource::fetch();
  std::uint32_t sum = 0;
  {
    host::CriticalSectionLock lock(m_lock);
    if (m_resetCounts.exchange(false, std::memory_order_relaxed)) restart_counts_locked();
    for (const auto& [id, stat] : m_idStats)
      sum += stat.count;
    publish_stats_locked(true);
  }
  const std::uint32_t now = GetTickCount();
  if (sum > kQuietCount && now - m_lastSchedule > kRefreshMs) {
    std::weak_ptr<CCanStandardSource*> alive = m_alive;
    CCentralMessageService::ScheduleMessage(
        [alive] {
          if (auto self = alive.lock(); self && *self && (*self)->m_dlg) (*self)->m_dlg->refresh();
        },
        true);
    m_lastSchedule = now;
  }
  return result;
}

void CCanStandardSource::set_running(bool running) {
  CCanSource::set_running(running);
  if (m_dlg) m_dlg->running_changed(running);
}

void CCanStandardSource::show_settings() {
  if (m_dlg) m_dlg->show();
}

bool CCanStandardSource::replace_ranges(IdRangeList table) {
  if (running()) return false;
  {
    host::CriticalSectionLock lock(m_lock);
    m_ranges = std::move(table);
    m_rangesValid = table_is_valid();
    for (auto& [id, stat] : m_idStats)
      stat.pass = range_flag(id);
    publish_stats_locked(false);
  }
  m_rangeStore.write(ranges());
  return true;
}

IdRangeList CCanStandardSource::ranges() {
  host::CriticalSectionLock lock(m_lock);
  return m_ranges;
}

IStandardSourceAccess::Statistics CCanStandardSource::stats_snapshot() {
  host::MutexLock lock(m_snapshotLock);
  return m_snapshot;
}

void CCanStandardSource::publish_stats_locked(bool fetching) {
  if (!LockSnapshot(m_snapshotLock, fetching)) return;
  host::MutexLock lock(m_snapshotLock, std::adopt_lock);
  // assign keeps the capacity: a steady set of IDs costs no allocation per fetch.
  m_snapshot.assign(m_idStats.begin(), m_idStats.end());
}

void CCanStandardSource::restart_counts_locked() noexcept {
  const Statistics& snapshot = shown_locked();
  auto shown = snapshot.cbegin();
  for (auto& [id, stat] : m_idStats) {
    while (shown != snapshot.cend() && shown->first < id)
      ++shown;
    const std::uint32_t before =
        shown != snapshot.cend() && shown->first == id ? shown->second.count : 0;
    stat.count = stat.count > before ? stat.count - before : 0;
  }
}
