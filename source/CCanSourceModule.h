#pragma once
// The CAN source module: one CAN channel source per configured channel, one driver handle and one
// time capsule per source, time alignment of the channels with the host's USB and frame time, and
// per-frame delivery of every received message into the module's region of the slow-sampling
// container as a CAN packet whose byte position encodes its time (frame/CanPacket.h).
//
// Threads: update and fill run on [processing]; everything else on [ui]. The host never runs two
// of its operations at once, except that the UI may read statistics() and use the dialog's view
// (delay, running) while frames run: statistics() reads a snapshot that the processing thread
// publishes at the end of each update, and the processing thread skips a publication rather than
// wait for a UI that is copying the last one. While the host's acquisition runs (between its
// start and stop commands, when its processing thread calls update) the sources, their handles,
// the delay and the sampling do not change: the "CAN-Bus" window locks its OK and Apply then, and
// debug builds assert it in every operation that changes them.
#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>
#include <utility>
#include <vector>

#include "host/candriver/CanIo.h"
#include "host/mfc/ThreadSafety.h"
#include "host/slowsampling/CSlowAsyncSourcePlugin.h"
#include "host/timemachine/CQorSyncInterface.h"
#include "host/timemachine/CTimeCapsule.h"
#include "host/timemachine/CTimeMachine.h"
#include "source/FrameAssembler.h"
#include "source/ISourceModuleAccess.h"
#include "sources/CCanSource.h"

class CCanSourceModule : public CSlowAsyncSourcePlugin, public ISourceModuleAccess {
  DECLARE_DYNCREATE(CCanSourceModule)
 public:
  // Ticks of the time machine, seconds.
  static constexpr double kTickSeconds = CQorSyncInterface::kTickSeconds;
  // A record this many ticks before the frame start is old (also the slack of late placement).
  static constexpr std::int64_t kOldTolerance = FrameAssembler::kOldTolerance;
  // A record this many ticks after the frame start and after the USB time now is implausible: it
  // and all later ones go.
  static constexpr std::int64_t kFutureLimit = 16000;
  // Items of the time machine: the USB reference, the frame, then one capsule per channel in
  // channel order.
  static constexpr std::size_t kUsbTimeItem = 0;
  static constexpr std::size_t kFrameTimeItem = 1;
  static constexpr std::size_t kFirstChannelItem = 2;

  CCanSourceModule();
  ~CCanSourceModule() override;

  // [any, at load] Modules built from now on get their window from the factory (null: none);
  // returns the previous factory.
  static SourceModuleDialogFactory set_dialog_factory(SourceModuleDialogFactory factory);

  // Lifecycle and channels.
  BOOL Create(const CString& name, CModule* parent) override;
  void ShowSettingsDialog() override;
  BOOL OnSpecialShutdown() override;
  void create(CSlowSourceContainer* container) override;
  std::uint32_t bytes_per_second() override;
  void signal_change(float samplePeriod, unsigned samplesPerFrame, int floatsPerSample) override;
  bool start() override;
  bool stop() override;
  void set_data_offset(int offset) override;
  std::pair<int, int> data_format() override { return {8, 8}; }
  void propagate_log_level() override;
  std::vector<SlowSampling::SourceStatistics> statistics() const override;

  // Capture and frame alignment.
  bool update() override;
  bool fill(float* region, unsigned floatsPerSample) override;

  // Parameters.
  void read_params() override;
  void write_params() const override;

  // [ui] Adds a source of the type (0 standard, 1 vehicle simulation, 2 sequencer) and signs it
  // in; the signed-in source (owned by the module), or null when it could not be built or signed
  // in.
  CCanSource* create(int type, const CString& name, int channel, bool fd,
                     XeCanDriverKvaser::bitrate_t bitrate,
                     XeCanDriverKvaser::fd_arbitrationrate_t fdArbitration,
                     XeCanDriverKvaser::fd_datarate_t fdData, bool active);
  // [ui] Stops, releases and destroys a signed-in source; other sources are ignored.
  void remove_source(CCanSource* source);
  // The dialog's view of the module.
  std::int32_t delay() const noexcept override { return m_delay; }
  bool set_delay(std::int32_t ticks) override;
  bool running() const noexcept override { return m_audioSourcesRunning; }
  std::vector<SourceRow> source_rows() const override;
  bool add_source(const SourceRow& row) override;
  void rename_source(int id, const CString& name, bool active) override;
  void remove_source_id(int id) override;
  void show_source_settings(int id) override;

  // Host commands.
  int on_start_audio_sources(const CString& args, void* context);
  int on_stop_audio_sources(const CString& args, void* context);

  // [ui] The signed-in sources in channel order (owned by the module; valid until removed).
  std::vector<CCanSource*> sources() const;

 private:
  // One signed-in source and what the module keeps for it. A slot is one heap object, so the time
  // machine's items and the frame's routes can hold its capsule and lane by address while other
  // slots come and go; both are rebuilt whenever a slot is added or dropped.
  struct ChannelSlot {
    explicit ChannelSlot(std::unique_ptr<CCanSource> signedIn);
    // The module's handle on the source's channel. Declared first so that the source is destroyed
    // before the handle closes.
    XeCanDriverKvaser::CanIo io;
    ChannelLane lane;  // the channel's capsule, clock reading and counters
    // Signed in; its id (the registry's, given at sign-in) orders the slots: the channel order.
    std::unique_ptr<CCanSource> source;
  };
  using Slots = std::vector<std::unique_ptr<ChannelSlot>>;

  bool open_channels();
  bool update_sync();
  // [ui] Debug builds stop here while the host's acquisition runs: the caller changes what update
  // reads.
  void assert_configurable() const;
  // [processing] Channel time of the first handle on that channel, or -1 when it is not on bus.
  std::int32_t channel_time(int channel) const;
  // [any] The first slot on the channel (the one whose handle and capsule it uses), or null.
  ChannelSlot* first_slot(int channel) const noexcept;
  // [any] The slot of the source id, or where a slot of that id belongs in channel order.
  Slots::const_iterator slot_at(int id) const noexcept;
  // [any] The slot of the source id, or null.
  ChannelSlot* find_slot(int id) const noexcept;
  // [any] Asks the time machine for a re-synchronisation.
  void request_sync();
  // Takes a signed-in source and gives it its channel slot (handle, counters, capsule); returns it.
  CCanSource* adopt(std::unique_ptr<CCanSource> source);
  // Destroys the source at `it` and drops its slot; the caller rebuilds the time machine items.
  // Returns the slot after it.
  Slots::const_iterator drop_slot(Slots::const_iterator it);
  void rebuild_time_machine_items();
  // Routes each channel's records to the lane of its first slot.
  void rebuild_routes();
  void reset_channel_capsule(CTimeCapsule& capsule);
  bool wav_playback_running() const;
  void advance_frame_capsule();
  // [processing] The time after which a record is implausibly far ahead.
  std::int64_t future_from(std::int64_t frameStart);
  // [processing] The summary lines of a frame.
  void log_fill(const FrameAssembler::Tally& tally) const;
  // Copies the counters into the snapshot statistics() returns. A frame's publication is skipped
  // while the UI holds the snapshot (the next frame's catches up); the others wait for it.
  void publish_statistics(bool frame);

  // Ascending source id, which is the channel order. Owned: the destructor releases and destroys
  // the sources, so no reception thread outlives the module.
  Slots m_slots;
  CQorSyncInterface m_sync;
  XeTimeMachine::CTimeMachine m_timeMachine;
  bool m_syncEnabled = true;
  std::uint32_t m_regularCallbackId = 0;
  unsigned m_floatsPerSample = 0;  // width of one slow sample, floats
  float m_samplesPerTick = 0.0F;   // slow samples per 125 µs tick
  float m_ticksPerFrame = 0.0F;    // ticks per frame
  float m_tickCarry = 0.0F;        // fractional tick carried between frames
  FrameAssembler m_assembler;      // the waiting records; routes to the slots' lanes
  mutable host::Mutex m_statsLock;
  std::vector<SlowSampling::SourceStatistics> m_stats GUARDED_BY(m_statsLock);  // last published
  bool m_statsLayoutChanged = true;        // sources changed since the last publication ([ui])
  std::int32_t m_delay = 0;                // CAN bus delay versus the USB time, 125 µs ticks
  std::unique_ptr<ISettingsDialog> m_dlg;  // null without a dialog factory
  std::atomic<bool> m_audioSourcesRunning{false};
  std::uint32_t m_delivered = 0;  // messages delivered since start
  std::int64_t m_usbTimeAtStart = 0;
};
