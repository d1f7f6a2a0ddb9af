#pragma once
// The standard source's settings dialog: traffic statistics of the channel (overall rate, share of
// each identifier) and the identifier range table. Runs on [ui] only.
#include <cstdint>
#include <utility>
#include <vector>

#include "host/mfc/CString.h"

class CCanStandardSource;

class CCanStandardSrcDlg {
 public:
  explicit CCanStandardSrcDlg(CCanStandardSource* owner);

  // [ui] Opens the dialog, or brings it to the top when it is open.
  void show();
  // [ui] Closes the window.
  void close() { m_open = false; }
  bool is_open() const noexcept { return m_open; }
  // [ui] OK and Apply are enabled exactly while acquisition is not running.
  void enable_apply(bool enabled) { m_applyEnabled = enabled; }
  bool apply_enabled() const noexcept { return m_applyEnabled; }

  // [ui] Scheduled by the source's fetch: shows the message rate since the last refresh and every
  // ID's share, then has the source restart its counts. Does nothing while the dialog is closed,
  // so the counts keep growing until it opens.
  void refresh();

  // Rate field ("" when the refresh ran in the same millisecond as the previous one).
  const CString& rate_text() const noexcept { return m_rateText; }
  // (ID, share of all counted messages in percent), ascending by ID.
  const std::vector<std::pair<int, float>>& shares() const noexcept { return m_shares; }
  int refresh_count() const noexcept { return m_refreshes; }

 private:
  std::uint32_t update_lists();

  CCanStandardSource* m_owner;
  bool m_open = false;
  bool m_applyEnabled = true;
  std::uint32_t m_lastRefresh;
  std::vector<std::pair<int, float>> m_shares;
  CString m_rateText;
  int m_refreshes = 0;
};
