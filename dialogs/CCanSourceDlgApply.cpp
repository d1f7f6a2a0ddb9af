// Apply of the "CAN-Bus" dialog: the table becomes the module's set of sources.
#include <algorithm>
#include <set>
#include <string>

#include "dialogs/CCanSourceDlg.h"
#include "dialogs/RangeTable.h"
#include "frame/ConstantTables.h"
#include "host/mfc/Win.h"

namespace {

enum Column { kActive, kType, kName, kChannel, kFd, kBitrate, kFdData };

template <std::size_t N>
std::int32_t CodeAt(const std::array<can::RateRow, N>& rows, int position) {
  return rows[static_cast<std::size_t>(std::clamp(position, 0, static_cast<int>(N) - 1))].code;
}

// The rates that matter for the FD flag decide whether a source must be rebuilt.
bool Unchanged(const SourceRow& s, const SourceRow& r) {
  if (s.type != r.type || s.channel != r.channel || s.fd != r.fd) return false;
  return r.fd ? s.fdArbitration == r.fdArbitration && s.fdData == r.fdData : s.bitrate == r.bitrate;
}

}  // namespace

bool CCanSourceDlg::apply() {
  UpdateData(TRUE);
  std::set<int> unseen;
  for (const SourceRow& s : m_module.source_rows())
    unseen.insert(s.id);
  for (int row = 0; row < m_list.GetItemCount(); ++row) {
    std::string error;
    const CString channelText = m_list.GetItemText(row, kChannel);
    const auto channel = can::CellToInt(channelText, error);
    if (!channel) {
      CString message;
      message.Format(L"Channel in row %d: '%s' is not a number (%S).\nLater rows were not applied.",
                     row + 1, channelText.GetString(), error.c_str());
      AfxMessageBox(message, MB_ICONWARNING);
      return false;
    }
    const int column5 = m_list.GetComboCurSel(row, kBitrate);
    SourceRow r;
    r.active = m_list.GetItemCheckedState(row, kActive) == 1;
    r.type = std::max(m_list.GetComboCurSel(row, kType), 0);
    r.name = m_list.GetItemText(row, kName);
    r.channel = *channel;
    r.fd = m_list.GetItemCheckedState(row, kFd) == 1;
    r.bitrate = CodeAt(can::kBitrates, column5);
    r.fdArbitration = r.fd ? CodeAt(can::kFdArbitrationRates, column5) : -1000;
    r.fdData = CodeAt(can::kFdDataRates, m_list.GetComboCurSel(row, kFdData));
    const SourceRow* source = source_of_row(row);
    if (source && unseen.count(source->id)) {
      unseen.erase(source->id);
      if (Unchanged(*source, r)) {
        m_module.rename_source(source->id, r.name, r.active);
        continue;
      }
      m_module.remove_source_id(source->id);
    }
    m_module.add_source(r);
  }
  for (int id : unseen)
    m_module.remove_source_id(id);
  m_module.set_delay(m_delay);
  fill_table();
  enable_remove();
  return true;
}
