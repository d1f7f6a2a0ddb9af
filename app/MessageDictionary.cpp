#include "app/MessageDictionary.h"

#include "host/cananalysis/CDbcDecoder.h"

namespace app {

void MessageDictionary::Take(int channel,
                             std::shared_ptr<const XeCanAnalysis::DbcLoadedFile> file) {
  if (!file) {
    m_channels.erase(channel);
    return;
  }
  Channel& c = m_channels[channel];
  if (c.file == file) return;
  c.names = XeCanAnalysis::CDbcDecoder::SignalNames(file->database);
  c.file = std::move(file);
}

std::optional<MessageDictionary::Found> MessageDictionary::Find(int channel, std::uint32_t id,
                                                                const std::string& name) const {
  const auto it = m_channels.find(channel);
  if (it == m_channels.end()) return std::nullopt;
  const Channel& c = it->second;
  const XeCanAnalysis::DbcMessage* m = c.file->database.FindMessage(id);
  if (m == nullptr && (id & ~ui::kExtendedIdFlag) <= 0x7FF)
    m = c.file->database.FindMessage(id ^ ui::kExtendedIdFlag);
  if (m == nullptr) return std::nullopt;
  for (std::size_t i = 0; i < m->signals.size(); ++i) {
    const std::uint32_t flat = m->firstSignal + static_cast<std::uint32_t>(i);
    if (flat < c.names.size() && c.names[flat] == name)
      return Found{c.file, flat, m->signals[i].unit};
  }
  return std::nullopt;
}

std::string MessageDictionary::Name(int channel, std::uint32_t id) const {
  const auto it = m_channels.find(channel);
  if (it == m_channels.end()) return {};
  const XeCanAnalysis::DbcDatabase& db = it->second.file->database;
  const XeCanAnalysis::DbcMessage* m = db.FindMessage(id);
  // Some logs write standard identifiers in the extended form: the decoder takes them either way.
  if (m == nullptr && (id & ~ui::kExtendedIdFlag) <= 0x7FF)
    m = db.FindMessage(id ^ ui::kExtendedIdFlag);
  return m != nullptr ? m->name : std::string();
}

std::vector<ui::DecodedSignal> MessageDictionary::Decode(int channel, std::uint32_t id,
                                                         const std::uint8_t* data,
                                                         int length) const {
  std::vector<ui::DecodedSignal> out;
  const auto it = m_channels.find(channel);
  if (it == m_channels.end()) return out;
  const Channel& c = it->second;
  const XeCanAnalysis::DbcDatabase& db = c.file->database;
  c.file->decoder.Decode(id, data, length, [&](std::uint32_t flat, double value) {
    const auto [message, index] = db.Locate(flat);
    out.push_back({flat < c.names.size() ? c.names[flat] : std::string(),
                   db.messages[message].signals[index].unit, value});
  });
  return out;
}

}  // namespace app
