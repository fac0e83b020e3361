// Fuzzes the APath parser in both forms with arbitrary UTF-8 text. Invariants:
//   - parsing and writing never crash or read out of bounds (the sanitizers watch);
//   - for a valid path, writing it and parsing that text again is stable: writing the second parse
//     gives the same text (POSIX form, Windows form, Windows long form). Invalid components can
//     fake syntax: a UNC server named "?" writes as "\\?\C:", the long-path prefix;
//   - a path with n components has n - 1 in its parent, and the iterators visit exactly n;
//   - ResolveAliases leaves no "." and no "..".
#include <tarsel/orn/APath.h>
#include <tarsel/orn/AString.h>
#include <tarsel/orn/AString8.h>
#include <tarsel/orn/CorePathUtils.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>

using tarsel::orn::APath;
using tarsel::orn::APathComponent;
using tarsel::orn::AString;
using tarsel::orn::AString8;

namespace {

void Check(bool inCondition, const char* inWhat) {
  if (!inCondition) {
    std::fprintf(stderr, "invariant broken: %s\n", inWhat);
    std::abort();
  }
}

AString Write(const AString& inText, APath::PathType inType, bool inLongForm) {
  return APath(inText, inType).GetPath(inType, inLongForm);
}

void CheckForm(const AString& inText, APath::PathType inType, bool inLongForm) {
  const APath path(inText, inType);
  if (path.IsValid()) {
    const AString once = Write(inText, inType, inLongForm);
    const AString twice = Write(once, inType, inLongForm);
    Check(once == twice, "write(parse(write(parse(x)))) == write(parse(x))");
  }

  const uint32_t size = path.Size();
  Check(path.GetParent().Size() == (size > 1 ? size - 1 : 0), "parent size");
  uint32_t visited = 0;
  for (const APathComponent& component : path) {
    Check(component == path.GetComponent(visited), "iterator component");
    ++visited;
  }
  Check(visited == size, "iterators visit every component");
  Check(static_cast<uint32_t>(path.rend() - path.rbegin()) == size, "reverse distance");

  APath resolved(path);
  resolved.ResolveAliases();
  for (uint32_t i = 0; i < resolved.Size(); ++i) {
    const AString text = resolved.GetComponent(i).Get();
    Check(!(text == u"."), "no . after ResolveAliases");
    Check(!(text == u".."), "no .. after ResolveAliases");
  }
  (void)tarsel::orn::CorePathUtils::IsUNCPath(path);
  (void)path.IsValid();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* inData, size_t inSize) {
  AString text;
  if (!AString::UTF8ToAString(AString8(reinterpret_cast<const char*>(inData), inSize), text)) {
    return 0;
  }
  CheckForm(text, APath::kPathTypePosix, false);
  CheckForm(text, APath::kPathTypeWindows, false);
  CheckForm(text, APath::kPathTypeWindows, true);
  CheckForm(text, APath::kPathTypeNative, false);
  return 0;
}
