#include "host/settings/CResourceSea.h"

#include "host/settings/FileIO.h"
#include "host/settings/LogCategories.h"
#include "host/settings/PrWin.h"

CResourceSea::CResourceSea(std::wstring name, std::filesystem::path file)
    : m_name(std::move(name)), m_file(std::move(file)) {}

bool CResourceSea::Load() {
  host::SeaContent content;
  host::SeaError error{m_file, 0, 0, {}};
  bool ok = true;
  std::error_code ec;
  if (std::filesystem::exists(m_file, ec) || ec) {
    const auto bytes = FileIO::ReadWholeFile(m_file, error.what);
    // The error names the file already; SeaError::ToString puts it in front once more.
    const std::wstring prefix = m_file.wstring() + L": ";
    if (!bytes && error.what.starts_with(prefix)) error.what.erase(0, prefix.size());
    ok = bytes && host::SeaFile::Parse(*bytes, m_file, content, error);
    if (!ok) content = {};
  }
  {
    std::lock_guard lock(m_mutex);
    m_entries.clear();
    m_lists.clear();
    for (auto& entry : content.entries) {
      m_entries.emplace_back(this, std::move(entry.name)).m_parts = std::move(entry.parts);
    }
    for (auto& list : content.lists) {
      auto& node = m_lists.emplace_back(List{std::move(list.name), {}});
      for (auto& parts : list.lines)
        node.lines.emplace_back(this).m_parts = std::move(parts);
    }
    m_changed = false;
    if (ok) {
      m_refused.reset();
    } else {
      m_refused = error;
    }
  }
  if (!ok) {
    const std::wstring line = L"CResourceSea::Load(): " + error.ToString() + L"; sea \"" + m_name +
                              L"\" starts empty and this file will not be overwritten\n";
    PrWin::Output(line.c_str(), PrWin::kCategoryError, PrWin::kStyleError);
  }
  return ok;
}

bool CResourceSea::Save() {
  std::wstring failure;
  {
    std::lock_guard lock(m_mutex);
    if (m_refused) {
      failure = L"CResourceSea::Save(): sea \"" + m_name + L"\" not saved: " + m_file.wstring() +
                L" was refused when loading and is left untouched\n";
    } else if (m_changed) {
      std::wstring error;
      if (FileIO::WriteFileAtomic(m_file, host::SeaFile::Write(ContentLocked(), m_name), error)) {
        m_changed = false;
      } else {
        failure = L"CResourceSea::Save(): sea \"" + m_name + L"\" not saved: " + error + L"\n";
      }
    }
  }
  if (failure.empty()) return true;
  PrWin::Output(failure.c_str(), PrWin::kCategoryError, PrWin::kStyleError);
  return false;
}

std::optional<host::SeaError> CResourceSea::LoadError() const {
  std::lock_guard lock(m_mutex);
  return m_refused;
}

CResourceEntry* CResourceSea::FindEntryLocked(const std::wstring& name) const {
  for (auto& entry : m_entries) {
    if (entry.m_name == name) return &entry;
  }
  return nullptr;
}

CResourceSea::List* CResourceSea::FindListLocked(const std::wstring& name) const {
  for (auto& list : m_lists) {
    if (list.name == name) return &list;
  }
  return nullptr;
}

CResourceEntry* CResourceSea::FindEntry(const CString& name) {
  std::lock_guard lock(m_mutex);
  return FindEntryLocked(name.str());
}

const CResourceEntry* CResourceSea::FindEntry(const CString& name) const {
  std::lock_guard lock(m_mutex);
  return FindEntryLocked(name.str());
}

lookup::result CResourceSea::LookupEntry(CResourceEntry*& entry, int mode, const CString& name,
                                         int /*flags*/) {
  std::lock_guard lock(m_mutex);
  entry = FindEntryLocked(name.str());
  if (entry) return lookup::found;
  if (mode != kLookupFindOrCreate) return lookup::notFound;
  entry = &m_entries.emplace_back(this, name.str());
  m_changed = true;
  return lookup::created;
}

int CResourceSea::LookupGetInt(const CString& name, std::size_t index, int fallback) const {
  const CResourceEntry* entry = FindEntry(name);
  return entry ? entry->GetIntFb(index, fallback) : fallback;
}

host::SeaContent CResourceSea::Content() const {
  std::lock_guard lock(m_mutex);
  return ContentLocked();
}

host::SeaContent CResourceSea::ContentLocked() const {
  host::SeaContent content;
  for (const auto& entry : m_entries)
    content.entries.push_back({entry.m_name, entry.m_parts});
  for (const auto& list : m_lists) {
    auto& out = content.lists.emplace_back(host::SeaContent::List{list.name, {}});
    for (const auto& line : list.lines)
      out.lines.push_back(line.m_parts);
  }
  return content;
}
