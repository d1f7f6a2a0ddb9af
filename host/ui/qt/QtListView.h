#pragma once
// The Qt view of one CXListCtrl: a table whose cells draw as the model's cell kinds, whose clicks,
// in-place edits, combo choices and keys go to the model as a person's input, and which redraws
// from the model when told.
#include <QTableView>
#include <vector>

class CXListCtrl;
class ListTableModel;

namespace ui::qt {

class QtListView : public QTableView {
 public:
  QtListView(CXListCtrl& list, QWidget* parent);
  ~QtListView() override;
  // Redraws from the model: structure when rows or columns changed, else the cells in place (an
  // open in-place editor stays open).
  void Sync();
  // Shows nothing and never reads the list again (it is going away).
  void Detach();
  // Pixels of a row in a font with these metrics.
  static int RowHeight(const QFontMetrics& metrics);

 protected:
  void mousePressEvent(QMouseEvent* event) override;
  void mouseDoubleClickEvent(QMouseEvent* event) override;
  void keyPressEvent(QKeyEvent* event) override;

 private:
  CXListCtrl& m_list;
  ListTableModel* m_model;
  std::vector<int> m_widths;  // the model's column widths last applied
};

}  // namespace ui::qt
