#include "app/CanSinkHost.h"

#include <filesystem>

#include "host/cananalysis/DbcDecoderConfig.h"
#include "host/module/ModuleRegistry.h"
#include "host/settings/CResourceList.h"
#include "host/settings/CSeaBase.h"
#include "host/settings/FileIO.h"
#include "host/slowsampling/CSourceInfo.h"

namespace app {
namespace {

// The sink's DBC decoder class, as its settings name it.
constexpr const wchar_t* kDbcDecoderClass = L"CCanDbcDecoder";

// Points the channel's line of the sink's bus list at the DBC decoder class.
void StoreBusLine(int channel) {
  CResourceList list(CSeaBase::ApplicationSea(), CString(CanSinkHost::kModuleName) + L"-Busses");
  for (list.GotoHead(); list.IsValid(); list.GotoNext()) {
    CResourceEntry* line = list.GetCurrentLine();
    if (line->GetIntFb(0, -1) != channel) continue;
    line->SetText(kDbcDecoderClass, 1);
    return;
  }
  if (CResourceEntry* line = list.AddLineTail()) {
    line->SetInt(channel, 0);
    line->SetText(kDbcDecoderClass, 1);
  }
}

}  // namespace

CanSinkHost::~CanSinkHost() {
  if (m_observer != 0) SlowSampling::CSourceInfo::SourceInfo().unobserve(m_observer);
}

std::wstring CanSinkHost::DecoderName(int channel) {
  // The names the sink's DBC decoder gives its host decoder, one per channel.
  return channel == 0 ? L"DBC Decoder" : L"CCanDbcDecoder_" + std::to_wstring(channel);
}

bool CanSinkHost::StoreDbcFile(int channel, const std::string& file, std::string& error,
                               bool allSignals) {
  using XeCanAnalysis::DbcDecoderConfig;
  const CString name(DecoderName(channel).c_str());
  const std::filesystem::path path = DbcDecoderConfig::PathFor(name);
  DbcDecoderConfig config;
  std::error_code ec;
  if (std::filesystem::exists(path, ec)) {
    std::wstring why;
    if (const auto text = FileIO::ReadWholeFile(path, why)) {
      // The user's assignments stay; lines in error are the decoder's to report when it reads.
      std::vector<std::string> ignored;
      config = DbcDecoderConfig::Parse(*text, path.string(), ignored);
    }
  }
  config.dbcFile = CString::FromUtf8(std::filesystem::absolute(file, ec).string());
  config.allSignals = config.allSignals || allSignals;
  std::filesystem::create_directories(path.parent_path(), ec);
  std::wstring why;
  if (!FileIO::WriteFileAtomic(path, config.Format(name), why)) {
    error = path.string() + ": " + CString(why).ToUtf8();
    return false;
  }
  StoreBusLine(channel);
  return true;
}

bool CanSinkHost::Create(CanSourceHost& sources, std::string& error, bool bindFirst) {
  const CString name(kModuleName);
  m_module = host::ModuleRegistry::Instance().Create(name);
  m_sink = dynamic_cast<CSlowSinkPlugin*>(m_module.get());
  if (m_sink == nullptr || !m_sink->Create(name, nullptr)) {
    error = "no slow-sampling sink '" + name.ToUtf8() + "' is registered";
    m_sink = nullptr;
    m_module.reset();
    return false;
  }
  m_sink->create(nullptr);
  const auto bind = [&] {
    for (SlowSampling::CAsyncSource* source : SlowSampling::CSourceInfo::SourceInfo().sources())
      if (source->plugin() == sources.Plugin() && m_sink->accepts_src(source))
        m_sink->add_src(source);
  };
  if (bindFirst) bind();
  m_sink->read_params();
  if (!bindFirst) bind();
  m_sink->update_container();
  sources.AttachSink(m_sink);
  m_observer = SlowSampling::CSourceInfo::SourceInfo().observe(
      [this, plugin = sources.Plugin()](SlowSampling::CAsyncSource* source, bool signedIn) {
        SourceChanged(source, signedIn, plugin);
      });
  return true;
}

void CanSinkHost::SourceChanged(SlowSampling::CAsyncSource* source, bool signedIn,
                                const CSlowAsyncSourcePlugin* plugin) {
  if (!signedIn) {
    m_sink->remove_src(source);
    return;
  }
  if (source->plugin() != plugin || !m_sink->accepts_src(source) || !m_sink->add_src(source))
    return;
  // Binding resets the channel's decoder; the sink chooses it again from its settings.
  m_sink->sources_changed();
}

void CanSinkHost::Destroy(CanSourceHost& sources) {
  if (m_observer != 0) SlowSampling::CSourceInfo::SourceInfo().unobserve(m_observer);
  m_observer = 0;
  sources.DetachSink(m_sink);
  m_sink = nullptr;
  m_module.reset();
}

void CanSinkHost::Shutdown() {
  if (m_sink != nullptr) m_sink->write_params();
}

}  // namespace app
