#include "bench/GeneratedLog.h"

#include <array>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <string_view>
#include <system_error>
#include <vector>

#include "host/cananalysis/DbcParser.h"
#include "host/candriver/CanMessage.h"
#include "host/candriver/CandumpFormat.h"

namespace bench {
namespace {

std::uint64_t Next(std::uint64_t& x) noexcept {
  x ^= x >> 12;
  x ^= x << 25;
  x ^= x >> 27;
  return x * 0x2545F4914F6CDD1DULL;
}

// The CAN FD length a DBC length fits in.
int FdLength(int length) noexcept {
  constexpr std::array<int, 8> kLengths = {8, 12, 16, 20, 24, 32, 48, 64};
  for (const int l : kLengths)
    if (length <= l) return l;
  return 64;
}

std::string_view Value(std::string_view arg, std::string_view name) {
  return arg.substr(0, name.size()) == name ? arg.substr(name.size()) : std::string_view{};
}

}  // namespace

bool WriteDbcLog(const XeCanAnalysis::DbcDatabase& db, const std::string& path,
                 std::uint64_t messages, std::int64_t spacingNs, std::string& error) {
  using namespace XeCanDriverKvaser;
  if (db.messages.empty()) {
    error = "the DBC file has no message";
    return false;
  }
  std::FILE* out = std::fopen(path.c_str(), "wb");
  if (out == nullptr) {
    error = path + ": " + std::system_category().message(errno);
    return false;
  }
  std::uint64_t state = 0x9E3779B97F4A7C15ULL;
  std::array<char, kCandumpLineCapacity> line{};
  for (std::uint64_t k = 0; k < messages; ++k) {
    const auto& m = db.messages[k % db.messages.size()];
    CanMessage message;
    message.id = m.id;
    if (m.extended) message.flags |= kCanFlagExtended;
    message.length = m.length > 8 ? FdLength(m.length) : m.length;
    if (m.length > 8) message.flags |= kCanFlagFd;
    for (int i = 0; i < message.length; i += 8) {
      const std::uint64_t bits = Next(state);
      std::memcpy(message.data + i, &bits, 8);
    }
    const std::size_t n =
        FormatCandump(line, static_cast<std::int64_t>(k) * spacingNs, "can0", message);
    std::fwrite(line.data(), 1, n, out);
  }
  const bool ok = std::fflush(out) == 0 && std::ferror(out) == 0;
  if (std::fclose(out) != 0 || !ok) {
    error = path + ": cannot write";
    return false;
  }
  return true;
}

int WriteDbcLogMain(int argc, char** argv) {
  std::string out, dbc;
  std::uint64_t messages = 1'000'000;
  std::int64_t spacingUs = 250;
  for (int i = 1; i < argc; ++i) {
    const std::string_view arg = argv[i];
    if (const auto v = Value(arg, "--write-log="); !v.empty()) out = v;
    if (const auto v = Value(arg, "--dbc="); !v.empty()) dbc = v;
    if (const auto v = Value(arg, "--messages="); !v.empty())
      messages = std::stoull(std::string(v));
    if (const auto v = Value(arg, "--spacing-us="); !v.empty())
      spacingUs = std::stoll(std::string(v));
  }
  if (out.empty()) return -1;
  XeCanAnalysis::DbcDatabase db;
  std::string error;
  if (!XeCanAnalysis::DbcParser::ParseFile(dbc, db, error) ||
      !WriteDbcLog(db, out, messages, spacingUs * 1000, error)) {
    std::fprintf(stderr, "%s\n", error.c_str());
    return 1;
  }
  return 0;
}

}  // namespace bench
