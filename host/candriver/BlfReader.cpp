#include "host/candriver/BlfReader.h"

#include <zlib.h>

#include <algorithm>
#include <cstring>

#include "host/candriver/BlfFormat.h"
#include "host/mfc/Text.h"

namespace XeCanDriverKvaser {
namespace {

using blf::U16;
using blf::U32;

// What one container or object may hold: far beyond what writers make (128 KiB containers), and
// a bound on what a broken size field can make the reader allocate.
constexpr std::size_t kMaxBlock = std::size_t{64} << 20;
constexpr std::size_t kChunk = std::size_t{1} << 18;
constexpr std::size_t kHeaderFields = 72;  // the header up to the stop time

bool AllZero(std::string_view bytes) noexcept {
  return std::all_of(bytes.begin(), bytes.end(), [](char c) { return c == 0; });
}

// Appends `count` bytes of `input` to `to`, growing it as they come; false when the input ends
// first.
bool ReadAppending(LogInput& input, std::vector<std::uint8_t>& to, std::size_t count) {
  while (count > 0) {
    const std::size_t step = std::min(count, kChunk);
    const std::size_t old = to.size();
    to.resize(old + step);
    const std::size_t got = input.Read(to.data() + old, step);
    to.resize(old + got);
    if (got < step) return false;
    count -= step;
  }
  return true;
}

}  // namespace

struct BlfReader::Inflater {
  z_stream stream{};
  bool ready = false;
  ~Inflater() {
    if (ready) inflateEnd(&stream);
  }
};

BlfReader::BlfReader() : m_inflater(std::make_unique<Inflater>()) {}
BlfReader::~BlfReader() = default;

bool BlfReader::Start(LogInput& input, std::string name, std::string& error) {
  m_input = &input;
  m_name = std::move(name);
  m_data.clear();
  m_pos = m_boundary = 0;
  m_containerAt = m_previousAt = 0;
  m_objects = 0;
  m_ended = false;
  std::uint8_t header[kHeaderFields] = {};
  const std::size_t got = input.Read(header, sizeof header);
  const std::string notBlf = m_name + ": not a BLF file: ";
  if (got < 4 || std::memcmp(header, "LOGG", 4) != 0) {
    error = notBlf + "it does not start with 'LOGG'";
    return false;
  }
  const std::uint32_t headerSize = U32(header + 4);
  if (got < sizeof header || headerSize < sizeof header || headerSize > kChunk) {
    error =
        notBlf + "header of " + std::to_string(got < sizeof header ? got : headerSize) + " bytes";
    return false;
  }
  if (input.Skip(headerSize - sizeof header) < headerSize - sizeof header) {
    error = notBlf + "the file ends within its header";
    return false;
  }
  m_startNs = blf::ReadSystemTime(header + 40).value_or(0);
  if (!m_inflater->ready) {
    if (inflateInit(&m_inflater->stream) != Z_OK) {
      error = m_name + ": zlib cannot start";
      return false;
    }
    m_inflater->ready = true;
  }
  return true;
}

bool BlfReader::Fail(CanLogEntry& entry, const std::string& where, const std::string& reason,
                     bool fatal) {
  entry.timeNs = 0;
  entry.channel.clear();
  entry.message = CanMessage{};
  entry.line = m_objects + 1;
  entry.object = true;
  entry.error = where + ": " + reason;
  if (fatal) m_ended = true;
  return true;
}

std::string BlfReader::InnerPlace() const {
  return m_name + ": object " + std::to_string(m_objects + 1) + " (container at byte " +
         std::to_string(m_pos < m_boundary ? m_previousAt : m_containerAt) + ")";
}

bool BlfReader::Next(CanLogEntry& entry) {
  while (!m_ended) {
    entry.timeNs = 0;
    entry.channel.clear();
    entry.message = CanMessage{};
    entry.error.clear();
    entry.object = true;
    Step step = Step::NeedMore;
    if (m_pos < m_data.size()) step = InnerObject(entry);
    if (step == Step::NeedMore) step = TopObject(entry);
    if (step == Step::Entry) return true;
    if (step == Step::Again) continue;
    // The end of the file.
    m_ended = true;
    const std::string_view rest(reinterpret_cast<const char*>(m_data.data()) + m_pos,
                                m_data.size() - m_pos);
    if (!AllZero(rest)) return Fail(entry, InnerPlace(), "truncated object", true);
    if (m_input->failed())
      return Fail(entry, m_name + ": byte " + std::to_string(m_input->offset()), "read error",
                  true);
  }
  return false;
}

BlfReader::Step BlfReader::InnerObject(CanLogEntry& entry) {
  const std::size_t available = m_data.size() - m_pos;
  if (available < blf::kBaseHeaderSize) return Step::NeedMore;
  // Up to 4 bytes of padding may come before an object.
  std::size_t skip = 0;
  while (skip <= 4 && std::memcmp(m_data.data() + m_pos + skip, "LOBJ", 4) != 0)
    ++skip;
  if (skip > 4) {
    Fail(entry, InnerPlace(), "no object signature 'LOBJ'", true);
    return Step::Entry;
  }
  m_pos += skip;
  if (available - skip < blf::kBaseHeaderSize) return Step::NeedMore;
  const std::uint8_t* p = m_data.data() + m_pos;
  const std::uint32_t size = U32(p + 8);
  if (size < blf::kBaseHeaderSize || size > kMaxBlock) {
    Fail(entry, InnerPlace(), "object size " + std::to_string(size), true);
    return Step::Entry;
  }
  if (size > available - skip) return Step::NeedMore;
  const blf::ObjectKind kind = blf::DecodeObject({p, size}, m_startNs, entry, m_reason);
  if (kind == blf::ObjectKind::Bad) Fail(entry, InnerPlace(), m_reason, false);
  m_pos += size;
  ++m_objects;
  entry.line = m_objects;
  return kind == blf::ObjectKind::Skipped ? Step::Again : Step::Entry;
}

BlfReader::Step BlfReader::TopObject(CanLogEntry& entry) {
  const std::uint64_t at = m_input->offset();
  const std::string_view head = m_input->Peek(blf::kBaseHeaderSize);
  if (head.empty()) return Step::NeedMore;
  const auto byte = [&] { return m_name + ": byte " + std::to_string(at); };
  if (head.size() < blf::kBaseHeaderSize || !head.starts_with("LOBJ")) {
    if (head.size() < blf::kBaseHeaderSize && AllZero(head)) {  // padding at the end
      m_input->Skip(head.size());
      return Step::NeedMore;
    }
    Fail(entry, byte(),
         head.size() < blf::kBaseHeaderSize
             ? "truncated object header"
             : "no object signature 'LOBJ' (found " + mfc::QuoteToken(head.substr(0, 4)) + ")",
         true);
    return Step::Entry;
  }
  const auto* p = reinterpret_cast<const std::uint8_t*>(head.data());
  const std::size_t headerSize = U16(p + 4);
  const std::uint32_t size = U32(p + 8);
  const std::uint32_t type = U32(p + 12);
  if (headerSize < blf::kBaseHeaderSize || size < headerSize || size > kMaxBlock) {
    Fail(entry, byte(),
         "object size " + std::to_string(size) + " with a header of " + std::to_string(headerSize) +
             " bytes",
         true);
    return Step::Entry;
  }
  if (type == blf::kLogContainer)
    return LoadContainer(at, headerSize, size, entry) ? Step::Entry : Step::Again;
  // An object outside any container, as older files have them.
  m_packed.clear();
  if (!ReadAppending(*m_input, m_packed, size)) {
    Fail(entry,
         m_name + ": object " + std::to_string(m_objects + 1) + " at byte " + std::to_string(at),
         "truncated object", true);
    return Step::Entry;
  }
  m_input->Skip(size % 4);
  const blf::ObjectKind kind = blf::DecodeObject(m_packed, m_startNs, entry, m_reason);
  if (kind == blf::ObjectKind::Bad)
    Fail(entry,
         m_name + ": object " + std::to_string(m_objects + 1) + " at byte " + std::to_string(at),
         m_reason, false);
  ++m_objects;
  entry.line = m_objects;
  return kind == blf::ObjectKind::Skipped ? Step::Again : Step::Entry;
}

bool BlfReader::LoadContainer(std::uint64_t at, std::size_t headerSize, std::uint32_t size,
                              CanLogEntry& entry) {
  const std::string where = m_name + ": byte " + std::to_string(at);
  std::uint8_t container[blf::kContainerHeaderSize];
  if (size < headerSize + sizeof container || m_input->Skip(headerSize) < headerSize ||
      m_input->Read(container, sizeof container) < sizeof container)
    return Fail(entry, where, "truncated container", true);
  const std::uint16_t method = U16(container);
  const std::size_t packed = size - headerSize - sizeof container;
  // The objects not read yet move to the front; the container's follow them.
  m_data.erase(m_data.begin(), m_data.begin() + static_cast<std::ptrdiff_t>(m_pos));
  m_pos = 0;
  m_boundary = m_data.size();
  m_previousAt = m_containerAt;
  m_containerAt = at;
  bool ok = true;
  if (method == blf::kNoCompression) {
    ok = ReadAppending(*m_input, m_data, packed);
  } else if (method == blf::kZlib) {
    m_packed.clear();
    ok = ReadAppending(*m_input, m_packed, packed);
    if (ok && !Inflate(packed, at, entry)) return true;
  } else {
    const bool skipped = m_input->Skip(packed) == packed;
    m_input->Skip(size % 4);
    return Fail(entry, where,
                "compression " + std::to_string(method) + " unknown, container skipped", !skipped);
  }
  if (!ok) return Fail(entry, where, "truncated container", true);
  m_input->Skip(size % 4);
  return false;
}

bool BlfReader::Inflate(std::size_t packedSize, std::uint64_t at, CanLogEntry& entry) {
  z_stream& z = m_inflater->stream;
  inflateReset(&z);
  z.next_in = m_packed.data();
  z.avail_in = static_cast<uInt>(packedSize);
  const std::size_t start = m_data.size();
  const std::string where = m_name + ": byte " + std::to_string(at);
  for (;;) {
    if (m_data.size() - start >= kMaxBlock)
      return !Fail(entry, where, "container inflates beyond 64 MiB", true);
    const std::size_t old = m_data.size();
    m_data.resize(old + kChunk);
    z.next_out = m_data.data() + old;
    z.avail_out = static_cast<uInt>(kChunk);
    const int result = inflate(&z, Z_NO_FLUSH);
    m_data.resize(old + kChunk - z.avail_out);
    if (result == Z_STREAM_END) return true;
    if (result == Z_BUF_ERROR && z.avail_in == 0)
      return !Fail(entry, where, "zlib stream of the container ends early", true);
    if (result != Z_OK && result != Z_BUF_ERROR)
      return !Fail(entry, where,
                   std::string("bad zlib stream in the container: ") +
                       (z.msg != nullptr ? z.msg : "error " + std::to_string(result)),
                   true);
  }
}

}  // namespace XeCanDriverKvaser
