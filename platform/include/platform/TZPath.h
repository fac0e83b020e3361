#pragma once
// TZPath: the program's path, an APath that converts to and from TZString.
// Texts are read and written in the native form (POSIX here):
//   TZPath(u"/tmp/a").Join(TZPath(u"b/c")).ToString()  "/tmp/a/b/c"
//   TZPath(u"/tmp/a/b").Parent().ToString()            "/tmp/a"
// Never throws beyond std::bad_alloc from TZString. Thread safety: as APath.

#include <tarsel/orn/APath.h>

#include "platform/TZString.h"

class TZPath : public tarsel::orn::APath {
 public:
  TZPath();
  explicit TZPath(const TZString& inText);
  TZPath(const tarsel::orn::APath& inPath);
  ~TZPath() override;

  // This path with inOther's components appended.
  TZPath Join(const tarsel::orn::APath& inOther) const;
  // All components but the last.
  TZPath Parent() const;
  // The native text, without long-path prefix.
  TZString ToString() const;
};
