#include "host/ui/qt/QtOpenLogDialog.h"

#include <QDialogButtonBox>
#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

#include "host/ui/FileChooser.h"

namespace ui::qt {

namespace {

constexpr const wchar_t* kLogFilter =
    L"CAN logs (*.log *.asc *.blf *.trc *.LOG *.ASC *.BLF *.TRC);;All files (*)";
constexpr const wchar_t* kDbcFilter = L"DBC files (*.dbc *.DBC);;All files (*)";

}  // namespace

QtOpenLogDialog::QtOpenLogDialog(QWidget* parent) : QDialog(parent) {
  setObjectName(QStringLiteral("openlog"));
  setWindowTitle(QStringLiteral("Open log"));
  auto* layout = new QVBoxLayout(this);
  auto* intro = new QLabel(
      QStringLiteral("The log plays on a CAN channel of its own, as the bus carried it: a CAN "
                     "source records the channel and the DBC file decodes it, every signal of "
                     "the file shown. The other sources are switched off (tick them in CAN-Bus "
                     "to measure them along). Start measures the log."),
      this);
  intro->setWordWrap(true);
  layout->addWidget(intro);
  auto* grid = new QGridLayout;
  m_log = new QLineEdit(this);
  m_log->setObjectName(QStringLiteral("log"));
  m_log->setToolTip(QStringLiteral("A candump (-L), Vector ASC, BLF or TRC log"));
  m_dbc = new QLineEdit(this);
  m_dbc->setObjectName(QStringLiteral("dbc"));
  m_dbc->setPlaceholderText(QStringLiteral("optional: none decodes nothing"));
  m_dbc->setToolTip(QStringLiteral("The DBC file that describes the log's messages"));
  auto* browseLog = new QPushButton(QStringLiteral("Browse..."), this);
  auto* browseDbc = new QPushButton(QStringLiteral("Browse..."), this);
  grid->addWidget(new QLabel(QStringLiteral("Log file"), this), 0, 0);
  grid->addWidget(m_log, 0, 1);
  grid->addWidget(browseLog, 0, 2);
  grid->addWidget(new QLabel(QStringLiteral("DBC file"), this), 1, 0);
  grid->addWidget(m_dbc, 1, 1);
  grid->addWidget(browseDbc, 1, 2);
  grid->setColumnStretch(1, 1);
  layout->addLayout(grid);
  auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
  m_ok = buttons->button(QDialogButtonBox::Ok);
  m_ok->setEnabled(false);
  layout->addWidget(buttons);
  connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
  connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
  connect(m_log, &QLineEdit::textChanged, this,
          [this](const QString& text) { m_ok->setEnabled(!text.trimmed().isEmpty()); });
  connect(browseLog, &QPushButton::clicked, this,
          [this] { Browse(m_log, L"Choose the log to replay", kLogFilter); });
  connect(browseDbc, &QPushButton::clicked, this,
          [this] { Browse(m_dbc, L"Choose the log's DBC file", kDbcFilter); });
  resize(560, sizeHint().height());
}

void QtOpenLogDialog::Browse(QLineEdit* field, const wchar_t* title, const wchar_t* filter) {
  FileRequest request{title, filter, CString(field->text().toStdWString())};
  CString chosen;
  if (ChooseFileToOpen(request, chosen)) field->setText(QString::fromStdWString(chosen.str()));
}

std::string QtOpenLogDialog::Log() const {
  return m_log->text().trimmed().toStdString();
}

std::string QtOpenLogDialog::Dbc() const {
  return m_dbc->text().trimmed().toStdString();
}

void QtOpenLogDialog::SetFiles(const QString& log, const QString& dbc) {
  m_log->setText(log);
  m_dbc->setText(dbc);
}

}  // namespace ui::qt
