#include "host/ui/MessageListModel.h"

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <utility>

namespace ui {

namespace {

std::uint64_t KeyOf(const MessageStat& s) noexcept {
  return static_cast<std::uint64_t>(static_cast<std::uint8_t>(s.channel)) << 32 | s.id;
}

std::string Upper(std::string text) {
  for (char& c : text)
    c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  return text;
}

template <class T>
int Compare(const T& a, const T& b) {
  return a < b ? -1 : (b < a ? 1 : 0);
}

std::string Printed(const char* format, double value) {
  char text[48];
  std::snprintf(text, sizeof text, format, value);
  return text;
}

}  // namespace

const char* MessageListModel::Title(Column column) {
  static constexpr const char* kTitles[kColumnCount] = {
      "Ch", "Identifier", "Message", "Count", "Rate (1/s)", "Len", "Data", "Since last (s)"};
  return kTitles[column];
}

std::string MessageListModel::IdText(std::uint32_t id) {
  char text[24];
  if ((id & kExtendedIdFlag) != 0)
    std::snprintf(text, sizeof text, "%08X x", static_cast<unsigned>(id & ~kExtendedIdFlag));
  else
    std::snprintf(text, sizeof text, "%03X", static_cast<unsigned>(id));
  return text;
}

std::string MessageListModel::DataText(const MessageStat& stat) {
  static constexpr char kHex[] = "0123456789ABCDEF";
  std::string text;
  text.reserve(static_cast<std::size_t>(stat.length) * 3);
  for (int i = 0; i < stat.length; ++i) {
    const std::uint8_t b = stat.data[static_cast<std::size_t>(i)];
    if (i > 0) text += ' ';
    text += kHex[b >> 4];
    text += kHex[b & 15];
  }
  return text;
}

void MessageListModel::SetNamer(Namer namer) {
  m_namer = std::move(namer);
  m_names.clear();
  Arrange();
}

bool MessageListModel::Update(MessageSnapshotPtr snapshot) {
  m_snapshot = std::move(snapshot);
  return Arrange();
}

bool MessageListModel::SetFilter(const std::string& text) {
  m_filter = Upper(text);
  return Arrange();
}

bool MessageListModel::SetSort(Column column, bool ascending) {
  m_sortColumn = column;
  m_ascending = ascending;
  return Arrange();
}

const std::string& MessageListModel::NameOf(const MessageStat& stat) const {
  const auto [it, inserted] = m_names.try_emplace(KeyOf(stat));
  if (inserted && m_namer) it->second = m_namer(stat.channel, stat.id);
  return it->second;
}

const std::string& MessageListModel::Name(std::size_t row) const {
  return NameOf(Row(row));
}

bool MessageListModel::Matches(const MessageStat& stat) const {
  if (m_filter.empty()) return true;
  return IdText(stat.id).find(m_filter) != std::string::npos ||
         Upper(NameOf(stat)).find(m_filter) != std::string::npos;
}

bool MessageListModel::Less(const MessageStat& a, const MessageStat& b) const {
  int order = 0;
  switch (m_sortColumn) {
    case kChannel:
      order = Compare(a.channel, b.channel);
      break;
    case kId:
      order = Compare(a.id, b.id);
      break;
    case kName:
      order = Compare(NameOf(a), NameOf(b));
      break;
    case kCount:
      order = Compare(a.count, b.count);
      break;
    case kRate:
      order = Compare(a.rate, b.rate);
      break;
    case kLength:
      order = Compare(a.length, b.length);
      break;
    case kData: {
      const auto c = std::lexicographical_compare_three_way(
          a.data.begin(), a.data.begin() + a.length, b.data.begin(), b.data.begin() + b.length);
      order = c < 0 ? -1 : (c > 0 ? 1 : 0);
      break;
    }
    // The most recent first when ascending: the smallest time since.
    case kSinceLast:
      order = Compare(b.last, a.last);
      break;
    default:
      break;
  }
  if (order != 0) return m_ascending ? order < 0 : order > 0;
  return KeyOf(a) < KeyOf(b);
}

bool MessageListModel::Arrange() {
  std::vector<std::size_t> order;
  if (m_snapshot) {
    order.reserve(m_snapshot->rows.size());
    for (std::size_t i = 0; i < m_snapshot->rows.size(); ++i)
      if (Matches(m_snapshot->rows[i])) order.push_back(i);
    const auto& rows = m_snapshot->rows;
    std::stable_sort(order.begin(), order.end(),
                     [&](std::size_t a, std::size_t b) { return Less(rows[a], rows[b]); });
  }
  std::vector<std::uint64_t> keys;
  keys.reserve(order.size());
  for (std::size_t i : order)
    keys.push_back(KeyOf(m_snapshot->rows[i]));
  m_order = std::move(order);
  const bool changed = keys != m_keys;
  m_keys = std::move(keys);
  return changed;
}

std::string MessageListModel::Text(std::size_t row, Column column) const {
  const MessageStat& s = Row(row);
  switch (column) {
    case kChannel:
      return std::to_string(s.channel);
    case kId:
      return IdText(s.id);
    case kName:
      return NameOf(s);
    case kCount:
      return std::to_string(s.count);
    case kRate:
      return Printed("%.1f", s.rate);
    case kLength:
      return std::to_string(s.length);
    case kData:
      return DataText(s);
    case kSinceLast:
      return Printed("%.3f", std::max(0.0, Seconds() - s.last));
    default:
      return {};
  }
}

double MessageListModel::Highlight(std::size_t row, int byte) const {
  const MessageStat& s = Row(row);
  if (byte < 0 || byte >= s.length) return 0.0;
  const double age = Seconds() - static_cast<double>(s.changed[static_cast<std::size_t>(byte)]);
  return std::clamp(1.0 - age / kFadeSeconds, 0.0, 1.0);
}

std::optional<std::size_t> MessageListModel::Find(int channel, std::uint32_t id) const {
  const std::uint64_t key =
      static_cast<std::uint64_t>(static_cast<std::uint8_t>(channel)) << 32 | id;
  const auto it = std::find(m_keys.begin(), m_keys.end(), key);
  if (it == m_keys.end()) return std::nullopt;
  return static_cast<std::size_t>(it - m_keys.begin());
}

}  // namespace ui
