// Apply of the "CAN-Bus" dialog: the table becomes the module's set of sources.
#include <algorithm>
#include <set>

#include "dialogs/CCanSourceDlg.h"
#include "frame/ConstantTables.h"
#include "host/mfc/Win.h"
#include "host/ui/IntegerInput.h"

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
  // A refused delay keeps the module's; the table is applied all the same.
  const bool delayTaken = UpdateData(TRUE) != FALSE;
  std::set<int> unseen;
  for (const SourceRow& s : m_module.source_rows())
    unseen.insert(s.id);
  for (int row = 0; row < m_list.GetItemCount(); ++row) {
    const CString channelText = m_list.GetItemText(row, kChannel);
    int channel = -1;
    if (!ui::IntegerInput{0, kMaxChannel}.Parse(channelText, channel)) {
      CString reason;
      if (channelText.IsEmpty())
        reason.Format(L"Channel in row %d is empty: give a channel number 0..%d.", row + 1,
                      kMaxChannel);
      else
        reason.Format(L"Channel in row %d: '%s' is not a channel number 0..%d.", row + 1,
                      channelText.GetString(), kMaxChannel);
      m_list.MarkCell(row, kChannel, reason);
      AfxMessageBox(reason +
                        L"\nThe rows above it were applied; this row and the rows below it "
                        L"were not, and they stay as typed.",
                    MB_ICONWARNING);
      return false;
    }
    const int column5 = m_list.GetComboCurSel(row, kBitrate);
    SourceRow r;
    r.active = m_list.GetItemCheckedState(row, kActive) == 1;
    r.type = std::max(m_list.GetComboCurSel(row, kType), 0);
    r.name = m_list.GetItemText(row, kName);
    r.channel = channel;
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
  return delayTaken;
}
