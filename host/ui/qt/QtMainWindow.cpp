#include "host/ui/qt/QtMainWindow.h"

#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QDesktopServices>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QMessageBox>
#include <QPushButton>
#include <QStringList>
#include <QTabWidget>
#include <QTableWidget>
#include <QTimer>
#include <QUrl>
#include <QVBoxLayout>

#include <mutex>

#include "host/mfc/Text.h"
#include "host/services/Host.h"
#include "host/settings/FileIO.h"
#include "host/settings/SettingsFolder.h"
#include "host/ui/IMainWindowModel.h"
#include "host/ui/WindowState.h"
#include "host/ui/qt/QtChartView.h"
#include "host/ui/qt/QtDialogView.h"
#include "host/ui/qt/QtHelpWindow.h"
#include "host/ui/qt/QtLogView.h"
#include "host/ui/qt/QtMessageListView.h"
#include "host/ui/qt/QtOpenLogDialog.h"
#include "host/ui/qt/QtSignalView.h"
#include "host/ui/qt/QtUi.h"

namespace ui::qt {

namespace {

// The host's main window while RunMainWindow shows it, for CloseMainWindow from another thread.
struct Shown {
  std::mutex mutex;
  QWidget* window = nullptr;    // guarded by mutex
  bool closeRequested = false;  // guarded by mutex
};
Shown& TheShown() {
  return host::CurrentHost().Get<Shown>();
}

// The longest wait of --actions, seconds.
constexpr double kMaxWaitSeconds = 86400.0;

// The summary redraws at this interval, from the snapshot the measurement publishes.
constexpr int kRefreshMs = 200;
// Steps of --actions run this far apart, so that each one's windows are drawn before the next.
constexpr int kActionStepMs = 300;

// What the channel window is for.
const QString kChannelsTip = QStringLiteral(
    "What each CAN channel number is: a virtual bus, the replay of a log, a SocketCAN interface, "
    "with its clock offset and drift; a measurement takes changes up at its next Start");

// The columns of canhost run's summary: every message received is in exactly one of the columns
// after "Received", and the last row sums them up.
const QStringList kColumns = {"Channel", "Source", "Received", "Delivered", "Old",
                              "No room", "Future", "Waiting",  "Overflow"};
// What each column means, shown over its title.
const QStringList kColumnTips = {
    "The driver channel of the source",
    "The source; a row that records nothing by design says so",
    "Messages the source took in since Start: the sum of the columns to the right",
    "Written into the measurement at their time",
    "Dropped as too old: they reached the module after their frame had been written",
    "Dropped for want of room: in time, but earlier messages filled the frame near their time",
    "Discarded as future: stamped more than 2 s ahead of their frame (a clock that jumped)",
    "Not delivered yet: queued, or kept for a later frame",
    "Lost because a queue on their way was full (the driver's receive ring or the source's)"};

// The cells of one row, in the order of kColumns.
QStringList Cells(const ChannelRow& r, const QString& channel) {
  const QString source = QString::fromStdString(r.source);
  return {channel,
          r.note.empty() ? source
                         : source + QStringLiteral(" \u2014 ") + QString::fromStdString(r.note),
          QString::number(r.received),
          QString::number(r.delivered),
          QString::number(r.old),
          QString::number(r.noRoom),
          QString::number(r.future),
          QString::number(r.waiting),
          QString::number(r.overflow)};
}

// The per-channel summary, one row per source and a total.
QTableWidget* SummaryTable(QWidget* parent) {
  auto* table = new QTableWidget(0, static_cast<int>(kColumns.size()), parent);
  table->setHorizontalHeaderLabels(kColumns);
  for (int c = 0; c < kColumnTips.size(); ++c)
    table->horizontalHeaderItem(c)->setToolTip(kColumnTips[c]);
  table->verticalHeader()->hide();
  table->setEditTriggers(QAbstractItemView::NoEditTriggers);
  table->horizontalHeader()->setSectionResizeMode(QHeaderView::Stretch);
  // The source's name may carry a note on its counts: shown whole.
  table->horizontalHeader()->setSectionResizeMode(1, QHeaderView::ResizeToContents);
  table->verticalHeader()->setDefaultSectionSize(parent->fontMetrics().height() + 8);
  return table;
}

ChannelRow Total(const std::vector<ChannelRow>& rows) {
  ChannelRow total;
  for (const ChannelRow& r : rows)
    total += r;
  return total;
}

class MainWindow : public QWidget {
 public:
  explicit MainWindow(IMainWindowModel& model) : m_model(model) {
    QtDialogView::SetMainWindow(this);
    const QString folder = QString::fromStdString(model.SettingsFolder());
    setWindowTitle(folder.isEmpty() ? QStringLiteral("canhost")
                                    : QStringLiteral("canhost \u2014 %1").arg(folder));
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(MakeModules());

    auto* buttons = new QHBoxLayout;
    m_start = new QPushButton(QStringLiteral("Start"), this);
    m_stop = new QPushButton(QStringLiteral("Stop"), this);
    connect(m_start, &QPushButton::clicked, this, [this] { StartMeasurement(); });
    connect(m_stop, &QPushButton::clicked, this, [this] {
      m_model.Stop();
      Refresh();
    });
    m_status = new QLabel(this);
    m_status->setWordWrap(true);
    buttons->addWidget(m_start);
    buttons->addWidget(m_stop);
    buttons->addWidget(m_status, 1);
    layout->addLayout(buttons);

    m_table = SummaryTable(this);
    layout->addWidget(m_table, 1);
    m_rate = new QLabel(this);
    layout->addWidget(m_rate);
    // The decoded signals and the traffic per identifier share the lower half: each wants width.
    m_tabs = new QTabWidget(this);
    m_signals = new QtSignalView(model, m_tabs);
    m_messages = new QtMessageListView(model, m_tabs);
    m_tabs->addTab(m_signals, QStringLiteral("Signals"));
    m_tabs->addTab(m_messages, QStringLiteral("Messages"));
    layout->addWidget(m_tabs, 2);
    if (const auto log = model.Log()) {
      m_logTitle = new QLabel(QStringLiteral("Log"), this);
      layout->addWidget(m_logTitle);
      m_log = new QtLogView(log, this);
      layout->addWidget(m_log, 1);
    }
    layout->setMenuBar(MakeMenus());
    resize(1100, 860);
    Recall();

    auto* timer = new QTimer(this);
    connect(timer, &QTimer::timeout, this, [this] { Refresh(); });
    timer->start(kRefreshMs);
    Refresh();
  }

  // A row per module with its settings, and the driver's channels.
  QGroupBox* MakeModules() {
    auto* modules = new QGroupBox(QStringLiteral("Modules"), this);
    auto* grid = new QGridLayout(modules);
    const auto names = m_model.Modules();
    for (std::size_t i = 0; i < names.size(); ++i) {
      const int row = static_cast<int>(i);
      grid->addWidget(new QLabel(QString::fromStdString(names[i]), modules), row, 0);
      auto* settings = new QPushButton(QStringLiteral("Settings..."), modules);
      settings->setObjectName(QStringLiteral("settings%1").arg(row));
      connect(settings, &QPushButton::clicked, this, [this, i] { m_model.ShowSettings(i); });
      grid->addWidget(settings, row, 1);
    }
    // The driver's channels are the host's own: what each channel number of the sources is.
    const int channelsRow = static_cast<int>(names.size());
    auto* channelsLabel =
        new QLabel(QStringLiteral("CAN channels of the driver (candriver.conf)"), modules);
    channelsLabel->setToolTip(kChannelsTip);
    grid->addWidget(channelsLabel, channelsRow, 0);
    auto* channels = new QPushButton(QStringLiteral("Channels..."), modules);
    channels->setObjectName(QStringLiteral("channels"));
    channels->setToolTip(kChannelsTip);
    connect(channels, &QPushButton::clicked, this, [this] { ShowChannels(); });
    grid->addWidget(channels, channelsRow, 1);
    grid->setColumnStretch(0, 1);
    return modules;
  }

  QMenuBar* MakeMenus() {
    auto* bar = new QMenuBar(this);
    const auto item = [this](QMenu* menu, const QString& text, auto action,
                             const QKeySequence& key = {}) {
      QAction* a = menu->addAction(text);
      a->setShortcut(key);
      connect(a, &QAction::triggered, this, action);
      return a;
    };
    QMenu* file = bar->addMenu(QStringLiteral("&File"));
    item(
        file, QStringLiteral("&Open log..."), [this] { OpenLogDialog(); }, QKeySequence::Open);
    item(file, QStringLiteral("&CAN channels..."), [this] { ShowChannels(); });
    item(file, QStringLiteral("&Settings folder..."), [this] { ShowSettingsFolder(); });
    file->addSeparator();
    item(
        file, QStringLiteral("&Quit"), [this] { close(); }, QKeySequence::Quit);
    QMenu* view = bar->addMenu(QStringLiteral("&View"));
    const auto toggle = [&](const QString& text, std::vector<QWidget*> widgets) {
      std::erase(widgets, nullptr);
      QAction* a = item(view, text, [widgets](bool on) {
        for (QWidget* w : widgets)
          w->setVisible(on);
      });
      a->setCheckable(true);
      a->setChecked(true);
      a->setEnabled(!widgets.empty());
    };
    toggle(QStringLiteral("&Summary of the channels"), {m_table, m_rate});
    toggle(QStringLiteral("S&ignals and messages"), {m_tabs});
    toggle(QStringLiteral("&Log"), {m_logTitle, m_log});
    QMenu* help = bar->addMenu(QStringLiteral("&Help"));
    item(
        help, QStringLiteral("&Help"), [this] { ShowHelp(); }, QKeySequence::HelpContents);
    item(help, QStringLiteral("&About canhost"), [this] { ShowAbout(); });
    return bar;
  }

  void OpenLogDialog() {
    QtOpenLogDialog dialog(this);
    if (dialog.exec() == QDialog::Accepted) OpenLog(dialog.Log(), dialog.Dbc());
  }

  // What was done, or why not, beside the Start button until the next start.
  void OpenLog(const std::string& log, const std::string& dbc) {
    std::string message;
    const bool opened = m_model.OpenLog(log, dbc, message);
    m_refused =
        opened ? QString() : QStringLiteral("Not opened: ") + QString::fromStdString(message);
    m_notice = opened ? QString::fromStdString(message) : QString();
    Refresh();
    if (m_log) m_log->Refresh();
  }

  void ShowSettingsFolder() {
    const QString folder = QString::fromStdString(m_model.SettingsFolder());
    QMessageBox box(QMessageBox::Information, QStringLiteral("Settings folder"),
                    QStringLiteral("canhost reads its settings from and saves them to\n%1\n\n"
                                   "(the seas, candriver.conf, the decoders' files; "
                                   "canhost ui --settings DIR takes another)")
                        .arg(folder),
                    QMessageBox::Close, this);
    box.setObjectName(QStringLiteral("messagebox"));
    box.setTextInteractionFlags(Qt::TextSelectableByMouse);
    QPushButton* open = box.addButton(QStringLiteral("Open folder"), QMessageBox::ActionRole);
    box.exec();
    if (box.clickedButton() == open) QDesktopServices::openUrl(QUrl::fromLocalFile(folder));
  }

  void ShowHelp() {
    if (!m_help) m_help = new QtHelpWindow(m_model.Help(), this);
    m_help->show();
    m_help->raise();
  }

  void ShowAbout() {
    QMessageBox box(
        QMessageBox::Information, QStringLiteral("About canhost"),
        QStringLiteral("canhost %1\nThe CAN plug-in and its host platform on Linux: "
                       "CAN and CAN FD from several channels, aligned with the host's "
                       "time base and decoded with DBC files into signals.\n\n"
                       "Settings: %2\nQt %3")
            .arg(QString::fromStdString(m_model.Version()),
                 QString::fromStdString(m_model.SettingsFolder()), QString::fromLatin1(qVersion())),
        QMessageBox::Ok, this);
    box.setObjectName(QStringLiteral("messagebox"));
    box.exec();
  }

  // The model logs a save; the log pane shows it at once.
  void ShowChannels() {
    m_model.ShowChannels();
    if (m_log) m_log->Refresh();
  }

  // A refused start says why where the person looks: the status beside the buttons (until the
  // next start) and the log pane.
  void StartMeasurement() {
    std::string error;
    m_refused.clear();
    m_notice.clear();
    if (!m_model.Start(error))
      m_refused = QStringLiteral("Not started: ") + QString::fromStdString(error);
    m_lastSeconds = 0.0;
    m_lastReceived = 0;
    Refresh();
    if (m_log) m_log->Refresh();
  }

  void Refresh() {
    const MeasurementSnapshot s = m_model.Snapshot();
    m_start->setEnabled(!s.running);
    m_stop->setEnabled(s.running);
    if (!m_refused.isEmpty() && !s.running) {
      m_status->setText(m_refused);
      m_status->setStyleSheet(QStringLiteral("color: #a00000; font-weight: bold;"));
    } else if (!m_notice.isEmpty() && !s.running) {
      m_status->setText(m_notice);
      m_status->setStyleSheet(QStringLiteral("color: #006000;"));
    } else {
      m_status->setText(QStringLiteral("%1: %2 frames, %3 s")
                            .arg(s.running ? "Measuring" : "Stopped")
                            .arg(s.frames)
                            .arg(s.seconds, 0, 'f', 1));
      m_status->setStyleSheet(QString());
    }
    m_table->setRowCount(static_cast<int>(s.rows.size()) + (s.rows.empty() ? 0 : 1));
    for (std::size_t i = 0; i < s.rows.size(); ++i)
      SetRow(static_cast<int>(i), Cells(s.rows[i], QString::number(s.rows[i].channel)));
    const ChannelRow total = Total(s.rows);
    if (!s.rows.empty()) SetRow(static_cast<int>(s.rows.size()), Cells(total, "total"));
    const std::uint64_t received = total.received;
    // Rate over the measured time since the last redraw.
    if (s.seconds > m_lastSeconds && received >= m_lastReceived) {
      const double rate =
          static_cast<double>(received - m_lastReceived) / (s.seconds - m_lastSeconds);
      m_rate->setText(QStringLiteral("Message rate: %1 messages/s").arg(rate, 0, 'f', 1));
      m_lastSeconds = s.seconds;
      m_lastReceived = received;
    } else if (!s.running) {
      m_rate->setText(QStringLiteral("Message rate: -"));
    }
  }

  void SetRow(int row, const QStringList& cells) {
    for (int c = 0; c < cells.size(); ++c) {
      auto* item = new QTableWidgetItem(cells[c]);
      if (c != 1) item->setTextAlignment(Qt::AlignRight | Qt::AlignVCenter);
      if (c == 1) item->setToolTip(cells[c]);
      m_table->setItem(row, c, item);
    }
  }

  // The window as the person left it last time: size, tab, ticked and charted signals.
  void Recall() {
    WindowState state;
    std::string error;
    if (!WindowState::Load(host::SettingsFolder(), state, error))
      qWarning("canhost ui: %s: the window opens as at first", error.c_str());
    if (state.geometry.size() == 4 && state.geometry[2] > 0 && state.geometry[3] > 0)
      setGeometry(state.geometry[0], state.geometry[1], state.geometry[2], state.geometry[3]);
    for (int i = 0; i < m_tabs->count(); ++i)
      if (m_tabs->tabText(i).toStdString() == state.tab) m_tabs->setCurrentIndex(i);
    m_messages->ChartAgain(state.messages);
    if (!state.charted.empty()) m_signals->Tick(state.charted);
    m_signals->SetSplit(state.chartSplit);
  }

  void Remember() const {
    WindowState state;
    const QRect g = geometry();
    state.geometry = {g.x(), g.y(), g.width(), g.height()};
    state.chartSplit = m_signals->Split();
    state.tab = m_tabs->tabText(m_tabs->currentIndex()).toStdString();
    state.charted = m_signals->Ticked();
    state.messages = m_messages->ChartedSignals();
    std::string error;
    if (!state.Save(host::SettingsFolder(), error))
      qWarning("canhost ui: the window's layout is not remembered: %s", error.c_str());
  }

  ~MainWindow() override { QtDialogView::SetMainWindow(nullptr); }
  MainWindow(const MainWindow&) = delete;
  MainWindow& operator=(const MainWindow&) = delete;

 protected:
  void closeEvent(QCloseEvent* event) override {
    Remember();
    std::string error;
    if (!m_model.Close(error)) {
      m_exitCode = 1;
      QMessageBox::critical(this, windowTitle(), QString::fromStdString(error));
    }
    event->accept();
    QtUi::Quit();
  }

 public:
  int m_exitCode = 0;
  QTabWidget* m_tabs;
  QtSignalView* m_signals;
  QtMessageListView* m_messages;
  QtLogView* m_log = nullptr;      // null when the model has no log
  QtHelpWindow* m_help = nullptr;  // made when first asked for; a child of this window

 private:
  IMainWindowModel& m_model;
  QPushButton* m_start;
  QPushButton* m_stop;
  QLabel* m_status;
  QTableWidget* m_table;
  QLabel* m_rate;
  QString m_refused;  // why the last Start or Open log was refused; empty: it was not
  QString m_notice;   // what the last Open log did, until the next Start
  QLabel* m_logTitle = nullptr;

  double m_lastSeconds = 0.0;
  std::uint64_t m_lastReceived = 0;
};

// The host's message box on the screen (a refused OK or Apply), or null.
QMessageBox* OpenMessageBox() {
  for (QWidget* w : QApplication::topLevelWidgets())
    if (auto* box = qobject_cast<QMessageBox*>(w); box && box->isVisible()) return box;
  return nullptr;
}

// The readings at the chart's cursor, one line per charted signal: name, value and unit, and
// "stale" where the value no longer held then.
std::string Readout(QtChartView& view) {
  std::string text;
  if (!view.cursorTime()) return text;
  for (const ChartModel::Reading& r : view.chart().ReadAt(*view.cursorTime()))
    text += r.name + "\t" + r.text + (r.hasValue && r.stale ? "\tstale" : "") + "\n";
  return text;
}

// A step of --actions on the chart; false when `verb` is none of those.
bool RunChartAction(MainWindow& window, const QString& verb, const QString& arg) {
  QtChartView& chart = window.m_signals->chart();
  const QStringList numbers = arg.split(' ', Qt::SkipEmptyParts);
  std::string error;
  if (verb == "chart") {
    if (!window.m_messages->ChartSignal(arg))
      qWarning("canhost ui: no signal '%s'", qPrintable(arg));
    return true;
  }
  if (verb != "cursor" && verb != "zoom" && verb != "follow" && verb != "readout" &&
      verb != "export")
    return false;
  window.m_tabs->setCurrentWidget(window.m_signals);
  window.m_signals->Refresh();
  if (verb == "cursor") {
    chart.SetCursorTime(arg.toDouble());
  } else if (verb == "zoom") {
    chart.chart().SetTimeRange(numbers.value(0).toDouble(), numbers.value(1).toDouble());
  } else if (verb == "follow") {
    chart.chart().Follow();
  } else if (verb == "readout") {
    std::wstring werror;
    if (!FileIO::WriteFileAtomic(arg.toStdString(), Readout(chart), werror))
      error = "the readout cannot be written";
  } else if (arg.endsWith(".csv")) {
    chart.WriteCsv(arg.toStdString(), error);
  } else {
    chart.WritePng(arg.toStdString(), error);
  }
  window.m_signals->Charted();
  chart.repaint();
  if (!error.empty()) qWarning("canhost ui: %s: %s", qPrintable(arg), error.c_str());
  return true;
}

// The "shot" step: the main window, each open dialog, a message box and the help window, each
// a picture named after `prefix`.
void SaveShots(MainWindow& window, const QString& prefix) {
  window.Refresh();
  if (window.m_log) window.m_log->Refresh();
  QtUi::SavePng(&window, (prefix + "-main.png").toStdString());
  for (QtDialogView* view : QtDialogView::Open())
    QtUi::SavePng(view->Widget(),
                  (prefix + "-" + view->Widget()->objectName() + ".png").toStdString());
  if (QMessageBox* box = OpenMessageBox())
    QtUi::SavePng(box, (prefix + "-messagebox.png").toStdString());
  if (window.m_help && window.m_help->isVisible())
    QtUi::SavePng(window.m_help, (prefix + "-help.png").toStdString());
}

// One step of --actions; false when it is not understood.
bool RunAction(MainWindow& window, IMainWindowModel& model, const QString& step) {
  const QStringList words = step.split(' ', Qt::SkipEmptyParts);
  if (words.isEmpty()) return true;
  const QString& verb = words[0];
  const QString arg = words.size() > 1 ? words.mid(1).join(' ') : QString();
  if (RunChartAction(window, verb, arg)) return true;
  if (verb == "settings") {
    model.ShowSettings(arg.toUInt());
  } else if (verb == "channels") {
    window.ShowChannels();
  } else if (verb == "open") {
    window.OpenLog(words.value(1).toStdString(), words.value(2).toStdString());
  } else if (verb == "help") {
    window.ShowHelp();
  } else if (verb == "about") {
    window.ShowAbout();
  } else if (verb == "folder") {
    window.ShowSettingsFolder();
  } else if (verb == "click") {
    if (QtDialogView* top = QtDialogView::Top()) top->Click(arg.toInt());
  } else if (verb == "start") {
    window.StartMeasurement();
  } else if (verb == "stop") {
    model.Stop();
  } else if (verb == "shot") {
    SaveShots(window, arg);
  } else if (verb == "dismiss") {
    if (QMessageBox* box = OpenMessageBox()) box->accept();
  } else if (verb == "signals") {
    window.m_signals->Refresh();
    if (!window.m_signals->WriteTable(arg.toStdString()))
      qWarning("canhost ui: cannot write '%s'", qPrintable(arg));
  } else if (verb == "messages") {
    window.m_tabs->setCurrentWidget(window.m_messages);
    window.m_messages->SetFilter(arg);
    window.m_messages->Refresh();
  } else if (verb == "tab") {
    for (int i = 0; i < window.m_tabs->count(); ++i)
      if (window.m_tabs->tabText(i).compare(arg, Qt::CaseInsensitive) == 0)
        window.m_tabs->setCurrentIndex(i);
  } else if (verb == "select") {
    window.m_tabs->setCurrentWidget(window.m_messages);
    window.m_messages->Refresh();
    window.m_messages->SelectRow(arg.toInt());
  } else if (verb == "wait") {
    // Its time passes before the next step (see RunMainWindow).
  } else if (verb == "quit") {
    window.close();
  } else {
    return false;
  }
  return true;
}

}  // namespace

bool CheckActions(const std::string& actions, std::string& error) {
  static const QStringList kVerbs = {
      "settings", "channels", "click",  "start",  "stop",    "wait",    "shot",     "quit",
      "open",     "help",     "about",  "folder", "dismiss", "signals", "messages", "select",
      "tab",      "chart",    "cursor", "zoom",   "follow",  "readout", "export"};
  for (const QString& raw : QString::fromStdString(actions).split(';', Qt::SkipEmptyParts)) {
    const QString step = raw.trimmed();
    const QStringList words = step.split(' ', Qt::SkipEmptyParts);
    if (words.isEmpty()) continue;
    const auto quoted = [&] { return mfc::QuoteToken(step.toStdString()); };
    if (!kVerbs.contains(words[0])) {
      error = "--actions: unknown step " + quoted();
      return false;
    }
    bool number = false;
    if (words[0] == "wait") {
      const double seconds = words.size() == 2 ? words[1].toDouble(&number) : 0.0;
      if (!number || !(seconds >= 0.0 && seconds <= kMaxWaitSeconds)) {
        error = "--actions: " + quoted() + ": the time to wait is not 0 to 86400 seconds";
        return false;
      }
    } else if (words[0] == "open" && (words.size() < 2 || words.size() > 3)) {
      error = "--actions: " + quoted() + ": needs a log file and at most a DBC file";
      return false;
    } else if ((words[0] == "cursor" && words.size() == 2) ||
               (words[0] == "zoom" && words.size() == 3)) {
      bool second = true;
      words[1].toDouble(&number);
      if (words.size() == 3) words[2].toDouble(&second);
      if (!number || !second) {
        error = "--actions: " + quoted() + ": needs seconds";
        return false;
      }
    } else if (words[0] == "cursor" || words[0] == "zoom") {
      error = "--actions: " + quoted() + ": needs seconds";
      return false;
    } else if (words[0] == "settings" || words[0] == "click" || words[0] == "select") {
      if (words.size() == 2) words[1].toInt(&number);
      if (!number) {
        error = "--actions: " + quoted() + ": needs one whole number";
        return false;
      }
    }
  }
  return true;
}

void CloseMainWindow() {
  Shown& shown = TheShown();
  std::lock_guard lock(shown.mutex);
  shown.closeRequested = true;
  if (shown.window != nullptr)
    QMetaObject::invokeMethod(
        shown.window, [window = shown.window] { window->close(); }, Qt::QueuedConnection);
}

int RunMainWindow(IMainWindowModel& model, const std::string& actions) {
  MainWindow window(model);
  window.show();
  Shown& shown = TheShown();
  {
    std::lock_guard lock(shown.mutex);
    shown.window = &window;
    if (shown.closeRequested)
      QMetaObject::invokeMethod(
          &window, [&window] { window.close(); }, Qt::QueuedConnection);
  }
  // The window goes before RunMainWindow returns: no close may be posted to it after that.
  struct Unregister {
    Shown& shown;
    ~Unregister() {
      std::lock_guard lock(shown.mutex);
      shown.window = nullptr;
    }
  } unregister{shown};
  const QStringList steps = QString::fromStdString(actions).split(';', Qt::SkipEmptyParts);
  int at = 0;
  for (int i = 0; i < steps.size(); ++i) {
    const QStringList words = steps[i].split(' ', Qt::SkipEmptyParts);
    at += words.size() == 2 && words[0] == "wait" ? static_cast<int>(words[1].toDouble() * 1000)
                                                  : kActionStepMs;
    QTimer::singleShot(at, &window, [&window, &model, step = steps[i]] {
      if (!RunAction(window, model, step.trimmed()))
        qWarning("canhost ui: unknown action '%s'", qPrintable(step.trimmed()));
    });
  }
  QtUi::Exec();
  return window.m_exitCode;
}

}  // namespace ui::qt
