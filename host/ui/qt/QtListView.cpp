#include "host/ui/qt/QtListView.h"

#include <QAbstractTableModel>
#include <QApplication>
#include <QComboBox>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPainter>
#include <QPen>
#include <QStyledItemDelegate>
#include <QTimer>
#include <QValidator>

#include "host/ui/CXListCtrl.h"

namespace {

QString ToQ(const CString& s) {
  return QString::fromStdWString(s.str());
}

}  // namespace

// Exposes the model's rows and columns to the table; the cells draw themselves (CellDelegate).
class ListTableModel : public QAbstractTableModel {
 public:
  explicit ListTableModel(CXListCtrl& list) : m_list(list) {}
  int rowCount(const QModelIndex& parent) const override {
    return parent.isValid() ? 0 : static_cast<int>(m_rows);
  }
  int columnCount(const QModelIndex& parent) const override {
    return parent.isValid() ? 0 : static_cast<int>(m_columns);
  }
  QVariant data(const QModelIndex& index, int role) const override {
    const ui::ListCell* c = m_list.Cell(index.row(), index.column());
    const bool marked = c && !c->mark.IsEmpty();
    switch (role) {
      case Qt::DisplayRole:
        return ToQ(m_list.GetItemText(index.row(), index.column()));
      case Qt::ToolTipRole:
        return marked ? ToQ(c->mark) : ToQ(m_list.GetItemText(index.row(), index.column()));
      case Qt::BackgroundRole:
        return marked ? QVariant(QColor(0xFF, 0xD7, 0xD7)) : QVariant();
      case Qt::ForegroundRole:
        return marked ? QVariant(QColor(0x8B, 0x00, 0x00)) : QVariant();
      default:
        return {};
    }
  }
  QVariant headerData(int section, Qt::Orientation o, int role) const override {
    if (o != Qt::Horizontal || section >= m_list.GetColumnCount()) return {};
    if (role == Qt::ToolTipRole) {
      const CString& tip = m_list.Columns()[static_cast<std::size_t>(section)].tip;
      return tip.IsEmpty() ? QVariant() : QVariant(ToQ(tip));
    }
    if (role != Qt::DisplayRole) return {};
    // Room for the header check box that CheckHeader draws left of the title.
    const QString title = ToQ(m_list.Columns()[static_cast<std::size_t>(section)].title);
    return m_list.GetHeaderCheckedState(section) != 0 ? QStringLiteral("     ") + title : title;
  }
  Qt::ItemFlags flags(const QModelIndex& index) const override {
    const ui::ListCell* c = m_list.Cell(index.row(), index.column());
    Qt::ItemFlags f = Qt::ItemIsEnabled | Qt::ItemIsSelectable;
    if (c && ((c->kind == ui::CellKind::Text && c->editable) || c->kind == ui::CellKind::Combo))
      f |= Qt::ItemIsEditable;
    return f;
  }
  // True when rows or columns were added or removed.
  bool Refresh() {
    const auto rows = m_list.Rows().size();
    const auto columns = m_list.Columns().size();
    if (rows != m_rows || columns != m_columns) {
      beginResetModel();
      m_rows = rows;
      m_columns = columns;
      endResetModel();
      return true;
    }
    if (rows && columns)
      Q_EMIT dataChanged(index(0, 0),
                         index(static_cast<int>(rows) - 1, static_cast<int>(columns) - 1));
    return false;
  }

 private:
  CXListCtrl& m_list;
  std::size_t m_rows = 0;
  std::size_t m_columns = 0;
};

namespace {

// Typing in an integer cell: what the cell admits (IntegerInput) and no more.
class IntegerValidator : public QValidator {
 public:
  IntegerValidator(const ui::IntegerInput& range, QObject* parent)
      : QValidator(parent), m_range(range) {}
  State validate(QString& input, int& /*pos*/) const override {
    const CString text(input.toStdWString());
    if (!m_range.Admits(text)) return Invalid;
    int value = 0;
    return m_range.Parse(text, value) ? Acceptable : Intermediate;
  }

 private:
  ui::IntegerInput m_range;
};

// A refused cell keeps a red frame over whatever it draws.
void FrameIfMarked(QPainter* p, const ui::ListCell* c, const QRect& rect) {
  if (!c || c->mark.IsEmpty()) return;
  p->save();
  p->setPen(QPen(QColor(0xC0, 0x00, 0x00), 2));
  p->setBrush(Qt::NoBrush);
  p->drawRect(rect.adjusted(1, 1, -1, -1));
  p->restore();
}

// Draws check boxes, combo cells, links and bars; edits text and combo cells in place and hands
// the result to the model as the person's input.
class CellDelegate : public QStyledItemDelegate {
 public:
  CellDelegate(CXListCtrl& list, QObject* parent) : QStyledItemDelegate(parent), m_list(list) {}

  void paint(QPainter* p, const QStyleOptionViewItem& option,
             const QModelIndex& index) const override {
    const ui::ListCell* c = m_list.Cell(index.row(), index.column());
    if (!c || c->kind == ui::CellKind::Text) {
      QStyledItemDelegate::paint(p, option, index);
      return FrameIfMarked(p, c, option.rect);
    }
    QStyleOptionViewItem base = option;
    initStyleOption(&base, index);
    base.text.clear();
    QStyle* style = option.widget ? option.widget->style() : QApplication::style();
    style->drawControl(QStyle::CE_ItemViewItem, &base, p, option.widget);
    const QRect r = option.rect.adjusted(3, 2, -3, -2);
    switch (c->kind) {
      case ui::CellKind::CheckBox:
        return PaintCheck(p, style, option, *c, r);
      case ui::CellKind::Combo:
        return PaintCombo(p, option, index, r);
      case ui::CellKind::Link:
        return PaintLink(p, option, *c, r);
      case ui::CellKind::Progress:
        return PaintBar(p, style, option, *c, r);
      case ui::CellKind::Text:
        break;
    }
  }

  QWidget* createEditor(QWidget* parent, const QStyleOptionViewItem&,
                        const QModelIndex& index) const override {
    const ui::ListCell* c = m_list.Cell(index.row(), index.column());
    if (!c) return nullptr;
    const int row = index.row(), column = index.column();
    if (c->kind == ui::CellKind::Combo) {
      // Its own labels, or the list's global strings.
      auto* combo = new QComboBox(parent);
      for (const CString& label : m_list.ComboLabels(row, column))
        combo->addItem(ToQ(label));
      combo->setCurrentIndex(m_list.ComboPosition(row, column));
      if (c->dropRows > 0) combo->setMaxVisibleItems(c->dropRows);
      QObject::connect(combo, &QComboBox::activated, combo, [this, row, column](int chosen) {
        m_list.ChooseCombo(row, column, chosen);
      });
      // The click that opened the cell opens its list too: one click to choose, as on a desktop.
      QTimer::singleShot(0, combo, [combo] { combo->showPopup(); });
      return combo;
    }
    auto* edit = new QLineEdit(parent);
    edit->setText(ToQ(c->text));
    if (c->integer) edit->setValidator(new IntegerValidator(c->range, edit));
    return edit;
  }
  void setEditorData(QWidget*, const QModelIndex&) const override {}
  void setModelData(QWidget* editor, QAbstractItemModel*, const QModelIndex& index) const override {
    if (auto* edit = qobject_cast<QLineEdit*>(editor))
      m_list.EditCell(index.row(), index.column(), edit->text().toStdWString().c_str());
  }

 private:
  static void PaintCheck(QPainter* p, QStyle* style, const QStyleOptionViewItem& option,
                         const ui::ListCell& c, const QRect& r) {
    QStyleOptionButton box;
    box.rect = QRect(r.left(), r.center().y() - 6, 13, 13);
    box.state = QStyle::State_Enabled | (c.check ? QStyle::State_On : QStyle::State_Off);
    style->drawPrimitive(QStyle::PE_IndicatorCheckBox, &box, p, option.widget);
  }
  static void PaintCombo(QPainter* p, const QStyleOptionViewItem& option, const QModelIndex& index,
                         const QRect& r) {
    p->save();
    p->setPen(option.palette.color(QPalette::Mid));
    p->drawRect(r.adjusted(0, 0, -1, -1));
    p->setPen(option.palette.color(QPalette::Text));
    p->drawText(r.adjusted(4, 0, -14, 0), Qt::AlignVCenter | Qt::AlignLeft,
                index.data().toString());
    const QPoint tip(r.right() - 6, r.center().y() + 2);
    const QPoint arrow[3] = {tip + QPoint(-4, -4), tip + QPoint(4, -4), tip};
    p->setBrush(option.palette.color(QPalette::Text));
    p->drawPolygon(arrow, 3);
    p->restore();
  }
  static void PaintLink(QPainter* p, const QStyleOptionViewItem& option, const ui::ListCell& c,
                        const QRect& r) {
    p->save();
    QFont f = option.font;
    f.setUnderline(c.linkEnabled);
    p->setFont(f);
    p->setPen(c.linkEnabled ? option.palette.color(QPalette::Link)
                            : option.palette.color(QPalette::Text));
    p->drawText(r, Qt::AlignVCenter | Qt::AlignLeft, ToQ(c.text));
    p->restore();
  }
  static void PaintBar(QPainter* p, QStyle* style, const QStyleOptionViewItem& option,
                       const ui::ListCell& c, const QRect& r) {
    QStyleOptionProgressBar bar;
    bar.rect = r;
    bar.minimum = 0;
    bar.maximum = 100;
    bar.progress = c.progress;
    bar.state = QStyle::State_Enabled | QStyle::State_Horizontal;
    bar.palette = option.palette;
    style->drawControl(QStyle::CE_ProgressBar, &bar, p, option.widget);
  }

  CXListCtrl& m_list;
};

// Draws the header check box of columns that have one; a click on it goes to the model.
class CheckHeader : public QHeaderView {
 public:
  CheckHeader(CXListCtrl& list, QWidget* parent)
      : QHeaderView(Qt::Horizontal, parent), m_list(list) {}

 protected:
  void paintSection(QPainter* p, const QRect& rect, int section) const override {
    p->save();
    QHeaderView::paintSection(p, rect, section);
    p->restore();
    const int state = m_list.GetHeaderCheckedState(section);
    if (state == 0) return;
    QStyleOptionButton box;
    box.rect = QRect(rect.left() + 4, rect.center().y() - 6, 13, 13);
    box.state = QStyle::State_Enabled | (state == 2 ? QStyle::State_On : QStyle::State_Off);
    style()->drawPrimitive(QStyle::PE_IndicatorCheckBox, &box, p, this);
  }
  void mousePressEvent(QMouseEvent* e) override {
    const int section = logicalIndexAt(e->position().toPoint());
    if (section >= 0 && m_list.GetHeaderCheckedState(section) != 0 &&
        e->position().x() < sectionViewportPosition(section) + 20) {
      m_list.ClickHeaderCheck(section);
      return;
    }
    QHeaderView::mousePressEvent(e);
  }

 private:
  CXListCtrl& m_list;
};

}  // namespace

namespace ui::qt {

QtListView::QtListView(CXListCtrl& list, QWidget* parent)
    : QTableView(parent), m_list(list), m_model(new ListTableModel(list)) {
  m_model->setParent(this);
  setModel(m_model);
  setHorizontalHeader(new CheckHeader(list, this));
  setItemDelegate(new CellDelegate(list, this));
  verticalHeader()->hide();
  verticalHeader()->setDefaultSectionSize(RowHeight(fontMetrics()));
  horizontalHeader()->setHighlightSections(false);
  horizontalHeader()->setDefaultAlignment(Qt::AlignLeft | Qt::AlignVCenter);
  // The last column takes what the others leave of the control's width, so that no empty header
  // stands at the right.
  horizontalHeader()->setStretchLastSection(true);
  setShowGrid(false);
  setSelectionBehavior(QAbstractItemView::SelectRows);
  setSelectionMode(QAbstractItemView::MultiSelection);
  setEditTriggers(QAbstractItemView::NoEditTriggers);
  setHorizontalScrollMode(QAbstractItemView::ScrollPerPixel);
  // Tab leaves the table for the next control (the buttons), as in a desktop dialog; the arrow
  // keys move between cells.
  setTabKeyNavigation(false);
}

QtListView::~QtListView() = default;

int QtListView::RowHeight(const QFontMetrics& metrics) {
  return metrics.height() + 6;
}

void QtListView::Sync() {
  // Widths the model sets (a new column, an autosize) are applied; widths a person drags in the
  // header stay until the model changes them.
  const bool structure = m_model->Refresh();
  m_widths.resize(m_list.Columns().size(), -1);
  for (int c = 0; c < m_list.GetColumnCount(); ++c) {
    const int width = m_list.GetColumnWidth(c);
    if (!structure && m_widths[static_cast<std::size_t>(c)] == width) continue;
    setColumnWidth(c, width);
    m_widths[static_cast<std::size_t>(c)] = width;
  }
  QItemSelection selection;
  for (int r = 0; r < m_list.GetItemCount(); ++r)
    if (m_list.Rows()[static_cast<std::size_t>(r)].selected)
      selection.select(m_model->index(r, 0), m_model->index(r, m_list.GetColumnCount() - 1));
  if (selectionModel()->selection() != selection)
    selectionModel()->select(selection, QItemSelectionModel::ClearAndSelect);
  viewport()->update();
}

void QtListView::Detach() {
  setModel(nullptr);
}

void QtListView::mousePressEvent(QMouseEvent* event) {
  const QModelIndex index = indexAt(event->position().toPoint());
  const bool ctrl = event->modifiers() & Qt::ControlModifier;
  setFocus();
  if (!index.isValid()) {
    m_list.Click(-1, -1, ctrl);
    return;
  }
  const int row = index.row(), column = index.column();
  if (!m_list.Click(row, column, ctrl)) return;
  // The click's handlers may have replaced the rows; edit only a cell that is still there.
  if (const ui::ListCell* c = m_list.Cell(row, column);
      c && !ctrl &&
      (c->kind == ui::CellKind::Combo || (c->kind == ui::CellKind::Text && c->editable)))
    edit(m_model->index(row, column));
}

void QtListView::mouseDoubleClickEvent(QMouseEvent* event) {
  mousePressEvent(event);
}

void QtListView::keyPressEvent(QKeyEvent* event) {
  int vk = 0;
  if (event->key() == Qt::Key_Delete) {
    vk = VK_DELETE;
  } else if (event->key() >= Qt::Key_A && event->key() <= Qt::Key_Z) {
    vk = 'A' + (event->key() - Qt::Key_A);
  } else {
    return QTableView::keyPressEvent(event);
  }
  m_list.PressKey(vk, event->modifiers() & Qt::ControlModifier);
}

}  // namespace ui::qt
