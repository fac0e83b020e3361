#include <tarsel/orn/APath.h>
#include <tarsel/orn/CorePathUtils.h>

#include <algorithm>
#include <new>
#include <vector>

#include "APathImpl.h"
#include "OrnInternal.h"

namespace tarsel {
namespace orn {

namespace {

// Runs a change that may run out of memory; false when it did.
template <class F>
bool Guarded(F inChange) {
  try {
    return inChange();
  } catch (const std::bad_alloc&) {
    return false;
  }
}

const std::vector<APathComponent>& NoComponents() {
  static const std::vector<APathComponent> none;
  return none;
}

}  // namespace

TARSEL_ORN_DEFINE_ALLOCATION_OPERATORS(APath)

const uint32_t APath::kLastComponentIndex = 0xFFFFFFFF;
const uint32_t APath::kToLast = 0xFFFFFFFF;
const uint32_t APath::kMaxPathLength = 32767;

APath::APath() : m_impl(APathImpl::Create()) {}

APath::APath(const APathComponent& inComponent) : APath() {
  if (!inComponent.IsEmpty()) {
    Append(inComponent);
  }
}

APath::APath(const AString& inText, PathType inType) : APath() { SetPath(inText, inType); }

APath::APath(const APath& inOther) : APath() {
  if (m_impl != nullptr && inOther.m_impl != nullptr) {
    m_impl->Assign(*inOther.m_impl);
  }
}

APath::APath(APath&& inOther) noexcept : m_impl(inOther.m_impl) { inOther.m_impl = nullptr; }

APath::~APath() { APathImpl::Destroy(m_impl); }

APath& APath::operator=(const APath& inOther) {
  if (this != &inOther) {
    APathImpl* impl = Impl();
    if (impl != nullptr) {
      if (inOther.m_impl == nullptr) {
        impl->m_components.clear();
        impl->m_absolute = false;
      } else {
        impl->Assign(*inOther.m_impl);
      }
    }
  }
  return *this;
}

APath& APath::operator=(APath&& inOther) noexcept {
  swap(inOther);
  return *this;
}

void APath::swap(APath& inOther) noexcept {
  APathImpl* impl = m_impl;
  m_impl = inOther.m_impl;
  inOther.m_impl = impl;
}

APathImpl* APath::Impl() {
  if (m_impl == nullptr) {
    m_impl = APathImpl::Create();
  }
  return m_impl;
}

bool APath::SetPath(const AString& inText, PathType inType) {
  if (inType != kPathTypeNative && inType != kPathTypePosix && inType != kPathTypeWindows) {
    return false;
  }
  APathImpl* impl = Impl();
  if (impl == nullptr) {
    return false;
  }
  if (inText.IsEmpty()) {
    impl->m_components.clear();
    impl->m_absolute = false;
    return true;
  }
  const PathType type = inType == kPathTypeNative ? impl->NativeType() : inType;
  return Guarded([&] {
    if (type == kPathTypePosix) {
      return impl->ParsePosix(inText);
    }
    return impl->ParseWindows(inText) || impl->ParsePosix(inText);
  });
}

AString APath::GetPath(PathType inType, bool inLongForm) const {
  if (m_impl == nullptr) {
    return AString();
  }
  const PathType type = inType == kPathTypeNative ? m_impl->NativeType() : inType;
  const uint32_t count = Size();
  if (type == kPathTypePosix) {
    return m_impl->FormatPosix(count);
  }
  if (type == kPathTypeWindows) {
    return m_impl->FormatWindows(count, inLongForm);
  }
  return AString();
}

AString APath::GetParentPath(PathType inType, bool inLongForm) const {
  if (IsEmpty()) {
    return AString();
  }
  const PathType type = inType == kPathTypeNative ? m_impl->NativeType() : inType;
  if (type == kPathTypePosix) {
    return m_impl->FormatPosix(Size() - 1);
  }
  if (type == kPathTypeWindows) {
    return m_impl->FormatWindows(Size() - 1, inLongForm);
  }
  return AString();
}

bool APath::SetParentPath(const AString& inText, PathType inType) {
  if (IsEmpty()) {
    return SetPath(inText, inType);
  }
  APath parsed;
  if (!parsed.SetPath(inText, inType) || parsed.m_impl == nullptr) {
    return false;
  }
  const bool ok = Guarded([&] {
    parsed.m_impl->m_components.push_back(m_impl->m_components.back());
    return true;
  });
  if (ok) {
    swap(parsed);
  }
  return ok;
}

bool APath::Append(const APath& inOther) {
  APathImpl* impl = Impl();
  if (impl == nullptr) {
    return false;
  }
  const std::vector<APathComponent>& others =
      inOther.m_impl == nullptr ? NoComponents() : inOther.m_impl->m_components;
  return Guarded([&] {
    std::vector<APathComponent> components(impl->m_components);
    components.insert(components.end(), others.begin(), others.end());
    impl->m_components.swap(components);
    return true;
  });
}

APath& APath::operator+=(const APath& inOther) {
  Append(inOther);
  return *this;
}

APath APath::operator+(const APath& inOther) const {
  APath result(*this);
  result.Append(inOther);
  return result;
}

bool APath::Append(const APathComponent& inComponent) {
  return InsertComponent(kLastComponentIndex, inComponent, kInsertAfter);
}

APath& APath::operator+=(const APathComponent& inComponent) {
  Append(inComponent);
  return *this;
}

APath APath::operator+(const APathComponent& inComponent) const {
  APath result(*this);
  result.Append(inComponent);
  return result;
}

bool APath::InsertComponent(uint32_t inIndex, const APathComponent& inComponent, InsertPosition inPosition) {
  APathImpl* impl = Impl();
  if (impl == nullptr || (inPosition != kInsertAfter && inPosition != kInsertBefore)) {
    return false;
  }
  const uint32_t size = Size();
  if (inComponent.IsEmpty() && !(size == 0 && impl->m_absolute)) {
    return false;
  }
  uint32_t at = 0;
  if (size == 0) {
    if (inIndex != 0 && inIndex != kLastComponentIndex) {
      return false;
    }
  } else {
    const uint32_t index = inIndex == kLastComponentIndex ? size - 1 : inIndex;
    if (index >= size) {
      return false;
    }
    at = inPosition == kInsertBefore ? index : index + 1;
  }
  return Guarded([&] {
    impl->m_components.insert(impl->m_components.begin() + at, inComponent);
    return true;
  });
}

bool APath::InsertComponent(const APathIterator& inAt, const APathComponent& inComponent,
                            InsertPosition inPosition) {
  const uint32_t index = IteratorIndex(inAt);
  return index != kLastComponentIndex && InsertComponent(index, inComponent, inPosition);
}

bool APath::DeleteComponent(uint32_t inIndex) {
  const uint32_t size = Size();
  const uint32_t index = inIndex == kLastComponentIndex ? size - 1 : inIndex;
  if (size == 0 || index >= size) {
    return false;
  }
  m_impl->m_components.erase(m_impl->m_components.begin() + index);
  return true;
}

bool APath::DeleteComponent(const APathIterator& inAt) {
  const uint32_t index = IteratorIndex(inAt);
  return index != kLastComponentIndex && DeleteComponent(index);
}

APathComponent APath::GetComponent(uint32_t inIndex) const {
  const uint32_t size = Size();
  const uint32_t index = inIndex == kLastComponentIndex ? size - 1 : inIndex;
  if (size == 0 || index >= size) {
    return APathComponent();
  }
  return m_impl->m_components[index];
}

APathComponent APath::operator[](uint32_t inIndex) const { return GetComponent(inIndex); }

bool APath::SetComponent(uint32_t inIndex, const APathComponent& inComponent) {
  const uint32_t size = Size();
  const uint32_t index = inIndex == kLastComponentIndex ? size - 1 : inIndex;
  if (size == 0 || index >= size || inComponent.IsEmpty()) {
    return false;
  }
  APathComponent copy(inComponent);
  if (copy.IsEmpty()) {
    return false;
  }
  m_impl->m_components[index].swap(copy);
  return true;
}

bool APath::SetComponent(const APathIterator& inAt, const APathComponent& inComponent) {
  const uint32_t index = IteratorIndex(inAt);
  return index != kLastComponentIndex && SetComponent(index, inComponent);
}

APath APath::GetParent(uint32_t inIndex) const {
  const uint32_t size = Size();
  const uint32_t index = inIndex == kLastComponentIndex ? size - 1 : inIndex;
  if (size == 0 || index == 0 || index >= size) {
    return APath();
  }
  APath parent = Subpath(0, index);
  return parent;
}

APath APath::GetParent(const APathIterator& inAt) const {
  const uint32_t index = IteratorIndex(inAt);
  return index == kLastComponentIndex ? APath() : GetParent(index);
}

APath APath::Subpath(uint32_t inStart, uint32_t inCount) const {
  APath result;
  const uint32_t size = Size();
  const uint32_t start = inStart == kLastComponentIndex ? size - 1 : inStart;
  if (size == 0 || start >= size || inCount == 0 || result.m_impl == nullptr) {
    return result;
  }
  const uint64_t end = inCount == kToLast ? size : std::min<uint64_t>(size, uint64_t{start} + inCount);
  const auto& components = m_impl->m_components;
  const bool ok = Guarded([&] {
    result.m_impl->m_components.assign(components.begin() + start,
                                       components.begin() + static_cast<std::ptrdiff_t>(end));
    return true;
  });
  if (!ok) {
    return APath();
  }
  result.m_impl->m_absolute = start == 0 && m_impl->m_absolute;
  return result;
}

APath APath::Subpath(const APathIterator& inStart, uint32_t inCount) const {
  const uint32_t index = IteratorIndex(inStart);
  return index == kLastComponentIndex ? APath() : Subpath(index, inCount);
}

bool APath::Replace(uint32_t inStart, uint32_t inCount, const APath& inWith) {
  APathImpl* impl = Impl();
  if (impl == nullptr) {
    return false;
  }
  const std::vector<APathComponent>& with =
      inWith.m_impl == nullptr ? NoComponents() : inWith.m_impl->m_components;
  const uint32_t size = Size();
  if (size == 0 && inStart == kLastComponentIndex) {
    return Guarded([&] {
      impl->m_components = std::vector<APathComponent>(with);
      return true;
    });
  }
  const uint32_t start = inStart == kLastComponentIndex ? size - 1 : inStart;
  if (size == 0 || start >= size || inCount == 0) {
    return false;
  }
  const uint64_t end = std::min<uint64_t>(size, uint64_t{start} + inCount);
  return Guarded([&] {
    std::vector<APathComponent> components(impl->m_components.begin(), impl->m_components.begin() + start);
    components.insert(components.end(), with.begin(), with.end());
    components.insert(components.end(), impl->m_components.begin() + static_cast<std::ptrdiff_t>(end),
                      impl->m_components.end());
    impl->m_components.swap(components);
    return true;
  });
}

bool APath::Replace(const APathIterator& inStart, uint32_t inCount, const APath& inWith) {
  const uint32_t index = IteratorIndex(inStart);
  return index != kLastComponentIndex && Replace(index, inCount, inWith);
}

bool APath::SetParent(uint32_t inIndex, const APath& inParent) {
  APathImpl* impl = Impl();
  if (impl == nullptr) {
    return false;
  }
  const std::vector<APathComponent>& parent =
      inParent.m_impl == nullptr ? NoComponents() : inParent.m_impl->m_components;
  const uint32_t size = Size();
  if (size == 0 && inIndex == kLastComponentIndex) {
    return Guarded([&] {
      impl->m_components = std::vector<APathComponent>(parent);
      return true;
    });
  }
  const uint32_t index = inIndex == kLastComponentIndex ? size - 1 : inIndex;
  if (size == 0 || index >= size) {
    return false;
  }
  return Guarded([&] {
    std::vector<APathComponent> components(parent);
    components.insert(components.end(), impl->m_components.begin() + index, impl->m_components.end());
    impl->m_components.swap(components);
    return true;
  });
}

bool APath::SetParent(const APathIterator& inAt, const APath& inParent) {
  const uint32_t index = IteratorIndex(inAt);
  return index != kLastComponentIndex && SetParent(index, inParent);
}

bool APath::IsEmpty() const { return Size() == 0; }

uint32_t APath::Size() const {
  return m_impl == nullptr ? 0 : static_cast<uint32_t>(m_impl->m_components.size());
}

bool APath::IsAbsolute() const { return m_impl != nullptr && m_impl->m_absolute; }

bool APath::IsRelative() const { return !IsAbsolute(); }

void APath::SetAbsolute() {
  if (Impl() != nullptr) {
    m_impl->m_absolute = true;
  }
}

void APath::SetRelative() {
  if (m_impl != nullptr) {
    m_impl->m_absolute = false;
  }
}

bool APath::IsValid() const {
  const uint32_t size = Size();
  if (size == 0) {
    return false;
  }
  for (uint32_t i = 0; i < size; ++i) {
    const APathComponent& component = m_impl->m_components[i];
    const bool root = i == 0 && m_impl->m_absolute && component.IsEmpty();
    if ((!root && !component.IsValid()) || (i > 0 && component.IsWinDrive())) {
      return false;
    }
  }
  return true;
}

bool APath::MakeAbsolute(const APath* inBase, bool inResolveAliases) {
  if (!IsValid() || IsAbsolute()) {
    return false;
  }
  APath front;
  if (inBase != nullptr) {
    if (!inBase->IsValid() || !inBase->IsAbsolute()) {
      return false;
    }
    front = *inBase;
  } else if (m_impl->m_components[0].IsWinDrive()) {
    return false;
  } else {
    front = CorePathUtils::GetCurrentDir();
  }
  if (front.IsEmpty() || !front.Append(*this)) {
    return false;
  }
  swap(front);
  if (inResolveAliases) {
    ResolveAliases();
  }
  m_impl->m_absolute = true;
  return true;
}

bool APath::ResolveAliases() {
  if (IsEmpty()) {
    return false;
  }
  std::vector<APathComponent>& components = m_impl->m_components;
  const std::size_t before = components.size();
  std::size_t kept = 0;
  for (std::size_t i = 0; i < components.size(); ++i) {
    if (!(components[i].Get() == u".")) {
      components[kept++].swap(components[i]);
    }
  }
  components.resize(kept);
  kept = 0;
  for (std::size_t i = 0; i < components.size(); ++i) {
    if (components[i].Get() == u"..") {
      if (kept > 0) {
        --kept;
      }
    } else {
      components[kept++].swap(components[i]);
    }
  }
  components.resize(kept);
  return components.size() != before;
}

bool APath::operator==(const APath& inOther) const {
  if (m_impl == nullptr || inOther.m_impl == nullptr) {
    return IsEmpty() && inOther.IsEmpty() && IsAbsolute() == inOther.IsAbsolute();
  }
  return m_impl->Equal(*inOther.m_impl);
}

bool APath::operator!=(const APath& inOther) const { return !(*this == inOther); }

APathIterator APath::begin() const { return APathIterator(this, 0); }

APathIterator APath::end() const { return APathIterator(this, Size()); }

APathReverseIterator APath::rbegin() const { return APathReverseIterator(this, Size()); }

APathReverseIterator APath::rend() const { return APathReverseIterator(this, 0); }

const APathComponent* APath::ComponentAt(std::ptrdiff_t inPosition) const {
  if (inPosition < 0 || inPosition >= static_cast<std::ptrdiff_t>(Size())) {
    return nullptr;
  }
  return &m_impl->m_components[static_cast<std::size_t>(inPosition)];
}

}  // namespace orn
}  // namespace tarsel
