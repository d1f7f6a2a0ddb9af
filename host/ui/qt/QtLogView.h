#pragma once
// The log pane: the lines of a ui::LogModel, newest at the bottom, errors and warnings
// highlighted, redrawn kRefreshMs apart when the model took lines. It follows the newest line
// unless the person has scrolled up to read an older one. A widget of its own, so that any window
// can place it.
#include <QWidget>
#include <cstdint>
#include <memory>

class QListWidget;

namespace ui {
class LogModel;
}

namespace ui::qt {

class QtLogView : public QWidget {
 public:
  static constexpr int kRefreshMs = 200;

  // [ui] Shows `model` (shared: the lines outlive a closed pane).
  QtLogView(std::shared_ptr<LogModel> model, QWidget* parent);

  // [ui] Takes the lines the model took since the last refresh.
  void Refresh();

 private:
  std::shared_ptr<LogModel> m_model;
  QListWidget* m_list;
  std::uint64_t m_shown = 0;  // number of the newest line shown
};

}  // namespace ui::qt
