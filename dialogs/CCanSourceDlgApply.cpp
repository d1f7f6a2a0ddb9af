// Apply of the "CAN-Bus" dialog: the table becomes the module's set of sources.
#include <algorithm>
#include <set>
#include <string>
#include <vector>

#include "dialogs/CCanSourceDlg.h"
#include "dialogs/RangeTable.h"
#include "frame/ConstantTables.h"
#include "host/mfc/Win.h"
#include "source/CCanSourceModule.h"

namespace {

enum Column { kActive, kType, kName, kChannel, kFd, kBitrate, kFdData };

template <std::size_t N>
std::int32_t CodeAt(const std::array<can::RateRow, N>& rows, int position) {
  return rows[static_cast<std::size_t>(std::clamp(position, 0, static_cast<int>(N) - 1))].code;
}

// What one row asks for.
struct RowSource {
  bool active;
  int type;
  CString name;
  int channel;
  bool fd;
  XeCanDriverKvaser::bitrate_t bitrate;
  XeCanDriverKvaser::fd_arbitrationrate_t fdArbitration;
  XeCanDriverKvaser::fd_datarate_t fdData;
};

bool Unchanged(const CCanSource& s, const RowSource& r) {
  if (s.m_type != r.type || s.m_channel != r.channel || s.m_fd != r.fd) return false;
  return r.fd ? s.m_fdArbitration == r.fdArbitration && s.m_fdData == r.fdData
              : s.m_bitrate == r.bitrate;
}

}  // namespace

bool CCanSourceDlg::apply() {
  UpdateData(TRUE);
  std::set<CCanSource*> unseen;
  for (const auto& [id, source] : m_module->sources())
    unseen.insert(source);
  for (int row = 0; row < m_list.GetItemCount(); ++row) {
    std::string error;
    const CString channelText = m_list.GetItemText(row, kChannel);
    const auto channel = can::CellToInt(channelText, error);
    if (!channel) {
      CString message;
      message.Format(
          L"Channel in row %d: '%s' is not a number (%S).\nRows after it were not applied.",
          row + 1, channelText.GetString(), error.c_str());
      AfxMessageBox(message, MB_ICONWARNING);
      return false;
    }
    const int column5 = m_list.GetComboCurSel(row, kBitrate);
    RowSource r{m_list.GetItemCheckedState(row, kActive) == 1,
                std::max(m_list.GetComboCurSel(row, kType), 0),
                m_list.GetItemText(row, kName),
                *channel,
                m_list.GetItemCheckedState(row, kFd) == 1,
                static_cast<XeCanDriverKvaser::bitrate_t>(CodeAt(can::kBitrates, column5)),
                XeCanDriverKvaser::fd_arbitrationrate_t{-1000},
                static_cast<XeCanDriverKvaser::fd_datarate_t>(
                    CodeAt(can::kFdDataRates, m_list.GetComboCurSel(row, kFdData)))};
    if (r.fd)
      r.fdArbitration = static_cast<XeCanDriverKvaser::fd_arbitrationrate_t>(
          CodeAt(can::kFdArbitrationRates, column5));
    const auto id = reinterpret_cast<std::intptr_t>(m_list.GetItemDataPtr(row));
    const auto it = m_module->sources().find(static_cast<int>(id));
    CCanSource* source = it == m_module->sources().end() ? nullptr : it->second;
    if (source) unseen.erase(source);
    if (source && Unchanged(*source, r)) {
      source->name(r.name);
      source->set_active(r.active);
      continue;
    }
    if (source) m_module->remove_source(source);
    m_module->create(r.type, r.name, r.channel, r.fd, r.bitrate, r.fdArbitration, r.fdData,
                     r.active);
  }
  std::vector<CCanSource*> gone;
  for (const auto& [id, source] : m_module->sources())
    if (unseen.count(source)) gone.push_back(source);
  for (CCanSource* source : gone)
    m_module->remove_source(source);
  m_module->apply_delay();
  fill_table();
  enable_remove();
  return true;
}
