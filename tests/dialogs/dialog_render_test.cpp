// The plug-in's dialogs shown by the Qt view offscreen at their template size: controls where the
// template's dialog units put them, and a PNG of each under the build folder (ui-png/).
#include <gtest/gtest.h>

#include <QWidget>
#include <cstdlib>
#include <filesystem>

#include "dialogs/CCanSequencerDlg.h"
#include "dialogs/CCanSinkDlg.h"
#include "dialogs/CCanSourceDlg.h"
#include "dialogs/CCanStandardSrcDlg.h"
#include "dialogs/DialogResources.h"
#include "host/ui/CLibMgr.h"
#include "host/ui/qt/QtUi.h"
#include "sink/CCanDbcDecoder.h"
#include "sink/CCanSink.h"
#include "sources/CCanObdProbe.h"
#include "sources/CCanStandardSource.h"
#include "tests/source/ModuleRig.h"

namespace plugin_test {
namespace {

class QtEnvironment : public ::testing::Environment {
 public:
  void SetUp() override {
    setenv("QT_QPA_PLATFORM", "offscreen", 0);
    ui = std::make_unique<ui::qt::QtUi>(argc, argv);
  }
  void TearDown() override { ui.reset(); }
  std::unique_ptr<ui::qt::QtUi> ui;
  int argc = 1;
  char arg0[20] = "dialog_render_test";
  char* argv[2] = {arg0, nullptr};
};

[[maybe_unused]] ::testing::Environment* const g_qt =
    ::testing::AddGlobalTestEnvironment(new QtEnvironment);

std::string Png(const std::string& name) {
  const auto dir = testing_support::BinDir().parent_path() / "ui-png";
  std::filesystem::create_directories(dir);
  return (dir / name).string();
}

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

// The open dialog's window: its title, the template geometry, and its picture; then Cancel.
void ExpectRenderedAndSave(CDialog3d& dlg, const char* title, const std::string& png) {
  ui::qt::QtUi::ProcessEvents();
  QWidget* window = ui::qt::QtUi::Window(dlg);
  ASSERT_NE(window, nullptr);
  EXPECT_EQ(window->windowTitle(), title);
  ExpectTemplateGeometry(dlg, window);
  EXPECT_TRUE(ui::qt::QtUi::SavePng(window, Png(png)));
  dlg.CloseByFrame();
  ui::qt::QtUi::ProcessEvents();
}

class DialogRender : public ModuleRig {
 protected:
  DialogRender() { Attach(); }
};

TEST_F(DialogRender, CanBusDialog) {
  Add(0, true, L"Powertrain");
  Add(1, false, L"Body");
  m_module.create(0, L"Chassis FD", 2, true, BITRATE_500K, FD_ARBITRATION_1M, FD_DATA_2M, true);
  m_module.create(2, L"Sequencer", 3, false, BITRATE_250K, FD_ARBITRATION_500K, FD_DATA_1M, true);
  CCanSourceDlg dlg(m_module);
  dlg.ShowDialog();
  dlg.m_list.Click(1, 2);
  ExpectRenderedAndSave(dlg, "CAN-Bus", "can_bus.png");
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
  dlg.refresh();
  ExpectRenderedAndSave(dlg, "CAN Standard Source", "standard_source.png");
}

TEST_F(DialogRender, CanDecodingDialog) {
  Add(0, true, L"Powertrain");
  Add(2, true, L"Body");
  CCanSink sink;
  sink.Create(L"CCanSink", nullptr);
  for (CCanSource* source : Sources())
    sink.add_src(source);
  sink.set_decoder(0, RUNTIME_CLASS(CCanDbcDecoder));
  ASSERT_NE(sink.dialog(), nullptr);
  sink.dialog()->set_timeout(5);
  sink.ShowSettingsDialog();
  auto& dlg = dynamic_cast<CCanSinkDlg&>(*sink.dialog());
  ExpectRenderedAndSave(dlg, "CAN Decoding", "can_decoding.png");
}

TEST_F(DialogRender, SequencerDialog) {
  CCanObdProbe source(nullptr, 2, L"OBD", 0, false, BITRATE_500K, FD_ARBITRATION_500K, FD_DATA_1M);
  source.apply_settings({20, true, false});
  CCanSequencerDlg dlg(source);
  dlg.show();
  ExpectRenderedAndSave(dlg, "CAN Sequencer", "can_sequencer.png");
}

}  // namespace
}  // namespace plugin_test
