// The message list of canhost ui's main window, offscreen, on live measurements: the OBD-II demo
// of the default settings, and a real trace replayed with its DBC file. The list shows what the
// processing thread published, named by the channel's DBC file; a selected message shows its
// decoded signals. Pictures of the main window with the list are left in ui-png/.
#include <gtest/gtest.h>

#include <QAbstractItemModel>
#include <QTableView>
#include <QTableWidget>
#include <algorithm>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "app/SettingsSeed.h"
#include "app/UiSession.h"
#include "host/candriver/CanDriver.h"
#include "host/settings/CSeaBase.h"
#include "host/settings/SettingsFolder.h"
#include "host/ui/qt/QtMainWindow.h"
#include "host/ui/qt/QtMessageListView.h"
#include "host/ui/qt/QtUi.h"
#include "tests/support/QtOffscreen.h"
#include "tests/support/TestPaths.h"
#include "tests/support/TestSupport.h"

namespace {

[[maybe_unused]] const bool g_qt = testing_support::UseOffscreenQt("app_ui_messages_test");

using ui::MessageListModel;
using ui::qt::QtMessageListView;

// Points the host at `folder`: its seas and its driver configuration are read from there.
void UseSettings(const std::filesystem::path& folder) {
  host::SetSettingsFolder(folder);
  CSeaBase::ReloadAll();
  XeCanDriverKvaser::ReloadConfiguration();
}

std::string Cell(const QTableView& table, int row, int column) {
  return table.model()->index(row, column).data().toString().toStdString();
}

std::vector<std::string> DecodedNames(const QTableWidget& signals) {
  std::vector<std::string> names;
  names.reserve(static_cast<std::size_t>(signals.rowCount()));
  for (int r = 0; r < signals.rowCount(); ++r)
    names.push_back(signals.item(r, 0)->text().toStdString());
  return names;
}

bool Has(const std::vector<std::string>& names, const std::string& name) {
  return std::find(names.begin(), names.end(), name) != names.end();
}

// A session measuring the settings in `folder` until Close.
class Measured {
 public:
  explicit Measured(const std::filesystem::path& folder) {
    UseSettings(folder);
    std::string error;
    EXPECT_TRUE(app::CanSourceHost::SettingsLoad(error)) << error;
    session = std::make_unique<app::UiSession>(0.001, 100);
    EXPECT_TRUE(session->Create("", error)) << error;
  }
  ~Measured() {
    std::string error;
    EXPECT_TRUE(session->Close(error)) << error;
    session.reset();
  }
  Measured(const Measured&) = delete;
  Measured& operator=(const Measured&) = delete;

  // Starts and waits until the list holds at least `rows` identifiers of which `named` are named.
  bool StartUntil(std::size_t rows, std::size_t named) {
    std::string error;
    EXPECT_TRUE(session->Start(error)) << error;
    return testing_support::WaitFor([&] {
      const ui::MessageSnapshotPtr s = session->Messages();
      const auto withName = std::count_if(s->rows.begin(), s->rows.end(), [&](const auto& m) {
        return !session->MessageName(m.channel, m.id).empty();
      });
      return s->rows.size() >= rows && static_cast<std::size_t>(withName) >= named;
    });
  }

  std::unique_ptr<app::UiSession> session;
};

TEST(MessageListWindow, ObdDemoAnswersAreNamedAndDecoded) {
  testing_support::TempDir dir;
  std::string error;
  ASSERT_EQ(app::SettingsSeed::Seed(dir / "settings", error), app::SettingsSeed::Result::Seeded)
      << error;
  Measured m(dir / "settings");
  // Channel 2's six generated identifiers and the answers of the simulated car on channel 0.
  ASSERT_TRUE(m.StartUntil(7, 1));
  {
    QtMessageListView view(*m.session, nullptr);
    view.resize(1000, 360);
    view.Refresh();
    const QTableView& table = *view.Table();
    EXPECT_EQ(table.model()->rowCount(), 7);
    view.SetFilter(QStringLiteral("7e8"));
    ASSERT_EQ(table.model()->rowCount(), 1);
    EXPECT_EQ(Cell(table, 0, MessageListModel::kName), "OBD2_ECU1_Response");
    EXPECT_EQ(Cell(table, 0, MessageListModel::kChannel), "0");
    ASSERT_TRUE(view.SelectRow(0));
    const auto names = DecodedNames(*view.Signals());
    EXPECT_TRUE(Has(names, "Service") && Has(names, "PID")) << names.size() << " signals";
    // The selection stays with its message when the filter goes and the rows move.
    view.SetFilter(QString());
    EXPECT_EQ(table.model()->rowCount(), 7);
    ASSERT_EQ(table.selectionModel()->selectedRows().size(), 1);
    EXPECT_EQ(
        Cell(table, table.selectionModel()->selectedRows().front().row(), MessageListModel::kId),
        "7E8");
  }
  m.session->Stop();
  const std::string prefix = testing_support::PngPath("messages_obd");
  std::filesystem::remove(prefix + "-main.png");
  EXPECT_EQ(ui::qt::RunMainWindow(*m.session,
                                  "start; wait 2.5; messages 7E8; select 0; "
                                  "messages; shot " +
                                      prefix + "; quit"),
            0);
  EXPECT_TRUE(std::filesystem::exists(prefix + "-main.png"));
}

// A drive of a real car (a 22 s candump trace) replayed on channel 0 with the car's DBC file.
TEST(MessageListWindow, RealTraceIsListedWithItsDbcNames) {
  SKIP_WITHOUT_SHARED("realdata/traces/kuksa_tesla_m3_dogmode.log");
  const auto shared = testing_support::SharedDir() / "realdata";
  testing_support::TempDir dir;
  const auto folder = dir / "settings";
  std::filesystem::create_directories(folder / "decoders");
  testing_support::WriteFile(folder / "Application.sea",
                             "list \"CAN-Sources\"\n"
                             "line \"CAN 0\", \"1\", \"0\", \"0\", \"-2\", \"0\", \"-1000\", "
                             "\"-1001\"\n"
                             "list \"CCanSink-Busses\"\n"
                             "line \"0\", \"CCanDbcDecoder\"\n");
  testing_support::WriteFile(folder / "decoders" / "DBC Decoder.txt",
                             "file = " + (shared / "dbc" / "kuksa_Model3CAN.dbc").string() + "\n");
  testing_support::WriteFile(folder / "candriver.conf",
                             "channel 0 replay file=\"" +
                                 (shared / "traces" / "kuksa_tesla_m3_dogmode.log").string() +
                                 "\" interface=vcan0\n");
  Measured m(folder);
  // Its six identifiers, each named by the file.
  ASSERT_TRUE(m.StartUntil(6, 6));
  QtMessageListView view(*m.session, nullptr);
  view.Refresh();
  view.SetFilter(QStringLiteral("DriveSystem"));
  ASSERT_EQ(view.Table()->model()->rowCount(), 1);
  EXPECT_EQ(Cell(*view.Table(), 0, MessageListModel::kId), "118");
  ASSERT_TRUE(view.SelectRow(0));
  EXPECT_GT(view.Signals()->rowCount(), 3);
  // Ticked beside its name, a signal of the selected message is charted (the file assigns no
  // application signal at all).
  QTableWidgetItem* first = view.Signals()->item(0, 0);
  first->setCheckState(Qt::Checked);
  EXPECT_TRUE(m.session->Charted(0, 0x118, first->text().toStdString()));
  ASSERT_TRUE(m.session->ChartSignal(0, 0x257, "DI_vehicleSpeed", true));
  m.session->Stop();
  const std::string prefix = testing_support::PngPath("messages_real_trace");
  std::filesystem::remove(prefix + "-main.png");
  std::filesystem::remove(prefix + "-charted-main.png");
  std::filesystem::remove(prefix + "-review-main.png");
  // After Stop, a stretch of the past under the cursor.
  EXPECT_EQ(ui::qt::RunMainWindow(*m.session, "start; wait 3; messages; select 2; shot " + prefix +
                                                  "; tab signals; shot " + prefix +
                                                  "-charted; stop; zoom 1 2; cursor 1.5; shot " +
                                                  prefix + "-review; quit"),
            0);
  EXPECT_TRUE(std::filesystem::exists(prefix + "-charted-main.png"));
  EXPECT_TRUE(std::filesystem::exists(prefix + "-review-main.png"));
  EXPECT_TRUE(std::filesystem::exists(prefix + "-main.png"));
}

}  // namespace
