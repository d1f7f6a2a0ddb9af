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
