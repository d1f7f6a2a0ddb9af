// CCanSink: the stored settings.
//
// Application sea:
//   entry "CanSink-Params"         part 0 = time-out for message update, seconds (0: none)
//   list  "<module name>-Busses"   one line per bus channel: channel, decoder class or "-"
//     0 CCanDbcDecoder             -> channel 0 gets a DBC decoder
//     1 "DBC Decoder"              -> the same (the decoder's display name is accepted)
//     2 -                          -> channel 2 has no decoder
//     3                            -> (no class) nothing
// Messages sea:
//   list  "CanDecoders-XMLFiles"   channel, DBC file; a line per channel that had a DBC decoder
#include <cstdint>

#include "frame/ConstantTables.h"
#include "frame/ParameterCodec.h"
#include "host/paramdb/CPqParamInstance.h"
#include "host/settings/CResourceList.h"
#include "host/settings/CSeaBase.h"
#include "host/settings/FileIO.h"
#include "host/settings/LogCategories.h"
#include "host/settings/PrWin.h"
#include "sink/CCanDbcDecoder.h"
#include "sink/CCanSink.h"

namespace {

constexpr const wchar_t* kParamsEntry = L"CanSink-Params";
constexpr const wchar_t* kBussesSuffix = L"-Busses";
constexpr const wchar_t* kFilesList = L"CanDecoders-XMLFiles";
constexpr const wchar_t* kNoDecoder = L"-";
constexpr const wchar_t* kDbcDisplayName = L"DBC Decoder";
constexpr std::size_t kMaxKeyChars = 200;

CString ClassName(const CObject* object) {
  const CRuntimeClass* cls = object != nullptr ? object->GetRuntimeClass() : nullptr;
  return cls != nullptr ? CString::FromUtf8(cls->m_lpszClassName) : CString();
}

}  // namespace

void CCanSink::apply_param_db_files() {
  CPqParamInstance db(nullptr);
  // The parameter database names a DBC file for the channels of DbcFileKeys only.
  for (int channel = 0; channel < static_cast<int>(DbcFileKeys.size()); ++channel) {
    TableType::Text key{};
    TableType::strcopy(key, DbcFileKeys[static_cast<std::size_t>(channel)], kMaxKeyChars);
    const AuxStringRow* row = db.AuxStrings().Find(key);
    const auto it = m_decoders.find(channel);
    if (row == nullptr || it == m_decoders.end() || it->second == nullptr) continue;
    const CString path = FileIO::makePathAbsolute(row->text, CSeaBase::DefaultPath());
    if (it->second->SetDbcXmlFilename(path)) {
      if (m_logLevel != 0)
        PrWin::Output(PrWin::kCategoryTrace,
                      L"CCanSink::read_params() decoder->SetDbcXmlFilename: File %s for Can Bus "
                      L"Channel %d successfully set from Parameter Database.\n",
                      path.GetString(), channel);
    } else {
      PrWin::Output(PrWin::kCategoryTrace,
                    L"CCanSink::read_params() decoder->SetDbcXmlFilename (From Parameter "
                    L"Database): Could not set and open File %s for Can Bus Channel %d.\n",
                    path.GetString(), channel);
    }
  }
}

void CCanSink::read_params() {
  CSlowSinkPlugin::read_params();
  apply_param_db_files();
  choose_stored_decoders();
  sync_signals();
  if (const CResourceEntry* entry = CSeaBase::ApplicationSea()->FindEntry(kParamsEntry))
    m_timeout.store(can::ReadEntryValue<std::uint32_t>(*entry, 0));
  if (m_dlg) m_dlg->set_timeout(m_timeout.load());
}

// Not read_params again: the parameter database's files would overwrite the files the user chose
// for decoders that exist by now.
void CCanSink::sources_changed() {
  choose_stored_decoders();
  sync_signals();
  update_container();
}

void CCanSink::choose_stored_decoders() {
  CResourceList list(CSeaBase::ApplicationSea(), ModuleName() + kBussesSuffix);
  for (list.GotoHead(); list.IsValid(); list.GotoNext()) {
    const CResourceEntry* line = list.GetCurrentLine();
    const int channel = line->GetIntFb(0, -1);
    CString name = line->GetStringFb(1, kNoDecoder);
    if (name == kDbcDisplayName)
      name = CString::FromUtf8(RUNTIME_CLASS(CCanDbcDecoder)->m_lpszClassName);
    for (CRuntimeClass* cls : decoder_classes()) {
      if (CString::FromUtf8(cls->m_lpszClassName) != name) continue;
      set_decoder(channel, cls);
      break;
    }
  }
}

void CCanSink::write_params() const {
  CSlowSinkPlugin::write_params();
  CResourceSea* sea = CSeaBase::ApplicationSea();
  can::WriteNamedValue(*sea, kParamsEntry, static_cast<std::uint32_t>(m_timeout.load()), 0);
  CResourceList list(sea, ModuleName() + kBussesSuffix);
  list.RemoveAll();
  for (const auto& [channel, decoder] : m_decoders) {
    CResourceEntry* line = list.AddLineTail();
    if (line == nullptr) break;
    line->SetInt(channel, 0);
    line->SetText(decoder != nullptr ? ClassName(decoder.get()) : CString(kNoDecoder), 1);
  }
}

bool CCanSink::store_decoder_file(int channel, CCanDbcDecoder& decoder) {
  CString path;
  if (!decoder.GetDbcXmlFilename(path)) return false;
  CResourceList list(CSeaBase::MessagesSea(), kFilesList);
  CResourceEntry* match = nullptr;
  for (list.GotoHead(); list.IsValid() && match == nullptr; list.GotoNext()) {
    CResourceEntry* line = list.GetCurrentLine();
    if (can::ReadOrAppendDefault(line, 0, -1) == channel) match = line;
  }
  if (match == nullptr) match = list.AddLineTail();
  if (match == nullptr) return false;
  match->SetInt(channel, 0);
  match->SetText(path, 1);
  return true;
}
