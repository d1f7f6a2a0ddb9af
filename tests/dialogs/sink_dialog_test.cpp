// The sink's "CAN Decoding" dialog, driven through the control model: the rows it shows for the
// attached sources, what Apply makes of the sink's decoders, time-out and stored settings, and
// changes made while the host feeds blocks, taken up by the processing thread at its next block.
#include <gtest/gtest.h>

#include <atomic>
#include <thread>

#include "dialogs/CCanSinkDlg.h"
#include "dialogs/DialogResources.h"
#include "host/cananalysis/CDbcSettingsModel.h"
#include "host/mfc/Win.h"
#include "host/settings/CResourceList.h"
#include "host/ui/CDataExchange.h"
#include "tests/sink/SinkRig.h"
#include "tests/sink/SinkView.h"

namespace sink_test {
namespace {

using sink_view::DbcDecoder;
using sink_view::DecoderClass;
using sink_view::StoredTimeout;

enum Column { kName, kDecoder, kSettings };
constexpr int kNone = 0;  // combo choice "—"
constexpr int kDbc = 1;   // combo choice "DBC decoder"

class SinkDialog : public SinkRig {
 protected:
  SinkDialog() {
    m_sink.Create(L"CCanSink", nullptr);
    mfc::SetMessageBoxResponder([this](const CString& text, UINT) {
      m_boxes.push_back(text);
      return IDOK;
    });
  }

  FakeCanSource& Source(int channel, const wchar_t* name) {
    auto& source = m_sources.emplace_back(std::make_unique<FakeCanSource>(channel));
    source->name(name);
    EXPECT_TRUE(m_sink.add_src(source.get()));
    return *source;
  }
  // Opened as the host's Settings button opens it.
  CCanSinkDlg& Open() {
    m_sink.ShowSettingsDialog();
    auto* dlg = dynamic_cast<CCanSinkDlg*>(sink_view::SinkWindows::Of(m_sink));
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
  std::vector<CString> m_boxes;
};

TEST_F(SinkDialog, ShowsAChannelPerAttachedSourceNamedAfterTheFirst) {
  Source(2, L"Body");
  FakeCanSource& powertrain = Source(0, L"Powertrain");
  Source(2, L"Body again");
  m_sink.set_decoder(0, RUNTIME_CLASS(CCanDbcDecoder));
  m_sink.set_decoder(5, RUNTIME_CLASS(CCanDbcDecoder));  // a stored choice without a source
  sink_view::SinkWindows::Of(m_sink)->set_timeout(7);
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
  CCanSinkDlg& dlg = Open();
  dlg.TypeText(can::IDC_TIMEOUT, L"9");
  ASSERT_TRUE(dlg.PressKey(VK_ESCAPE));
  EXPECT_FALSE(dlg.IsOpen());
  EXPECT_EQ(StoredTimeout(), std::nullopt);
  Open();
  EXPECT_EQ(sink_view::SinkWindows::Of(m_sink)->timeout(),
            0u);  // the edit copy of the time-out in force
  dlg.TypeText(can::IDC_TIMEOUT, L"9");
  ASSERT_TRUE(dlg.PressKey(VK_RETURN));
  EXPECT_FALSE(dlg.IsOpen());
  EXPECT_EQ(StoredTimeout(), 9);
}

TEST_F(SinkDialog, ApplyChoosesReplacesAndRemovesDecoders) {
  Source(0, L"A");
  Source(1, L"B");
  CCanDecoder* kept = m_sink.set_decoder(0, RUNTIME_CLASS(CCanDbcDecoder));
  CCanDecoder* unseen = m_sink.set_decoder(5, RUNTIME_CLASS(CCanDbcDecoder));
  CCanSinkDlg& dlg = Open();
  // The same class again keeps the decoder; a choice on another row creates one.
  dlg.m_list.ChooseCombo(1, kDecoder, kDbc);
  dlg.TypeText(can::IDC_TIMEOUT, L"4");
  dlg.ClickButton(ID_APPLY_NOW);
  EXPECT_EQ(DbcDecoder(m_sink, 0), kept);
  EXPECT_EQ(DecoderClass(m_sink, 1), RUNTIME_CLASS(CCanDbcDecoder));
  EXPECT_EQ(DbcDecoder(m_sink, 5), unseen);
  EXPECT_EQ(StoredTimeout(), 4);
  EXPECT_TRUE(IsLink(dlg, 1));
  EXPECT_EQ(Busses(),
            (std::vector<std::vector<std::wstring>>{
                {L"0", L"CCanDbcDecoder"}, {L"1", L"CCanDbcDecoder"}, {L"5", L"CCanDbcDecoder"}}));

  // "—" removes a decoder; the row then has no link. Cancel drops what was chosen since.
  dlg.m_list.ChooseCombo(0, kDecoder, kNone);
  dlg.ClickButton(ID_APPLY_NOW);
  EXPECT_EQ(DecoderClass(m_sink, 0), nullptr);
  EXPECT_EQ(dlg.m_list.GetItemText(0, kDecoder), L"\u2014");
  EXPECT_FALSE(IsLink(dlg, 0));
  dlg.m_list.ChooseCombo(1, kDecoder, kNone);
  dlg.ClickButton(IDCANCEL);
  EXPECT_EQ(DecoderClass(m_sink, 1), RUNTIME_CLASS(CCanDbcDecoder));

  // The edit admits digits only; an empty time-out is refused, the choices still apply.
  Open();
  EXPECT_FALSE(dlg.TypeText(can::IDC_TIMEOUT, L"-3"));
  dlg.TypeText(can::IDC_TIMEOUT, L"");
  dlg.m_list.ChooseCombo(0, kDecoder, kDbc);
  dlg.ClickButton(IDOK);
  EXPECT_EQ(m_boxes, std::vector<CString>{kParseUnsignedMessage});
  EXPECT_FALSE(dlg.IsOpen());
  EXPECT_EQ(StoredTimeout(), 4);
  EXPECT_EQ(DecoderClass(m_sink, 0), RUNTIME_CLASS(CCanDbcDecoder));
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

TEST_F(SinkDialog, WithoutSourcesOnlyTheTimeOutApplies) {
  CCanSinkDlg& dlg = Open();
  EXPECT_EQ(dlg.m_list.GetItemCount(), 0);
  dlg.TypeText(can::IDC_TIMEOUT, L"0");
  dlg.ClickButton(ID_APPLY_NOW);
  EXPECT_EQ(CSeaBase::ApplicationSea()->FindEntry(L"CanSink-Params")->GetParts(),
            std::vector<std::wstring>{L"0"});
  EXPECT_TRUE(dlg.ClickButton(IDOK));
  // A sink read from the store gives the window its time-out.
  sink_view::SinkWindows::Of(m_sink)->set_timeout(9);
  m_sink.read_params();
  EXPECT_EQ(sink_view::SinkWindows::Of(m_sink)->timeout(), 0u);
}

// Engine speed 600 1/min, coolant 10 degC (raw 50) at row 3 of a block of 20 rows.
Block EngineBlock() {
  Block block(20, 4);
  block.Put(3, 0, 0x100, {0x58, 0x02, 50, 7});
  return block;
}

std::vector<int> StateNumbers(const CCanSink& sink, const FakeCanSource& source) {
  std::vector<int> numbers;
  for (const auto& [number, state] : sink.source_entry(source.id())->states)
    numbers.push_back(number);
  return numbers;
}

// While the host feeds blocks, the decoder's Settings link and Apply stay live: what they change
// is built aside and the processing thread takes it up before its next block, never in the middle
// of one.
TEST_F(SinkDialog, DuringAMeasurementTheDecoderLinkAndApplyAreTakenUpAtTheNextBlock) {
  FakeCanSource& engine = Source(0, L"Engine");
  ASSERT_TRUE(
      m_sink.set_decoder(0, RUNTIME_CLASS(CCanDbcDecoder))->SetDbcXmlFilename(L"engine.dbc"));
  m_sink.sync_signals();
  m_sink.update_container();
  ASSERT_EQ(StateNumbers(m_sink, engine), (std::vector<int>{1, 3}));
  m_sink.begin_processing();  // as the host does at the start of a measurement
  CCanSinkDlg& dlg = Open();

  // The link: Temp no longer delivers the coolant temperature, Other delivers vehicle speed.
  int opened = 0;
  const auto previous = XeCanAnalysis::SetDbcSettingsResponder([&](auto& model) {
    ++opened;
    return model.Assign(0x100, L"Temp", -1) && model.Assign(0x100, L"Other", 2);
  });
  EXPECT_TRUE(dlg.m_list.Click(0, kSettings));
  XeCanAnalysis::SetDbcSettingsResponder(previous);
  ASSERT_EQ(opened, 1);
  EXPECT_EQ(StateNumbers(m_sink, engine), (std::vector<int>{1, 3}));  // not under a block
  m_sink.adopt_staged();
  EXPECT_EQ(StateNumbers(m_sink, engine), (std::vector<int>{1, 2}));
  const Block block = EngineBlock();
  m_sink.process(block.View(), engine.id());
  EXPECT_EQ(State(m_sink, engine, 2).list->entries().front().value, 7.0F);

  // Apply takes the decoder away: decoded on until the next block, then no more.
  dlg.m_list.ChooseCombo(0, kDecoder, kNone);
  EXPECT_TRUE(dlg.ClickButton(ID_APPLY_NOW));
  EXPECT_EQ(DecoderClass(m_sink, 0), nullptr);
  m_sink.process(block.View(), engine.id());
  EXPECT_EQ(m_sink.statistics().decoded, 2u);
  m_sink.adopt_staged();
  m_sink.process(block.View(), engine.id());
  EXPECT_EQ(m_sink.statistics().decoded, 2u);

  // Chosen again and applied after the last block: it applies at once.
  dlg.m_list.ChooseCombo(0, kDecoder, kDbc);
  dlg.TypeText(can::IDC_TIMEOUT, L"3");
  dlg.ClickButton(ID_APPLY_NOW);
  m_sink.end_processing();
  m_sink.process(block.View(), engine.id());
  EXPECT_EQ(m_sink.statistics().decoded, 3u);
  EXPECT_EQ(StoredTimeout(), 3);
}

// The same on a processing thread of its own, many times over, for the sanitizers to watch: the
// UI never touches what a block is using.
TEST_F(SinkDialog, ConfigurationWhileAnotherThreadProcessesBlocks) {
  FakeCanSource& engine = Source(0, L"Engine");
  ASSERT_TRUE(
      m_sink.set_decoder(0, RUNTIME_CLASS(CCanDbcDecoder))->SetDbcXmlFilename(L"engine.dbc"));
  m_sink.sync_signals();
  m_sink.update_container();
  m_sink.begin_processing();
  std::atomic<bool> done{false};
  std::atomic<int> blocks{0};
  std::thread processing([&] {
    const Block block = EngineBlock();
    while (!done.load()) {
      m_sink.adopt_staged();
      m_sink.process(block.View(), engine.id());
      blocks.fetch_add(1);
    }
  });
  CCanSinkDlg& dlg = Open();
  int round = 0;
  const auto previous = XeCanAnalysis::SetDbcSettingsResponder(
      [&](auto& model) { return model.Assign(0x100, L"Other", round % 2 == 0 ? 2 : -1); });
  for (round = 0; round < 20; ++round) {
    const int before = blocks.load();
    dlg.m_list.Click(0, kSettings);
    dlg.m_list.ChooseCombo(0, kDecoder, round % 3 == 0 ? kNone : kDbc);
    dlg.ClickButton(ID_APPLY_NOW);
    ASSERT_TRUE(testing_support::WaitFor([&] { return blocks.load() > before + 1; }));
  }
  XeCanAnalysis::SetDbcSettingsResponder(previous);
  done = true;
  processing.join();
  m_sink.end_processing();
  EXPECT_EQ(DecoderClass(m_sink, 0), RUNTIME_CLASS(CCanDbcDecoder));
}

}  // namespace
}  // namespace sink_test
