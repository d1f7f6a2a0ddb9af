#pragma once
// Reads the frames of a BLF file (BlfFormat.h) one at a time, container by container: memory
// holds one container and the object being read, however long the file.
//
// Errors name the file and the object: "drive.blf: object 57 (container at byte 1234): DLC 16 in
// a classic frame" for an object that cannot be read (reading goes on with the next one), and
// "drive.blf: object 58 (container at byte 5678): truncated object" or "drive.blf: byte 99: bad
// zlib stream in the container" where the file itself is broken: reading then ends.
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "host/candriver/CanLogEntry.h"
#include "host/candriver/LogInput.h"

namespace XeCanDriverKvaser {

class BlfReader {
 public:
  BlfReader();
  ~BlfReader();
  BlfReader(const BlfReader&) = delete;
  BlfReader& operator=(const BlfReader&) = delete;

  // [any] Reads the file header from `input` (not owned; it must outlive the reading). False with
  // "<name>: not a BLF file: <why>" in `error`.
  bool Start(LogInput& input, std::string name, std::string& error);
  // [any] The next frame, or an object or place that cannot be read (`entry.error` set); false at
  // the end of the file.
  bool Next(CanLogEntry& entry);

 private:
  enum class Step : std::uint8_t { Entry, Again, NeedMore };
  Step InnerObject(CanLogEntry& entry);
  Step TopObject(CanLogEntry& entry);
  bool LoadContainer(std::uint64_t at, std::size_t headerSize, std::uint32_t size,
                     CanLogEntry& entry);
  bool Inflate(std::size_t packedSize, std::uint64_t at, CanLogEntry& entry);
  bool Fail(CanLogEntry& entry, const std::string& where, const std::string& reason, bool fatal);
  std::string InnerPlace() const;

  struct Inflater;
  LogInput* m_input = nullptr;
  std::string m_name;
  std::int64_t m_startNs = 0;
  std::unique_ptr<Inflater> m_inflater;
  std::vector<std::uint8_t> m_data;  // the containers' objects: [m_pos, end) not read yet
  std::size_t m_pos = 0;
  std::size_t m_boundary = 0;          // where the newest container's data start in m_data
  std::uint64_t m_containerAt = 0;     // file offset of the newest container
  std::uint64_t m_previousAt = 0;      // and of the one before it
  std::vector<std::uint8_t> m_packed;  // one container or top-level object as stored
  std::string m_reason;
  int m_objects = 0;  // frame-level objects met so far
  bool m_ended = false;
};

}  // namespace XeCanDriverKvaser
