// The sink's "CAN Decoding" dialog, driven through the control model: the rows it shows for the
// attached sources, what Apply makes of the sink's decoders, time-out and stored settings, and the
// lock-out while acquisition runs.
#include <gtest/gtest.h>

#include "dialogs/CCanSinkDlg.h"
#include "dialogs/DialogResources.h"
#include "host/cananalysis/CDbcSettingsModel.h"
#include "host/mfc/Win.h"
#include "host/module/HostConstants.h"
#include "host/settings/CResourceList.h"
#include "host/ui/CDataExchange.h"
#include "tests/sink/SinkRig.h"

namespace sink_test {
namespace {

enum Column { kName, kDecoder, kSettings };
constexpr int kNone = 0;  // combo choice "—"
constexpr int kDbc = 1;   // combo choice "DBC decoder"

class SinkDialog : public SinkRig {
 protected:
  SinkDialog() {
    m_sink.Create(L"CCanSink", nullptr);
    m_previous = mfc::SetMessageBoxResponder([this](const CString& text, UINT) {
      m_boxes.push_back(text);
      return IDOK;
    });
  }
  ~SinkDialog() override { mfc::SetMessageBoxResponder(m_previous); }

  FakeCanSource& Source(int channel, const wchar_t* name) {
    auto& source = m_sources.emplace_back(std::make_unique<FakeCanSource>(channel));
    source->name(name);
    EXPECT_TRUE(m_sink.add_src(source.get()));
    return *source;
  }
  // Opened as the host's Settings button opens it.
  CCanSinkDlg& Open() {
    m_sink.ShowSettingsDialog();
    auto* dlg = dynamic_cast<CCanSinkDlg*>(m_sink.dialog());
    EXPECT_TRUE(dlg && dlg->IsOpen()) << "the library entry installs the sink's window";
    return *dlg;
  }
  static std::vector<std::vector<std::wstring>> Busses() {
    std::vector<std::vector<std::wstring>> out;
    CResourceList list(CSeaBase::ApplicationSea(), L"CCanSink-Busses");
    for (list.GotoHead(); list.IsValid(); list.GotoNext())
      out.push_back(list.GetCurrentLine()->GetParts());
    return out;
  }
  bool IsLink(CCanSinkDlg& dlg, int row) {
    return dlg.m_list.Cell(row, kSettings)->kind == ui::CellKind::Link;
  }

  std::vector<std::unique_ptr<FakeCanSource>> m_sources;
  CCanSink m_sink;
  mfc::MessageBoxResponder m_previous;
  std::vector<CString> m_boxes;
};

TEST_F(SinkDialog, ShowsAChannelPerAttachedSourceNamedAfterTheFirst) {
  Source(2, L"Body");
  FakeCanSource& powertrain = Source(0, L"Powertrain");
  Source(2, L"Body again");
  m_sink.set_decoder(0, RUNTIME_CLASS(CCanDbcDecoder));
  m_sink.set_decoder(5, RUNTIME_CLASS(CCanDbcDecoder));  // a stored choice without a source
  m_sink.dialog()->set_timeout(7);
  CCanSinkDlg& dlg = Open();
  EXPECT_EQ(dlg.Title(), L"CAN Decoding");
  EXPECT_EQ(dlg.GetDlgItemTextW(can::IDC_TIMEOUT), L"7");
  const CXListCtrl& list = dlg.m_list;
  ASSERT_EQ(list.GetColumnCount(), 3);
  EXPECT_EQ(list.Columns()[kDecoder].title, L"Decoder");
  for (const ui::ListColumn& column : list.Columns())
    EXPECT_FALSE(column.tip.IsEmpty()) << column.title.ToUtf8();
  ASSERT_EQ(list.GetItemCount(), 2);
  EXPECT_EQ(list.GetItemText(0, kName), L"Powertrain");
  EXPECT_EQ(list.GetItemText(0, kDecoder), L"DBC decoder");
  // Every row offers the list's global strings; the choice is the string's id.
  EXPECT_EQ(list.GlobalComboStrings(),
            (std::vector<std::pair<int, CString>>{{-1, L"\u2014"}, {0, L"DBC decoder"}}));
  EXPECT_EQ(list.ComboLabels(1, kDecoder), (std::vector<CString>{L"\u2014", L"DBC decoder"}));
  EXPECT_EQ(list.GetComboCurSel(0, kDecoder), 0);
  EXPECT_EQ(list.GetComboCurSel(1, kDecoder), -1);
  EXPECT_TRUE(IsLink(dlg, 0));
  EXPECT_EQ(list.GetItemText(0, kSettings), L"Settings");
  EXPECT_EQ(list.GetItemText(1, kName), L"Body");
  EXPECT_EQ(list.GetItemText(1, kDecoder), L"\u2014");
  EXPECT_FALSE(IsLink(dlg, 1));
  m_sink.ShowSettingsDialog();
  EXPECT_EQ(dlg.RaiseCount(), 1);

  // The link opens the decoder's own settings (the host's DBC settings window).
  int opened = 0;
  const auto previous = XeCanAnalysis::SetDbcSettingsResponder([&](auto&) {
    ++opened;
    return false;
  });
  dlg.m_list.Click(0, kSettings);
  XeCanAnalysis::SetDbcSettingsResponder(previous);
  EXPECT_EQ(opened, 1);

  // A source its module released (removed in the CAN-Bus dialog) is no longer listed.
  dlg.ClickButton(IDCANCEL);
  SlowSampling::CSourceInfo::release(&powertrain);
  Open();
  ASSERT_EQ(dlg.m_list.GetItemCount(), 1);
  EXPECT_EQ(dlg.m_list.GetItemText(0, kName), L"Body");
}

TEST_F(SinkDialog, EscapeIsCancelAndReturnIsOk) {
  const auto before = m_sink.timeout();
  CCanSinkDlg& dlg = Open();
  dlg.TypeText(can::IDC_TIMEOUT, L"9");
  ASSERT_TRUE(dlg.PressKey(VK_ESCAPE));
  EXPECT_FALSE(dlg.IsOpen());
  EXPECT_EQ(m_sink.timeout(), before);
  Open();
  dlg.TypeText(can::IDC_TIMEOUT, L"9");
  ASSERT_TRUE(dlg.PressKey(VK_RETURN));
  EXPECT_FALSE(dlg.IsOpen());
  EXPECT_EQ(m_sink.timeout(), 9u);
}

TEST_F(SinkDialog, ApplyChoosesReplacesAndRemovesDecoders) {
  Source(0, L"A");
  Source(1, L"B");
  CCanDecoder* kept = m_sink.set_decoder(0, RUNTIME_CLASS(CCanDbcDecoder))->second;
  CCanDecoder* unseen = m_sink.set_decoder(5, RUNTIME_CLASS(CCanDbcDecoder))->second;
  CCanSinkDlg& dlg = Open();
  // The same class again keeps the decoder; a choice on another row creates one.
  dlg.m_list.ChooseCombo(1, kDecoder, kDbc);
  dlg.TypeText(can::IDC_TIMEOUT, L"4");
  dlg.ClickButton(ID_APPLY_NOW);
  EXPECT_EQ(m_sink.decoders().at(0), kept);
  ASSERT_NE(m_sink.decoders().at(1), nullptr);
  EXPECT_EQ(m_sink.decoders().at(5), unseen);
  EXPECT_EQ(m_sink.timeout(), 4u);
  EXPECT_TRUE(IsLink(dlg, 1));
  EXPECT_EQ(Busses(),
            (std::vector<std::vector<std::wstring>>{
                {L"0", L"CCanDbcDecoder"}, {L"1", L"CCanDbcDecoder"}, {L"5", L"CCanDbcDecoder"}}));

  // "—" removes a decoder; the row then has no link. Cancel drops what was chosen since.
  dlg.m_list.ChooseCombo(0, kDecoder, kNone);
  dlg.ClickButton(ID_APPLY_NOW);
  EXPECT_EQ(m_sink.decoders().at(0), nullptr);
  EXPECT_EQ(dlg.m_list.GetItemText(0, kDecoder), L"\u2014");
  EXPECT_FALSE(IsLink(dlg, 0));
  dlg.m_list.ChooseCombo(1, kDecoder, kNone);
  dlg.ClickButton(IDCANCEL);
  EXPECT_NE(m_sink.decoders().at(1), nullptr);

  // The edit admits digits only; an empty time-out is refused, the choices still apply.
  Open();
  EXPECT_FALSE(dlg.TypeText(can::IDC_TIMEOUT, L"-3"));
  dlg.TypeText(can::IDC_TIMEOUT, L"");
  dlg.m_list.ChooseCombo(0, kDecoder, kDbc);
  dlg.ClickButton(IDOK);
  EXPECT_EQ(m_boxes, std::vector<CString>{kParseUnsignedMessage});
  EXPECT_FALSE(dlg.IsOpen());
  EXPECT_EQ(m_sink.timeout(), 4u);
  EXPECT_NE(m_sink.decoders().at(0), nullptr);
  EXPECT_EQ(CSeaBase::ApplicationSea()->FindEntry(L"CanSink-Params")->GetParts(),
            std::vector<std::wstring>{L"4"});
}

// Counts what reaches a window of the dialog: changes of the channel table.
struct CountingView : IDialogView {
  explicit CountingView(const CWnd* list, int* changes) : m_list(list), m_changes(changes) {}
  void Changed(CWnd* control) override { *m_changes += control == m_list ? 1 : 0; }
  void Raise() override {}
  const CWnd* m_list;
  int* m_changes;
};

TEST_F(SinkDialog, ColumnsFillTheTableAtEverySizeAndTheTableRefillsInOneBatch) {
  for (int channel = 0; channel < 3; ++channel)
    Source(channel, L"Source");
  int changes = 0;
  CDialog3d::SetViewFactory([&](CDialog3d& shown) {
    return std::make_unique<CountingView>(&dynamic_cast<CCanSinkDlg&>(shown).m_list, &changes);
  });
  CCanSinkDlg& dlg = Open();
  CDialog3d::SetViewFactory({});
  const CXListCtrl& list = dlg.m_list;
  const auto columns = [&] {
    return list.GetColumnWidth(kName) + list.GetColumnWidth(kDecoder) +
           list.GetColumnWidth(kSettings);
  };
  const auto inner = [&] { return list.GetWindowRect().Width() - 20; };  // the default chrome
  EXPECT_EQ(columns(), inner());
  const int name = list.GetColumnWidth(kName);
  dlg.Resize(dlg.ClientRect().Width() + 300, dlg.ClientRect().Height() + 100);
  EXPECT_EQ(columns(), inner());
  EXPECT_GT(list.GetColumnWidth(kName), name);

  // Apply fills the table again: emptied, then the rows in one batch.
  changes = 0;
  dlg.ClickButton(ID_APPLY_NOW);
  EXPECT_EQ(list.GetItemCount(), 3);
  EXPECT_EQ(changes, 2);
}

TEST_F(SinkDialog, WithoutSourcesOnlyTheTimeOutAppliesAndRunningLocksOut) {
  CCanSinkDlg& dlg = Open();
  EXPECT_EQ(dlg.m_list.GetItemCount(), 0);
  dlg.TypeText(can::IDC_TIMEOUT, L"0");
  dlg.ClickButton(ID_APPLY_NOW);
  EXPECT_EQ(m_sink.timeout(), 0u);
  EXPECT_EQ(CSeaBase::ApplicationSea()->FindEntry(L"CanSink-Params")->GetParts(),
            std::vector<std::wstring>{L"0"});

  CCommandDispatcher::Host().Dispatch(mcStartAudioSources);
  EXPECT_FALSE(dlg.ClickButton(ID_APPLY_NOW));
  EXPECT_FALSE(dlg.ClickButton(IDOK));
  CCommandDispatcher::Host().Dispatch(mcStopAudioSources);
  EXPECT_TRUE(dlg.ClickButton(IDOK));
  // A sink read from the store gives the window its time-out.
  m_sink.dialog()->set_timeout(9);
  m_sink.read_params();
  EXPECT_EQ(m_sink.dialog()->timeout(), 0u);
}

}  // namespace
}  // namespace sink_test
