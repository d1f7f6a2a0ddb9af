// canhost convert: a CAN log from any format into any other, frame by frame.
#include "app/CmdConvert.h"

#include <algorithm>
#include <cinttypes>
#include <cmath>
#include <cstdio>
#include <optional>

#include "app/AtomicOutputFile.h"
#include "app/Commands.h"
#include "host/candriver/CanLogReader.h"
#include "host/candriver/CanLogWriter.h"
#include "host/mfc/Text.h"

namespace app {
namespace {

using namespace XeCanDriverKvaser;

// Unreadable places reported one by one; the rest are only counted.
constexpr std::uint64_t kShownUnreadable = 20;

const Command& Self() {
  for (const auto& c : Commands())
    if (std::string(c.name) == "convert") return c;
  return Commands().front();
}

struct ConvertOptions {
  std::string in, out;
  std::vector<std::string> channels;  // empty: all
  std::optional<std::int64_t> fromNs, toNs;
  CanLogWriterOptions writer;
};

// Seconds of --from and --to as ns; nullopt for anything but a number from 0 on.
std::optional<std::int64_t> Seconds(const std::string& text) {
  char* end = nullptr;
  const double seconds = std::strtod(text.c_str(), &end);
  if (text.empty() || *end != '\0' || !(seconds >= 0.0) || seconds > 1e9) return std::nullopt;
  return std::llround(seconds * 1e9);
}

// The options, or the usage error's exit code.
std::optional<int> Parse(const std::vector<std::string>& args, ConvertOptions& o) {
  for (std::size_t i = 0; i < args.size(); ++i) {
    const std::string& a = args[i];
    const bool hasValue = i + 1 < args.size();
    if (a == "--channel" || a == "--from" || a == "--to" || a == "--trc-version") {
      if (!hasValue) return UsageError(Self(), a + " needs a value");
      const std::string& value = args[++i];
      if (a == "--channel") {
        o.channels.push_back(value);
      } else if (a == "--trc-version") {
        if (value != "1.1" && value != "2.1")
          return UsageError(Self(), "--trc-version " + mfc::QuoteToken(value) + ": 1.1 or 2.1");
        o.writer.trcVersion = value == "1.1" ? kTrcVersion11 : kTrcVersion21;
      } else {
        const auto ns = Seconds(value);
        if (!ns) return UsageError(Self(), a + " " + mfc::QuoteToken(value) + ": seconds from 0");
        (a == "--from" ? o.fromNs : o.toNs) = *ns;
      }
    } else if (a.rfind("--", 0) == 0 || !o.out.empty()) {
      return UsageError(Self(), "unexpected argument " + mfc::QuoteToken(a));
    } else {
      (o.in.empty() ? o.in : o.out) = a;
    }
  }
  if (o.out.empty()) return UsageError(Self(), o.in.empty() ? "missing IN and OUT" : "missing OUT");
  return std::nullopt;
}

bool Wanted(const ConvertOptions& o, const CanLogEntry& entry, std::int64_t firstNs) {
  if (!o.channels.empty() &&
      std::find(o.channels.begin(), o.channels.end(), entry.channel) == o.channels.end())
    return false;
  const std::int64_t since = entry.timeNs - firstNs;
  return (!o.fromNs || since >= *o.fromNs) && (!o.toNs || since <= *o.toNs);
}

int Fail(const std::string& message) {
  std::fprintf(stderr, "canhost: %s\n", message.c_str());
  return kExitError;
}

}  // namespace

int RunConvert(const std::vector<std::string>& args) {
  ConvertOptions o;
  if (const auto usage = Parse(args, o)) return *usage;
  CanLogReader reader;
  if (!reader.Open(o.in)) return Fail(reader.error());
  const CanLogFormat format = FormatOfName(o.out).value_or(CanLogFormat::Candump);
  AtomicOutputFile out;
  std::string error;
  if (!out.Open(o.out, error)) return Fail(error);
  const auto writer = CanLogWriter::Create(format, out.stream(), o.out, o.writer);

  CanLogEntry entry;
  std::uint64_t unreadable = 0, frames = 0;
  std::optional<std::int64_t> firstNs;
  while (reader.Next(entry)) {
    if (!entry.error.empty()) {
      if (++unreadable <= kShownUnreadable)
        std::fprintf(stderr, "canhost: %s\n", entry.error.c_str());
      continue;
    }
    if (!firstNs) firstNs = entry.timeNs;
    if (!Wanted(o, entry, *firstNs)) continue;
    if (!writer->Write(entry))  // the temporary file goes with `out`
      return Fail(entry.Where(o.in) + ": not written: " + writer->error());
    ++frames;
  }
  if (!writer->Finish()) return Fail(writer->error());
  if (!out.Close(error)) return Fail(error);
  std::printf("canhost convert: %" PRIu64 " frames from %s (%s) to %s (%s)\n", frames, o.in.c_str(),
              std::string(FormatName(reader.format())).c_str(), o.out.c_str(),
              std::string(FormatName(format)).c_str());
  if (unreadable == 0) return kExitOk;
  std::fprintf(stderr, "canhost: %" PRIu64 " %s of %s could not be read and were left out\n",
               unreadable, reader.format() == CanLogFormat::Blf ? "objects" : "lines",
               o.in.c_str());
  return kExitError;
}

}  // namespace app
