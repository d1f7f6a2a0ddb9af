#include "dialogs/RangeTable.h"

#include <algorithm>
#include <list>

namespace can {

namespace {

using Rows = std::list<IdRange>;

// Uncovered ends: an inactive end range gets an active neighbour, then the ends reach 0 and max.
void CoverEnds(Rows& rows) {
  if (rows.front().start > 0 && !rows.front().active)
    rows.push_front({0, rows.front().start - 1, true});
  rows.front().start = 0;
  if (rows.back().stop < kMaxCanId && !rows.back().active)
    rows.push_back({rows.back().stop + 1, kMaxCanId, true});
  rows.back().stop = kMaxCanId;
}

// A range that starts inside the one before it goes, however far it reaches.
void DropOverlaps(Rows& rows) {
  auto current = rows.begin();
  for (auto next = std::next(current); next != rows.end();) {
    if (next->start <= current->stop)
      next = rows.erase(next);
    else
      current = next++;
  }
}

void FillGaps(Rows& rows) {
  auto prev = rows.begin();
  for (auto next = std::next(prev); next != rows.end();) {
    if (prev->stop + 1 >= next->start) {
      prev = next++;
    } else if (!prev->active && !next->active) {
      prev = rows.insert(next, {prev->stop + 1, next->start - 1, true});
    } else if (prev->active && !next->active) {
      prev->stop = next->start - 1;
      prev = next++;
    } else if (!prev->active) {
      next->start = prev->stop + 1;
      prev = next++;
    } else {
      prev->stop = next->stop;
      next = rows.erase(next);
    }
  }
}

void MergeEqualNeighbours(Rows& rows) {
  auto current = rows.begin();
  for (auto next = std::next(current); next != rows.end();) {
    if (next->active == current->active) {
      current->stop = next->stop;
      next = rows.erase(next);
    } else {
      current = next++;
    }
  }
}

}  // namespace

IdRangeList NormaliseRanges(IdRangeList table) {
  if (table.empty()) return {{0, kMaxCanId, true}};
  Rows rows(table.begin(), table.end());
  for (IdRange& r : rows) {
    r.start = std::clamp(r.start, 0, kMaxCanId);
    r.stop = std::clamp(r.stop, 0, kMaxCanId);
    if (r.start > r.stop) std::swap(r.start, r.stop);
  }
  rows.sort([](const IdRange& a, const IdRange& b) {
    return a.start != b.start ? a.start < b.start : a.stop < b.stop;
  });
  CoverEnds(rows);
  DropOverlaps(rows);
  // The last range may have gone as an overlap, leaving the top of the ID space uncovered.
  CoverEnds(rows);
  FillGaps(rows);
  MergeEqualNeighbours(rows);
  return {rows.begin(), rows.end()};
}

}  // namespace can
