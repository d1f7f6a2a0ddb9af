// CCanSourceModule: the configured sources and the CAN bus delay in the application sea.
//
// List "CAN-Sources", one line per source in channel order:
//   name, active, channel, type, bit-rate code, FD flag, FD arbitration code, FD data code
//   "Engine bus" 1 0 0 -2 0 -1000 -1001
// Entry "CanSource-Params": part 0 = CAN bus delay in 125 µs ticks.
// Lines of older versions with only the first four values are completed with the defaults.
#include "frame/CSharpInit.h"
#include "frame/ConstantTables.h"
#include "frame/ParameterCodec.h"
#include "host/settings/CResourceList.h"
#include "host/settings/CSeaBase.h"
#include "source/CCanSourceModule.h"

namespace {
constexpr const wchar_t* kSourcesList = L"CAN-Sources";
constexpr const wchar_t* kParamsEntry = L"CanSource-Params";
constexpr int kDefaultBitrate = -2;           // 500k
constexpr int kDefaultFdArbitration = -1000;  // 500k
constexpr int kDefaultFdData = -1001;         // 1M
}  // namespace

void CCanSourceModule::read_params() {
  CSlowAsyncSourcePlugin::read_params();
  if (!m_slots.empty()) return;
  CResourceSea* sea = CSeaBase::ApplicationSea();
  CResourceList list(*sea, kSourcesList);
  for (list.GotoHead(); list.IsValid(); list.GotoNext()) {
    CResourceEntry* line = list.GetCurrentLine();
    const CString name = line->GetStringFb(0, L"unnamed");
    const bool active = line->GetBoolFb(1, false);
    const int channel = line->GetIntFb(2, -1);
    const int type = line->GetIntFb(3, 0);
    int bitrate = can::ReadOrAppendDefault(line, 4, kDefaultBitrate);
    const bool fd = can::ReadOrAppendDefault(line, 5, false);
    int arbitration = can::ReadOrAppendDefault(line, 6, kDefaultFdArbitration);
    const int data = can::ReadOrAppendDefault(line, 7, kDefaultFdData);
    if (bitrate < can::kMinBitrateCode || bitrate > can::kMaxBitrateCode) bitrate = kDefaultBitrate;
    if (arbitration != -1001 && arbitration != -1000) arbitration = kDefaultFdArbitration;
    create(type, name, channel, fd, static_cast<XeCanDriverKvaser::bitrate_t>(bitrate),
           static_cast<XeCanDriverKvaser::fd_arbitrationrate_t>(arbitration),
           static_cast<XeCanDriverKvaser::fd_datarate_t>(data), active);
  }
  m_delay = sea->LookupGetInt(kParamsEntry, 0, 0);
  // The sources above were built with the delay in force before it was read; give it to their
  // capsules now, so that a write_params before the next start stores the delay just read.
  for (const auto& slot : m_slots)
    slot->lane.capsule.m_delay = static_cast<std::int64_t>(m_delay);
}

void CCanSourceModule::write_params() const {
  CSlowAsyncSourcePlugin::write_params();
  CResourceSea* sea = CSeaBase::ApplicationSea();
  CResourceList list(*sea, kSourcesList);
  list.RemoveAll();
  for (const auto& slot : m_slots) {
    const CCanSource* source = slot->source.get();
    CResourceEntry* line = list.AddLineTail();
    if (!line) break;
    line->SetText(source->name(), 0);
    line->SetBool(source->active(), 1);
    line->SetInt(source->bus_channel(), 2);
    line->SetInt(source->type(), 3);
    can::WriteEntryValue(*line, static_cast<int>(source->bitrate()), 4);
    can::WriteEntryValue(*line, source->fd(), 5);
    can::WriteEntryValue(*line, static_cast<int>(source->fd_arbitration()), 6);
    can::WriteEntryValue(*line, static_cast<int>(source->fd_data()), 7);
  }
  CSharpInit runtime;
  runtime.StoreSettings();
  if (m_timeMachine.item_count() > kFirstChannelItem)
    can::WriteNamedValue(*sea, kParamsEntry,
                         static_cast<std::int64_t>(m_timeMachine.get(kFirstChannelItem)->m_delay),
                         0);
}
