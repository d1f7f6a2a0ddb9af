#pragma once
// The sequencer source's settings dialog, headless for now: the three values it edits and the
// source and holder it acts on. The window comes with the other dialogs; the source already copies
// its values in at construction and takes them back in apply_settings. Runs on [ui] only.
#include <cstdint>

class CCanObdProbe;
struct SequencerHolder;

class CCanSequencerDlg {
 public:
  CCanSequencerDlg(CCanObdProbe* owner, SequencerHolder* holder)
      : m_owner(owner), m_holder(holder) {}

  // [ui] Opens the dialog, or brings it to the top when it is open.
  void show() { m_open = true; }
  void close() { m_open = false; }
  bool is_open() const noexcept { return m_open; }

  std::int32_t m_timerResolution = 10;  // "Timer resolution (ms):"
  bool m_active = false;                // "Active" (regular action)
  bool m_executeAtStart = false;        // "Execute at start"

  CCanObdProbe* owner() const noexcept { return m_owner; }
  SequencerHolder* holder() const noexcept { return m_holder; }

 private:
  CCanObdProbe* m_owner;
  SequencerHolder* m_holder;
  bool m_open = false;
};
