#pragma once
// Source type 1: a simulated vehicle on the channel. The host's OBD-II simulator answers on the
// source's bus while the source is started; the source captures nothing for the host.
#include "sources/AnalysisHolders.h"
#include "sources/CCanSource.h"

class CCanVehicleSender : public CCanSource {
 public:
  CCanVehicleSender(CSlowAsyncSourcePlugin* plugin, int type, const CString& name, int channel,
                    bool fd, XeCanDriverKvaser::bitrate_t bitrate,
                    XeCanDriverKvaser::fd_arbitrationrate_t fdArbitration,
                    XeCanDriverKvaser::fd_datarate_t fdData);
  ~CCanVehicleSender() override;

  // [processing] Base start, then the simulator (made at the first start) switched on.
  bool start() override;
  // [processing] Base stop, then the simulator switched off.
  bool stop() override;
  // [processing] Drops whatever was queued; the batch stays empty.
  bool fetch() override;

  const wchar_t* statistics_note() const noexcept override {
    return L"vehicle simulation: answers on its bus, records nothing";
  }

  const SimulatorHolder& holder() const noexcept { return m_holder; }

 private:
  SimulatorHolder m_holder;
};
