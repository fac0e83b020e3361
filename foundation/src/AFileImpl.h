// The representation behind AFile: the path, its cached native text and the delete-on-destroy
// flag, with the file-system operations as virtual slots that the platform half implements.
#ifndef TARSEL_ORN_AFILEIMPL_H
#define TARSEL_ORN_AFILEIMPL_H

#include <tarsel/orn/AFile.h>
#include <tarsel/orn/APath.h>
#include <tarsel/orn/AString.h>

#include <cstdint>

namespace tarsel {
namespace orn {

class AFileImpl {
 public:
  // A new representation of this platform's kind from AAllocator; null without memory.
  static AFileImpl* Create();
  static void Destroy(AFileImpl* inImpl);

  virtual ~AFileImpl();
  virtual bool Assign(const AFileImpl& inOther);
  virtual bool Equal(const AFileImpl& inOther) const;
  virtual bool MakeFile(bool inCreateParents, int& outError) = 0;
  virtual bool MakeDirectory(bool inCreateParents, int& outError) = 0;
  virtual bool Delete() = 0;
  virtual bool Exists() const = 0;
  virtual bool ParentExists() const;
  virtual bool CanOpen(AFile::AccessMode inAccess, AFile::ShareMode inShare) const = 0;
  virtual bool IsOpen() const = 0;
  virtual uint64_t GetSize() const = 0;
  virtual bool Touch() = 0;
  virtual bool GetOSTypeAttribute(AFile::OSTypeAttribute inWhich, uint32_t& outValue) const = 0;
  virtual bool GetTimeAttribute(AFile::TimeAttribute inWhich, uint64_t& outValue) const = 0;
  virtual bool GetBoolAttribute(AFile::BoolAttribute inWhich) const = 0;
  virtual bool SetOSTypeAttribute(AFile::OSTypeAttribute inWhich, uint32_t inValue) = 0;
  virtual bool SetTimeAttribute(AFile::TimeAttribute inWhich, uint64_t inValue) = 0;
  virtual bool SetBoolAttribute(AFile::BoolAttribute inWhich, bool inValue) = 0;
  virtual bool GetOSTypeAttributes(AFile::OSTypeAttributes& outAttributes) const = 0;
  virtual bool GetTimeAttributes(AFile::TimeAttributes& outAttributes) const = 0;
  virtual bool GetBoolAttributes(AFile::BoolAttributes& outAttributes, bool inResolveAliases,
                                 bool inCheckAccess) const = 0;
  // Rebuilds the cached text after a change of m_path.
  virtual void PathUpdated();

  // Creates the missing folders above the path: 0, or an errno value (EINVAL when the parent is
  // empty or something on the way is no folder).
  int CreateParents() const;

  APath m_path;
  AString m_text;
  bool m_deleteOnDestroy = false;
};

}  // namespace orn
}  // namespace tarsel

#endif  // TARSEL_ORN_AFILEIMPL_H
