// AFile: names one file-system object (file, folder or alias) by an APath and answers questions
// about it, creates, deletes and retouches it. It reads and writes no contents and holds no open
// handle between calls: every query goes to the file system again.
//
// The path is used in its native text (POSIX on this platform, UTF-8 to the system). On this
// platform:
//   - an alias is a symbolic link; kIsDirectory and the folder checks follow links (a link to a
//     folder serves as a folder), kIsFile is false for a link, and Delete removes the link itself;
//   - read-only means no write permission bit is set. As on the platform the design comes from, a
//     read-only object is protected: Delete refuses it (EACCES) and only CoreFileUtils::
//     DeleteDirectory with force clears the attribute first;
//   - hidden means the name starts with "."; it is a property of the name and cannot be set;
//   - share modes do not exist: CanOpen checks the access only, IsOpen tells whether another
//     open file description holds a lock (flock) on the object;
//   - error codes are errno values: EINVAL for a bad path name, EEXIST for "already exists";
//   - times are in 100-nanosecond intervals since 1601-01-01 UTC; the creation time is the
//     birth time where the file system records it, else the modification time, and cannot be set.
//
// A default-constructed AFile, or one built from an empty path, has no implementation and answers
// false, 0 or empty to every query. Nothing throws. Thread safety: one object per thread; the file
// system itself is shared.
#ifndef TARSEL_ORN_AFILE_H
#define TARSEL_ORN_AFILE_H

#include <tarsel/orn/AAllocator.h>
#include <tarsel/orn/APath.h>
#include <tarsel/orn/APathComponent.h>
#include <tarsel/orn/AString.h>
#include <tarsel/orn/Export.h>

#include <cstdint>

namespace tarsel {
namespace orn {

class AFileImpl;

class TARSEL_ORN_API AFile {
 public:
  TARSEL_ORN_ALLOCATION_OPERATORS

  enum AccessMode { kAccessRead = 1, kAccessWrite = 2, kAccessReadWrite = 3 };
  enum ShareMode { kShareRead = 1, kShareWrite = 2, kShareReadWrite = 3, kShareNone = 4 };
  enum TimeAttribute { kTimeCreated = 1, kTimeModified = 2, kTimeAccessed = 3 };
  enum BoolAttribute {
    kIsFile = 1,         // exists, not a folder, not an alias
    kIsDirectory = 2,    // exists and is a folder (links followed)
    kIsAlias = 3,        // a symbolic link
    kIsFileAlias = 4,    // an alias whose target resolves and is not a folder
    kIsFolderAlias = 5,  // an alias whose target resolves and is a folder
    kIsReadable = 6,     // can be opened for reading
    kIsWritable = 7,     // can be opened for writing
    kIsReadOnly = 8,     // no write permission bit (settable)
    kIsHidden = 9,       // the name starts with "."
    kBoolAttributeNone = 10,
  };
  // No OS-type attributes exist on this platform; the operations on them fail.
  enum OSTypeAttribute { kOSTypeCreator = 1, kOSTypeType = 2 };

  // Created, modified, accessed; all 0 after a failed query.
  struct TimeAttributes {
    uint64_t created = 0;
    uint64_t modified = 0;
    uint64_t accessed = 0;
  };
  // Filled from one query; isFileAlias/isFolderAlias only when aliases are resolved and the
  // object is an alias, isReadable/isWritable only when access is checked.
  struct BoolAttributes {
    bool isFile = false;
    bool isDirectory = false;
    bool isAlias = false;
    bool isReadOnly = false;
    bool isHidden = false;
    bool reserved = false;
    bool isFileAlias = false;
    bool isFolderAlias = false;
    bool isReadable = false;
    bool isWritable = false;
  };
  struct OSTypeAttributes {
    uint32_t creator = 0;
    uint32_t type = 0;
  };

  AFile();
  explicit AFile(const APath& inPath);
  // Parsed in the native form.
  explicit AFile(const AString& inText);
  // A copy takes the path and the delete-on-destroy flag.
  AFile(const AFile& inOther);
  // The source is left without implementation.
  AFile(AFile&& inOther) noexcept;
  // Deletes the object first when delete-on-destroy is set.
  virtual ~AFile();
  // Takes the path and the flag, then calls PathChanged.
  AFile& operator=(const AFile& inOther);
  AFile& operator=(AFile&& inOther) noexcept;
  void swap(AFile& inOther) noexcept;

  // Equal texts (case-sensitive); no implementation equals no implementation or an empty path.
  bool operator==(const AFile& inOther) const;
  bool operator!=(const AFile& inOther) const;

  bool SetPath(const APath& inPath);
  bool SetPath(const AString& inText);
  APath GetPath() const;
  // The native text (there is no long-path prefix on this platform; the flag changes nothing).
  AString GetPath(bool inLongForm) const;
  // On an empty path the path becomes inParent; otherwise everything before the last component is
  // replaced.
  bool SetParentPath(const APath& inParent);
  bool SetParentPath(const AString& inParentText);
  APath GetParentPath() const;
  AString GetParentPath(bool inLongForm) const;
  bool HasPath() const;
  bool HasParentPath() const;
  bool HasValidPath() const;

  APathComponent GetName() const;
  AString GetNameStr() const;
  // More than 255 units fails; empty removes the last component; on an empty path the name
  // becomes the only component; else it replaces the last one.
  bool SetName(const AString& inName);
  // Empty succeeds and changes nothing; more than 255 units fails.
  bool AppendName(const AString& inName);
  bool RemoveName();
  // APath::ResolveAliases on the path; true if anything changed.
  bool ResolvePathAliases();
  // Replaces this object by the target of the link it names; true on success (a non-alias
  // resolves to itself).
  bool ResolveAlias();

  // Something (of any kind, a dangling link included) exists at the path.
  bool Exists() const;
  // The path has two components or more and the parent is a folder (or a link to one).
  bool ParentExists() const;
  // A folder is removed (it must be empty), anything else unlinked; a read-only object is refused.
  bool Delete();
  void DeleteOnDestroy(bool inDelete);
  // Create a new empty file / a folder. Without implementation or with an empty path: EINVAL;
  // existing object: EEXIST; with inCreateParents the missing parent folders first (a parent
  // that is no folder: EINVAL); else the system's errno. *outError is 0 on success.
  bool MakeFile(bool inCreateParents = false, int* outError = nullptr);
  bool MakeDirectory(bool inCreateParents = false, int* outError = nullptr);
  // Exists and can be opened now with that access; an unknown access or share mode gives false.
  bool CanOpen(AccessMode inAccess, ShareMode inShare) const;
  // Exists and another open file description holds a lock on it.
  bool IsOpen() const;
  // A file's size in bytes; a folder's number of entries besides "." and ".."; 0 if missing.
  uint64_t GetSize() const;
  bool IsEmpty() const;
  // Sets the modification time to now if the object exists.
  bool Touch();

  bool GetAttribute(TimeAttribute inWhich, uint64_t& outValue) const;
  bool SetAttribute(TimeAttribute inWhich, uint64_t inValue);
  bool GetAttribute(BoolAttribute inWhich) const;
  // Only kIsReadOnly can change (all write bits off / the owner's write bit on); kIsHidden
  // succeeds only when it already has the value. True at once when the value is already set.
  bool SetAttribute(BoolAttribute inWhich, bool inValue);
  bool GetAttribute(OSTypeAttribute inWhich, uint32_t& outValue) const;
  bool SetAttribute(OSTypeAttribute inWhich, uint32_t inValue);
  bool GetAttributes(TimeAttributes& outAttributes) const;
  bool GetAttributes(BoolAttributes& outAttributes, bool inResolveAliases, bool inCheckAccess) const;
  bool GetAttributes(OSTypeAttributes& outAttributes) const;

 protected:
  // Called after every change of the path with the new native text; does nothing here.
  virtual void PathChanged(const AString& inNewPath);

 private:
  AFileImpl* Impl();
  bool ReplacePath(const APath& inPath);

  AFileImpl* m_impl;
};

}  // namespace orn
}  // namespace tarsel

#endif  // TARSEL_ORN_AFILE_H
