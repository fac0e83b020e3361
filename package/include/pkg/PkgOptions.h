// A plain options object: integer keys to integer values.
#pragma once

#include <map>

#include "pkg/Package.h"

namespace pkg {

class BasePkgOptions : public IPkgOptions {
 public:
  void SetOption(int inKey, int inValue) { m_values[inKey] = inValue; }
  int GetOption(int inKey) const override {
    const auto found = m_values.find(inKey);
    return found == m_values.end() ? 0 : found->second;
  }

 private:
  std::map<int, int> m_values;
};

}  // namespace pkg
