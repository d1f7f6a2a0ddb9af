// The plug-in's dialogs shown by the Qt view offscreen at their template size: controls where the
// template's dialog units put them, and a PNG of each under the build folder (ui-png/).
#include <gtest/gtest.h>

#include <QFontMetrics>
#include <QLabel>
#include <QMessageBox>
#include <QScrollBar>
#include <QTableView>
#include <QWidget>
#include <algorithm>
#include <cstdlib>
#include <vector>

#include "dialogs/CCanSequencerDlg.h"
#include "dialogs/CCanSinkDlg.h"
#include "dialogs/CCanSourceDlg.h"
#include "dialogs/CCanStandardSrcDlg.h"
#include "dialogs/DialogResources.h"
#include "host/mfc/Win.h"
#include "host/ui/CDataExchange.h"
#include "host/ui/qt/QtDialogView.h"
#include "host/ui/qt/QtUi.h"
#include "sink/CCanDbcDecoder.h"
#include "sink/CCanSink.h"
#include "sources/CCanObdProbe.h"
#include "sources/CCanStandardSource.h"
#include "tests/sink/SinkView.h"
#include "tests/source/ModuleRig.h"
#include "tests/support/QtOffscreen.h"

namespace plugin_test {
namespace {

[[maybe_unused]] const bool g_qt = testing_support::UseOffscreenQt("dialog_render_test");

using testing_support::PngPath;

// Every control of the template sits at its dialog-unit rectangle in the window's font.
void ExpectTemplateGeometry(const CDialog3d& dlg, QWidget* window) {
  const ui::DialogUnits units = CDialog3d::Units();
  const CRect client = ui::ToPixels(units, 0, 0, dlg.Template()->cx, dlg.Template()->cy);
  EXPECT_EQ(window->size(), QSize(client.Width(), client.Height()));
  for (const ui::ControlRes& res : dlg.Template()->controls) {
    if (res.id == -1) continue;
    const CRect r = ui::ToPixels(units, res.x, res.y, res.cx, res.cy);
    auto* w = window->findChild<QWidget*>(QString::number(res.id));
    ASSERT_NE(w, nullptr) << res.id;
    EXPECT_EQ(w->geometry(), QRect(r.left, r.top, r.Width(), r.Height())) << res.id;
  }
}

// The CAN-Bus window opens as wide as its table's columns need: every column and every title and
// cell text shows in full, no horizontal scroll bar; the controls keep the template's places, the
// table stretched by the growth and the controls on the right moved by it.
void ExpectWidenedToItsColumns(const CDialog3d& dlg, QWidget* window) {
  const ui::DialogUnits units = CDialog3d::Units();
  const CRect client = ui::ToPixels(units, 0, 0, dlg.Template()->cx, dlg.Template()->cy);
  EXPECT_EQ(window->height(), client.Height());
  const int dx = window->width() - client.Width();
  EXPECT_GT(dx, 0);
  for (const ui::ControlRes& res : dlg.Template()->controls) {
    if (res.id == -1) continue;
    CRect r = ui::ToPixels(units, res.x, res.y, res.cx, res.cy);
    const bool leftButton =
        res.id == can::IDC_ADD || res.id == can::IDC_REMOVE || res.id == can::IDC_CHANNELS;
    const bool keepsLeft = res.id == can::IDC_SOURCE_LIST || leftButton;
    if (!leftButton) r.right += dx;
    if (!keepsLeft) r.left += dx;
    auto* w = window->findChild<QWidget*>(QString::number(res.id));
    ASSERT_NE(w, nullptr) << res.id;
    EXPECT_EQ(w->geometry(), QRect(r.left, r.top, r.Width(), r.Height())) << res.id;
  }
  auto* table = window->findChild<QTableView*>(QString::number(can::IDC_SOURCE_LIST));
  ASSERT_NE(table, nullptr);
  EXPECT_EQ(table->horizontalScrollBar()->maximum(), 0);
  const QFontMetrics metrics(table->font());
  const QAbstractItemModel& model = *table->model();
  for (int c = 0; c < model.columnCount(); ++c) {
    int widest = metrics.horizontalAdvance(model.headerData(c, Qt::Horizontal).toString());
    for (int r = 0; r < model.rowCount(); ++r)
      widest = std::max(widest, metrics.horizontalAdvance(model.index(r, c).data().toString()));
    EXPECT_GE(table->columnWidth(c), widest + 8) << "column " << c;
  }
}

// The open dialog's window: its title, the template geometry, and its picture; then Cancel.
void ExpectRenderedAndSave(CDialog3d& dlg, const char* title, const std::string& png) {
  ui::qt::QtUi::ProcessEvents();
  QWidget* window = ui::qt::QtUi::Window(dlg);
  ASSERT_NE(window, nullptr);
  EXPECT_EQ(window->windowTitle(), title);
  ExpectTemplateGeometry(dlg, window);
  EXPECT_TRUE(ui::qt::QtUi::SavePng(window, PngPath(png)));
  dlg.CloseByFrame();
  ui::qt::QtUi::ProcessEvents();
}

class DialogRender : public ModuleRig {
 protected:
  DialogRender() { Attach(); }
  sink_view::SinkWindows m_sinkWindows;  // before any sink of the test
};

TEST_F(DialogRender, CanBusDialog) {
  Add(0, true, L"Powertrain");
  Add(1, false, L"Body");
  m_module.create(0, L"Chassis FD", 2, true, BITRATE_500K, FD_ARBITRATION_1M, FD_DATA_2M, true);
  m_module.create(2, L"Sequencer", 3, false, BITRATE_250K, FD_ARBITRATION_500K, FD_DATA_1M, true);
  CCanSourceDlg dlg(m_module);
  dlg.ShowDialog();
  dlg.m_list.Click(1, 2);
  ui::qt::QtUi::ProcessEvents();
  QWidget* window = ui::qt::QtUi::Window(dlg);
  ASSERT_NE(window, nullptr);
  EXPECT_EQ(window->windowTitle(), "CAN-Bus");
  ExpectWidenedToItsColumns(dlg, window);
  // What a column or a field means shows over it.
  auto* table = window->findChild<QTableView*>(QString::number(can::IDC_SOURCE_LIST));
  for (int c = 0; c < table->model()->columnCount(); ++c)
    EXPECT_FALSE(
        table->model()->headerData(c, Qt::Horizontal, Qt::ToolTipRole).toString().isEmpty())
        << c;
  EXPECT_TRUE(
      window->findChild<QWidget*>(QString::number(can::IDC_DELAY))->toolTip().contains("125"));
  EXPECT_TRUE(ui::qt::QtUi::SavePng(window, PngPath("can_bus.png")));
  dlg.ClickButton(IDCANCEL);
  ui::qt::QtUi::ProcessEvents();
}

// Sixteen sources: the window opens with every row in view, and can be made smaller again.
TEST_F(DialogRender, CanBusDialogShowsEveryRow) {
  for (int channel = 0; channel < 16; ++channel)
    Add(channel, channel % 3 != 0, (L"Bus " + std::to_wstring(channel)).c_str());
  CCanSourceDlg dlg(m_module);
  dlg.ShowDialog();
  ui::qt::QtUi::ProcessEvents();
  QWidget* window = ui::qt::QtUi::Window(dlg);
  ASSERT_NE(window, nullptr);
  auto* table = window->findChild<QTableView*>(QString::number(can::IDC_SOURCE_LIST));
  ASSERT_EQ(table->model()->rowCount(), 16);
  EXPECT_EQ(table->verticalScrollBar()->maximum(), 0);
  EXPECT_GE(table->viewport()->height(), table->rowViewportPosition(15) + table->rowHeight(15));
  EXPECT_TRUE(ui::qt::QtUi::SavePng(window, PngPath("can_bus_16.png")));
  const CRect small =
      ui::ToPixels(CDialog3d::Units(), 0, 0, dlg.Template()->cx, dlg.Template()->cy);
  window->resize(small.Width(), small.Height());
  ui::qt::QtUi::ProcessEvents();
  EXPECT_EQ(window->height(), small.Height());
  EXPECT_GT(table->verticalScrollBar()->maximum(), 0);
  dlg.ClickButton(IDCANCEL);
  ui::qt::QtUi::ProcessEvents();
}

TEST_F(DialogRender, StandardSourceDialog) {
  CCanStandardSource source(nullptr, 0, L"S", 0, false, BITRATE_500K, FD_ARBITRATION_500K,
                            FD_DATA_1M);
  source.set_active(true);
  source.replace_ranges(
      {{0, 0x7FF, true}, {0x800, 0x18FEF0FF, false}, {0x18FEF100, kMaxCanId, true}});
  CCanStandardSrcDlg dlg(source);
  dlg.show();
  const std::pair<std::uint32_t, int> traffic[] = {
      {0x100, 400}, {0x123, 250}, {0x3E8, 150}, {0x7DF, 60}, {0x18FEF100, 140}};
  for (const auto& [id, count] : traffic)
    for (int i = 0; i < count; ++i)
      source.on_filtered_message(Message(id, {1, 2}));
  m_clock.advance_ms(1000);
  source.fetch();  // publishes the counts the window shows
  dlg.refresh();
  EXPECT_EQ(dlg.m_idList.GetItemCount(), 5);
  EXPECT_EQ(dlg.rate_text(), L"1000");
  ExpectRenderedAndSave(dlg, "CAN Standard Source", "standard_source.png");
}

// A source goes with its dialog still open (the host closes while windows show): the window goes
// without reading the dialog's lists, which are gone before the dialog's base takes the view down.
TEST_F(DialogRender, WindowOfADialogDestroyedWhileOpenGoesQuietly) {
  CCanStandardSource source(nullptr, 0, L"S", 0, false, BITRATE_500K, FD_ARBITRATION_500K,
                            FD_DATA_1M);
  {
    CCanStandardSrcDlg dlg(source);
    dlg.show();
    ui::qt::QtUi::ProcessEvents();
    ASSERT_NE(ui::qt::QtUi::Window(dlg), nullptr);
  }
  ui::qt::QtUi::ProcessEvents();
  EXPECT_TRUE(ui::qt::QtDialogView::Open().empty());
}

// The table's columns, fitted to their cells and titles, share the rest of the table's width:
// they end at its right edge, the first as much as the last grown beyond its content.
void ExpectColumnsFillTheTable(QTableView* table, const std::vector<int>& fitted) {
  int sum = 0;
  for (int c = 0; c < table->model()->columnCount(); ++c) {
    EXPECT_GE(table->columnWidth(c), fitted[static_cast<std::size_t>(c)]) << "column " << c;
    sum += table->columnWidth(c);
  }
  EXPECT_EQ(table->horizontalScrollBar()->maximum(), 0);
  EXPECT_LE(std::abs(sum - table->viewport()->width()), 1) << sum;
}

// Rendered at its template size and again larger: the channel table's columns fill its width
// both times.
TEST_F(DialogRender, CanDecodingDialog) {
  Add(0, true, L"Powertrain");
  Add(2, true, L"Body");
  CCanSink sink;
  sink.Create(L"CCanSink", nullptr);
  for (CCanSource* source : Sources())
    sink.add_src(source);
  sink.set_decoder(0, RUNTIME_CLASS(CCanDbcDecoder));
  ASSERT_NE(sink_view::SinkWindows::Of(sink), nullptr);
  sink_view::SinkWindows::Of(sink)->set_timeout(5);
  sink.ShowSettingsDialog();
  auto& dlg = dynamic_cast<CCanSinkDlg&>(*sink_view::SinkWindows::Of(sink));
  ui::qt::QtUi::ProcessEvents();
  QWidget* window = ui::qt::QtUi::Window(dlg);
  ASSERT_NE(window, nullptr);
  EXPECT_EQ(window->windowTitle(), "CAN Decoding");
  ExpectTemplateGeometry(dlg, window);
  auto* table = window->findChild<QTableView*>(QString::number(can::IDC_CHANNEL_LIST));
  ASSERT_NE(table, nullptr);
  // What each column needs: its widest text and a margin.
  const QFontMetrics metrics(table->font());
  std::vector<int> fitted;
  for (int c = 0; c < table->model()->columnCount(); ++c) {
    int widest =
        metrics.horizontalAdvance(table->model()->headerData(c, Qt::Horizontal).toString());
    for (int r = 0; r < table->model()->rowCount(); ++r)
      widest = std::max(widest,
                        metrics.horizontalAdvance(table->model()->index(r, c).data().toString()));
    fitted.push_back(widest + 8);
  }
  ExpectColumnsFillTheTable(table, fitted);
  const int nameWidth = table->columnWidth(0);
  EXPECT_TRUE(ui::qt::QtUi::SavePng(window, PngPath("can_decoding.png")));

  window->resize(window->width() + 240, window->height() + 90);
  ui::qt::QtUi::ProcessEvents();
  EXPECT_EQ(dlg.ClientRect().Width(), window->width());
  ExpectColumnsFillTheTable(table, fitted);
  EXPECT_GT(table->columnWidth(0), nameWidth + 40);
  EXPECT_TRUE(ui::qt::QtUi::SavePng(window, PngPath("can_decoding_wide.png")));
  dlg.CloseByFrame();
  ui::qt::QtUi::ProcessEvents();
}

TEST_F(DialogRender, CanDecodingDialogShowsEveryChannel) {
  for (int channel = 0; channel < 4; ++channel)
    Add(channel, true, L"Bus");
  CCanSink sink;
  sink.Create(L"CCanSink", nullptr);
  for (CCanSource* source : Sources())
    sink.add_src(source);
  sink.ShowSettingsDialog();
  auto& dlg = dynamic_cast<CCanSinkDlg&>(*sink_view::SinkWindows::Of(sink));
  ui::qt::QtUi::ProcessEvents();
  QWidget* window = ui::qt::QtUi::Window(dlg);
  ASSERT_NE(window, nullptr);
  auto* table = window->findChild<QTableView*>(QString::number(can::IDC_CHANNEL_LIST));
  ASSERT_EQ(table->model()->rowCount(), 4);
  EXPECT_EQ(table->verticalScrollBar()->maximum(), 0);
  EXPECT_TRUE(ui::qt::QtUi::SavePng(window, PngPath("can_decoding_4.png")));
  dlg.CloseByFrame();
  ui::qt::QtUi::ProcessEvents();
}

TEST_F(DialogRender, SequencerDialog) {
  CCanObdProbe source(nullptr, 2, L"OBD", 0, false, BITRATE_500K, FD_ARBITRATION_500K, FD_DATA_1M);
  source.apply_settings({20, true, false});
  CCanSequencerDlg dlg(source);
  dlg.show();
  ui::qt::QtUi::ProcessEvents();
  // The note on the two timers wraps inside its place, every line of it shown.
  auto* note = qobject_cast<QLabel*>(
      ui::qt::QtUi::Window(dlg)->findChild<QWidget*>(QString::number(can::IDC_TIMER_NOTE)));
  ASSERT_NE(note, nullptr);
  EXPECT_TRUE(note->wordWrap());
  EXPECT_LE(note->heightForWidth(note->width()), note->height());
  ExpectRenderedAndSave(dlg, "CAN Sequencer", "can_sequencer.png");
}

// A refused OK or Apply: the message box that says why, and the window behind it with the refused
// cell or field marked; both as pictures (ui-png/refused_*.png, refused_*-box.png).
class Refusal : public DialogRender {
 protected:
  Refusal() {
    mfc::SetMessageBoxResponder([this](const CString& text, UINT type) {
      m_texts.push_back(text);
      if (QWidget* window = m_window ? ui::qt::QtUi::Window(*m_window) : nullptr) {
        EXPECT_TRUE(ui::qt::QtUi::SavePng(window, PngPath("refused_" + m_name + ".png")));
      }
      const auto box = ui::qt::QtUi::MakeMessageBox(text.str(), type, nullptr);
      box->show();
      ui::qt::QtUi::ProcessEvents();
      EXPECT_TRUE(ui::qt::QtUi::SavePng(box.get(), PngPath("refused_" + m_name + "-box.png")));
      box->close();
      return IDOK;
    });
  }

  // Presses `button` of `dlg` and expects one box whose text holds `why`.
  void Refuse(CDialog3d& dlg, int button, const std::string& name, const wchar_t* why) {
    m_window = &dlg;
    m_name = name;
    m_texts.clear();
    ui::qt::QtUi::ProcessEvents();
    dlg.ClickButton(button);
    ASSERT_EQ(m_texts.size(), 1u) << name;
    EXPECT_NE(m_texts[0].Find(why), -1) << m_texts[0].ToUtf8();
    m_window = nullptr;
  }

  std::vector<CString> m_texts;
  CDialog3d* m_window = nullptr;
  std::string m_name;
};

TEST_F(Refusal, EachRefusalSaysWhyAndMarksWhatItRefused) {
  Add(0, true, L"Powertrain");
  Add(1, true, L"Body");
  Add(2, true, L"Chassis");
  CCanSourceDlg bus(m_module);
  bus.ShowDialog();
  bus.m_list.EditCell(1, 3, L"");
  Refuse(bus, IDOK, "can_bus_channel", L"Channel in row 2 is empty: give a channel number 0..255.");
  EXPECT_TRUE(bus.IsOpen());
  bus.m_list.EditCell(1, 3, L"1");
  bus.TypeText(can::IDC_DELAY, L"-");
  Refuse(bus, ID_APPLY_NOW, "can_bus_delay", kParseIntMessage);
  EXPECT_FALSE(bus.GetDlgItem(can::IDC_DELAY)->Error().IsEmpty());
  bus.ClickButton(IDCANCEL);

  CCanStandardSource source(nullptr, 0, L"S", 0, false, BITRATE_500K, FD_ARBITRATION_500K,
                            FD_DATA_1M);
  source.replace_ranges({{0, 0x7FF, true}, {0x800, kMaxCanId, false}});
  CCanStandardSrcDlg ranges(source);
  ranges.show();
  ranges.m_rangeList.EditCell(1, 0, L"");
  Refuse(ranges, ID_APPLY_NOW, "standard_source_id",
         L"Start ID in row 2 is empty: give an identifier, hex as 0x7FF or 7FFh, or decimal.");
  ranges.close();

  CCanObdProbe probe(nullptr, 2, L"OBD", 0, false, BITRATE_500K, FD_ARBITRATION_500K, FD_DATA_1M);
  CCanSequencerDlg sequencer(probe);
  sequencer.show();
  sequencer.TypeText(can::IDC_TIMER, L"");
  Refuse(sequencer, ID_APPLY_NOW, "sequencer_timer", kParseIntMessage);
  sequencer.ClickButton(IDCANCEL);

  CCanSink sink;
  sink.Create(L"CCanSink", nullptr);
  sink.ShowSettingsDialog();
  auto& decoding = dynamic_cast<CCanSinkDlg&>(*sink_view::SinkWindows::Of(sink));
  decoding.TypeText(can::IDC_TIMEOUT, L"");
  Refuse(decoding, ID_APPLY_NOW, "can_decoding_timeout", kParseUnsignedMessage);
  decoding.ClickButton(IDCANCEL);
  ui::qt::QtUi::ProcessEvents();
}

}  // namespace
}  // namespace plugin_test
