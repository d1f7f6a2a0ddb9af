#include "host/timemachine/CQorSyncInterface.h"

#include <atomic>
#include <cmath>

#include "host/services/Host.h"
#include "host/services/HostClock.h"

namespace {

struct HostSync {
  CTimeCapsule usb{32};
  CTimeCapsule frame{32};
  std::atomic<bool> available{true};
  std::atomic<bool> enabled{true};
  double carry = 0.0;  // fraction of a tick carried between frames, [processing]

  HostSync() {
    usb.m_rawTime = [] { return host::UsbTicks(); };
  }
};

HostSync& TheSync() {
  return host::CurrentHost().Get<HostSync>();
}

}  // namespace

CQorSyncInterface::~CQorSyncInterface() {
  TheSync().frame.m_resetCallback = nullptr;
}

CTimeCapsule* CQorSyncInterface::usb_time_capsule() const noexcept {
  return &TheSync().usb;
}

CTimeCapsule* CQorSyncInterface::frame_time_capsule() const noexcept {
  return &TheSync().frame;
}

bool CQorSyncInterface::enable_sync(bool enable) {
  HostSync& host = TheSync();
  const bool on = enable && host.available.load();
  host.enabled.store(on);
  return on;
}

bool CQorSyncInterface::sync_enabled() noexcept {
  return TheSync().enabled.load();
}

void CQorSyncInterface::start_frames() {
  HostSync& host = TheSync();
  host.carry = 0.0;
  host.frame.m_base = host::UsbTicks();
  host.frame.reset();
}

bool CQorSyncInterface::advance_frame(double ticksPerFrame) {
  HostSync& host = TheSync();
  if (!host.enabled.load() || !(ticksPerFrame >= 0.0)) return false;
  double whole = 0.0;
  host.carry += std::modf(ticksPerFrame, &whole);
  auto n = static_cast<std::int64_t>(whole);
  if (host.carry >= 1.0) {
    host.carry -= 1.0;
    n += 1;
  }
  host.frame.raw_update(host.frame.m_last + n);
  return true;
}

void CQorSyncInterface::set_sync_available(bool available) {
  HostSync& host = TheSync();
  host.available.store(available);
  if (!available) host.enabled.store(false);
}
