// The window of the CAN channels: its rows' cells from and into the model, and the check that
// marks what is refused.
#include <algorithm>

#include "host/driverui/CCanChannelsDlg.h"
#include "host/driverui/ChannelResources.h"

using Model = XeCanDriverKvaser::DriverConfigModel;
using Backend = Model::Backend;

namespace {

CString Wide(const std::string& text) {
  return CString::FromUtf8(text);
}

constexpr Backend kBackends[] = {Backend::Virtual, Backend::Replay, Backend::SocketCan};

std::vector<CString> BackendLabels() {
  std::vector<CString> labels;
  for (const Backend b : kBackends)
    labels.push_back(Wide(std::string(Model::Label(b))));
  return labels;
}

// "1 channel", "2 channels".
std::string Count(std::size_t n, const std::string& what) {
  return std::to_string(n) + " " + what + (n == 1 ? "" : "s");
}

void ClearMarks(CXListCtrl& list) {
  for (int r = 0; r < list.GetItemCount(); ++r)
    for (int c = 0; c < list.GetColumnCount(); ++c)
      if (!list.GetCellMark(r, c).IsEmpty()) list.MarkCell(r, c, CString());
}

}  // namespace

void CCanChannelsDlg::Take() {
  for (int r = 0; r < m_channels.GetItemCount(); ++r) {
    const auto row = static_cast<std::size_t>(r);
    if (row >= m_model.Channels().size()) break;
    const auto text = [&](int column) { return m_channels.GetItemText(r, column).ToUtf8(); };
    const Backend shown = m_model.Channels()[row].backend;
    const int choice = m_channels.GetComboCurSel(r, Model::BackendKind);
    const Backend backend =
        choice >= 0 && choice < static_cast<int>(std::size(kBackends)) ? kBackends[choice] : shown;
    m_model.SetBackend(row, backend);
    m_model.SetChannel(row, Model::Number, text(Model::Number));
    m_model.SetChannel(row, Model::Offset, text(Model::Offset));
    m_model.SetChannel(row, Model::Drift, text(Model::Drift));
    // The cells of another backend mean nothing to this one.
    if (backend != shown) continue;
    if (backend == Backend::Virtual) m_model.SetChannel(row, Model::Bus, text(Model::Bus));
    if (backend == Backend::Replay) m_model.SetChannel(row, Model::File, text(Model::File));
    const int position = m_channels.ComboPosition(r, Model::Interface);
    if (backend != Backend::Virtual && row < m_interfaces.size() && position >= 0 &&
        static_cast<std::size_t>(position) < m_interfaces[row].size())
      m_model.SetChannel(row, Model::Interface,
                         m_interfaces[row][static_cast<std::size_t>(position)]);
  }
  for (int r = 0; r < m_generators.GetItemCount(); ++r) {
    const auto row = static_cast<std::size_t>(r);
    if (row >= m_model.Generators().size()) break;
    for (int c = Model::GenBus; c < Model::kGeneratorFields; ++c) {
      const auto field = static_cast<Model::GeneratorField>(c);
      const bool check = field == Model::Fd || field == Model::Brs;
      m_model.SetGenerator(row, field,
                           check ? (m_generators.GetCheckbox(r, c) == 1 ? "1" : "")
                                 : m_generators.GetItemText(r, c).ToUtf8());
    }
  }
}

void CCanChannelsDlg::Fill() {
  const BOOL locked = LockWindowUpdate();
  const int channels = static_cast<int>(m_model.Channels().size());
  const int generators = static_cast<int>(m_model.Generators().size());
  while (m_channels.GetItemCount() > channels)
    m_channels.DeleteItem(m_channels.GetItemCount() - 1);
  while (m_generators.GetItemCount() > generators)
    m_generators.DeleteItem(m_generators.GetItemCount() - 1);
  m_interfaces.resize(m_model.Channels().size());
  for (int r = 0; r < channels; ++r)
    FillChannel(r);
  for (int r = 0; r < generators; ++r)
    FillGenerator(r);
  if (locked) UnlockWindowUpdate();
  Check();
  EnableButtons();
}

// The row is made anew: a cell changes its kind with the backend (a combo, a text, nothing).
void CCanChannelsDlg::FillChannel(int row) {
  const bool selected = m_channels.GetItemState(row, LVIS_SELECTED) != 0;
  if (row < m_channels.GetItemCount()) m_channels.DeleteItem(row);
  m_channels.InsertItem(row, L"");
  if (selected) m_channels.SetItemState(row, LVIS_SELECTED, LVIS_SELECTED);
  const auto index = static_cast<std::size_t>(row);
  const Model::Channel& c = m_model.Channels()[index];
  m_channels.SetItemText(row, Model::Number, Wide(c.number).GetString());
  m_channels.SetEditInteger(row, Model::Number, 0, 255);
  m_channels.SetComboBox(row, Model::BackendKind, BackendLabels(), static_cast<int>(c.backend));
  if (c.backend == Backend::Virtual) {
    m_channels.SetItemText(row, Model::Bus, c.bus.empty() ? L"default" : Wide(c.bus).GetString());
    m_channels.SetEdit(row, Model::Bus, true);
  }
  if (c.backend == Backend::Replay) {
    m_channels.SetItemText(row, Model::File, Wide(c.file).GetString());
    m_channels.SetEdit(row, Model::File, true);
  }
  m_interfaces[index] = m_model.InterfaceChoices(index);
  if (c.backend != Backend::Virtual) {
    std::vector<CString> labels;
    for (const std::string& name : m_interfaces[index])
      labels.push_back(!name.empty()                  ? Wide(name)
                       : c.backend == Backend::Replay ? CString(kAllInterfaces)
                                                      : CString(kNoInterface));
    const auto at = std::find(m_interfaces[index].begin(), m_interfaces[index].end(), c.interface);
    m_channels.SetComboBox(row, Model::Interface, labels,
                           static_cast<int>(at - m_interfaces[index].begin()));
  }
  m_channels.SetItemText(row, Model::Offset, Wide(c.offset).GetString());
  m_channels.SetEdit(row, Model::Offset, true);
  m_channels.SetItemText(row, Model::Drift, Wide(c.drift).GetString());
  m_channels.SetEdit(row, Model::Drift, true);
}

void CCanChannelsDlg::FillGenerator(int row) {
  if (row >= m_generators.GetItemCount()) m_generators.InsertItem(row, L"");
  const Model::Generator& g = m_model.Generators()[static_cast<std::size_t>(row)];
  const std::string* texts[] = {&g.bus, &g.ids, &g.period, &g.phase, &g.length, &g.data};
  for (int c = 0; c < static_cast<int>(std::size(texts)); ++c) {
    m_generators.SetItemText(row, c, Wide(*texts[c]).GetString());
    m_generators.SetEdit(row, c, true);
  }
  m_generators.SetCheckbox(row, Model::Fd, g.fd == "1" ? 1 : 0);
  m_generators.SetCheckbox(row, Model::Brs, g.brs == "1" ? 1 : 0);
}

bool CCanChannelsDlg::Check() {
  ClearMarks(m_channels);
  ClearMarks(m_generators);
  const auto problems = m_model.Problems();
  for (const Model::Problem& p : problems) {
    if (p.table == Model::Problem::Table::File) continue;
    CXListCtrl& list = p.table == Model::Problem::Table::Channels ? m_channels : m_generators;
    const int row = static_cast<int>(p.row);
    const int column = std::max(p.field, 0);
    if (list.GetCellMark(row, column).IsEmpty()) list.MarkCell(row, column, Wide(p.reason));
  }
  std::string text;
  if (!m_model.ReadError().empty()) {
    text = m_model.ReadError() + "; the file is not written over.";
  } else if (!problems.empty()) {
    text = Model::Describe(problems.front());
    if (problems.size() > 1)
      text += "\n(" + std::to_string(problems.size() - 1) + " more to correct)";
  } else {
    if (!m_note.empty()) text = m_note + "\n";
    text += Count(m_model.Channels().size(), "channel") + ", " +
            Count(m_model.Generators().size(), "generator");
    const auto ignored = m_model.Ignored();
    if (m_model.CommentLines() > 0 || !ignored.empty()) {
      text += "; kept as written: " + Count(m_model.CommentLines(), "comment or blank line");
      if (!ignored.empty())
        text += ", " + Count(ignored.size(), "line") + " the driver leaves out (" +
                ignored.front() + ")";
    }
    text += ".";
    if (const auto warnings = m_model.Warnings(); !warnings.empty())
      text += "\n" + warnings.front();
  }
  SetDlgItemTextW(driverui::kChStatus, Wide(text).GetString());
  return problems.empty();
}

LRESULT CCanChannelsDlg::OnCellChanged(WPARAM, LPARAM) {
  Take();
  Fill();
  return 0;
}

// A channel that becomes a replay without a log asks for one at once.
LRESULT CCanChannelsDlg::OnBackendOrInterface(WPARAM wRow, LPARAM column) {
  const int row = static_cast<int>(wRow);
  const auto index = static_cast<std::size_t>(row);
  const bool toReplay =
      column == Model::BackendKind && index < m_model.Channels().size() &&
      m_model.Channels()[index].backend != Backend::Replay &&
      m_channels.GetComboCurSel(row, Model::BackendKind) == static_cast<int>(Backend::Replay);
  Take();
  Fill();
  if (toReplay && m_model.Channels()[index].file.empty()) {
    for (int r = 0; r < m_channels.GetItemCount(); ++r)
      m_channels.SetItemState(r, r == row ? LVIS_SELECTED : 0, LVIS_SELECTED);
    OnBrowse();
  }
  return 0;
}
