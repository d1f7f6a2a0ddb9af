#pragma once
// File > Open log...: a log to replay and, optionally, the DBC file that decodes it, each typed or
// chosen through the host's file chooser. The main window hands them to its model's OpenLog.
#include <QDialog>
#include <string>

class QLineEdit;
class QPushButton;

namespace ui::qt {

class QtOpenLogDialog : public QDialog {
 public:
  explicit QtOpenLogDialog(QWidget* parent);
  // What the person chose.
  std::string Log() const;
  std::string Dbc() const;
  void SetFiles(const QString& log, const QString& dbc);

 private:
  void Browse(QLineEdit* field, const wchar_t* title, const wchar_t* filter);
  QLineEdit* m_log;
  QLineEdit* m_dbc;
  QPushButton* m_ok;
};

}  // namespace ui::qt
