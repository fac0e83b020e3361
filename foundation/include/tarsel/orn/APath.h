// APath: a file-system path held as a list of components plus an absolute flag, so that paths
// are joined, cut and compared without string surgery.
//
// Two text forms, both available on every platform:
//   kPathTypePosix    '/' separates; an absolute path keeps an empty first component for the root.
//   kPathTypeWindows  '\' or '/' separate; drive letters ("C:" is a drive component), UNC shares
//                     ("\\server\share"), the long-path prefixes "\\?\" and "\\?\UNC\".
//   kPathTypeNative   the platform's form: the POSIX form on this platform.
//
// Parsing, text -> [components] absolute?:
//   Posix    "/"             -> [""]                  yes      written "/"
//            "/usr/x"        -> ["", usr, x]          yes      written "/usr/x"
//            "a//b/"         -> [a, b, ""]            no       written "a/b/"
//            "//x"           -> ["", x]               yes
//   Windows  "C:\Program Files\x" -> [C:, Program Files, x] yes
//            "c:"            -> [c:]                  yes      written "c:\"
//            "C:foo\bar"     -> [C:, foo, bar]        no       written "C:foo\bar"
//            "\\server\share\dir", "//server/share/dir"
//                            -> [server, share, dir]  yes      written "\\server\share\dir"
//            "a\\b\"         -> [a, b]                no
//            "\\server" and "\temp\x" are neither drive nor UNC paths: they fall back to the
//            POSIX parse and become one relative component holding the whole text.
// Writing a Windows-form absolute path longer than 260 characters with the long-form flag puts
// "\\?\" before a drive path and "\\?\UNC\" before any other, in place of its leading
// backslashes ("\\?\UNC\server\share\...").
//
// Indexes: kLastComponentIndex names the last component; a count of kToLast means "up to the
// end". Operations that cannot do what is asked return false, an empty path, an empty component
// or an empty text, and leave the path as it was; nothing throws (running out of memory counts as
// "cannot"). A moved-from path holds no representation; it reads as empty and may be assigned to or
// destroyed. Thread safety: one path may be read from several threads; changes need exclusive
// access.
#ifndef TARSEL_ORN_APATH_H
#define TARSEL_ORN_APATH_H

#include <tarsel/orn/AAllocator.h>
#include <tarsel/orn/APathComponent.h>
#include <tarsel/orn/APathIterator.h>
#include <tarsel/orn/AString.h>
#include <tarsel/orn/Export.h>

#include <cstdint>

namespace tarsel {
namespace orn {

class APathImpl;

class TARSEL_ORN_API APath {
 public:
  TARSEL_ORN_ALLOCATION_OPERATORS

  enum PathType {
    kPathTypeNative = 1,
    kPathTypePosix = 2,
    kPathTypeWindows = 3,
  };

  enum InsertPosition {
    kInsertAfter = 1,
    kInsertBefore = 2,
  };

  static const uint32_t kLastComponentIndex;
  static const uint32_t kToLast;
  // Size of the buffers that read the current and the temporary folder.
  static const uint32_t kMaxPathLength;

  APath();
  // One component, or empty for an empty component.
  explicit APath(const APathComponent& inComponent);
  // Parses inText (an unknown type gives an empty path).
  APath(const AString& inText, PathType inType = kPathTypeNative);
  APath(const APath& inOther);
  APath(APath&& inOther) noexcept;
  virtual ~APath();
  APath& operator=(const APath& inOther);
  APath& operator=(APath&& inOther) noexcept;
  void swap(APath& inOther) noexcept;

  // Empty text gives an empty relative path. False for an unknown type (path unchanged).
  bool SetPath(const AString& inText, PathType inType = kPathTypeNative);
  // Empty for an empty path or an unknown type.
  AString GetPath(PathType inType = kPathTypeNative, bool inLongForm = false) const;
  // The text of all components but the last.
  AString GetParentPath(PathType inType = kPathTypeNative, bool inLongForm = false) const;
  // Keeps the last component, parses inText as the new path and appends the kept component;
  // on an empty path only parses.
  bool SetParentPath(const AString& inText, PathType inType = kPathTypeNative);

  // Appends copies of all of inOther's components (empty ones included); inOther's absolute
  // flag is ignored.
  bool Append(const APath& inOther);
  APath& operator+=(const APath& inOther);
  APath operator+(const APath& inOther) const;
  // InsertComponent(kLastComponentIndex, inComponent, kInsertAfter).
  bool Append(const APathComponent& inComponent);
  APath& operator+=(const APathComponent& inComponent);
  APath operator+(const APathComponent& inComponent) const;

  // False for an index past the end; an empty component is refused except into an empty absolute
  // path. On an empty path index 0 or kLastComponentIndex inserts the first component.
  bool InsertComponent(uint32_t inIndex, const APathComponent& inComponent,
                       InsertPosition inPosition = kInsertAfter);
  bool InsertComponent(const APathIterator& inAt, const APathComponent& inComponent,
                       InsertPosition inPosition = kInsertAfter);
  bool DeleteComponent(uint32_t inIndex);
  bool DeleteComponent(const APathIterator& inAt);
  // A copy; an empty component when out of range.
  APathComponent GetComponent(uint32_t inIndex) const;
  APathComponent operator[](uint32_t inIndex) const;
  // False on an empty path, an index out of range or an empty component.
  bool SetComponent(uint32_t inIndex, const APathComponent& inComponent);
  bool SetComponent(const APathIterator& inAt, const APathComponent& inComponent);

  // The components before inIndex, absolute if this path is; empty for 0 or past the end.
  APath GetParent(uint32_t inIndex = kLastComponentIndex) const;
  APath GetParent(const APathIterator& inAt) const;
  // Components [inStart, inStart + inCount) clipped to the end; absolute only from 0 of an
  // absolute path.
  APath Subpath(uint32_t inStart, uint32_t inCount = kToLast) const;
  APath Subpath(const APathIterator& inStart, uint32_t inCount = kToLast) const;
  // Removes [inStart, inStart + inCount) clipped and inserts inWith's components at inStart.
  // An empty path with kLastComponentIndex takes inWith's components. False for a start past
  // the end or a count of 0.
  bool Replace(uint32_t inStart, uint32_t inCount, const APath& inWith);
  bool Replace(const APathIterator& inStart, uint32_t inCount, const APath& inWith);
  // Replaces the components before inIndex by inParent's (0 puts them in front). An empty path
  // with kLastComponentIndex takes inParent's components. The absolute flag is kept.
  bool SetParent(uint32_t inIndex, const APath& inParent);
  bool SetParent(const APathIterator& inAt, const APath& inParent);

  bool IsEmpty() const;
  uint32_t Size() const;
  bool IsAbsolute() const;
  bool IsRelative() const;
  void SetAbsolute();
  void SetRelative();

  // Not empty, every component valid, no drive but the first. The empty first component of an
  // absolute path is the root and counts as valid.
  bool IsValid() const;
  // For a valid relative path: puts inBase's components (which must be valid and absolute) or,
  // without a base, the current folder's in front, resolves aliases if asked and marks the path
  // absolute. A drive-relative path without a base fails: this platform has no drives.
  bool MakeAbsolute(const APath* inBase = nullptr, bool inResolveAliases = false);
  // Removes every "." and each ".." together with the component before it (a ".." in first
  // place alone). True if anything was removed. The absolute flag is kept.
  bool ResolveAliases();

  bool operator==(const APath& inOther) const;
  bool operator!=(const APath& inOther) const;

  APathIterator begin() const;
  APathIterator end() const;
  APathReverseIterator rbegin() const;
  APathReverseIterator rend() const;

 private:
  friend class APathIterator;
  friend class APathReverseIterator;

  APathImpl* Impl();
  const APathComponent* ComponentAt(std::ptrdiff_t inPosition) const;
  uint32_t IteratorIndex(const APathIterator& inAt) const;

  APathImpl* m_impl;
};

}  // namespace orn
}  // namespace tarsel

#endif  // TARSEL_ORN_APATH_H
