#pragma once
// Help > Help: the model's help sections (the README's, for canhost) listed on the left, the
// chosen one's text on the right. A window of its own beside the main window, not modal.
#include <QDialog>
#include <vector>

#include "host/ui/IMainWindowModel.h"

namespace ui::qt {

class QtHelpWindow : public QDialog {
 public:
  QtHelpWindow(const std::vector<HelpSection>& sections, QWidget* parent);
};

}  // namespace ui::qt
