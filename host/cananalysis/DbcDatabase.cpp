#include "host/cananalysis/DbcDatabase.h"

#include <algorithm>

namespace XeCanAnalysis {

std::string FormatDbcDiagnostic(std::string_view file, const DbcDiagnostic& diagnostic) {
  std::string out(file);
  out += ':' + std::to_string(diagnostic.line) + ':' + std::to_string(diagnostic.column) + ": ";
  out += diagnostic.severity == DbcSeverity::Error ? "error: " : "warning: ";
  out += diagnostic.text;
  return out;
}

const DbcMessage* DbcDatabase::FindMessage(std::uint32_t canId) const noexcept {
  const auto it = messageIndex.find(NormaliseFlaggedId(canId));
  return it == messageIndex.end() ? nullptr : &messages[it->second];
}

std::pair<std::uint32_t, std::uint32_t> DbcDatabase::Locate(
    std::uint32_t flatSignal) const noexcept {
  // messages are ordered by firstSignal; find the last one starting at or before flatSignal
  auto it = std::upper_bound(
      messages.begin(), messages.end(), flatSignal,
      [](std::uint32_t index, const DbcMessage& m) { return index < m.firstSignal; });
  if (it == messages.begin()) return {0, 0};
  --it;
  return {static_cast<std::uint32_t>(it - messages.begin()), flatSignal - it->firstSignal};
}

const DbcAttrValue* DbcDatabase::SignalAttribute(const DbcSignal& signal,
                                                 std::string_view name) const noexcept {
  for (const auto& a : signal.attributes)
    if (a.name == name) return &a.value;
  for (const auto& d : attributeDefs)
    if (d.name == name && d.kind == DbcObjectKind::Signal && d.hasDefault) return &d.defaultValue;
  return nullptr;
}

std::size_t DbcDatabase::ErrorCount() const noexcept {
  return unlistedErrors + static_cast<std::size_t>(std::count_if(
                              diagnostics.begin(), diagnostics.end(), [](const DbcDiagnostic& d) {
                                return d.severity == DbcSeverity::Error;
                              }));
}

void DbcDatabase::AddDiagnostic(DbcDiagnostic diagnostic) {
  if (diagnostics.size() < kKeptWhileReading)
    diagnostics.push_back(std::move(diagnostic));
  else
    ++(diagnostic.severity == DbcSeverity::Error ? unlistedErrors : unlistedWarnings);
}

std::size_t DbcDatabase::WarningCount() const noexcept {
  return diagnostics.size() + Unlisted() - ErrorCount();
}

}  // namespace XeCanAnalysis
