#pragma once
// Stores a container of identifier ranges as a list of the settings store, one line per range:
// start, stop and active flag in decimal separated by single blanks.
//
//   (0, 1073741823, true)   <-> "0 1073741823 1"
//   (256, 511, false)       <-> "256 511 0"
//   "12 x"                  ->  (12, 0, false)   fields that cannot be read stay 0 / false
//   ""                      ->  (0, 0, false)    the line is still taken
#include <sstream>
#include <string>

#include "host/mfc/CString.h"
#include "host/settings/CResourceList.h"
#include "host/settings/CSeaBase.h"

namespace DataSource {

template <class Container>
class CDataSourceBase {
 public:
  virtual ~CDataSourceBase() = default;
  // [ui] Fills the container; false when nothing could be read (the container is then untouched).
  virtual bool read(Container& target) = 0;
  // [ui] Stores the container.
  virtual bool write(const Container& /*source*/) { return true; }
};

template <class Container>
class CStdSeaContainerDataSource : public CDataSourceBase<Container> {
 public:
  CStdSeaContainerDataSource(const CString& listName, CSeaBase::seaIdx sea)
      : m_listName(listName), m_sea(sea) {}

  void set_list_name(const CString& name) { m_listName = name; }
  const CString& list_name() const noexcept { return m_listName; }

  bool read(Container& target) override {
    m_loaded = true;
    const CResourceSea& sea = *CSeaBase::Sea(m_sea);
    CResourceList list(sea, m_listName);
    if (list.Status() != 1) return false;
    target.clear();
    for (list.GotoHead(); list.IsValid(); list.GotoNext()) {
      CString text;
      list.GetCurrentLine()->GetLineValuePart(text);
      std::wistringstream in(text.str());
      int first = 0;
      int second = 0;
      bool flag = false;
      in >> first;
      in >> second;
      in >> flag;
      target.push_back({first, second, flag});
    }
    return true;
  }

  // Writes nothing unless the table was read first, so a source that never loaded its table
  // cannot wipe the stored one.
  bool write(const Container& source) override {
    if (!m_loaded) return true;
    CResourceList list(*CSeaBase::Sea(m_sea), m_listName);
    list.RemoveAll();
    for (const auto& [start, stop, active] : source) {
      CResourceEntry* line = list.AddLineTail();
      if (!line) return false;
      line->SetSeaLine(
          (std::to_wstring(start) + L' ' + std::to_wstring(stop) + L' ' + (active ? L'1' : L'0'))
              .c_str());
    }
    return true;
  }

 private:
  bool m_loaded = false;
  CString m_listName;
  CSeaBase::seaIdx m_sea;
};

template <class Container>
class CApplicationSeaContainerDataSource : public CStdSeaContainerDataSource<Container> {
 public:
  explicit CApplicationSeaContainerDataSource(const CString& listName)
      : CStdSeaContainerDataSource<Container>(listName, CSeaBase::seaIdx{0}) {}
};

}  // namespace DataSource
