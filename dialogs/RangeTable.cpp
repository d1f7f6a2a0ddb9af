#include "dialogs/RangeTable.h"

#include <algorithm>
#include <cwctype>
#include <limits>

namespace can {

namespace {

int& Start(IdRange& r) {
  return std::get<0>(r);
}
int& Stop(IdRange& r) {
  return std::get<1>(r);
}
bool Active(const IdRange& r) {
  return std::get<2>(r);
}

// Uncovered ends: an inactive end range gets an active neighbour, then the ends reach 0 and max.
void CoverEnds(IdRangeList& rows) {
  if (Start(rows.front()) > 0 && !Active(rows.front()))
    rows.push_front({0, Start(rows.front()) - 1, true});
  Start(rows.front()) = 0;
  if (Stop(rows.back()) < kMaxCanId && !Active(rows.back()))
    rows.push_back({Stop(rows.back()) + 1, kMaxCanId, true});
  Stop(rows.back()) = kMaxCanId;
}

// A range that starts inside the one before it goes, however far it reaches.
void DropOverlaps(IdRangeList& rows) {
  auto current = rows.begin();
  for (auto next = std::next(current); next != rows.end();) {
    if (Start(*next) <= Stop(*current))
      next = rows.erase(next);
    else
      current = next++;
  }
}

void FillGaps(IdRangeList& rows) {
  auto prev = rows.begin();
  for (auto next = std::next(prev); next != rows.end();) {
    if (Stop(*prev) + 1 >= Start(*next)) {
      prev = next++;
    } else if (!Active(*prev) && !Active(*next)) {
      prev = rows.insert(next, {Stop(*prev) + 1, Start(*next) - 1, true});
    } else if (Active(*prev) && !Active(*next)) {
      Stop(*prev) = Start(*next) - 1;
      prev = next++;
    } else if (!Active(*prev)) {
      Start(*next) = Stop(*prev) + 1;
      prev = next++;
    } else {
      Stop(*prev) = Stop(*next);
      next = rows.erase(next);
    }
  }
}

void MergeEqualNeighbours(IdRangeList& rows) {
  auto current = rows.begin();
  for (auto next = std::next(current); next != rows.end();) {
    if (Active(*next) == Active(*current)) {
      Stop(*current) = Stop(*next);
      next = rows.erase(next);
    } else {
      current = next++;
    }
  }
}

}  // namespace

IdRangeList NormaliseRanges(IdRangeList rows) {
  if (rows.empty()) return {{0, kMaxCanId, true}};
  for (IdRange& r : rows) {
    Start(r) = std::clamp(Start(r), 0, kMaxCanId);
    Stop(r) = std::clamp(Stop(r), 0, kMaxCanId);
    if (Start(r) > Stop(r)) std::swap(Start(r), Stop(r));
  }
  rows.sort([](const IdRange& a, const IdRange& b) {
    return std::get<0>(a) != std::get<0>(b) ? std::get<0>(a) < std::get<0>(b)
                                            : std::get<1>(a) < std::get<1>(b);
  });
  CoverEnds(rows);
  DropOverlaps(rows);
  // The last range may have gone as an overlap, leaving the top of the ID space uncovered.
  CoverEnds(rows);
  FillGaps(rows);
  MergeEqualNeighbours(rows);
  return rows;
}

std::optional<int> CellToInt(const CString& text, std::string& error) {
  const std::wstring& s = text.str();
  std::size_t i = 0;
  while (i < s.size() && std::iswspace(static_cast<wint_t>(s[i])))
    ++i;
  bool negative = false;
  if (i < s.size() && (s[i] == L'+' || s[i] == L'-')) negative = s[i++] == L'-';
  if (i == s.size() || s[i] < L'0' || s[i] > L'9') {
    error = "invalid stoi argument";
    return std::nullopt;
  }
  long long value = 0;
  for (; i < s.size() && s[i] >= L'0' && s[i] <= L'9'; ++i) {
    value = value * 10 + (s[i] - L'0');
    if (value > static_cast<long long>(std::numeric_limits<int>::max()) + 1) break;
  }
  if (negative) value = -value;
  if (value < std::numeric_limits<int>::min() || value > std::numeric_limits<int>::max()) {
    error = "stoi argument out of range";
    return std::nullopt;
  }
  return static_cast<int>(value);
}

}  // namespace can
