#include "dialogs/CCanStandardSrcDlg.h"

#include <string>

#include "host/mfc/Win.h"

CCanStandardSrcDlg::CCanStandardSrcDlg(IStandardSourceAccess& source)
    : m_source(source), m_lastRefresh(GetTickCount()) {}

void CCanStandardSrcDlg::refresh() {
  ++m_refreshes;
  if (!m_open) return;
  const std::uint32_t total = update_lists();
  const std::uint32_t elapsed = GetTickCount() - m_lastRefresh;
  m_rateText = elapsed != 0 ? CString(std::to_wstring(total * 1000u / elapsed)) : CString();
  m_lastRefresh = GetTickCount();
  m_source.request_count_reset();
}

std::uint32_t CCanStandardSrcDlg::update_lists() {
  const auto stats = m_source.stats_snapshot();
  std::uint32_t total = 0;
  for (const auto& [id, stat] : stats)
    total += stat.count;
  const float factor = total != 0 ? 100.0F / static_cast<float>(total) : 0.0F;
  m_shares.resize(stats.size());
  for (std::size_t i = 0; i < stats.size(); ++i)
    m_shares[i] = {stats[i].first, static_cast<float>(stats[i].second.count) * factor};
  return total;
}
