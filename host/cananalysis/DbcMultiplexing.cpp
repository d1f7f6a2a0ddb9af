// DbcLinker: the multiplexer tree of one message.
//
// SG_MUL_VAL_ entries name each multiplexed signal's switch and value ranges; they win over the
// "mN" indicator. A signal marked "mN" without an entry is switched by the message's top-level
// switch (the "M" signal that is not itself multiplexed) with the value N. Examples:
//   S0 M, S1 m1, S2 m2                         -> S1 when S0 = 1, S2 when S0 = 2
//   S0 M, S1 m0M, S2 m0 + SG_MUL_VAL_ S2 S1 3-5 -> S1 when S0 = 0; S2 when S1 in 3..5 (and S1 is)
//   S1 m1 without any "M"                       -> error, S1 dropped
#include <algorithm>
#include <functional>
#include <string>
#include <utility>
#include <vector>

#include "host/cananalysis/DbcLinker.h"

namespace XeCanAnalysis {
namespace {

using Report = std::function<void(int line, int column, std::string text)>;

// The multiplexer tree of one message while it is built: each signal's switch (parent), the
// values that select it, and whether it is dropped. The steps run in the order of their
// declaration; Compact writes the result back into the message.
class MuxTree {
 public:
  MuxTree(DbcMessage& message, Report warn, Report error)
      : m_message(message),
        m_signals(message.signals),
        m_n(static_cast<int>(message.signals.size())),
        m_parent(message.signals.size(), -1),
        m_ranges(message.signals.size()),
        m_explicitly(message.signals.size(), 0),
        m_drop(message.signals.size(), 0),
        m_warn(std::move(warn)),
        m_error(std::move(error)) {}

  void ApplyEntries(const std::vector<const DbcStatements::Mux*>& entries);
  void ApplyIndicators();
  void DropCycles();
  void LimitSwitches();
  void DropOrphans();
  void Compact();

 private:
  int Find(const std::string& name) const {
    for (int i = 0; i < m_n; ++i)
      if (m_signals[static_cast<std::size_t>(i)].name == name) return i;
    return -1;
  }
  void Apply(const DbcStatements::Mux& e);

  DbcMessage& m_message;
  std::vector<DbcSignal>& m_signals;
  const int m_n;
  std::vector<int> m_parent;
  std::vector<std::vector<DbcMuxRange>> m_ranges;
  std::vector<char> m_explicitly;  // by an SG_MUL_VAL_ entry
  std::vector<char> m_drop;
  Report m_warn;
  Report m_error;
};

void MuxTree::ApplyEntries(const std::vector<const DbcStatements::Mux*>& entries) {
  for (const auto* e : entries)
    Apply(*e);
}

void MuxTree::Apply(const DbcStatements::Mux& e) {
  const int si = Find(e.ref.name);
  const int sw = Find(e.switchName);
  const auto where = [&](const std::string& text) { m_warn(e.ref.line, e.ref.column, text); };
  if (si < 0 || sw < 0) {
    where("SG_MUL_VAL_: message " + m_message.name + " has no signal " +
          (si < 0 ? e.ref.name : e.switchName) + ", ignored");
    return;
  }
  auto& sig = m_signals[static_cast<std::size_t>(si)];
  auto& swi = m_signals[static_cast<std::size_t>(sw)];
  if (!swi.isSwitch) {
    where("SG_MUL_VAL_: " + swi.name + " is not marked as multiplexer switch (M), taken as one");
    swi.isSwitch = true;
  }
  const auto idx = static_cast<std::size_t>(si);
  if (m_explicitly[idx] && m_parent[idx] != sw) {
    where("SG_MUL_VAL_: signal " + sig.name + " already has the switch " +
          m_signals[static_cast<std::size_t>(m_parent[idx])].name + ", ignored");
    return;
  }
  if (sig.muxValue < 0 && !m_explicitly[idx])
    where("SG_MUL_VAL_: signal " + sig.name + " is not marked mN, taken as multiplexed");
  m_parent[idx] = sw;
  m_ranges[idx].insert(m_ranges[idx].end(), e.ranges.begin(), e.ranges.end());
  m_explicitly[idx] = 1;
}

// "mN" without an entry: switched by the top-level switch with the value N.
void MuxTree::ApplyIndicators() {
  std::vector<int> roots;
  for (int i = 0; i < m_n; ++i) {
    const auto& s = m_signals[static_cast<std::size_t>(i)];
    if (s.isSwitch && s.muxValue < 0 && !m_explicitly[static_cast<std::size_t>(i)])
      roots.push_back(i);
  }
  bool ambiguityReported = false;
  for (int i = 0; i < m_n; ++i) {
    const auto idx = static_cast<std::size_t>(i);
    const auto& s = m_signals[idx];
    if (s.muxValue < 0 || m_explicitly[idx]) continue;
    if (roots.empty()) {
      m_error(s.line, s.column,
              "signal " + s.name + " is multiplexed (m" + std::to_string(s.muxValue) +
                  ") but message " + m_message.name +
                  " has no multiplexer switch (M), signal dropped");
      m_drop[idx] = 1;
      continue;
    }
    if (roots.size() > 1 && !ambiguityReported) {
      m_warn(s.line, s.column,
             "message " + m_message.name + " has " + std::to_string(roots.size()) +
                 " top-level multiplexer switches and no SG_MUL_VAL_ for " + s.name +
                 ": mN signals taken as switched by " +
                 m_signals[static_cast<std::size_t>(roots.front())].name);
      ambiguityReported = true;
    }
    m_parent[idx] = roots.front();
    m_ranges[idx] = {{s.muxValue, s.muxValue}};
  }
}

// A switch that selects itself, directly or through others, selects nothing.
void MuxTree::DropCycles() {
  for (int i = 0; i < m_n; ++i) {
    int j = m_parent[static_cast<std::size_t>(i)];
    int steps = 0;
    while (j >= 0 && j != i && steps <= m_n) {
      j = m_parent[static_cast<std::size_t>(j)];
      ++steps;
    }
    if (j >= 0) {
      const auto& s = m_signals[static_cast<std::size_t>(i)];
      m_error(s.line, s.column, "signal " + s.name + " is part of a multiplexer cycle, dropped");
      m_drop[static_cast<std::size_t>(i)] = 1;
    }
  }
}

// The decoder keeps the values of at most kMaxDbcSwitches switches per frame on its stack.
void MuxTree::LimitSwitches() {
  int switches = 0;
  for (int i = 0; i < m_n; ++i) {
    auto& s = m_signals[static_cast<std::size_t>(i)];
    if (!s.isSwitch || m_drop[static_cast<std::size_t>(i)]) continue;
    if (++switches > kMaxDbcSwitches) {
      m_error(s.line, s.column,
              "message " + m_message.name + " has more than " + std::to_string(kMaxDbcSwitches) +
                  " multiplexer switches, " + s.name + " dropped");
      m_drop[static_cast<std::size_t>(i)] = 1;
    }
  }
}

// Signals of a dropped switch can never be selected.
void MuxTree::DropOrphans() {
  for (bool changed = true; changed;) {
    changed = false;
    for (int i = 0; i < m_n; ++i) {
      const auto idx = static_cast<std::size_t>(i);
      if (!m_drop[idx] && m_parent[idx] >= 0 && m_drop[static_cast<std::size_t>(m_parent[idx])]) {
        m_error(m_signals[idx].line, m_signals[idx].column,
                "signal " + m_signals[idx].name + " dropped with its multiplexer switch");
        m_drop[idx] = 1;
        changed = true;
      }
    }
  }
}

void MuxTree::Compact() {
  std::vector<int> newIndex(static_cast<std::size_t>(m_n), -1);
  std::vector<DbcSignal> kept;
  kept.reserve(m_signals.size());
  for (int i = 0; i < m_n; ++i) {
    const auto idx = static_cast<std::size_t>(i);
    if (m_drop[idx]) continue;
    newIndex[idx] = static_cast<int>(kept.size());
    kept.push_back(std::move(m_signals[idx]));
  }
  for (int i = 0; i < m_n; ++i) {
    const auto idx = static_cast<std::size_t>(i);
    if (m_drop[idx]) continue;
    DbcSignal& s = kept[static_cast<std::size_t>(newIndex[idx])];
    s.muxParent = m_parent[idx] >= 0 ? newIndex[static_cast<std::size_t>(m_parent[idx])] : -1;
    s.muxRanges = std::move(m_ranges[idx]);
    std::sort(s.muxRanges.begin(), s.muxRanges.end(),
              [](const DbcMuxRange& a, const DbcMuxRange& b) { return a.low < b.low; });
  }
  m_signals = std::move(kept);
}

}  // namespace

void DbcLinker::ResolveMultiplexing(DbcMessage& message,
                                    std::vector<const DbcStatements::Mux*>& entries) {
  MuxTree tree(
      message,
      [this](int line, int column, std::string text) { Warn(line, column, std::move(text)); },
      [this](int line, int column, std::string text) { Error(line, column, std::move(text)); });
  tree.ApplyEntries(entries);
  tree.ApplyIndicators();
  tree.DropCycles();
  tree.LimitSwitches();
  tree.DropOrphans();
  tree.Compact();
}

}  // namespace XeCanAnalysis
