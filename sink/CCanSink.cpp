// CCanSink: the decoder table, binding to the CAN sources and the offered signals.
#include "sink/CCanSink.h"

#include <algorithm>
#include <memory>
#include <utility>

#include "frame/CanBusSource.h"
#include "host/services/Host.h"
#include "host/slowsampling/CAsyncSource.h"
#include "host/slowsampling/CSourceInfo.h"
#include "sink/CCanDbcDecoder.h"

IMPLEMENT_DYNCREATE(CCanSink, CSlowSinkPlugin)

namespace {

const CanBusSource* AsCanSource(SlowSampling::CAsyncSource* source) {
  return dynamic_cast<const CanBusSource*>(source);
}

// The host keeps a source attached after its module released it (a row removed in the CAN-Bus
// dialog while the sink lives); the configuration reads only sources still signed in.
bool SignedIn(const SlowSampling::CAsyncSource* source) {
  const auto live = SlowSampling::CSourceInfo::SourceInfo().sources();
  return std::find(live.begin(), live.end(), source) != live.end();
}

// Installed by the library entry when the library loads.
struct DialogFactorySlot {
  static constexpr bool kLoadedCode = true;
  SinkDialogFactory factory = nullptr;
};
SinkDialogFactory& DialogFactory() {
  return host::CurrentHost().Get<DialogFactorySlot>().factory;
}

}  // namespace

std::set<CRuntimeClass*>& CCanSink::decoder_classes() {
  // The decoder kinds the sinks of one host offer.
  struct DecoderClasses {
    std::set<CRuntimeClass*> classes;
  };
  return host::CurrentHost().Get<DecoderClasses>().classes;
}

CCanSink::CCanSink() {
  if (const auto factory = DialogFactory()) m_dlg = factory(*this);
  decoder_classes().insert(RUNTIME_CLASS(CCanDbcDecoder));
}

CCanSink::~CCanSink() {
  m_decoding.clear();
  m_decoders.clear();
  m_dlg.reset();
}

SinkDialogFactory CCanSink::set_dialog_factory(SinkDialogFactory factory) {
  std::swap(DialogFactory(), factory);
  return factory;
}

void CCanSink::ShowSettingsDialog() {
  if (m_dlg) m_dlg->show();
}

std::vector<SinkChannel> CCanSink::channels() const {
  // The first attached source of a channel names it.
  std::map<int, CString> names;
  for (SlowSampling::CAsyncSource* source : m_sources)
    if (const CanBusSource* can = SignedIn(source) ? AsCanSource(source) : nullptr)
      names.try_emplace(can->bus_channel(), source->name());
  std::vector<SinkChannel> rows;
  for (const auto& [channel, decoder] : m_decoders)
    if (const auto name = names.find(channel); name != names.end())
      rows.push_back({channel, name->second, decoder ? decoder->GetRuntimeClass() : nullptr,
                      decoder && decoder->HasSettings()});
  return rows;
}

void CCanSink::show_decoder_settings(int channel) {
  if (const auto it = m_decoders.find(channel); it != m_decoders.end() && it->second)
    it->second->ShowSettings();
}

bool CCanSink::accepts_src(SlowSampling::CAsyncSource* source) {
  return AsCanSource(source) != nullptr;
}

bool CCanSink::add_src(SlowSampling::CAsyncSource* source) {
  // Refused before the base sees it, so that a foreign source is not attached either.
  const CanBusSource* can = AsCanSource(source);
  if (can == nullptr || !CSlowSinkPlugin::add_src(source)) return false;
  set_decoder(can->bus_channel(), nullptr);
  channels_changed();
  return true;
}

bool CCanSink::remove_src(SlowSampling::CAsyncSource* source) {
  if (!CSlowSinkPlugin::remove_src(source)) return false;
  channels_changed();
  return true;
}

void CCanSink::channels_changed() {
  if (m_dlg) m_dlg->refresh();
}

CCanDecoder* CCanSink::set_decoder(int channel, CRuntimeClass* cls) {
  if (channel < 0) return nullptr;
  auto it = m_decoders.find(channel);
  std::unique_ptr<CCanDecoder> retired;
  if (it != m_decoders.end()) {
    if (it->second != nullptr && it->second->GetRuntimeClass() == cls) return it->second.get();
    retired = std::move(it->second);
  } else {
    it = m_decoders.emplace(channel, nullptr).first;
  }
  // The new decoder is made whole here, before the processing thread can see it. A class that
  // is not a decoder leaves the channel without one.
  if (cls != nullptr) {
    std::unique_ptr<CObject> made(cls->CreateObject());
    if (dynamic_cast<CCanDecoder*>(made.get()) != nullptr)
      it->second.reset(static_cast<CCanDecoder*>(made.release()));
  }
  if (CCanDecoder* decoder = it->second.get()) {
    decoder->m_valueCallback = [this](int signal, double value, int frame) {
      callback(signal, value, frame);
    };
    decoder->RegisterOnModification([this] { apply_settings(); });
    if (auto* dbc = dynamic_cast<CCanDbcDecoder*>(decoder)) {
      dbc->Create(static_cast<unsigned>(channel));
      store_decoder_file(channel, *dbc);
    }
  }
  publish_decoders(std::move(retired));
  return it->second.get();
}

void CCanSink::publish_decoders(std::unique_ptr<CCanDecoder> retired) {
  std::map<int, CCanDecoder*> table;
  for (const auto& [channel, decoder] : m_decoders)
    table.emplace_hint(table.end(), channel, decoder.get());
  stage([this, table = std::move(table)] { m_decoding = table; },
        std::shared_ptr<CCanDecoder>(std::move(retired)));
}

void CCanSink::sync_signals() {
  for (SlowSampling::CAsyncSource* source : m_sources) {
    const CanBusSource* can = SignedIn(source) ? AsCanSource(source) : nullptr;
    if (can == nullptr) continue;
    const auto decoder = m_decoders.find(can->bus_channel());
    const auto entry = m_sourceTable.find(source->id());
    if (decoder == m_decoders.end() || !decoder->second || entry == m_sourceTable.end()) continue;
    const std::map<int, CString>& names = decoder->second->m_signalNames;
    auto& offered = entry->second.signals;
    for (auto s = offered.begin(); s != offered.end();) {
      const auto match = std::find_if(names.begin(), names.end(),
                                      [&](const auto& n) { return n.second == s->m_name; });
      if (match == names.end()) {
        s = offered.erase(s);
      } else {
        s->m_number = match->first;
        ++s;
      }
    }
    for (const auto& [number, name] : names) {
      const int wanted = number;  // clang before 16 cannot capture a structured binding
      if (std::none_of(offered.begin(), offered.end(),
                       [&](const auto& s) { return s.m_number == wanted; }))
        offered.emplace_back(name, number);
    }
  }
}

void CCanSink::apply_settings() {
  if (m_dlg) m_timeout.store(m_dlg->timeout());
  sync_signals();
  write_params();
  for (auto& [channel, decoder] : m_decoders)
    if (auto* dbc = dynamic_cast<CCanDbcDecoder*>(decoder.get())) store_decoder_file(channel, *dbc);
  update_container();
}

SlowSampling::SinkStatistics CCanSink::statistics() const {
  return {m_decoded, m_sharedFrame};
}
