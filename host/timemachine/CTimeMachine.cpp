#include "host/timemachine/CTimeMachine.h"

#include <algorithm>
#include <cmath>

namespace XeTimeMachine {

namespace {

constexpr double kFractionUnit = 4294967296.0;  // 2^32: unit of m_syncFraction
constexpr double kRateUnit = 1099511627776.0;   // 2^40: unit of the rate in m_syncRate
constexpr double kForget = 1.0 - 1.0 / CTimeMachine::kRateMemory;

double Rate(const CTimeCapsule& capsule) noexcept {
  return static_cast<double>(capsule.m_syncRate >> 1) / kRateUnit;
}

void SetRate(CTimeCapsule& capsule, double rate) noexcept {
  rate = std::clamp(rate, -CTimeMachine::kMaxRate, CTimeMachine::kMaxRate);
  const auto q = static_cast<std::int64_t>(std::llround(rate * kRateUnit));
  capsule.m_syncRate = (q * 2) | 1;
}

// Adds a (small) correction in ticks to offset + fraction, keeping the fraction within half a tick.
void AddCorrection(CTimeCapsule& capsule, double ticks) noexcept {
  const double exact = static_cast<double>(capsule.m_syncFraction) / kFractionUnit + ticks;
  const double whole = std::round(exact);
  capsule.m_offset += static_cast<std::int64_t>(whole);
  capsule.m_syncFraction = static_cast<std::int64_t>(std::llround((exact - whole) * kFractionUnit));
}

// The offset that puts base + counter + offset on the reference time.
std::int64_t NeededOffset(const CTimeCapsule& capsule, std::int64_t referenceTime) noexcept {
  return referenceTime - capsule.m_base - capsule.m_counter;
}

}  // namespace

CTimeMachine::CTimeMachine(double tickSeconds) : m_tick(tickSeconds) {}

std::size_t CTimeMachine::add_item(CTimeCapsule* capsule, bool reference) {
  std::lock_guard lock(m_mutex);
  m_items.push_back(Item{capsule, reference});
  return m_items.size() - 1;
}

bool CTimeMachine::remove_item(std::size_t index) {
  std::lock_guard lock(m_mutex);
  if (index >= m_items.size()) return false;
  m_items.erase(m_items.begin() + static_cast<std::ptrdiff_t>(index));
  return true;
}

std::size_t CTimeMachine::item_count() const {
  std::lock_guard lock(m_mutex);
  return m_items.size();
}

CTimeCapsule* CTimeMachine::get(std::size_t index) const {
  std::lock_guard lock(m_mutex);
  return index < m_items.size() ? m_items[index].capsule : nullptr;
}

bool CTimeMachine::is_reference(std::size_t index) const {
  std::lock_guard lock(m_mutex);
  return index < m_items.size() && m_items[index].reference;
}

CTimeMachine::Item* CTimeMachine::reference_item() noexcept {
  for (Item& item : m_items) {
    if (item.reference && item.capsule != nullptr) return &item;
  }
  return nullptr;
}

void CTimeMachine::read(Item& item) {
  CTimeCapsule& capsule = *item.capsule;
  item.read = false;
  if (capsule.m_rawTime) {
    const std::int64_t raw = capsule.m_rawTime();
    if (raw < 0) return;  // the clock is not running (a channel off bus)
    capsule.raw_update(raw);
    item.read = true;
  } else {
    item.read = capsule.update();
  }
}

void CTimeMachine::poll() {
  std::lock_guard lock(m_mutex);
  Item* ref = reference_item();
  m_pollRead = false;
  if (ref != nullptr) {
    read(*ref);
    m_pollRead = ref->read;
    m_pollReference = ref->capsule->time();
  }
  for (Item& item : m_items) {
    if (&item == ref || item.capsule == nullptr) continue;
    item.readAt = m_pollReference;
    item.steady = true;
    if (m_pollRead && ref->capsule->m_rawTime && item.capsule->m_rawTime)
      read_steadily(item, *ref);
    else
      read(item);
  }
}

void CTimeMachine::read_steadily(Item& item, Item& ref) {
  CTimeCapsule& reference = *ref.capsule;
  for (int attempt = 1;; ++attempt) {
    const std::int64_t before = reference.m_rawTime();
    read(item);
    const std::int64_t after = reference.m_rawTime();
    const bool close = before >= 0 && after >= before && after - before <= kSteadyTicks;
    if (close || attempt == kSteadyAttempts) {
      item.steady = close;
      if (before >= 0) item.readAt = reference.stamp_time(before);
      return;
    }
  }
}

void CTimeMachine::capsule_set() {
  std::lock_guard lock(m_mutex);
  const bool pending = m_syncPending;
  m_syncPending = false;
  if (!m_pollRead) return;  // no reference reading: nothing to align to
  for (Item& item : m_items) {
    if (item.reference || item.capsule == nullptr || !item.read) continue;
    if (!item.capsule->synced()) {
      align(item, item.readAt);  // even from an unsteady reading: unaligned is worse
      continue;
    }
    follow_drift(item);
    if (pending && item.steady) resync(item, item.readAt);
  }
}

void CTimeMachine::sync_request() {
  std::lock_guard lock(m_mutex);
  m_syncPending = true;
  const Item* ref = reference_item();
  if (ref == nullptr) return;
  // A stepped capsule that was reset since its last alignment is aligned here and now: the moment
  // of the request its reset made is the moment the reset meant (its time does not run by
  // itself). The reference is read only then, so a running acquisition's reference is not
  // touched from another thread.
  bool haveNow = false;
  std::int64_t now = 0;
  for (Item& item : m_items) {
    CTimeCapsule* capsule = item.capsule;
    if (item.reference || capsule == nullptr || capsule->has_clock() || capsule->synced()) continue;
    if (!haveNow) {
      const std::int64_t raw = ref->capsule->m_rawTime ? ref->capsule->m_rawTime() : -1;
      now = raw >= 0 ? ref->capsule->stamp_time(raw) : ref->capsule->time();
      haveNow = true;
    }
    capsule->m_offset = NeededOffset(*capsule, now);
    capsule->m_syncFraction = 0;
    capsule->m_syncRate |= 1;
  }
}

void CTimeMachine::align(Item& item, std::int64_t referenceTime) noexcept {
  CTimeCapsule& capsule = *item.capsule;
  capsule.m_offset = NeededOffset(capsule, referenceTime);
  capsule.m_syncFraction = 0;
  capsule.m_syncRate |= 1;  // a realigned capsule keeps its drift rate
  item.tracked = true;
  item.lastCounter = capsule.m_counter;
  item.syncs = 1;
  item.anchorCounter = capsule.m_counter;
  item.anchorOffset = capsule.m_offset;
  item.fitWeight = 1.0;
  item.meanX = item.meanY = item.sxx = item.sxy = 0.0;
}

void CTimeMachine::follow_drift(Item& item) noexcept {
  CTimeCapsule& capsule = *item.capsule;
  if (item.tracked) {
    const auto progress = static_cast<double>(capsule.m_counter - item.lastCounter);
    AddCorrection(capsule, Rate(capsule) * progress);
  }
  item.lastCounter = capsule.m_counter;
}

void CTimeMachine::resync(Item& item, std::int64_t referenceTime) noexcept {
  CTimeCapsule& capsule = *item.capsule;
  const std::int64_t needed = NeededOffset(capsule, referenceTime);
  const double error = static_cast<double>(needed - capsule.m_offset) -
                       static_cast<double>(capsule.m_syncFraction) / kFractionUnit;
  if (std::abs(error) > static_cast<double>(kRealignTicks)) {
    align(item, referenceTime);
    return;
  }
  if (!item.tracked) {
    // The item was added after the capsule's alignment: the fit starts here, and the capsule's
    // own weight applies, since how long it has been tracked is unknown.
    item.tracked = true;
    item.lastCounter = capsule.m_counter;
    item.syncs = 0;
    item.anchorCounter = capsule.m_counter;
    item.anchorOffset = needed;
    item.fitWeight = 1.0;
    item.meanX = item.meanY = item.sxx = item.sxy = 0.0;
  } else {
    const auto x = static_cast<double>(capsule.m_counter - item.anchorCounter);
    const auto y = static_cast<double>(needed - item.anchorOffset);
    item.fitWeight = kForget * item.fitWeight + 1.0;
    const double dx = x - item.meanX;
    item.meanX += dx / item.fitWeight;
    const double dy = y - item.meanY;
    item.meanY += dy / item.fitWeight;
    item.sxx = kForget * item.sxx + dx * (x - item.meanX);
    item.sxy = kForget * item.sxy + dx * (y - item.meanY);
    if (item.sxx > 0.0) SetRate(capsule, item.sxy / item.sxx);
    if (item.syncs > 0) ++item.syncs;
  }
  double weight = capsule.m_weight >= 0.0 ? std::min(capsule.m_weight, 1.0) : 0.0;  // NaN: 0
  if (item.syncs > 0) weight = std::max(weight, 1.0 / static_cast<double>(item.syncs));
  AddCorrection(capsule, weight * error);
}

}  // namespace XeTimeMachine
