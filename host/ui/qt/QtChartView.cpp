#include "host/ui/qt/QtChartView.h"

#include <QBuffer>
#include <QMouseEvent>
#include <QPainter>
#include <QWheelEvent>
#include <algorithm>
#include <cmath>

#include "host/mfc/CString.h"
#include "host/settings/FileIO.h"
#include "host/ui/qt/QtPlotPainter.h"

namespace ui::qt {

namespace {

// A notch of the wheel shows this share of the range.
constexpr double kZoomPerNotch = 0.8;

bool WriteBytes(const std::string& path, std::string_view bytes, std::string& error) {
  std::wstring werror;
  if (FileIO::WriteFileAtomic(std::filesystem::path(path), bytes, werror)) return true;
  error = CString(werror.c_str()).ToUtf8();
  return false;
}

}  // namespace

QtChartView::QtChartView(QWidget* parent) : QWidget(parent) {
  setObjectName(QStringLiteral("chart"));
  setMinimumSize(320, 200);
  setMouseTracking(true);
}

double QtChartView::TimeAt(int x) const {
  if (m_drawn.empty()) return m_t0;
  const QRect& r = m_drawn.front().rect;
  return m_t0 + (x - r.left()) * (m_t1 - m_t0) / std::max(1, r.width() - 1);
}

int QtChartView::XOf(double time) const {
  if (m_drawn.empty()) return 0;
  const QRect& r = m_drawn.front().rect;
  return r.left() + static_cast<int>(std::lround((time - m_t0) / (m_t1 - m_t0) * (r.width() - 1)));
}

std::optional<std::size_t> QtChartView::PanelAt(QPoint at) const {
  for (std::size_t i = 0; i < m_drawn.size(); ++i)
    if (at.y() >= m_drawn[i].rect.top() - fontMetrics().height() &&
        at.y() <= m_drawn[i].rect.bottom())
      return i;
  return std::nullopt;
}

void QtChartView::Zoom(QPoint at, double steps, bool valueAxis) {
  const double factor = std::pow(kZoomPerNotch, steps);
  if (!valueAxis) {
    m_chart.ZoomTime(factor, TimeAt(at.x()));
  } else if (const auto panel = PanelAt(at)) {
    const Drawn& d = m_drawn[*panel];
    const double value =
        d.low + (d.rect.bottom() - at.y()) * (d.high - d.low) / std::max(1, d.rect.height());
    m_chart.ZoomValue(*panel, factor, value);
  }
  update();
}

void QtChartView::Pan(QPoint from, QPoint by, bool valueAxis) {
  if (m_drawn.empty()) return;
  if (!valueAxis) {
    m_chart.PanTime(TimeAt(from.x()) - TimeAt(from.x() + by.x()));
  } else if (const auto panel = PanelAt(from)) {
    const Drawn& d = m_drawn[*panel];
    m_chart.PanValue(*panel, by.y() * (d.high - d.low) / std::max(1, d.rect.height()));
  }
  update();
}

void QtChartView::SetCursorTime(std::optional<double> time) {
  m_cursor = time;
  update();
}

void QtChartView::paintEvent(QPaintEvent* /*event*/) {
  ++m_redraws;
  QPainter painter(this);
  const std::vector<ChartModel::Panel> panels = m_chart.Panels();
  m_t0 = m_chart.t0();
  m_t1 = m_chart.t1();
  if (panels.empty()) {
    painter.fillRect(rect(), Qt::white);
    painter.drawText(rect(), Qt::AlignCenter,
                     m_chart.charted().empty() ? QStringLiteral("Tick signals to chart them")
                                               : QStringLiteral("No values yet"));
    m_drawn.clear();
    return;
  }
  const int fontPx = std::max(10, fontMetrics().height() - 2);
  const QtPlotPainter plot(panels, rect(), m_t0, m_t1, m_chart.now(), fontPx);
  plot.Paint(painter);
  m_drawn.clear();
  for (std::size_t i = 0; i < plot.panels().size(); ++i)
    m_drawn.push_back({plot.panels()[i].rect, panels[i].low, panels[i].high});
  if (!m_chart.following()) {
    painter.setPen(QColor(0x80, 0x80, 0x80));
    painter.drawText(rect().adjusted(0, 2, -fontPx, 0), Qt::AlignRight | Qt::AlignTop,
                     QStringLiteral("reviewing: double click follows live"));
  }
  PaintCursor(painter);
}

// The cursor line across the panels and, beside it, each charted signal's value at its time.
void QtChartView::PaintCursor(QPainter& painter) const {
  if (!m_cursor || m_drawn.empty() || *m_cursor < m_t0 || *m_cursor > m_t1) return;
  const int x = XOf(*m_cursor);
  painter.setPen(QPen(QColor(0x30, 0x30, 0x30), 1));
  painter.drawLine(x, m_drawn.front().rect.top(), x, m_drawn.back().rect.bottom());
  QStringList lines = {QStringLiteral("%1 s").arg(*m_cursor, 0, 'f', 3)};
  std::vector<QColor> colors = {Qt::black};
  for (const ChartModel::Reading& r : m_chart.ReadAt(*m_cursor)) {
    lines << QString::fromStdString(r.name + ": " + r.text) +
                 (r.hasValue && r.stale ? QStringLiteral(" (stale)") : QString());
    colors.push_back(r.stale ? QColor(0x90, 0x90, 0x90) : QColor(QRgb(r.rgb)));
  }
  const QFontMetrics metrics(painter.font());
  int width = 0;
  for (const QString& line : lines)
    width = std::max(width, metrics.horizontalAdvance(line));
  const int line = metrics.height();
  QRect box(x + 8, m_drawn.front().rect.top() + 4, width + 12,
            line * static_cast<int>(lines.size()) + 8);
  if (box.right() > rect().right()) box.moveRight(x - 8);
  painter.fillRect(box, QColor(255, 255, 255, 230));
  painter.setPen(QColor(0xa0, 0xa0, 0xa0));
  painter.drawRect(box);
  for (int i = 0; i < lines.size(); ++i) {
    painter.setPen(colors[static_cast<std::size_t>(i)]);
    painter.drawText(box.left() + 6, box.top() + 4 + metrics.ascent() + i * line, lines[i]);
  }
}

void QtChartView::wheelEvent(QWheelEvent* event) {
  Zoom(event->position().toPoint(), event->angleDelta().y() / 120.0,
       (event->modifiers() & Qt::ControlModifier) != 0);
  event->accept();
}

void QtChartView::mousePressEvent(QMouseEvent* event) {
  if (event->button() == Qt::LeftButton) m_drag = event->position().toPoint();
}

void QtChartView::mouseMoveEvent(QMouseEvent* event) {
  const QPoint at = event->position().toPoint();
  if (m_drag && (event->buttons() & Qt::LeftButton) != 0) {
    Pan(*m_drag, at - *m_drag, (event->modifiers() & Qt::ControlModifier) != 0);
    m_drag = at;
  }
  SetCursorTime(m_drawn.empty() ? std::nullopt : std::optional<double>(TimeAt(at.x())));
}

void QtChartView::mouseReleaseEvent(QMouseEvent* /*event*/) {
  m_drag.reset();
}

void QtChartView::mouseDoubleClickEvent(QMouseEvent* /*event*/) {
  m_chart.Follow();
  update();
}

void QtChartView::leaveEvent(QEvent* /*event*/) {
  SetCursorTime(std::nullopt);
}

bool QtChartView::WritePng(const std::string& path, std::string& error) {
  QByteArray bytes;
  QBuffer buffer(&bytes);
  buffer.open(QIODevice::WriteOnly);
  if (!grab().save(&buffer, "PNG")) {
    error = "the picture could not be made";
    return false;
  }
  return WriteBytes(
      path, std::string_view(bytes.constData(), static_cast<std::size_t>(bytes.size())), error);
}

bool QtChartView::WriteCsv(const std::string& path, std::string& error) const {
  return WriteBytes(path, m_chart.Csv(), error);
}

}  // namespace ui::qt
