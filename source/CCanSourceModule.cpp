// CCanSourceModule: lifecycle and channels.
#include "source/CCanSourceModule.h"

#include <algorithm>
#include <array>
#include <cassert>
#include <cmath>

#include "frame/ConstantTables.h"
#include "frame/ParameterCodec.h"
#include "host/module/HostConstants.h"
#include "host/services/CCentralMessageService.h"
#include "host/services/Host.h"
#include "host/settings/CSeaBase.h"
#include "host/settings/LogCategories.h"
#include "host/settings/PrWin.h"
#include "host/slowsampling/CSourceInfo.h"
#include "sources/CCanObdProbe.h"
#include "sources/CCanStandardSource.h"
#include "sources/CCanVehicleSender.h"
#include "sources/SnapshotLock.h"

using namespace XeCanDriverKvaser;

namespace {

using SourceMaker = std::unique_ptr<CCanSource> (*)(CSlowAsyncSourcePlugin*, int, const CString&,
                                                    int, bool, bitrate_t, fd_arbitrationrate_t,
                                                    fd_datarate_t);
template <typename Source>
std::unique_ptr<CCanSource> Make(CSlowAsyncSourcePlugin* plugin, int type, const CString& name,
                                 int channel, bool fd, bitrate_t bitrate,
                                 fd_arbitrationrate_t arbitration, fd_datarate_t data) {
  return std::make_unique<Source>(plugin, type, name, channel, fd, bitrate, arbitration, data);
}
// The source kind of each type code of a settings line.
constexpr std::array<SourceMaker, 3> kSourceKinds = {
    &Make<CCanStandardSource>,  // 0 "Standard CAN Source"
    &Make<CCanVehicleSender>,   // 1 "CAN Vehicle Simulation"
    &Make<CCanObdProbe>,        // 2 "CAN Sequencer"
};
static_assert(kSourceKinds.size() == can::kSourceTypes.size());

}  // namespace

IMPLEMENT_DYNCREATE(CCanSourceModule, CSlowAsyncSourcePlugin)

namespace {
// Installed by the library entry when the library loads.
struct DialogFactorySlot {
  static constexpr bool kLoadedCode = true;
  SourceModuleDialogFactory factory = nullptr;
};
SourceModuleDialogFactory& DialogFactory() {
  return host::CurrentHost().Get<DialogFactorySlot>().factory;
}
}  // namespace

CCanSourceModule::ChannelSlot::ChannelSlot(std::unique_ptr<CCanSource> signedIn)
    : io(signedIn->bus_channel()), source(std::move(signedIn)) {}

CCanSourceModule::CCanSourceModule() : m_timeMachine(kTickSeconds) {
  if (const auto factory = DialogFactory()) m_dlg = factory(*this);
}

SourceModuleDialogFactory CCanSourceModule::set_dialog_factory(SourceModuleDialogFactory factory) {
  std::swap(DialogFactory(), factory);
  return factory;
}

void CCanSourceModule::ShowSettingsDialog() {
  if (m_dlg) m_dlg->show();
}

CCanSourceModule::~CCanSourceModule() {
  if (m_regularCallbackId != 0)
    CCentralMessageService::UnRegisterRegularCallback(m_regularCallbackId);
  for (const auto& slot : m_slots)
    SlowSampling::CSourceInfo::release(slot->source.get());
  m_slots.clear();
}

std::vector<CCanSource*> CCanSourceModule::sources() const {
  std::vector<CCanSource*> list;
  list.reserve(m_slots.size());
  for (const auto& slot : m_slots)
    list.push_back(slot->source.get());
  return list;
}

BOOL CCanSourceModule::Create(const CString& name, CModule* parent) {
  const BOOL result = CSpecialModeClient::Create(name, parent);
  CCommandDispatcher& dispatcher = CommandDispatcher();
  dispatcher.AddClient(
      mcStartAudioSources, this,
      [this](const CString& args, void* context) { return on_start_audio_sources(args, context); },
      m_commandOwner, nullptr);
  dispatcher.AddClient(
      mcStopAudioSources, this,
      [this](const CString& args, void* context) { return on_stop_audio_sources(args, context); },
      m_commandOwner, nullptr);
  return result;
}

int CCanSourceModule::on_start_audio_sources(const CString&, void*) {
  m_audioSourcesRunning = true;
  for (const auto& slot : m_slots)
    slot->source->set_running(true);
  // The open window locks OK and Apply.
  if (m_dlg) m_dlg->refresh();
  return 0;
}

int CCanSourceModule::on_stop_audio_sources(const CString&, void*) {
  m_audioSourcesRunning = false;
  for (const auto& slot : m_slots)
    slot->source->set_running(false);
  if (m_dlg) m_dlg->refresh();
  return 0;
}

void CCanSourceModule::create(CSlowSourceContainer* container) {
  // The host creates the container before it reads the parameters; should a source exist already,
  // its capsule still follows the USB and frame items.
  while (m_timeMachine.item_count() > 0)
    m_timeMachine.remove_item(m_timeMachine.item_count() - 1);
  m_timeMachine.add_item(m_sync.usb_time_capsule(), true);
  m_sync.frame_time_capsule()->m_resetCallback = [this] { request_sync(); };
  m_timeMachine.add_item(m_sync.frame_time_capsule(), false);
  rebuild_time_machine_items();
  CSlowAsyncSourcePlugin::create(container);
  open_channels();
  for (const auto& slot : m_slots)
    slot->io.GoOnBus();
  update_sync();
}

CCanSourceModule::ChannelSlot* CCanSourceModule::first_slot(int channel) const noexcept {
  for (const auto& slot : m_slots)
    if (slot->io.channel == channel) return slot.get();
  return nullptr;
}

CCanSourceModule::Slots::const_iterator CCanSourceModule::slot_at(int id) const noexcept {
  return std::lower_bound(m_slots.begin(), m_slots.end(), id,
                          [](const auto& slot, int key) { return slot->source->id() < key; });
}

CCanSourceModule::ChannelSlot* CCanSourceModule::find_slot(int id) const noexcept {
  const auto it = slot_at(id);
  return it != m_slots.end() && (*it)->source->id() == id ? it->get() : nullptr;
}

void CCanSourceModule::rebuild_routes() {
  m_assembler.clear_routes();
  for (const auto& slot : m_slots)
    m_assembler.add_route(slot->io.channel, &slot->lane);
}

void CCanSourceModule::rebuild_time_machine_items() {
  // create(container) adds them behind USB and frame
  if (m_timeMachine.item_count() < kFirstChannelItem) return;
  while (m_timeMachine.item_count() > kFirstChannelItem)
    m_timeMachine.remove_item(m_timeMachine.item_count() - 1);
  for (const auto& slot : m_slots)
    m_timeMachine.add_item(&slot->lane.capsule, false);
}

void CCanSourceModule::assert_configurable() const {
  assert(!m_audioSourcesRunning && "the sources change only while acquisition is stopped");
}

CCanSource* CCanSourceModule::create(int type, const CString& name, int channel, bool fd,
                                     bitrate_t bitrate, fd_arbitrationrate_t fdArbitration,
                                     fd_datarate_t fdData, bool active) {
  assert_configurable();
  bool reopen = false;
  if (ChannelSlot* slot = first_slot(channel); slot && slot->io.state != CanIo::kClosed) {
    reopen = true;
    slot->io.Close();
  }
  std::unique_ptr<CCanSource> built;
  if (type >= 0 && static_cast<std::size_t>(type) < kSourceKinds.size())
    built = kSourceKinds[static_cast<std::size_t>(type)](this, type, name, channel, fd, bitrate,
                                                         fdArbitration, fdData);

  CCanSource* signedIn = nullptr;
  if (built && SlowSampling::CSourceInfo::SourceInfo().signin(built.get()) != nullptr) {
    signedIn = adopt(std::move(built));
    signedIn->set_active(active);
  } else {
    PrWin::Output(L"CCanSourceModule::create(): Couldn't register\n", PrWin::kCategoryError,
                  PrWin::kStyleError);
  }
  m_statsLayoutChanged = true;
  publish_statistics(false);
  // The reopened handle is the first one on the channel, which may be another one by now.
  if (ChannelSlot* slot = reopen ? first_slot(channel) : nullptr) {
    slot->io.Open(fd, bitrate, fdArbitration, fdData);
    slot->io.GoOnBus();
  }
  return signedIn;
}

CCanSource* CCanSourceModule::adopt(std::unique_ptr<CCanSource> source) {
  CCanSource* const adopted = source.get();
  if (m_samplesPerFrame != 0)
    adopted->size_queue(static_cast<double>(m_samplePeriod) * m_samplesPerFrame);
  // The registry gave the id again: the new source takes the old one's place, with a slot of its
  // own. Its channel may differ, and the old slot's capsule reads the old channel's clock.
  auto at = slot_at(adopted->id());
  if (at != m_slots.end() && (*at)->source->id() == adopted->id()) at = drop_slot(at);
  auto slot = std::make_unique<ChannelSlot>(std::move(source));
  CTimeCapsule& capsule = slot->lane.capsule;
  capsule.m_delay = static_cast<std::int64_t>(m_delay);
  const int sourceChannel = adopted->bus_channel();
  // -1 (off bus) stops the capsule; any other channel time counts, also one past 2^31, which the
  // time machine would take for a stopped clock if it were widened with its sign.
  // The whole 32-bit reading is kept for the records' stamps (ChannelLane::time_of).
  capsule.m_rawTime = [this, sourceChannel]() -> std::int64_t {
    ChannelSlot* first = first_slot(sourceChannel);
    if (!first || first->io.state != CanIo::kOnBus) return -1;
    const auto raw = static_cast<std::uint32_t>(first->io.TimeStamp());
    first->lane.lastRaw = raw;
    return raw;
  };
  m_slots.insert(at, std::move(slot));
  rebuild_routes();
  rebuild_time_machine_items();
  return adopted;
}

void CCanSourceModule::remove_source(CCanSource* source) {
  assert_configurable();
  if (!source) return;
  const auto it = slot_at(source->id());
  if (it == m_slots.end() || (*it)->source.get() != source) return;
  source->stop();
  SlowSampling::CSourceInfo::release(source);
  drop_slot(it);
  rebuild_time_machine_items();
  m_statsLayoutChanged = true;
  publish_statistics(false);
}

CCanSourceModule::Slots::const_iterator CCanSourceModule::drop_slot(Slots::const_iterator it) {
  const auto next = m_slots.erase(it);  // the source, then its handle (closed)
  rebuild_routes();
  return next;
}

bool CCanSourceModule::set_delay(std::int32_t ticks) {
  if (running()) return false;
  m_delay = ticks;
  if (!m_slots.empty())
    m_timeMachine.get(kFirstChannelItem)->m_delay = static_cast<std::int64_t>(m_delay);
  update_sync();
  return true;
}

bool CCanSourceModule::open_channels() {
  bool result = true;
  for (const auto& slot : m_slots) {
    const CCanSource& source = *slot->source;
    result =
        slot->io.Open(source.fd(), source.bitrate(), source.fd_arbitration(), source.fd_data()) &&
        result;
  }
  return result;
}

bool CCanSourceModule::update_sync() {
  const bool anyActive = std::any_of(m_slots.begin(), m_slots.end(),
                                     [](const auto& slot) { return slot->source->active(); });
  m_syncEnabled = m_sync.enable_sync(anyActive);
  return m_syncEnabled;
}

std::int32_t CCanSourceModule::channel_time(int channel) const {
  const ChannelSlot* slot = first_slot(channel);
  if (!slot || slot->io.state != CanIo::kOnBus) return -1;
  return slot->io.TimeStamp();
}

void CCanSourceModule::request_sync() {
  m_timeMachine.sync_request();
}

std::uint32_t CCanSourceModule::bytes_per_second() {
  std::uint32_t total = 0;
  for (const auto& slot : m_slots) {
    const CCanSource* source = slot->source.get();
    if (!source->active()) continue;
    const std::int32_t rate = source->fd() ? can::NominalFdDataRate(source->fd_data())
                                           : can::NominalBitrate(source->bitrate());
    total += static_cast<std::uint32_t>(rate) / 8u;
  }
  return total;
}

bool CCanSourceModule::wav_playback_running() const {
  CResourceEntry* entry = CSeaBase::MessagesSea()->FindEntry(wpWavPlaybackRunning);
  if (!entry) return false;
  if (entry->GetValueCount() == 0) {
    can::WriteEntryValue(*entry, false, 0);
    return false;
  }
  return can::ReadEntryValue<bool>(*entry, 0);
}

void CCanSourceModule::signal_change(float samplePeriod, unsigned samplesPerFrame,
                                     int floatsPerSample) {
  assert_configurable();
  m_samplePeriod = samplePeriod;
  m_samplesPerFrame = samplesPerFrame;
  m_activeSources = static_cast<std::uint32_t>(std::count_if(
      m_slots.begin(), m_slots.end(), [](const auto& slot) { return slot->source->active(); }));
  if (floatsPerSample != 0) {
    m_floatsPerSample = static_cast<unsigned>(floatsPerSample);
  } else {
    const float floats = std::ceil(static_cast<float>(bytes_per_second()) * samplePeriod * 0.25F);
    m_floatsPerSample = static_cast<unsigned>(floats);
  }
  m_samplesPerTick = static_cast<float>(kTickSeconds) / samplePeriod;
  m_tickCarry = 0.0F;
  m_ticksPerFrame = static_cast<float>(samplesPerFrame) / m_samplesPerTick;
  for (const auto& slot : m_slots) {
    slot->source->set_floats_per_sample(m_floatsPerSample);
    slot->source->size_queue(static_cast<double>(samplePeriod) * samplesPerFrame);
  }
  if (m_syncEnabled && !wav_playback_running()) {
    CTimeCapsule* usb = m_sync.usb_time_capsule();
    usb->update();
    if (usb->time() == m_usbTimeAtStart)
      PrWin::Output(L"CCanSourceModule::signal_change(): USB-Time not running\n",
                    PrWin::kCategoryError, PrWin::kStyleWarning);
  }
  m_assembler.clear();
  publish_statistics(false);
}

void CCanSourceModule::reset_channel_capsule(CTimeCapsule& capsule) {
  capsule.reset();
  capsule.m_base = m_usbTimeAtStart;
  capsule.m_delay = static_cast<std::int64_t>(m_delay);
  capsule.m_weight = 0.1;
}

bool CCanSourceModule::start() {
  if (wav_playback_running()) return true;
  m_delivered = 0;
  for (const auto& slot : m_slots)
    slot->lane.counters = {};
  bool result = true;
  if (!m_syncEnabled) update_sync();
  for (const auto& slot : m_slots)
    result = slot->io.GoOffBus() && result;
  result = open_channels() && result;
  CTimeCapsule* usb = m_sync.usb_time_capsule();
  usb->update();
  m_usbTimeAtStart = m_syncEnabled ? usb->time() : 0;
  for (const auto& slot : m_slots)
    result = slot->io.GoOnBus() && result;
  for (const auto& slot : m_slots)
    reset_channel_capsule(slot->lane.capsule);
  if (!m_syncEnabled) m_sync.frame_time_capsule()->reset();
  for (const auto& slot : m_slots)
    if (slot->source->active()) result = slot->source->start() && result;
  m_regularCallbackId =
      CCentralMessageService::RegisterRegularCallback([this] { request_sync(); }, 1000, true);
  publish_statistics(false);
  return result;
}

bool CCanSourceModule::stop() {
  if (wav_playback_running()) return true;
  CCentralMessageService::UnRegisterRegularCallback(m_regularCallbackId);
  m_regularCallbackId = 0;
  bool result = true;
  for (const auto& slot : m_slots)
    result = slot->source->stop() && result;
  for (const auto& slot : m_slots)
    slot->io.GoOffBus();
  if (m_logLevel != 0)
    PrWin::Output(PrWin::kCategoryTrace, L"CCanSourceModule::stop(): %u messages sent\n",
                  m_delivered);
  publish_statistics(false);
  return result;
}

void CCanSourceModule::set_data_offset(int offset) {
  assert_configurable();
  m_dataOffset = offset;
  for (const auto& slot : m_slots)
    slot->source->set_data_offset(offset);
}

void CCanSourceModule::propagate_log_level() {
  for (const auto& slot : m_slots)
    slot->source->set_log_level(m_logLevel);
}

BOOL CCanSourceModule::OnSpecialShutdown() {
  CCentralMessageService::UnRegisterRegularCallback(m_regularCallbackId);
  m_regularCallbackId = 0;
  for (const auto& slot : m_slots)
    slot->io.Close();
  return CSlowAsyncSourcePlugin::OnSpecialShutdown();
}

std::vector<SlowSampling::SourceStatistics> CCanSourceModule::statistics() const {
  host::MutexLock lock(m_statsLock);
  return m_stats;
}

void CCanSourceModule::publish_statistics(bool frame) {
  if (!LockSnapshot(m_statsLock, frame)) return;
  host::MutexLock lock(m_statsLock, std::adopt_lock);
  if (m_statsLayoutChanged || m_stats.size() != m_slots.size()) {
    m_stats.assign(m_slots.size(), {});
    std::size_t k = 0;
    for (const auto& slot : m_slots) {
      m_stats[k].name = slot->source->name();
      m_stats[k].note = slot->source->statistics_note();
      m_stats[k++].channel = slot->source->bus_channel();
    }
    m_statsLayoutChanged = false;
  }
  m_assembler.count_waiting();
  std::size_t k = 0;
  for (const auto& slot : m_slots) {
    CCanSource& source = *slot->source;
    const ChannelLane& lane = slot->lane;
    SlowSampling::SourceStatistics& row = m_stats[k++];
    row.active = source.active();
    row.received = source.received();
    row.delivered = lane.counters.delivered;
    row.old = lane.counters.old;
    row.noRoom = lane.counters.noRoom;
    row.future = lane.counters.future;
    row.waiting = source.queued() + lane.waiting;
    row.overflow = source.overflow();
  }
}
