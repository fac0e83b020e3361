#include <tarsel/orn/AFile.h>
#include <tarsel/orn/CoreFileUtils.h>

#include <cerrno>

#include "AFileImpl.h"
#include "OrnInternal.h"

namespace tarsel {
namespace orn {

// ---- AFileImpl: the parts common to every platform ----

void AFileImpl::Destroy(AFileImpl* inImpl) { internal::Delete(inImpl); }

AFileImpl::~AFileImpl() = default;

bool AFileImpl::Assign(const AFileImpl& inOther) {
  if (this == &inOther) {
    return true;
  }
  m_path = inOther.m_path;
  m_deleteOnDestroy = inOther.m_deleteOnDestroy;
  PathUpdated();
  return true;
}

bool AFileImpl::Equal(const AFileImpl& inOther) const { return m_text == inOther.m_text; }

bool AFileImpl::ParentExists() const {
  if (m_path.Size() < 2) {
    return false;
  }
  const AFile parent(m_path.GetParent());
  return parent.GetAttribute(AFile::kIsDirectory);
}

void AFileImpl::PathUpdated() { m_text = m_path.GetPath(APath::kPathTypeNative, true); }

int AFileImpl::CreateParents() const {
  const APath parent = m_path.GetParent();
  if (parent.IsEmpty()) {
    return EINVAL;
  }
  const AFile parentFile(parent);
  if (parentFile.Exists()) {
    return parentFile.GetAttribute(AFile::kIsDirectory) ? 0 : EINVAL;
  }
  // The shortest prefix worth creating: below a drive or the root, or below a UNC share.
  const APathComponent first = parent.GetComponent(0);
  uint32_t length = 1;
  if (first.IsWinDrive() || (parent.IsAbsolute() && first.IsEmpty())) {
    length = 2;
  } else if (parent.IsAbsolute()) {
    length = 3;
  }
  for (; length <= parent.Size(); ++length) {
    AFile prefix(parent.Subpath(0, length));
    if (prefix.Exists()) {
      if (!prefix.GetAttribute(AFile::kIsDirectory)) {
        return EINVAL;
      }
      continue;
    }
    int error = 0;
    if (!prefix.MakeDirectory(false, &error)) {
      if (error != EEXIST) {
        return error;
      }
      if (!prefix.GetAttribute(AFile::kIsDirectory)) {
        return EINVAL;
      }
    }
  }
  return 0;
}

// ---- AFile ----

TARSEL_ORN_DEFINE_ALLOCATION_OPERATORS(AFile)

AFile::AFile() : m_impl(nullptr) {}

AFile::AFile(const APath& inPath) : m_impl(nullptr) {
  if (!inPath.IsEmpty() && Impl() != nullptr) {
    m_impl->m_path = inPath;
    m_impl->PathUpdated();
  }
}

AFile::AFile(const AString& inText) : AFile(APath(inText, APath::kPathTypeNative)) {}

AFile::AFile(const AFile& inOther) : m_impl(nullptr) {
  if (inOther.m_impl != nullptr && Impl() != nullptr) {
    m_impl->Assign(*inOther.m_impl);
  }
}

AFile::AFile(AFile&& inOther) noexcept : m_impl(inOther.m_impl) { inOther.m_impl = nullptr; }

AFile::~AFile() {
  if (m_impl != nullptr && m_impl->m_deleteOnDestroy) {
    m_impl->Delete();
  }
  AFileImpl::Destroy(m_impl);
}

AFile& AFile::operator=(const AFile& inOther) {
  if (this == &inOther) {
    return *this;
  }
  if (inOther.m_impl == nullptr) {
    AFileImpl::Destroy(m_impl);
    m_impl = nullptr;
    PathChanged(AString());
    return *this;
  }
  if (Impl() != nullptr) {
    m_impl->Assign(*inOther.m_impl);
    PathChanged(m_impl->m_text);
  }
  return *this;
}

AFile& AFile::operator=(AFile&& inOther) noexcept {
  swap(inOther);
  return *this;
}

void AFile::swap(AFile& inOther) noexcept {
  AFileImpl* impl = m_impl;
  m_impl = inOther.m_impl;
  inOther.m_impl = impl;
}

AFileImpl* AFile::Impl() {
  if (m_impl == nullptr) {
    m_impl = AFileImpl::Create();
  }
  return m_impl;
}

bool AFile::operator==(const AFile& inOther) const {
  if (m_impl == nullptr || inOther.m_impl == nullptr) {
    return !HasPath() && !inOther.HasPath();
  }
  return m_impl->Equal(*inOther.m_impl);
}

bool AFile::operator!=(const AFile& inOther) const { return !(*this == inOther); }

bool AFile::ReplacePath(const APath& inPath) {
  if (Impl() == nullptr) {
    return false;
  }
  m_impl->m_path = inPath;
  m_impl->PathUpdated();
  PathChanged(m_impl->m_text);
  return true;
}

bool AFile::SetPath(const APath& inPath) { return ReplacePath(inPath); }

bool AFile::SetPath(const AString& inText) { return ReplacePath(APath(inText, APath::kPathTypeNative)); }

APath AFile::GetPath() const { return m_impl == nullptr ? APath() : m_impl->m_path; }

AString AFile::GetPath(bool) const { return m_impl == nullptr ? AString() : m_impl->m_text; }

bool AFile::SetParentPath(const APath& inParent) {
  if (!HasPath()) {
    return ReplacePath(inParent);
  }
  APath path = m_impl->m_path;
  if (!path.SetParent(APath::kLastComponentIndex, inParent)) {
    return false;
  }
  // The new parent decides where the path starts.
  if (inParent.IsAbsolute()) {
    path.SetAbsolute();
  } else if (!inParent.IsEmpty()) {
    path.SetRelative();
  }
  return ReplacePath(path);
}

bool AFile::SetParentPath(const AString& inParentText) {
  return SetParentPath(APath(inParentText, APath::kPathTypeNative));
}

APath AFile::GetParentPath() const { return m_impl == nullptr ? APath() : m_impl->m_path.GetParent(); }

AString AFile::GetParentPath(bool inLongForm) const {
  return m_impl == nullptr ? AString() : m_impl->m_path.GetParentPath(APath::kPathTypeNative, inLongForm);
}

bool AFile::HasPath() const { return m_impl != nullptr && !m_impl->m_path.IsEmpty(); }

bool AFile::HasParentPath() const { return m_impl != nullptr && m_impl->m_path.Size() > 1; }

bool AFile::HasValidPath() const { return m_impl != nullptr && m_impl->m_path.IsValid(); }

APathComponent AFile::GetName() const {
  return m_impl == nullptr ? APathComponent() : m_impl->m_path.GetComponent(APath::kLastComponentIndex);
}

AString AFile::GetNameStr() const { return GetName().Get(); }

bool AFile::SetName(const AString& inName) {
  if (inName.UTF16Count() > APathComponent::kMaxComponentLength || Impl() == nullptr) {
    return false;
  }
  APath path = m_impl->m_path;
  bool ok = false;
  if (inName.IsEmpty()) {
    ok = path.DeleteComponent(APath::kLastComponentIndex);
  } else if (path.IsEmpty()) {
    ok = path.Append(APathComponent(inName));
  } else {
    ok = path.SetComponent(APath::kLastComponentIndex, APathComponent(inName));
  }
  return ok && ReplacePath(path);
}

bool AFile::AppendName(const AString& inName) {
  if (inName.IsEmpty()) {
    return true;
  }
  if (inName.UTF16Count() > APathComponent::kMaxComponentLength || Impl() == nullptr) {
    return false;
  }
  APath path = m_impl->m_path;
  return path.Append(APathComponent(inName)) && ReplacePath(path);
}

bool AFile::RemoveName() { return SetName(AString()); }

bool AFile::ResolvePathAliases() {
  if (m_impl == nullptr || !m_impl->m_path.ResolveAliases()) {
    return false;
  }
  m_impl->PathUpdated();
  PathChanged(m_impl->m_text);
  return true;
}

bool AFile::ResolveAlias() {
  AFile target;
  if (CoreFileUtils::ResolveAlias(*this, target) != 0) {
    return false;
  }
  return ReplacePath(target.GetPath());
}

bool AFile::Exists() const { return HasPath() && m_impl->Exists(); }

bool AFile::ParentExists() const { return m_impl != nullptr && m_impl->ParentExists(); }

bool AFile::Delete() { return HasPath() && m_impl->Delete(); }

void AFile::DeleteOnDestroy(bool inDelete) {
  if (Impl() != nullptr) {
    m_impl->m_deleteOnDestroy = inDelete;
  }
}

bool AFile::MakeFile(bool inCreateParents, int* outError) {
  int error = EINVAL;
  const bool ok = HasPath() && m_impl->MakeFile(inCreateParents, error);
  if (outError != nullptr) {
    *outError = ok ? 0 : error;
  }
  return ok;
}

bool AFile::MakeDirectory(bool inCreateParents, int* outError) {
  int error = EINVAL;
  const bool ok = HasPath() && m_impl->MakeDirectory(inCreateParents, error);
  if (outError != nullptr) {
    *outError = ok ? 0 : error;
  }
  return ok;
}

bool AFile::CanOpen(AccessMode inAccess, ShareMode inShare) const {
  return HasPath() && m_impl->CanOpen(inAccess, inShare);
}

bool AFile::IsOpen() const { return HasPath() && m_impl->IsOpen(); }

uint64_t AFile::GetSize() const { return HasPath() ? m_impl->GetSize() : 0; }

bool AFile::IsEmpty() const { return GetSize() == 0; }

bool AFile::Touch() { return HasPath() && m_impl->Touch(); }

bool AFile::GetAttribute(TimeAttribute inWhich, uint64_t& outValue) const {
  return HasPath() && m_impl->GetTimeAttribute(inWhich, outValue);
}

bool AFile::SetAttribute(TimeAttribute inWhich, uint64_t inValue) {
  return HasPath() && m_impl->SetTimeAttribute(inWhich, inValue);
}

bool AFile::GetAttribute(BoolAttribute inWhich) const {
  return HasPath() && m_impl->GetBoolAttribute(inWhich);
}

bool AFile::SetAttribute(BoolAttribute inWhich, bool inValue) {
  return HasPath() && m_impl->SetBoolAttribute(inWhich, inValue);
}

bool AFile::GetAttribute(OSTypeAttribute inWhich, uint32_t& outValue) const {
  return HasPath() && m_impl->GetOSTypeAttribute(inWhich, outValue);
}

bool AFile::SetAttribute(OSTypeAttribute inWhich, uint32_t inValue) {
  return HasPath() && m_impl->SetOSTypeAttribute(inWhich, inValue);
}

bool AFile::GetAttributes(TimeAttributes& outAttributes) const {
  outAttributes = TimeAttributes();
  return HasPath() && m_impl->GetTimeAttributes(outAttributes);
}

bool AFile::GetAttributes(BoolAttributes& outAttributes, bool inResolveAliases, bool inCheckAccess) const {
  outAttributes = BoolAttributes();
  return HasPath() && m_impl->GetBoolAttributes(outAttributes, inResolveAliases, inCheckAccess);
}

bool AFile::GetAttributes(OSTypeAttributes& outAttributes) const {
  return HasPath() && m_impl->GetOSTypeAttributes(outAttributes);
}

void AFile::PathChanged(const AString&) {}

}  // namespace orn
}  // namespace tarsel
