#pragma once
// TZFile: the program's file object, an AFile that converts to and from TZString (native form).
// See AFile for what it answers and does. Thread safety: as AFile.

#include <tarsel/orn/AFile.h>

#include "platform/TZPath.h"
#include "platform/TZString.h"

class TZFile : public tarsel::orn::AFile {
 public:
  TZFile();
  TZFile(const tarsel::orn::APath& inPath);
  explicit TZFile(const TZString& inText);
  TZFile(const tarsel::orn::AFile& inFile);
  ~TZFile() override;

  using tarsel::orn::AFile::GetPath;
  TZPath GetPath() const;
  // The native text of the path, without long-path prefix; empty for an empty file object.
  TZString ToString() const;
};
