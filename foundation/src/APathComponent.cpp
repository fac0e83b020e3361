#include <tarsel/orn/APathComponent.h>

#include "OrnInternal.h"

namespace tarsel {
namespace orn {

struct APathComponentRecord {
  AString m_text;
  uint32_t m_baseLength = 0;
  uint32_t m_extensionLength = 0;
  bool m_drive = false;

  void Split() {
    const uint32_t length = m_text.CharCount();
    m_baseLength = length;
    m_extensionLength = 0;
    if (length == 0 || m_text == u"." || m_text == u"..") {
      return;
    }
    uint32_t lastDot = AString::kAtEnd;
    for (uint32_t pos = m_text.IndexOf(u'.'); pos != AString::kAtEnd; pos = m_text.IndexOf(u'.', pos + 1)) {
      lastDot = pos;
    }
    if (lastDot == AString::kAtEnd) {
      return;
    }
    m_baseLength = lastDot;
    m_extensionLength = length - lastDot - 1;
  }
};

namespace {

const char16_t kInvalidChars[] = u"/\\:*?\"<>|";

const APathComponentRecord& EmptyRecord() {
  static const APathComponentRecord empty;
  return empty;
}

}  // namespace

TARSEL_ORN_DEFINE_ALLOCATION_OPERATORS(APathComponent)

const uint32_t APathComponent::kMaxComponentLength = 255;

bool IsWinDriveLetter(char16_t inChar) {
  return (inChar >= u'A' && inChar <= u'Z') || (inChar >= u'a' && inChar <= u'z');
}

bool IsWinDriveDelimiter(char16_t inChar) { return inChar == u':'; }

APathComponent::APathComponent() : m_record(internal::TryNew<APathComponentRecord>()) {}

APathComponent::APathComponent(const AString& inText) : APathComponent() { Set(inText); }

APathComponent::APathComponent(const APathComponent& inOther) : m_record(nullptr) {
  if (inOther.m_record != nullptr) {
    m_record = internal::TryNew<APathComponentRecord>(*inOther.m_record);
  }
}

APathComponent::APathComponent(APathComponent&& inOther) noexcept : m_record(inOther.m_record) {
  inOther.m_record = nullptr;
}

APathComponent::~APathComponent() { internal::Delete(m_record); }

APathComponent& APathComponent::operator=(const APathComponent& inOther) {
  if (this != &inOther) {
    APathComponent copy(inOther);
    swap(copy);
  }
  return *this;
}

APathComponent& APathComponent::operator=(APathComponent&& inOther) noexcept {
  swap(inOther);
  return *this;
}

void APathComponent::swap(APathComponent& inOther) noexcept {
  APathComponentRecord* record = m_record;
  m_record = inOther.m_record;
  inOther.m_record = record;
}

APathComponentRecord* APathComponent::Record() {
  if (m_record == nullptr) {
    m_record = internal::TryNew<APathComponentRecord>();
  }
  return m_record;
}

void APathComponent::Set(const AString& inText) {
  APathComponentRecord* record = Record();
  if (record == nullptr || record->m_text == inText) {
    return;
  }
  record->m_text = inText;
  record->m_drive = false;
  record->Split();
}

AString APathComponent::Get() const { return m_record == nullptr ? AString() : m_record->m_text; }

AString APathComponent::GetBase() const {
  const APathComponentRecord& record = m_record == nullptr ? EmptyRecord() : *m_record;
  return record.m_text.Substring(0, record.m_baseLength);
}

AString APathComponent::GetExtension() const {
  const APathComponentRecord& record = m_record == nullptr ? EmptyRecord() : *m_record;
  if (record.m_extensionLength == 0) {
    return AString();
  }
  return record.m_text.Substring(record.m_text.CharCount() - record.m_extensionLength);
}

void APathComponent::SetBase(const AString& inBase) {
  APathComponentRecord* record = Record();
  if (record == nullptr || GetBase() == inBase) {
    return;
  }
  AString text;
  if (inBase.IsEmpty()) {
    if (record->m_extensionLength != 0) {
      text = record->m_text.Substring(record->m_baseLength);
    }
  } else if (record->m_extensionLength == 0 && (inBase == u"." || inBase == u"..")) {
    text = inBase;
  } else {
    text = inBase + record->m_text.Substring(record->m_baseLength);
  }
  record->m_text.swap(text);
  record->m_baseLength = inBase.CharCount();
  if (record->m_text.IsEmpty()) {
    record->m_extensionLength = 0;
  }
  record->m_drive = false;
}

void APathComponent::SetExtension(const AString& inExtension) {
  APathComponentRecord* record = Record();
  if (record == nullptr || GetExtension() == inExtension) {
    return;
  }
  AString text = record->m_text;
  uint32_t baseLength = record->m_baseLength;
  if (IsAlias()) {
    text.Clear();
    baseLength = 0;
  }
  if (record->m_extensionLength != 0 && !IsAlias()) {
    text.Truncate(record->m_extensionLength);
  } else if (text.IsEmpty() || text.GetChar(text.CharCount() - 1) != u'.') {
    text.Append(u'.');
  }
  text.Append(inExtension);
  record->m_text.swap(text);
  record->m_baseLength = baseLength;
  record->m_extensionLength = inExtension.CharCount();
  record->m_drive = false;
}

bool APathComponent::IsEmpty() const { return m_record == nullptr || m_record->m_text.IsEmpty(); }

bool APathComponent::IsAlias() const {
  return m_record != nullptr && (m_record->m_text == u"." || m_record->m_text == u"..");
}

AString APathComponent::CurrentDirAlias() { return AString(u"."); }

AString APathComponent::ParentDirAlias() { return AString(u".."); }

bool APathComponent::IsWinDrive() const { return m_record != nullptr && m_record->m_drive; }

bool APathComponent::SetIsWinDrive() {
  APathComponentRecord* record = Record();
  if (record == nullptr) {
    return false;
  }
  record->m_drive = record->m_extensionLength == 0 && record->m_baseLength == 2 &&
                    record->m_text.CharCount() == 2 && IsWinDriveLetter(record->m_text.GetChar(0)) &&
                    IsWinDriveDelimiter(record->m_text.GetChar(1));
  return record->m_drive;
}

bool APathComponent::IsValid() const {
  if (IsWinDrive() || IsAlias()) {
    return true;
  }
  if (IsEmpty() || m_record->m_text.CharCount() > kMaxComponentLength) {
    return false;
  }
  return !m_record->m_text.ContainsAny(AString(kInvalidChars));
}

void APathComponent::MakeValid(char16_t inReplacement) {
  if (inReplacement == 0 || (inReplacement >= 0xD800 && inReplacement <= 0xDFFF) || IsWinDrive() ||
      IsEmpty() || IsAlias()) {
    return;
  }
  const AString invalid(kInvalidChars);
  AString text = m_record->m_text;
  for (uint32_t pos = text.IndexOfAny(invalid); pos != AString::kAtEnd;
       pos = text.IndexOfAny(invalid, pos + 1)) {
    if (!text.SetChar(pos, inReplacement)) {
      return;
    }
  }
  m_record->m_text.swap(text);
}

bool APathComponent::operator==(const APathComponent& inOther) const {
  const APathComponentRecord& a = m_record == nullptr ? EmptyRecord() : *m_record;
  const APathComponentRecord& b = inOther.m_record == nullptr ? EmptyRecord() : *inOther.m_record;
  return a.m_text == b.m_text && a.m_baseLength == b.m_baseLength &&
         a.m_extensionLength == b.m_extensionLength && a.m_drive == b.m_drive;
}

bool APathComponent::operator!=(const APathComponent& inOther) const { return !(*this == inOther); }

}  // namespace orn
}  // namespace tarsel
