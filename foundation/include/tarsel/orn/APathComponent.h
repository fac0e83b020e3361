// APathComponent: one component of an APath, with its base name and extension.
//
// The extension is the text after the last dot; the dot belongs to neither part.
//
//   "archive.tar.gz"  base "archive.tar", extension "gz"
//   "name."           base "name", no extension
//   ".profile"        base "", extension "profile"
//   "." and ".."      all base (the aliases of the current and the parent folder)
//
// A drive component ("C:") is marked by SetIsWinDrive; the Windows parse of APath marks it.
// A component is valid when it is a drive or an alias, or when it is not empty, holds none of
//   /  \  :  *  ?  "  <  >  |
// and has at most kMaxComponentLength characters.
//
// Failure: nothing throws; an operation that cannot get memory leaves the component as it was.
// A moved-from component holds no record; it reads as empty and may be assigned or destroyed.
// Thread safety: as AString.
#ifndef TARSEL_ORN_APATHCOMPONENT_H
#define TARSEL_ORN_APATHCOMPONENT_H

#include <tarsel/orn/AAllocator.h>
#include <tarsel/orn/AString.h>
#include <tarsel/orn/Export.h>

#include <cstdint>

namespace tarsel {
namespace orn {

struct APathComponentRecord;

class TARSEL_ORN_API APathComponent {
 public:
  TARSEL_ORN_ALLOCATION_OPERATORS

  static const uint32_t kMaxComponentLength;

  APathComponent();
  APathComponent(const AString& inText);
  APathComponent(const APathComponent& inOther);
  APathComponent(APathComponent&& inOther) noexcept;
  virtual ~APathComponent();
  APathComponent& operator=(const APathComponent& inOther);
  APathComponent& operator=(APathComponent&& inOther) noexcept;
  void swap(APathComponent& inOther) noexcept;

  // Stores the text, splits it into base and extension and clears the drive flag; nothing
  // happens when the text is unchanged.
  void Set(const AString& inText);
  AString Get() const;
  AString GetBase() const;
  AString GetExtension() const;
  // Replaces the base in place; an empty base leaves the dot and extension (or clears a text
  // without extension); "." or ".." on a text without extension becomes the whole text.
  void SetBase(const AString& inBase);
  // Replaces the extension and keeps the dot; an alias is cleared first. An empty extension
  // turns "a.txt" into "a.".
  void SetExtension(const AString& inExtension);

  bool IsEmpty() const;
  // The text is "." or "..".
  bool IsAlias() const;
  static AString CurrentDirAlias();
  static AString ParentDirAlias();

  bool IsWinDrive() const;
  // Sets the drive flag to: no extension, two characters, a drive letter and a colon. Returns it.
  bool SetIsWinDrive();

  bool IsValid() const;
  // Unless a drive, empty or an alias: replaces every invalid character by inReplacement (0, or
  // a surrogate unit, leaves them).
  void MakeValid(char16_t inReplacement);

  // Same text (case-sensitive), same base and extension lengths, same drive flag.
  bool operator==(const APathComponent& inOther) const;
  bool operator!=(const APathComponent& inOther) const;

 private:
  APathComponentRecord* Record();

  APathComponentRecord* m_record;
};

// A-Z and a-z.
TARSEL_ORN_API bool IsWinDriveLetter(char16_t inChar);
// The colon.
TARSEL_ORN_API bool IsWinDriveDelimiter(char16_t inChar);

}  // namespace orn
}  // namespace tarsel

#endif  // TARSEL_ORN_APATHCOMPONENT_H
