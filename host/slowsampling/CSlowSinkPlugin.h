#pragma once
// Base of a slow-sampling sink plug-in: the host attaches asynchronous sources to it and hands it
// the sources' data block by block ([processing]); configuration runs on [ui].
#include "host/module/CSpecialModeClient.h"

class CSlowSink;
namespace SlowSampling {
class CAsyncSource;
}

class CSlowSinkPlugin : public CSpecialModeClient {
  DECLARE_DYNAMIC(CSlowSinkPlugin)
 public:
  CSlowSinkPlugin() = default;
  ~CSlowSinkPlugin() override = default;

  void BuildContextMenu() override {}
  void ProcessContextMenu(UINT /*id*/) override {}

  virtual void create(CSlowSink* sink) { m_sink = sink; }
  virtual bool accepts_src(SlowSampling::CAsyncSource* /*source*/) { return false; }
  virtual bool add_src(SlowSampling::CAsyncSource* source) { return source != nullptr; }
  virtual void read_params() {}
  virtual void write_params() const {}

  int log_level() const noexcept { return m_logLevel; }
  void set_log_level(int level) { m_logLevel = level; }

 protected:
  CSlowSink* m_sink = nullptr;
  int m_logLevel = 0;
};
