#pragma once
// The key=value options of one line of the driver configuration, and the readers of their values.
//
// Values (text -> result):
//   duration "10ms" -> 10'000'000 ns, "250us" -> 250'000 ns, "2s" -> 2'000'000'000 ns,
//            "15" -> 15'000'000 ns (milliseconds without a unit), "1.5ms" -> error
//   drift    "25" -> 25'000 ppb, "-12.5" -> -12'500 ppb, "0.001" -> 1 ppb, "1001" -> error (±1000)
//   integer  "-4000" -> -4000, "0x10" -> error
#include <cstdint>
#include <initializer_list>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace XeCanDriverKvaser::detail {

class ConfigOptions {
 public:
  // [ui] Adds a "key=value" token; false (with the reason) for a token without '=' or a key given
  // twice.
  bool Add(std::string_view token, std::string& error);
  // [any] The value of a key; null when absent.
  const std::string* Find(std::string_view key) const noexcept;
  // [any] "" when every key is one of `known`, else the reason naming the first other key.
  std::string CheckKnown(std::initializer_list<std::string_view> known) const;

  // [any] The value forms above; false for text of another form.
  static bool ParseDurationNs(std::string_view text, std::int64_t& ns);
  static bool ParseDriftPpb(std::string_view text, std::int64_t& ppb);
  static bool ParseInteger(std::string_view text, std::int64_t& value);

 private:
  std::vector<std::pair<std::string, std::string>> m_items;
};

}  // namespace XeCanDriverKvaser::detail
