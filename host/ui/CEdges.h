#pragma once
// Edge flags of a dialog's layout children: which edges of the window a control follows when the
// window is resized. A control that follows both edges of an axis stretches with the window; one
// that follows only the far edge moves with it; one that follows only the near edge (or none)
// stays. The split flags share the vertical growth between two stacked controls: the upper one
// takes the first half, the lower one moves by that half and takes the rest.
//   LEFT | TOP                  fixed in the top left corner
//   RIGHT | BOTTOM              moves with the bottom right corner (OK, Cancel, Apply)
//   LEFT | BOTTOM               keeps its distance to the bottom, stays left (Add, Remove)
//   TOP_LEFT_BOTTOM_RIGHT()     stretches both ways (a table filling the window)
//   SPLIT_UPPER | LEFT | RIGHT  upper of two stacked tables: stretches, grows by half
class CEdges {
 public:
  static constexpr unsigned LEFT = 1;
  static constexpr unsigned RIGHT = 2;
  static constexpr unsigned TOP = 4;
  static constexpr unsigned BOTTOM = 8;
  static constexpr unsigned SPLIT_UPPER = 64;
  static constexpr unsigned SPLIT_LOWER = 128;
  static constexpr unsigned TOP_LEFT_BOTTOM_RIGHT() { return LEFT | TOP | RIGHT | BOTTOM; }
};
