#pragma once
// canhost run --capture: the frame-aligned CAN stream exactly as the source module wrote it into
// the container, read back from its packets (frame/CanPacket.h) and written as a log of the
// format the file's extension names (CanLogFormat.h: .log candump, .asc, .blf, .trc; candump for
// any other name), channel N as interface canN. A packet's time is its frame's start plus its slow-sample index (byte
// offset / 4 / floats per sample) times the sample period, in seconds from the start of the
// measurement. Bit 31 of a packet identifier marks an extended identifier; a packet of more than
// 8 data bytes is written as a CAN FD frame. Each frame's messages go to the file when the frame
// ends (see OutputFile.h): a run that is killed leaves every frame but the one in progress (BLF:
// one container per frame).
//
// Packets -> candump lines (frame 2, 100 samples of 1 ms per frame, 16 floats = 64 bytes per
// sample):
//   offset 0,    ch 0, id 0x123, len 2, 11 22   -> (0.200000) can0 123#1122
//   offset 16,   ch 0, id 0x7FF, len 0          -> (0.200000) can0 7FF#
//   offset 64,   ch 1, id 0x80000123, len 1, AB -> (0.201000) can1 00000123#AB
//   offset 128,  ch 0, id 0x10, len 12          -> (0.202000) can0 010##0<24 hex digits>
//   offset 6336, ch 3, id 0x98FEF100, len 8     -> (0.299000) can3 18FEF100#0102030405060708
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <functional>
#include <memory>
#include <span>
#include <string>

#include "app/OutputFile.h"
#include "host/candriver/CanLogWriter.h"

namespace app {

class CaptureWriter {
 public:
  CaptureWriter(double samplePeriod, unsigned samplesPerFrame) noexcept
      : m_samplePeriod(samplePeriod), m_samplesPerFrame(samplesPerFrame) {}
  CaptureWriter(const CaptureWriter&) = delete;
  CaptureWriter& operator=(const CaptureWriter&) = delete;

  // [ui] Opens the capture's file (OutputFile::Open) for the format its extension names. False
  // with one line in `error`.
  bool Open(const std::filesystem::path& file, std::string& error,
            const std::function<bool()>& stop = {}, const std::function<void()>& waiting = {});
  // [ui] The measurement starts: an existing file is emptied. False with one line in `error`.
  bool Begin(std::string& error) { return m_out.Begin(error); }
  // [processing] Appends the packets of frame `frame` (0 = the first frame of the measurement)
  // found in the module's region of `floatsPerSample` floats per slow sample.
  void AddFrame(std::uint64_t frame, std::span<const float> region,
                unsigned floatsPerSample) noexcept;
  // [ui] Writes the end of the log and closes the file. False with one line in `error`.
  bool Close(std::string& error);
  // [any] The file, to compare with the other outputs of a run.
  const OutputFile& Output() const noexcept { return m_out; }
  // [any] Messages written so far.
  std::uint64_t messages() const noexcept {
    return m_candumpLines + (m_writer ? m_writer->written() : 0);
  }

  // [any] Appends the lines of one frame's region to `out`; returns how many. The text format of
  // the examples above; `out` keeps its capacity, so a steady stream allocates nothing.
  static std::size_t AppendFrame(std::string& out, std::uint64_t frame, double samplePeriod,
                                 unsigned samplesPerFrame, std::span<const float> region,
                                 unsigned floatsPerSample) noexcept;

 private:
  double m_samplePeriod;
  unsigned m_samplesPerFrame;
  OutputFile m_out;
  std::unique_ptr<XeCanDriverKvaser::CanLogWriter> m_writer;
  bool m_refused = false;  // the format could not hold a frame: the capture ended there
  bool m_candump = false;  // candump lines are made here, not by m_writer
  std::uint64_t m_candumpLines = 0;
  XeCanDriverKvaser::CanLogEntry m_entry;  // reused for every message
};

}  // namespace app
