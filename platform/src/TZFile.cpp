#include "platform/TZFile.h"

using tarsel::orn::AFile;
using tarsel::orn::APath;

TZFile::TZFile() = default;

TZFile::TZFile(const APath& inPath) : AFile(inPath) {}

TZFile::TZFile(const TZString& inText) : AFile(inText.ToAString()) {}

TZFile::TZFile(const AFile& inFile) : AFile(inFile) {}

TZFile::~TZFile() = default;

TZPath TZFile::GetPath() const { return TZPath(AFile::GetPath()); }

TZString TZFile::ToString() const { return GetPath().ToString(); }
