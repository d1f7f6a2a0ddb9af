#include "host/timemachine/CQorSyncInterface.h"

#include <atomic>
#include <cmath>

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

// Never destroyed: modules holding an interface may outlive static destruction order.
HostSync& Host() {
  static HostSync* host = new HostSync;
  return *host;
}

}  // namespace

CQorSyncInterface::~CQorSyncInterface() {
  Host().frame.m_resetCallback = nullptr;
}

CTimeCapsule* CQorSyncInterface::usb_time_capsule() const noexcept {
  return &Host().usb;
}

CTimeCapsule* CQorSyncInterface::frame_time_capsule() const noexcept {
  return &Host().frame;
}

bool CQorSyncInterface::enable_sync(bool enable) {
  HostSync& host = Host();
  const bool on = enable && host.available.load();
  host.enabled.store(on);
  return on;
}

bool CQorSyncInterface::sync_enabled() noexcept {
  return Host().enabled.load();
}

void CQorSyncInterface::start_frames() {
  HostSync& host = Host();
  host.carry = 0.0;
  host.frame.m_base = host::UsbTicks();
  host.frame.reset();
}

bool CQorSyncInterface::advance_frame(double ticksPerFrame) {
  HostSync& host = Host();
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
  HostSync& host = Host();
  host.available.store(available);
  if (!available) host.enabled.store(false);
}

void CQorSyncInterface::reset_host() {
  HostSync& host = Host();
  host.usb = CTimeCapsule(32);
  host.usb.m_rawTime = [] { return host::UsbTicks(); };
  host.frame = CTimeCapsule(32);
  host.available.store(true);
  host.enabled.store(true);
  host.carry = 0.0;
}
