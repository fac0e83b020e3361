#include "PkgPropertyMgr.h"

namespace pkg {

void PkgPropertyMgr::BeginUpdate() {
  m_snapshot = m_store;
  m_inUpdate = true;
}

void PkgPropertyMgr::CancelUpdate() {
  m_store = std::move(m_snapshot);
  m_snapshot.clear();
  m_inUpdate = false;
}

void PkgPropertyMgr::EndUpdate() {
  m_snapshot.clear();
  m_inUpdate = false;
}

}  // namespace pkg
