#pragma once
// A decoder of one CAN bus channel of the sink: turns packets into values of application signals.
// The sink owns its decoders, installs m_valueCallback and reads m_signalNames directly.
//
// Threads: Decode and the value callback [processing]; everything else [ui].
#include <functional>
#include <map>

#include "frame/CanPacket.h"
#include "host/mfc/CObject.h"
#include "host/mfc/CString.h"

class CCanDecoder : public CObject {
  DECLARE_DYNAMIC(CCanDecoder)
 public:
  ~CCanDecoder() override = default;

  // [processing] Decodes one packet; its values reach m_valueCallback before the call returns,
  // with `frame`. False when the decoder cannot decode at all.
  virtual bool Decode(const can::CanPacket& packet, unsigned int frame) = 0;
  // [ui] Whether ShowSettings has anything to show.
  virtual bool HasSettings() { return false; }
  // [ui] Runs the decoder's own settings dialog.
  virtual void ShowSettings() {}
  // [ui] Called after the decoder's configuration changed (the default discards it). By value:
  // a decoder that keeps the callback moves it.
  // NOLINTNEXTLINE(performance-unnecessary-value-param)
  virtual void RegisterOnModification(std::function<void()> /*callback*/) {}
  // [ui] The DBC file: set (loaded), read back, its text. False for decoders without one.
  virtual bool SetDbcXmlFilename(const CString& /*path*/) { return false; }
  virtual bool GetDbcXmlFilename(CString& /*path*/) { return false; }
  virtual bool GetDbcXmlContent(CString& /*content*/) { return false; }

  // (application signal number or -1, value as decoded, frame) of every decoded value; empty
  // until the sink installs the decoder.
  std::function<void(int, double, int)> m_valueCallback;
  // The application signals the decoder produces: number -> name, ascending.
  std::map<int, CString> m_signalNames;

 protected:
  CCanDecoder() = default;
};
