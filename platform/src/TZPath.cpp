#include "platform/TZPath.h"

using tarsel::orn::APath;

TZPath::TZPath() = default;

TZPath::TZPath(const TZString& inText) : APath(inText.ToAString(), kPathTypeNative) {}

TZPath::TZPath(const APath& inPath) : APath(inPath) {}

TZPath::~TZPath() = default;

TZPath TZPath::Join(const APath& inOther) const {
  TZPath joined(*this);
  joined.Append(inOther);
  return joined;
}

TZPath TZPath::Parent() const { return TZPath(GetParent()); }

TZString TZPath::ToString() const { return TZString(GetPath(kPathTypeNative, false)); }
