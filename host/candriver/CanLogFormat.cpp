#include "host/candriver/CanLogFormat.h"

#include <charconv>

#include "host/candriver/LogText.h"

namespace XeCanDriverKvaser {
namespace {

constexpr std::uint32_t kMaxChannel = 65535;  // BLF holds 16 bits

// The number at the end of `name` (digits only, at most five); nullopt when there is none.
std::optional<std::uint32_t> TrailingNumber(std::string_view name) noexcept {
  std::size_t first = name.size();
  while (first > 0 && name[first - 1] >= '0' && name[first - 1] <= '9')
    --first;
  const std::string_view digits = name.substr(first);
  std::uint32_t value = 0;
  if (digits.empty() || digits.size() > 5 || !logtext::ParseNumber(digits, 10, value))
    return std::nullopt;
  return value;
}

}  // namespace

std::string_view FormatName(CanLogFormat format) noexcept {
  switch (format) {
    case CanLogFormat::Candump:
      return "candump";
    case CanLogFormat::Asc:
      return "ASC";
    case CanLogFormat::Blf:
      return "BLF";
    case CanLogFormat::Trc:
      return "TRC";
  }
  return "candump";
}

std::optional<CanLogFormat> FormatOfName(const std::filesystem::path& file) {
  const std::string extension = file.extension().string();
  using logtext::EqualsNoCase;
  if (EqualsNoCase(extension, ".log")) return CanLogFormat::Candump;
  if (EqualsNoCase(extension, ".asc")) return CanLogFormat::Asc;
  if (EqualsNoCase(extension, ".blf")) return CanLogFormat::Blf;
  if (EqualsNoCase(extension, ".trc")) return CanLogFormat::Trc;
  return std::nullopt;
}

CanLogFormat FormatOfContent(const std::filesystem::path& file, std::string_view head) noexcept {
  if (head.starts_with("LOGG")) return CanLogFormat::Blf;
  std::optional<CanLogFormat> named;
  try {
    named = FormatOfName(file);
  } catch (...) {  // a name that does not convert: judged by its content alone
  }
  if (named == CanLogFormat::Blf || named == CanLogFormat::Trc) return *named;
  if (head.starts_with("\xEF\xBB\xBF")) head.remove_prefix(3);  // a byte order mark
  const std::size_t first = head.find_first_not_of(" \t\r\n");
  if (first != std::string_view::npos && head[first] == ';') return CanLogFormat::Trc;
  return CanLogFormat::Candump;
}

std::uint32_t ChannelNumber(std::string_view name) noexcept {
  const std::optional<std::uint32_t> number = TrailingNumber(name);
  if (!number) return 1;
  // A bare number is the channel itself; an interface's number counts from 0.
  const std::uint32_t channel = logtext::AllDigits(name) ? *number : *number + 1;
  return channel <= kMaxChannel ? channel : 1;
}

std::string_view CandumpInterface(std::string_view name,
                                  std::span<char, kInterfaceCapacity> buffer) noexcept {
  std::uint32_t number = 0;
  if (!logtext::AllDigits(name) || name.size() > 5 || !logtext::ParseNumber(name, 10, number) ||
      number == 0)
    return name;
  buffer[0] = 'c';
  buffer[1] = 'a';
  buffer[2] = 'n';
  const char* end = std::to_chars(buffer.data() + 3, buffer.data() + buffer.size(), number - 1).ptr;
  return {buffer.data(), static_cast<std::size_t>(end - buffer.data())};
}

}  // namespace XeCanDriverKvaser
