#pragma once
// Selects a library's resources for the lifetime of the object, so that CLibMgr finds that
// library's strings first; the previous selection comes back at destruction.
struct AFX_EXTENSION_MODULE;

class CSwitchResourceDefault {
 public:
  // [ui] `module` is the library's extension module record.
  explicit CSwitchResourceDefault(const AFX_EXTENSION_MODULE& module);
  ~CSwitchResourceDefault();
  CSwitchResourceDefault(const CSwitchResourceDefault&) = delete;
  CSwitchResourceDefault& operator=(const CSwitchResourceDefault&) = delete;

 private:
  const AFX_EXTENSION_MODULE* m_previous;
};
