#pragma once
// Pictures of decoded signals without a display (no Qt types here: canhost's commands call it).
// Without a Qt application in the process, one on the offscreen platform is made for the drawing,
// so the plain commands never open a connection to a window system.
#include <cstdint>
#include <string>
#include <vector>

#include "host/ui/SignalSnapshot.h"

namespace ui::qt {

class QtPlotImage {
 public:
  static constexpr int kDefaultWidth = 1600;
  static constexpr int kDefaultHeight = 900;

  // Where a panel's curves are drawn, for a check of the picture.
  struct PanelBox {
    int x, y, width, height;         // the plotting area, pixels
    std::vector<std::uint32_t> rgb;  // colours of its curves, 0xRRGGBB
  };

  // [ui] The picture of `series` over their whole time span, as PNG bytes; empty when Qt cannot
  // encode it. Sizes from 200x150 to 10000x10000.
  static std::string RenderPng(const std::vector<PlotSeries>& series, int width, int height);
  // [ui] The panels RenderPng draws for the same arguments.
  static std::vector<PanelBox> Panels(const std::vector<PlotSeries>& series, int width, int height);
};

}  // namespace ui::qt
