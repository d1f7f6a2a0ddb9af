#include "host/ui/qt/QtPlotImage.h"

#include <QBuffer>
#include <QGuiApplication>
#include <QImage>
#include <algorithm>
#include <cstdio>
#include <memory>

#include "host/ui/qt/QtPlotPainter.h"

namespace ui::qt {

namespace {

// Text scales with the picture: 16 px at the default 900 lines.
int FontPixels(int height) {
  return std::clamp(height / 56, 10, 40);
}

std::vector<const PlotSeries*> Pointers(const std::vector<PlotSeries>& series) {
  std::vector<const PlotSeries*> out;
  out.reserve(series.size());
  for (const PlotSeries& s : series)
    out.push_back(&s);
  return out;
}

// The whole time span of the series; a single instant gets a second after it.
std::pair<double, double> Span(const std::vector<PlotSeries>& series) {
  double t0 = 0.0;
  double t1 = 0.0;
  bool any = false;
  for (const PlotSeries& s : series) {
    if (s.points.empty()) continue;
    t0 = any ? std::min(t0, s.points.front().time) : s.points.front().time;
    t1 = any ? std::max(t1, s.points.back().time) : s.points.back().time;
    any = true;
  }
  // Times are seconds from the start of a measurement: the axis starts there.
  t0 = std::min(t0, 0.0);
  return {t0, t1 > t0 ? t1 : t0 + 1.0};
}

QtPlotPainter Painter(const std::vector<const PlotSeries*>& pointers,
                      const std::vector<PlotSeries>& series, int width, int height) {
  const auto [t0, t1] = Span(series);
  return QtPlotPainter(pointers, QRect(0, 0, width, height), t0, t1, t1, FontPixels(height));
}

// A Qt application for the drawing when the process has none: fonts need one.
class OffscreenApp {
 public:
  OffscreenApp() {
    if (QCoreApplication::instance() != nullptr) return;
    qputenv("QT_QPA_PLATFORM", "offscreen");
    // The platform's notes on a desktop session it does not need (no XDG_RUNTIME_DIR, ...) are
    // no concern of a picture: only critical messages pass while it lives.
    m_previous = qInstallMessageHandler(&OffscreenApp::Filter);
    m_app = std::make_unique<QGuiApplication>(m_argc, m_argv);
  }
  ~OffscreenApp() {
    if (!m_app) return;
    m_app.reset();
    qInstallMessageHandler(m_previous);
  }
  OffscreenApp(const OffscreenApp&) = delete;
  OffscreenApp& operator=(const OffscreenApp&) = delete;

 private:
  static void Filter(QtMsgType type, const QMessageLogContext& /*context*/, const QString& text) {
    if (type == QtCriticalMsg || type == QtFatalMsg) std::fprintf(stderr, "%s\n", qPrintable(text));
  }

  int m_argc = 1;
  char m_name[8] = "canhost";
  char* m_argv[2] = {m_name, nullptr};
  QtMessageHandler m_previous = nullptr;
  std::unique_ptr<QGuiApplication> m_app;
};

}  // namespace

std::string QtPlotImage::RenderPng(const std::vector<PlotSeries>& series, int width, int height) {
  const OffscreenApp app;
  QImage image(width, height, QImage::Format_RGB32);
  image.fill(Qt::white);
  {
    const std::vector<const PlotSeries*> pointers = Pointers(series);
    QPainter painter(&image);
    painter.setRenderHint(QPainter::TextAntialiasing, true);
    Painter(pointers, series, width, height).Paint(painter);
  }
  QByteArray bytes;
  QBuffer buffer(&bytes);
  buffer.open(QIODevice::WriteOnly);
  if (!image.save(&buffer, "PNG")) return {};
  return std::string(bytes.constData(), static_cast<std::size_t>(bytes.size()));
}

std::vector<QtPlotImage::PanelBox> QtPlotImage::Panels(const std::vector<PlotSeries>& series,
                                                       int width, int height) {
  const std::vector<const PlotSeries*> pointers = Pointers(series);
  const QtPlotPainter painter = Painter(pointers, series, width, height);
  std::vector<PanelBox> out;
  for (const auto& panel : painter.panels()) {
    PanelBox box{panel.rect.x(), panel.rect.y(), panel.rect.width(), panel.rect.height(), {}};
    for (const std::size_t i : panel.curves)
      box.rgb.push_back(QtPlotPainter::CurveColor(i).rgb() & 0xffffffu);
    out.push_back(std::move(box));
  }
  return out;
}

}  // namespace ui::qt
