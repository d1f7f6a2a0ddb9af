#pragma once
// Streams of log entries for the tests of the log formats: every kind of frame each format has to
// keep, written and read back through files and memory.
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "host/candriver/CanLogEntry.h"
#include "host/candriver/CanLogFormat.h"
#include "host/candriver/CanLogReader.h"
#include "host/candriver/CanLogWriter.h"

namespace logstreams {

using XeCanDriverKvaser::CanLogEntry;

// `count` entries on interfaces can0..can2 from `firstNs` (µs spacing, so every format keeps the
// times): classic and CAN FD, standard and extended, remote, error frames, transmitted ones.
std::vector<CanLogEntry> Mixed(int count, std::int64_t firstNs);

// The bytes of `entries` written in `format` (through a temporary file that can seek).
std::string Write(XeCanDriverKvaser::CanLogFormat format, const std::vector<CanLogEntry>& entries,
                  const XeCanDriverKvaser::CanLogWriterOptions& options = {});

// Everything a reader gives for `bytes` read as the file `name` (errors included).
std::vector<CanLogEntry> Read(const std::string& bytes, const std::string& name);

// "" when `got` holds the frames of `want` (time to the µs, channel numbers as CanLogFormat.h
// maps names, message), else the first difference.
std::string Compare(const std::vector<CanLogEntry>& want, const std::vector<CanLogEntry>& got);

// One entry as text for messages.
std::string Describe(const CanLogEntry& entry);

}  // namespace logstreams
