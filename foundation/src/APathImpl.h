// The representation behind APath: the component list, the absolute flag, and the parse and
// write routines of both text forms. The platform half (APathImplX) says which form is native.
#ifndef TARSEL_ORN_APATHIMPL_H
#define TARSEL_ORN_APATHIMPL_H

#include <tarsel/orn/APath.h>
#include <tarsel/orn/APathComponent.h>
#include <tarsel/orn/AString.h>

#include <cstdint>
#include <vector>

namespace tarsel {
namespace orn {

class APathImpl {
 public:
  // A new representation of this platform's kind, from AAllocator; null without memory.
  static APathImpl* Create();
  // Releases a representation made by Create.
  static void Destroy(APathImpl* inImpl);

  virtual ~APathImpl();
  // Copies components and flag; false (unchanged) without memory.
  virtual bool Assign(const APathImpl& inOther);
  virtual bool Equal(const APathImpl& inOther) const;
  // The first inCount components written in each form; empty for 0 or more than there are.
  virtual AString FormatPosix(uint32_t inCount) const;
  virtual AString FormatWindows(uint32_t inCount, bool inLongForm) const;
  // The parsers replace the components only when they succeed.
  virtual bool ParsePosix(const AString& inText);
  virtual bool ParseWindows(const AString& inText);
  virtual bool ParseDrive(const AString& inText);
  virtual bool ParseUNC(const AString& inText);
  // The form kPathTypeNative stands for on this platform.
  virtual APath::PathType NativeType() const = 0;

  std::vector<APathComponent> m_components;
  bool m_absolute = false;
};

}  // namespace orn
}  // namespace tarsel

#endif  // TARSEL_ORN_APATHIMPL_H
