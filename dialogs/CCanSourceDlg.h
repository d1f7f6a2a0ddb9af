#pragma once
// The "CAN-Bus" dialog of the source module: the channel table and the CAN bus delay. Runs on [ui]
// only. It holds the configured delay that the module gives its channel capsules.
#include <cstdint>

class CCanSourceModule;

class CCanSourceDlg {
 public:
  explicit CCanSourceDlg(CCanSourceModule* owner) : m_owner(owner) {}

  // [ui] Opens the dialog, or brings it to the top when it is open.
  void show() { m_open = true; }
  void close() { m_open = false; }
  bool is_open() const noexcept { return m_open; }
  // [ui] While acquisition runs the table cannot be applied: OK and Apply are disabled.
  void lock_editing(bool locked) { m_locked = locked; }
  bool editing_locked() const noexcept { return m_locked; }
  CCanSourceModule* owner() const noexcept { return m_owner; }

  // Configured CAN bus delay versus the USB time, ticks of 125 µs.
  std::int32_t m_delay = 0;

 private:
  CCanSourceModule* m_owner;
  bool m_open = false;
  bool m_locked = false;
};
