#pragma once
// The "CAN Decoding" dialog of the sink, headless until the UI comes: it holds the edit copy of
// the time-out that apply_settings takes over. Runs on [ui] only.
class CCanSink;

class CCanSinkDlg {
 public:
  explicit CCanSinkDlg(CCanSink* owner) : m_owner(owner) {}

  // [ui] Opens the dialog, or brings it to the top when it is open.
  void show() { m_open = true; }
  void close() { m_open = false; }
  bool is_open() const noexcept { return m_open; }
  CCanSink* owner() const noexcept { return m_owner; }

  // Edit copy of the time-out for message update, seconds; 0: none.
  unsigned int m_timeout = 0;

 private:
  CCanSink* m_owner;
  bool m_open = false;
};
