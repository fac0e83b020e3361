#include "PkgPropertyMgr.h"

#include <iterator>

#include "pkg/PkgException.h"
#include "pkg/PkgHexStrings.h"

namespace pkg {

void PkgPropertyMgr::CheckRecordKey(const std::string& inName, int inKey) {
  const bool entryKey = inKey == kKeyDate || inKey == kKeyTime || inKey == kKeyTypeCreator;
  if (inKey == kKeyComment || (entryKey && inName != "/")) {
    return;
  }
  throw PackageException(kPkgErrBadArgument);
}

std::string PkgPropertyMgr::GetRecordProperty(const std::string& inName, int inKey) const {
  CheckRecordKey(inName, inKey);
  const auto holder = m_store.find(inName);
  if (holder == m_store.end()) {
    return std::string();
  }
  const auto value = holder->second.find(inKey);
  return value == holder->second.end() ? std::string() : value->second.text;
}

void PkgPropertyMgr::SetRecordProperty(const std::string& inName, int inKey, const std::string& inValue,
                                       int inFlag) {
  CheckRecordKey(inName, inKey);
  Value& value = m_store[inName][inKey];
  value.text = inValue;
  value.flag = inFlag;
}

bool PkgPropertyMgr::GetClientRecordProperty(const std::string& inName, int inKey, std::string& outValue) const {
  const auto entry = m_store.find(inName);
  if (entry == m_store.end()) {
    return false;
  }
  const auto value = entry->second.find(inKey);
  if (value == entry->second.end() || value->second.flag != 1) {
    return false;
  }
  outValue = value->second.text;
  return true;
}

bool PkgPropertyMgr::HasRecordProperty(const std::string& inName, int inKey) const {
  const auto entry = m_store.find(inName);
  return entry != m_store.end() && entry->second.count(inKey) != 0;
}

void PkgPropertyMgr::DropEntryRecords() {
  for (auto entry = m_store.begin(); entry != m_store.end();) {
    if (entry->first != "/") {
      for (const int key : {kKeyDate, kKeyTime, kKeyTypeCreator}) {
        entry->second.erase(key);
      }
    }
    entry = entry->second.empty() ? m_store.erase(entry) : std::next(entry);
  }
}

void PkgPropertyMgr::CheckDocumentKey(const std::string& inName, int inKey) const {
  if (!m_hasParser) {
    throw PackageException(kPkgErrUnsupportedOperation);
  }
  if (inKey < kKeyDateTime || inKey > kKeyMacCreator || inName == "/") {
    throw PackageException(kPkgErrBadArgument);
  }
}

std::string PkgPropertyMgr::HexOfBytes(const uint8_t* inBytes, std::size_t inCount) {
  return BasePkgHexStrings::GetInstance()->BytesToText(inBytes, inCount);
}

}  // namespace pkg
