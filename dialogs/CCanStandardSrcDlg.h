#pragma once
// The standard source's settings dialog: traffic statistics of the channel (overall rate, share of
// each identifier) and the identifier range table. Runs on [ui] only; reads its source through
// IStandardSourceAccess.
#include <cstdint>
#include <utility>
#include <vector>

#include "host/mfc/CString.h"
#include "sources/ISettingsDialog.h"
#include "sources/IStandardSourceAccess.h"

class CCanStandardSrcDlg : public ISettingsDialog {
 public:
  explicit CCanStandardSrcDlg(IStandardSourceAccess& source);

  // [ui] Opens the dialog, or brings it to the top when it is open.
  void show() override { m_open = true; }
  // [ui] Closes the window.
  void close() { m_open = false; }
  bool is_open() const noexcept { return m_open; }
  // [ui] OK and Apply are enabled exactly while acquisition is not running.
  bool apply_enabled() const noexcept { return !m_source.running(); }

  // [ui] Scheduled by the source's fetch: shows the message rate since the last refresh and every
  // ID's share, then has the source restart its counts. Does nothing while the dialog is closed,
  // so the counts keep growing until it opens.
  void refresh() override;

  // Rate field ("" when the refresh ran in the same millisecond as the previous one).
  const CString& rate_text() const noexcept { return m_rateText; }
  // (ID, share of all counted messages in percent), ascending by ID.
  const std::vector<std::pair<int, float>>& shares() const noexcept { return m_shares; }
  int refresh_count() const noexcept { return m_refreshes; }

 private:
  std::uint32_t update_lists();

  IStandardSourceAccess& m_source;
  bool m_open = false;
  std::uint32_t m_lastRefresh;
  std::vector<std::pair<int, float>> m_shares;
  CString m_rateText;
  int m_refreshes = 0;
};
