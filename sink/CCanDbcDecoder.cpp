#include "sink/CCanDbcDecoder.h"

#include "host/mfc/CList.h"
#include "host/paramdb/CMeasuringUnit.h"
#include "host/paramdb/CPqParamInstance.h"

IMPLEMENT_DYNCREATE(CCanDbcDecoder, CCanDecoder)

namespace {

// Property flags that offer an application signal to CAN decoding.
constexpr unsigned kOfferedFlags = 0x0A;
constexpr std::size_t kMaxUnitChars = 200;

bool HasBuiltInUnit(int code) {
  return code == 0 ||
         (code >= CMeasuringUnit::kFirstBuiltIn && code <= CMeasuringUnit::kLastBuiltIn);
}

}  // namespace

CCanDbcDecoder::~CCanDbcDecoder() = default;

bool CCanDbcDecoder::Create(unsigned int channel) {
  if (m_dbcDecoder) return false;
  CString name(L"DBC Decoder");
  if (channel != 0) {
    const CRuntimeClass* cls = GetRuntimeClass();
    name.Format(L"%s_%u", cls ? CString::FromUtf8(cls->m_lpszClassName).GetString() : L"", channel);
  }
  m_dbcDecoder = std::make_unique<XeCanAnalysis::CDbcDecoder>(
      name, [this](int index, int signal, double value, int frame) {
        OnDecoded(index, signal, value, frame);
      });
  m_dbcDecoder->Create();
  EnumerateSignals();
  m_dbcDecoder->RegisterOnDecoderModification([this] { OnDecoderModified(); });
  return true;
}

bool CCanDbcDecoder::Decode(const can::CanPacket& packet, unsigned int frame) {
  if (!m_dbcDecoder) return false;
  // The packet's parts go to the decoder as they are: its identifier already carries bit 31 for
  // an extended frame, and a packet is never a remote or error frame.
  // NOLINTNEXTLINE(bugprone-signed-char-misuse): the length is a count, never a character
  m_dbcDecoder->DecodeFrame(packet.id, packet.data, packet.length, frame);
  return true;
}

void CCanDbcDecoder::OnDecoded(int /*index*/, int signal, double value, int frame) {
  m_valueCallback(signal, value, frame);
}

void CCanDbcDecoder::OnSignalEnumerated(XeCanAnalysis::CDbcSignal& signal) {
  // A DBC signal without application signal produces nothing the sink could offer.
  if (signal.m_appSignal < 0) return;
  m_signalNames.try_emplace(signal.m_appSignal, signal.m_name);
}

void CCanDbcDecoder::EnumerateSignals() {
  m_signalNames.clear();
  m_dbcDecoder->EnumSignals([this](XeCanAnalysis::CDbcSignal& s) { OnSignalEnumerated(s); });
}

void CCanDbcDecoder::OnDecoderModified() {
  EnumerateSignals();
  if (m_onModified) m_onModified();
}

void CCanDbcDecoder::RegisterOnModification(std::function<void()> callback) {
  m_onModified = std::move(callback);
}

bool CCanDbcDecoder::SetDbcXmlFilename(const CString& path) {
  return m_dbcDecoder && m_dbcDecoder->SetFileName(path);
}

bool CCanDbcDecoder::GetDbcXmlFilename(CString& path) {
  return m_dbcDecoder && m_dbcDecoder->GetFileName(path);
}

bool CCanDbcDecoder::GetDbcXmlContent(CString& content) {
  return m_dbcDecoder && m_dbcDecoder->GetDbcXmlContent(content);
}

void CCanDbcDecoder::ShowSettings() {
  if (!m_dbcDecoder) return;
  CPqParamInstance db(nullptr);
  if (!db.Initialized()) return;
  CList<XeCanAnalysis::CAppSignal> signals;
  for (AppSignalPropertyRow& property : db.AppSignalProperty()) {
    if ((property.flags & kOfferedFlags) == 0) continue;
    const ApplicationSignalRow* row = db.ApplicationSignal(property.signal);
    const CString name =
        row ? CString(TableType::view(row->name)) : db.ApplicationSignalName(property.signal);
    if (HasBuiltInUnit(property.unitCode)) {
      const int modifier =
          property.unitModifier == -1 || property.unitModifier == 1 ? 0 : property.unitModifier;
      const CString unit = CMeasuringUnit(property.unitCode, modifier, 1, 1.0, 0).prefixunit(false);
      TableType::strcopy(property.unitText, unit.GetString(), kMaxUnitChars);
    }
    signals.AddTail(XeCanAnalysis::CAppSignal(
        property.signal, name, CString(TableType::view(property.unitText)), property.flags));
  }
  m_dbcDecoder->SetApplicationSignals(signals);
  m_dbcDecoder->CallSettingsDialog();
  EnumerateSignals();
}
