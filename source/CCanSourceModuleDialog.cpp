// CCanSourceModule: the sources as its "CAN-Bus" window sees and changes them.
#include "source/CCanSourceModule.h"

std::vector<SourceRow> CCanSourceModule::source_rows() const {
  std::vector<SourceRow> rows;
  for (const auto& slot : m_slots) {
    CCanSource* source = slot->source.get();
    rows.push_back({source->id(), source->type(), source->name(), source->bus_channel(),
                    source->fd(), source->bitrate(), source->fd_arbitration(), source->fd_data(),
                    source->active(), source->has_settings()});
  }
  return rows;
}

bool CCanSourceModule::add_source(const SourceRow& row) {
  return create(row.type, row.name, row.channel, row.fd,
                static_cast<XeCanDriverKvaser::bitrate_t>(row.bitrate),
                static_cast<XeCanDriverKvaser::fd_arbitrationrate_t>(row.fdArbitration),
                static_cast<XeCanDriverKvaser::fd_datarate_t>(row.fdData), row.active) != nullptr;
}

void CCanSourceModule::rename_source(int id, const CString& name, bool active) {
  assert_configurable();
  ChannelSlot* slot = find_slot(id);
  if (!slot) return;
  slot->source->name(name);
  slot->source->set_active(active);
}

void CCanSourceModule::remove_source_id(int id) {
  if (const ChannelSlot* slot = find_slot(id)) remove_source(slot->source.get());
}

void CCanSourceModule::show_source_settings(int id) {
  if (const ChannelSlot* slot = find_slot(id)) slot->source->show_settings();
}
