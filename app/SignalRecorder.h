#pragma once
// What canhost run makes of the sink's value lists after every frame: the CSV of --signals and
// the per-signal counts of the summary. The CSV is written frame by frame into its file (see
// OutputFile.h), so neither memory nor the lists grow with the measurement's length, and a run
// that is killed leaves every frame but the one in progress.
//
// One row per decoded value, as the decoder delivered it (two in one slow sample give two rows):
//   time,signal,value,unit
//   0.005,Engine speed,1520,1/min      <- a pulse: the rate per minute
//   0.007,Coolant temperature,87,°C    <- a hop: the value
//   0.008,Counter,4294967295,          <- exact: no single-precision rounding
//   0.009,Ratio,nan,                   <- NaN and infinities as nan, inf, -inf
// time = (frame x samples per frame + slow-sample index) x sample period, seconds from the start;
// numbers shortest-exact (std::to_chars without a precision: 0.017, and the same double when read
// back). The name and unit of a signal are quoted once, when it first shows.
// A signal that two sources deliver is named after each (see SinkSignalReader.h).
#include <atomic>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "app/BlockQueue.h"
#include "app/CsvWriter.h"
#include "app/OutputFile.h"
#include "app/SinkSignalReader.h"
#include "host/slowsampling/CSlowSinkPlugin.h"
#include "host/ui/SignalSnapshot.h"

namespace app {

class SignalRecorder {
 public:
  // Counts of one application signal over the measurement.
  struct Signal {
    std::string name;
    std::string unit;
    std::uint64_t values = 0;     // all of them, NaN and infinities included
    std::uint64_t nonFinite = 0;  // of those, NaN or infinite: left out of min and max
    double last = 0.0;
    double min = 0.0;  // of the finite values; 0 without one
    double max = 0.0;
    std::uint32_t timeouts = 0;
  };

  SignalRecorder(double samplePeriod, unsigned samplesPerFrame)
      : m_reader(samplePeriod, samplesPerFrame) {}
  ~SignalRecorder() { m_queue.reset(); }  // the thread writes into members declared after it
  SignalRecorder(const SignalRecorder&) = delete;
  SignalRecorder& operator=(const SignalRecorder&) = delete;

  // [ui] Opens the CSV's file (OutputFile::Open). False with one line in `error`.
  bool Open(const std::filesystem::path& file, std::string& error,
            const std::function<bool()>& stop = {}, const std::function<void()>& waiting = {});
  // [ui] Before Begin: the rows are formatted and written by a thread of the recorder, a frame at
  // a time, so the processing thread only copies the frame's values and goes on (the formatting
  // is most of a recording's cost). A frame is still written whole; up to kQueuedFrames blocks
  // may wait to be written. With `batchRows`, frames gather in a block until it holds that many
  // rows: --fast runs thousands of frames a second, and a hand-over per frame cost more in
  // thread wake-ups than the writing itself. Close writes the last, smaller block.
  void WriteInBackground(std::size_t batchRows = 0) {
    m_background = true;
    m_batchRows = batchRows;
  }
  static constexpr std::size_t kQueuedFrames = 8;
  // [ui] The measurement starts: the file is emptied and gets its header line. False with one
  // line in `error`.
  bool Begin(std::string& error);
  // [processing] Takes the lists of frame `frame` of every source of the sink; their rows are
  // written out at once.
  void AddFrame(std::uint64_t frame, CSlowSinkPlugin& sink);
  // [ui] Finishes the CSV; without Open nothing to do. False with one line in `error`.
  bool Close(std::string& error);
  // [any] The file, to compare with the other outputs of a run.
  const OutputFile& Output() const noexcept { return m_out; }
  // [any] Whether writing can go on: open and nothing failed (with WriteInBackground, a failure
  // shows here once the thread met it).
  bool good() const noexcept { return !m_failed.load(std::memory_order_relaxed); }

  // Points kept per signal for Series(): beyond, every four consecutive points give way to their
  // lowest and highest, in time order, so a plot still shows every extreme of a long run.
  static constexpr std::size_t kMaxSeriesPoints = std::size_t{1} << 17;

  // [ui] From here on every value is also kept for Series() (a plot of the whole run).
  void KeepSeries() { m_keepSeries = true; }

  // [any] The signals seen (every offered one, with or without values), by name.
  std::vector<Signal> Signals() const;
  // [ui] Every value of each signal since KeepSeries, by name; signals without values left out.
  std::vector<ui::PlotSeries> Series() const;

 private:
  // The parts of a row that are the same for every value of a signal, made once.
  struct RowText {
    std::string middle;  // ",<name>,"
    std::string end;     // ",<unit>\n"
  };

  struct Row {
    std::size_t index;  // the reader's
    double time;
    double value;
  };
  // The rows of one frame (or of several, see WriteInBackground) and the texts of the signals
  // that first showed in them.
  struct Block {
    std::vector<Row> rows;
    std::vector<RowText> added;
  };

  void AddValue(std::size_t index, double time, double value);
  // [writer] The block's rows into the file, whole.
  void Write(Block& block);

  SinkSignalReader m_reader;
  std::vector<Signal> m_signals;  // by the reader's index
  Block* m_block = nullptr;       // the frame being read, with the file open
  Block m_inline;                 // the block without WriteInBackground
  std::size_t m_textsHanded = 0;  // signals whose texts a block took to the writer
  bool m_background = false;
  std::size_t m_batchRows = 0;
  bool m_gathering = false;  // the block holds frames not yet handed to the writer
  std::unique_ptr<BlockQueue<Block>> m_queue;  // with WriteInBackground, from Begin to Close
  std::vector<RowText> m_rowText;              // [writer] by the reader's index
  // [writer] The rows of a frame come signal by signal, each signal's at the slow samples of its
  // values, so the same times recur across the signals of one message: formatting each row's
  // time again had been a third of this thread's work.
  RecentNumbers m_times;
  std::atomic<bool> m_failed{false};  // [writer] a write failed
  bool m_keepSeries = false;
  std::vector<std::vector<ui::PlotPoint>> m_series;  // by the reader's index, with KeepSeries
  OutputFile m_out;
};

}  // namespace app
