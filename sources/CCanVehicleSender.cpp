#include "sources/CCanVehicleSender.h"

CCanVehicleSender::CCanVehicleSender(CSlowAsyncSourcePlugin* plugin, int type, const CString& name,
                                     int channel, bool fd, XeCanDriverKvaser::bitrate_t bitrate,
                                     XeCanDriverKvaser::fd_arbitrationrate_t fdArbitration,
                                     XeCanDriverKvaser::fd_datarate_t fdData)
    : CCanSource(plugin, type, name, channel, fd, bitrate, fdArbitration, fdData),
      m_holder(&m_control) {}

// The holder goes in reverse declaration order (the simulator, then its name), then the source.
CCanVehicleSender::~CCanVehicleSender() = default;

bool CCanVehicleSender::start() {
  const bool result = CCanSource::start();
  if (!m_holder.simulator)
    m_holder.simulator = AnalysisFactory::Current().CreateSimulator(m_holder.name, &m_control);
  if (m_holder.simulator) m_holder.simulator->Activate(true);
  return result;
}

bool CCanVehicleSender::stop() {
  const bool result = CCanSource::stop();
  if (m_holder.simulator) m_holder.simulator->Activate(false);
  return result;
}

bool CCanVehicleSender::fetch() {
  discard_queue();
  return true;
}
