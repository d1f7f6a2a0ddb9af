#include "sources/CCanObdProbe.h"

#include "frame/ParameterCodec.h"
#include "host/mfc/Win.h"
#include "host/services/Host.h"
#include "host/settings/CSeaBase.h"
#include "host/settings/LogCategories.h"
#include "host/settings/PrWin.h"

namespace {
constexpr std::uint32_t kDefaultResolution = 10;
constexpr std::size_t kResolutionColumn = 0;
constexpr std::size_t kRegularColumn = 1;
constexpr std::size_t kAtStartColumn = 2;
// Installed by the library entry when the library loads.
struct DialogFactorySlot {
  static constexpr bool kLoadedCode = true;
  SequencerDialogFactory factory = nullptr;
};
SequencerDialogFactory& DialogFactory() {
  return host::CurrentHost().Get<DialogFactorySlot>().factory;
}
}  // namespace

CCanObdProbe::CCanObdProbe(CSlowAsyncSourcePlugin* plugin, int type, const CString& name,
                           int channel, bool fd, XeCanDriverKvaser::bitrate_t bitrate,
                           XeCanDriverKvaser::fd_arbitrationrate_t fdArbitration,
                           XeCanDriverKvaser::fd_datarate_t fdData)
    : CCanSource(plugin, type, name, channel, fd, bitrate, fdArbitration, fdData),
      m_holder(&m_control) {
  // The window reads the values through values() whenever it shows them.
  if (const auto factory = DialogFactory()) m_dlg = factory(*this);
  read_settings();
  m_control.AddCanReadMonitor([this](const CanMessage& m) { return on_message(m); });
  m_holder.timer = m_timerResolution;
}

SequencerDialogFactory CCanObdProbe::set_dialog_factory(SequencerDialogFactory factory) {
  std::swap(DialogFactory(), factory);
  return factory;
}

// The dialog goes first, then the holder in reverse order (the sequencer, its name), then the
// source.
CCanObdProbe::~CCanObdProbe() {
  if (m_holder.sequencer) m_holder.sequencer->ShutDown();
  write_settings();
  m_dlg.reset();
}

void CCanObdProbe::show_settings() {
  if (m_dlg) m_dlg->show();
}

SequencerValues CCanObdProbe::values() const {
  return {m_timerResolution.load(), m_regularActive.load(), m_executeAtStart.load()};
}

void CCanObdProbe::read_settings() {
  CResourceSea& sea = *CSeaBase::ApplicationSea();
  // Looked up once per column: completing column 0 may add the part column 1 then finds.
  m_timerResolution = static_cast<std::int32_t>(
      can::ReadOrAppendDefault(sea.FindEntry(name()), kResolutionColumn, kDefaultResolution));
  m_regularActive = can::ReadOrAppendDefault(sea.FindEntry(name()), kRegularColumn, false);
  m_executeAtStart = can::ReadOrAppendDefault(sea.FindEntry(name()), kAtStartColumn, false);
}

void CCanObdProbe::write_settings() {
  CResourceSea& sea = *CSeaBase::ApplicationSea();
  const std::wstring entry = name().str();
  can::WriteNamedValue(sea, entry, static_cast<std::uint32_t>(m_timerResolution.load()),
                       kResolutionColumn);
  can::WriteNamedValue(sea, entry, m_regularActive.load(), kRegularColumn);
  can::WriteNamedValue(sea, entry, m_executeAtStart.load(), kAtStartColumn);
}

bool CCanObdProbe::start() {
  const bool result = CCanSource::start();
  if (!m_holder.sequencer) {
    m_holder.sequencer = AnalysisFactory::Current().CreateSequencer(m_holder.name, &m_control);
    if (m_holder.timer >= 0) m_holder.sequencer->SetTimer(m_holder.timer);
  }
  if (m_executeAtStart) m_holder.sequencer->StartAction();
  if (m_regularActive)
    m_holder.sequencer->StartTimer();
  else
    m_holder.sequencer->StopTimer();
  return result;
}

bool CCanObdProbe::stop() {
  const bool result = CCanSource::stop();
  if (m_holder.sequencer) m_holder.sequencer->StopTimer();
  return result;
}

// A new resolution is only stored: it reaches a sequencer made from the store later, which the
// log tells the person who changed it.
void CCanObdProbe::apply_settings(const SequencerValues& values) {
  if (m_holder.sequencer && values.timerResolution != m_timerResolution.load())
    PrWin::Output(PrWin::kCategoryError,
                  L"CCanObdProbe: %s: the timer resolution of %d ms is stored; the sequencer keeps "
                  L"%d ms until the source is built again (a change of its row in the CAN-Bus "
                  L"window, or the next start of the program)\n",
                  name().GetString(), values.timerResolution, m_holder.timer);
  m_timerResolution = values.timerResolution;
  m_regularActive = values.regularActive;
  if (m_holder.sequencer) {
    if (m_regularActive)
      m_holder.sequencer->StartTimer();
    else
      m_holder.sequencer->StopTimer();
  }
  m_executeAtStart = values.executeAtStart;
  write_settings();
}

void CCanObdProbe::one_shot() {
  if (m_holder.sequencer) m_holder.sequencer->StartAction();
}

void CCanObdProbe::options() {
  if (m_holder.sequencer) {
    m_holder.sequencer->ChangeSettings();
    return;
  }
  AfxMessageBox(
      L"CanSequencer object not yet instanciated; activate this channel first and apply settings. "
      L"(Instantiation requries new \"Insert Candidate\".)",
      MB_ICONINFORMATION);
}
