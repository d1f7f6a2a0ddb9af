#include "tests/host/LogStreams.h"

#include <cstring>
#include <memory>

namespace logstreams {

using namespace XeCanDriverKvaser;

std::vector<CanLogEntry> Mixed(int count, std::int64_t firstNs) {
  std::vector<CanLogEntry> out;
  out.reserve(static_cast<std::size_t>(count));
  for (int i = 0; i < count; ++i) {
    CanLogEntry e;
    e.timeNs = firstNs + std::int64_t{i} * 1'234'000 + std::int64_t{i % 7} * 1000;
    e.channel = "can" + std::to_string(i % 3);
    CanMessage& m = e.message;
    const int kind = i % 8;
    m.id = kind % 2 == 0 ? 0x100u + static_cast<unsigned>(i % 0x600)
                         : 0x18FE0000u + static_cast<unsigned>(i);
    if (m.id > kMaxStandardId) m.flags |= kCanFlagExtended;
    const int lengths[] = {8, 3, 2, 12, 64, 8, 0, 0};
    m.length = lengths[kind];
    if (kind == 2) m.flags |= kCanFlagRemote;
    if (kind == 3) m.flags |= kCanFlagFd | kCanFlagBrs;
    if (kind == 4) m.flags |= kCanFlagFd | kCanFlagBrs | kCanFlagEsi;
    if (kind == 5) m.flags |= kCanFlagFd;
    if (kind == 6) {
      m = CanMessage{};
      m.flags = kCanFlagErrorFrame;
    }
    if (kind != 6 && i % 5 == 0) m.flags |= kCanFlagTransmitted;
    if (!(m.flags & (kCanFlagRemote | kCanFlagErrorFrame)))
      for (int b = 0; b < m.length; ++b)
        m.data[b] = static_cast<std::uint8_t>(i * 7 + b);
    out.push_back(std::move(e));
  }
  return out;
}

std::string Write(CanLogFormat format, const std::vector<CanLogEntry>& entries,
                  const CanLogWriterOptions& options) {
  const std::unique_ptr<std::FILE, int (*)(std::FILE*)> file(std::tmpfile(), &std::fclose);
  const auto writer = CanLogWriter::Create(format, file.get(), "test", options);
  for (const CanLogEntry& e : entries)
    if (!writer->Write(e)) return "write failed: " + writer->error();
  if (!writer->Finish()) return "finish failed: " + writer->error();
  std::fseek(file.get(), 0, SEEK_END);
  std::string bytes(static_cast<std::size_t>(std::ftell(file.get())), '\0');
  std::rewind(file.get());
  if (std::fread(bytes.data(), 1, bytes.size(), file.get()) != bytes.size()) return "read failed";
  return bytes;
}

std::vector<CanLogEntry> Read(const std::string& bytes, const std::string& name) {
  CanLogReader reader;
  std::vector<CanLogEntry> out;
  if (!reader.OpenText(bytes, name)) {
    CanLogEntry e;
    e.error = reader.error();
    out.push_back(e);
    return out;
  }
  for (CanLogEntry e; reader.Next(e);)
    out.push_back(e);
  return out;
}

std::string Describe(const CanLogEntry& e) {
  char text[256];
  std::snprintf(text, sizeof text, "%lld ns %s id %X len %d flags %X%s%s",
                static_cast<long long>(e.timeNs), e.channel.c_str(), e.message.id, e.message.length,
                e.message.flags, e.error.empty() ? "" : " error ", e.error.c_str());
  return text;
}

std::string Compare(const std::vector<CanLogEntry>& want, const std::vector<CanLogEntry>& got) {
  if (want.size() != got.size())
    return std::to_string(got.size()) + " entries instead of " + std::to_string(want.size()) +
           (got.empty() ? "" : "; first: " + Describe(got.front()));
  for (std::size_t i = 0; i < want.size(); ++i) {
    const CanLogEntry& a = want[i];
    const CanLogEntry& b = got[i];
    const bool same = b.error.empty() && (a.timeNs + 500) / 1000 == (b.timeNs + 500) / 1000 &&
                      ChannelNumber(a.channel) == ChannelNumber(b.channel) &&
                      a.message.id == b.message.id && a.message.length == b.message.length &&
                      a.message.flags == b.message.flags &&
                      std::memcmp(a.message.data, b.message.data, sizeof a.message.data) == 0;
    if (!same)
      return "entry " + std::to_string(i) + ": " + Describe(b) + " instead of " + Describe(a);
  }
  return {};
}

}  // namespace logstreams
