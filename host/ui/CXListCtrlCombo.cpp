// Combo cells of a CXListCtrl, the list's global combo strings and its batch insert mode.
#include <algorithm>

#include "host/ui/CXListCtrl.h"

std::vector<CString> CXListCtrl::GlobalTexts() const {
  std::vector<CString> texts;
  texts.reserve(m_globalStrings.size());
  for (const auto& [id, text] : m_globalStrings)
    texts.push_back(text);
  return texts;
}

std::vector<CString> CXListCtrl::ComboLabels(int row, int column) const {
  const ui::ListCell* c = Cell(row, column);
  if (!c || c->kind != ui::CellKind::Combo) return {};
  return c->globalStrings ? GlobalTexts() : c->labels;
}

int CXListCtrl::ComboPosition(int row, int column) const {
  const ui::ListCell* c = Cell(row, column);
  if (!c || c->kind != ui::CellKind::Combo) return -1;
  if (!c->globalStrings) return c->comboSel;
  const auto it = std::find_if(m_globalStrings.begin(), m_globalStrings.end(),
                               [&](const auto& s) { return s.first == c->comboId; });
  return it == m_globalStrings.end() ? -1 : static_cast<int>(it - m_globalStrings.begin());
}

int CXListCtrl::GetComboCurSel(int row, int column) const {
  const ui::ListCell* c = Cell(row, column);
  if (!c || c->kind != ui::CellKind::Combo) return -1;
  if (!c->globalStrings) return c->comboSel;
  return ComboPosition(row, column) >= 0 ? c->comboId : -1;
}

void CXListCtrl::GlobalComboStringsReset() {
  m_globalStrings.clear();
  Touch();
}

void CXListCtrl::GlobalComboStringsInsert(int id, const wchar_t* text) {
  const auto it = std::find_if(m_globalStrings.begin(), m_globalStrings.end(),
                               [&](const auto& s) { return s.first == id; });
  if (it != m_globalStrings.end())
    it->second = text;
  else
    m_globalStrings.emplace_back(id, CString(text));
  Touch();
}

int CXListCtrl::GlobalComboStringsGetId(const wchar_t* text, int fallback) const {
  for (const auto& [id, label] : m_globalStrings)
    if (label == text) return id;
  return fallback;
}

BOOL CXListCtrl::SetComboBoxGlobalStrings(int row, int column, int id, int dropRows) {
  ui::ListCell* c = MutableCell(row, column);
  if (!c) return FALSE;
  c->kind = ui::CellKind::Combo;
  c->labels.clear();
  c->globalStrings = true;
  c->comboId = id;
  c->dropRows = dropRows;
  Touch();
  return TRUE;
}

void CXListCtrl::SetBatchInsertMode(bool on) {
  if (m_batch == on) return;
  m_batch = on;
  if (on || !m_batchChanged) return;
  m_batchChanged = false;
  Changed();
}
