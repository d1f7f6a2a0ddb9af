#include "sources/CCanStandardSource.h"

#include <algorithm>
#include <mutex>

#include "host/mfc/Win.h"
#include "host/services/CCentralMessageService.h"
#include "host/settings/PrWin.h"

namespace {
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
      m_alive(std::make_shared<CCanStandardSource*>(this)),
      m_dlg(this) {
  m_rangeStore.set_list_name(StoreListName(name, channel));
  IdRangeList stored;
  m_rangeStore.read(stored);
  if (stored.empty()) stored.emplace_back(0, kMaxCanId, true);
  {
    std::lock_guard lock(m_lock);
    m_ranges = std::move(stored);
    m_rangeIndex.assign(m_ranges.begin(), m_ranges.end());
    m_rangesValid = table_is_valid();
  }
  if (!m_rangesValid)
    PrWin::Output(1,
                  L"CCanStandardSource: the ID range table '%s' is not sorted and contiguous; "
                  L"IDs take the flag of the first range holding them, uncovered IDs pass\n",
                  m_rangeStore.list_name().GetString());
  m_control.AddCanReadMonitor([this](const CanMessage& m) { return on_filtered_message(m); });
}

CCanStandardSource::~CCanStandardSource() {
  // Reception ends before the statistics and the table go; a refresh still waiting on the UI
  // thread must not reach the destroyed dialog.
  shutdown_reception();
  *m_alive = nullptr;
}

bool CCanStandardSource::table_is_valid() const noexcept {
  if (m_rangeIndex.empty()) return false;
  int expectedStart = 0;
  for (const auto& [start, stop, active] : m_rangeIndex) {
    if (start != expectedStart || stop < start) return false;
    expectedStart = stop + 1;
  }
  return std::get<1>(m_rangeIndex.back()) == kMaxCanId;
}

bool CCanStandardSource::range_flag(int id) const noexcept {
  if (m_rangesValid) {
    const auto it = std::lower_bound(
        m_rangeIndex.begin(), m_rangeIndex.end(), id,
        [](const IdRange& range, int value) { return std::get<1>(range) < value; });
    return it == m_rangeIndex.end() ? true : std::get<2>(*it);
  }
  for (const auto& [start, stop, active] : m_rangeIndex)
    if (start <= id && id <= stop) return active;
  return true;
}

bool CCanStandardSource::on_filtered_message(const CanMessage& message) {
  const int id = static_cast<int>(message.id);
  // One lock for the statistics and the queue: a known ID costs one map lookup and one append.
  std::lock_guard lock(m_lock);
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
    std::lock_guard lock(m_lock);
    const bool reset = m_resetCounts.exchange(false, std::memory_order_relaxed);
    for (auto& [id, stat] : m_idStats) {
      if (reset) stat.count = 0;
      sum += stat.count;
    }
  }
  const std::uint32_t now = GetTickCount();
  if (sum > 100 && now - m_lastSchedule > 1000) {
    std::weak_ptr<CCanStandardSource*> alive = m_alive;
    CCentralMessageService::ScheduleMessage(
        [alive] {
          if (auto self = alive.lock(); self && *self) (*self)->m_dlg.refresh();
        },
        true);
    m_lastSchedule = now;
  }
  return result;
}

void CCanStandardSource::set_running(bool running) {
  CCanSource::set_running(running);
  m_dlg.enable_apply(!running);
}

void CCanStandardSource::show_settings() {
  m_dlg.show();
}

void CCanStandardSource::apply_ranges() {
  IdRangeList copy;
  {
    std::lock_guard lock(m_lock);
    m_rangeIndex.assign(m_ranges.begin(), m_ranges.end());
    m_rangesValid = table_is_valid();
    for (auto& [id, stat] : m_idStats)
      stat.pass = range_flag(id);
    copy = m_ranges;
  }
  m_rangeStore.write(copy);
}

void CCanStandardSource::replace_ranges(IdRangeList ranges) {
  {
    std::lock_guard lock(m_lock);
    m_ranges = std::move(ranges);
  }
  apply_ranges();
}

std::vector<std::pair<int, IdStat>> CCanStandardSource::stats_snapshot() {
  std::lock_guard lock(m_lock);
  return {m_idStats.begin(), m_idStats.end()};
}
