#include "host/slowsampling/CAsyncSource.h"

#include "host/slowsampling/CSourceInfo.h"

namespace SlowSampling {

CAsyncSource::CAsyncSource(CSlowAsyncSourcePlugin* plugin, const CString& name)
    : m_plugin(plugin), m_name(name) {}

CAsyncSource::~CAsyncSource() {
  CSourceInfo::release(this);
}

}  // namespace SlowSampling
