#pragma once
// The window of the CAN driver's channels over its model (DriverConfigModel.h): what the file
// is, a table of channels (number, backend, the virtual bus, the replayed log and its interface,
// the SocketCAN interface, clock offset and drift; every cell edited in place) with Add, Remove
// (also the Delete key) and "Log file..." (a file chooser; the selected channel becomes a replay
// of the log), and a table of traffic generators (bus, identifiers, period, phase, length, data,
// CAN FD, bit-rate switch) with Add and Remove. Below the tables the first problem of the rows,
// named and marked on its cell, or what the file holds besides the rows (comments, lines the
// driver leaves out) and what deserves a look. Apply and OK save the file atomically (a refusal
// says why in a message box and the window stays); a measurement takes it up at its next Start.
// Cancel closes without saving what changed since the last Apply. [ui] only.
#include <string>
#include <vector>

#include "host/candriver/DriverConfigModel.h"
#include "host/ui/CDialog3d.h"
#include "host/ui/CXListCtrl.h"

class CCanChannelsDlg : public CDialog3d {
 public:
  using Model = XeCanDriverKvaser::DriverConfigModel;
  // Rows a table opens with in view, at most (a scroll bar beyond).
  static constexpr int kChannelRowsShown = 16;
  static constexpr int kGeneratorRowsShown = 6;
  // What an interface combo shows for "every interface of the log" and for none.
  static constexpr const wchar_t* kAllInterfaces = L"(all of the log)";
  static constexpr const wchar_t* kNoInterface = L"(none)";

  explicit CCanChannelsDlg(Model& model);
  // True once Apply or OK saved the file.
  bool Saved() const noexcept { return m_saved; }
  CXListCtrl& Channels() noexcept { return m_channels; }
  CXListCtrl& Generators() noexcept { return m_generators; }

 protected:
  BOOL OnInitDialog() override;
  void DoDataExchange(CDataExchange* pDX) override;
  void OnOK() override;
  void OnApply() override;

 private:
  void OnAdd();
  void OnRemove();
  void OnBrowse();
  void OnGeneratorAdd();
  void OnGeneratorRemove();
  void OnChannelKey(NMHDR* hdr, LRESULT* result);
  void OnGeneratorKey(NMHDR* hdr, LRESULT* result);
  void OnClick(NMHDR* hdr, LRESULT* result);
  LRESULT OnCellChanged(WPARAM row, LPARAM column);
  LRESULT OnBackendOrInterface(WPARAM row, LPARAM column);
  // Opens the dialog as large as its tables' rows need (up to kChannelRowsShown and
  // kGeneratorRowsShown), the controls below each table moved down by what it grew.
  void FitToRows();
  void Layout();

  // The cells into the model (the table that changed is not told: both are read).
  void Take();
  void Fill();
  void FillChannel(int row);
  void FillGenerator(int row);
  // Marks the problems on their cells and says the first, or what the file holds; false when
  // there is a problem.
  bool Check();
  bool Save();
  void EnableButtons();
  // The selected rows of a table, from the first.
  static std::vector<int> Selected(const CXListCtrl& list);

  Model& m_model;
  CXListCtrl m_channels;
  CXListCtrl m_generators;
  // What each channel row's interface combo offers, as the model names them ("" for all).
  std::vector<std::vector<std::string>> m_interfaces;
  std::string m_note;  // after a save: that it was saved, and when it counts
  bool m_saved = false;

  DECLARE_MESSAGE_MAP()
};
