// DbcLinker: the multiplexer tree of one message.
//
// SG_MUL_VAL_ entries name each multiplexed signal's switch and value ranges; they win over the
// "mN" indicator. A signal marked "mN" without an entry is switched by the message's top-level
// switch (the "M" signal that is not itself multiplexed) with the value N. Examples:
//   S0 M, S1 m1, S2 m2                         -> S1 when S0 = 1, S2 when S0 = 2
//   S0 M, S1 m0M, S2 m0 + SG_MUL_VAL_ S2 S1 3-5 -> S1 when S0 = 0; S2 when S1 in 3..5 (and S1 is)
//   S1 m1 without any "M"                       -> error, S1 dropped
#include <algorithm>

#include "host/cananalysis/DbcLinker.h"

namespace XeCanAnalysis {

void DbcLinker::ResolveMultiplexing(DbcMessage& message,
                                    std::vector<const DbcStatements::Mux*>& entries) {
  auto& signals = message.signals;
  const int n = static_cast<int>(signals.size());
  const auto find = [&](const std::string& name) {
    for (int i = 0; i < n; ++i)
      if (signals[static_cast<std::size_t>(i)].name == name) return i;
    return -1;
  };
  std::vector<int> parent(static_cast<std::size_t>(n), -1);
  std::vector<std::vector<DbcMuxRange>> ranges(static_cast<std::size_t>(n));
  std::vector<char> explicitly(static_cast<std::size_t>(n), 0);
  std::vector<char> drop(static_cast<std::size_t>(n), 0);

  for (const auto* e : entries) {
    const int si = find(e->ref.name);
    const int sw = find(e->switchName);
    const auto where = [&](const std::string& text) { Warn(e->ref.line, e->ref.column, text); };
    if (si < 0 || sw < 0) {
      where("SG_MUL_VAL_: message " + message.name + " has no signal " +
            (si < 0 ? e->ref.name : e->switchName) + ", ignored");
      continue;
    }
    auto& sig = signals[static_cast<std::size_t>(si)];
    auto& swi = signals[static_cast<std::size_t>(sw)];
    if (!swi.isSwitch) {
      where("SG_MUL_VAL_: " + swi.name + " is not marked as multiplexer switch (M), taken as one");
      swi.isSwitch = true;
    }
    const auto idx = static_cast<std::size_t>(si);
    if (explicitly[idx] && parent[idx] != sw) {
      where("SG_MUL_VAL_: signal " + sig.name + " already has the switch " +
            signals[static_cast<std::size_t>(parent[idx])].name + ", ignored");
      continue;
    }
    if (sig.muxValue < 0 && !explicitly[idx])
      where("SG_MUL_VAL_: signal " + sig.name + " is not marked mN, taken as multiplexed");
    parent[idx] = sw;
    ranges[idx].insert(ranges[idx].end(), e->ranges.begin(), e->ranges.end());
    explicitly[idx] = 1;
  }

  std::vector<int> roots;
  for (int i = 0; i < n; ++i) {
    const auto& s = signals[static_cast<std::size_t>(i)];
    if (s.isSwitch && s.muxValue < 0 && !explicitly[static_cast<std::size_t>(i)])
      roots.push_back(i);
  }
  bool ambiguityReported = false;
  for (int i = 0; i < n; ++i) {
    const auto idx = static_cast<std::size_t>(i);
    const auto& s = signals[idx];
    if (s.muxValue < 0 || explicitly[idx]) continue;
    if (roots.empty()) {
      Error(s.line, s.column,
            "signal " + s.name + " is multiplexed (m" + std::to_string(s.muxValue) +
                ") but message " + message.name + " has no multiplexer switch (M), signal dropped");
      drop[idx] = 1;
      continue;
    }
    if (roots.size() > 1 && !ambiguityReported) {
      Warn(s.line, s.column,
           "message " + message.name + " has " + std::to_string(roots.size()) +
               " top-level multiplexer switches and no SG_MUL_VAL_ for " + s.name +
               ": mN signals taken as switched by " +
               signals[static_cast<std::size_t>(roots.front())].name);
      ambiguityReported = true;
    }
    parent[idx] = roots.front();
    ranges[idx] = {{s.muxValue, s.muxValue}};
  }

  // A switch that selects itself, directly or through others, selects nothing.
  for (int i = 0; i < n; ++i) {
    int j = parent[static_cast<std::size_t>(i)];
    int steps = 0;
    while (j >= 0 && j != i && steps <= n) {
      j = parent[static_cast<std::size_t>(j)];
      ++steps;
    }
    if (j >= 0) {
      const auto& s = signals[static_cast<std::size_t>(i)];
      Error(s.line, s.column, "signal " + s.name + " is part of a multiplexer cycle, dropped");
      drop[static_cast<std::size_t>(i)] = 1;
    }
  }
  // The decoder keeps the values of at most kMaxDbcSwitches switches per frame on its stack.
  int switches = 0;
  for (int i = 0; i < n; ++i) {
    auto& s = signals[static_cast<std::size_t>(i)];
    if (!s.isSwitch || drop[static_cast<std::size_t>(i)]) continue;
    if (++switches > kMaxDbcSwitches) {
      Error(s.line, s.column,
            "message " + message.name + " has more than " + std::to_string(kMaxDbcSwitches) +
                " multiplexer switches, " + s.name + " dropped");
      drop[static_cast<std::size_t>(i)] = 1;
    }
  }
  // Signals of a dropped switch can never be selected.
  for (bool changed = true; changed;) {
    changed = false;
    for (int i = 0; i < n; ++i) {
      const auto idx = static_cast<std::size_t>(i);
      if (!drop[idx] && parent[idx] >= 0 && drop[static_cast<std::size_t>(parent[idx])]) {
        Error(signals[idx].line, signals[idx].column,
              "signal " + signals[idx].name + " dropped with its multiplexer switch");
        drop[idx] = 1;
        changed = true;
      }
    }
  }

  std::vector<int> newIndex(static_cast<std::size_t>(n), -1);
  std::vector<DbcSignal> kept;
  kept.reserve(signals.size());
  for (int i = 0; i < n; ++i) {
    const auto idx = static_cast<std::size_t>(i);
    if (drop[idx]) continue;
    newIndex[idx] = static_cast<int>(kept.size());
    kept.push_back(std::move(signals[idx]));
  }
  for (int i = 0; i < n; ++i) {
    const auto idx = static_cast<std::size_t>(i);
    if (drop[idx]) continue;
    DbcSignal& s = kept[static_cast<std::size_t>(newIndex[idx])];
    s.muxParent = parent[idx] >= 0 ? newIndex[static_cast<std::size_t>(parent[idx])] : -1;
    s.muxRanges = std::move(ranges[idx]);
    std::sort(s.muxRanges.begin(), s.muxRanges.end(),
              [](const DbcMuxRange& a, const DbcMuxRange& b) { return a.low < b.low; });
  }
  signals = std::move(kept);
}

}  // namespace XeCanAnalysis
