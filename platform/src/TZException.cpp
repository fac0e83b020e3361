#include "platform/TZException.h"

#include <map>

const char kTZExceptionMsg[] = "kTZExceptionMsg";

TZException::~TZException() = default;

TZString TZException::GetDisplayMessage() const { return TZMessageTable::Lookup(m_key); }

namespace {

std::map<const char*, TZString>& Table() {
  static std::map<const char*, TZString> table;
  return table;
}

}  // namespace

void TZMessageTable::Add(const char* inKey, const TZString& inText) { Table()[inKey] = inText; }

TZString TZMessageTable::Lookup(const char* inKey) {
  const auto& table = Table();
  const auto found = table.find(inKey);
  if (found != table.end()) return found->second;
  // A key without an entry shows its own text; each caller gets its own copy.
  return inKey ? TZString(inKey) : TZString();
}
