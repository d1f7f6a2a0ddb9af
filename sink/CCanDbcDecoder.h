#pragma once
// The DBC decoder of a bus channel: wraps the host's DBC decoder, names it after the channel
// ("DBC Decoder" on channel 0, "CCanDbcDecoder_<channel>" elsewhere, so that each channel keeps a
// configuration of its own), forwards its values to the sink and keeps the table of the
// application signals it produces.
#include <memory>

#include "frame/CSharpInit.h"
#include "host/cananalysis/CDbcDecoder.h"
#include "sink/CCanDecoder.h"

class CCanDbcDecoder : public CCanDecoder {
  DECLARE_DYNCREATE(CCanDbcDecoder)
 public:
  CCanDbcDecoder() = default;
  ~CCanDbcDecoder() override;

  // [ui] Builds the host decoder for `channel`: reads its stored configuration and fills
  // m_signalNames. False (nothing changed) when it exists already.
  bool Create(unsigned int channel);

  bool Decode(const can::CanPacket& packet, unsigned int frame) override;
  bool HasSettings() override { return true; }
  void ShowSettings() override;
  void RegisterOnModification(std::function<void()> callback) override;
  bool SetDbcXmlFilename(const CString& path) override;
  bool GetDbcXmlFilename(CString& path) override;
  bool GetDbcXmlContent(CString& content) override;

  // [ui] The host decoder (owned), null before Create.
  XeCanAnalysis::CDbcDecoder* host_decoder() const noexcept { return m_dbcDecoder.get(); }

 private:
  void OnDecoded(int index, int signal, double value, int frame);
  void OnSignalEnumerated(XeCanAnalysis::CDbcSignal& signal);
  void OnDecoderModified();
  void EnumerateSignals();

  CSharpInit m_runtimeInit;
  std::unique_ptr<XeCanAnalysis::CDbcDecoder> m_dbcDecoder;
  std::function<void()> m_onModified;
};
