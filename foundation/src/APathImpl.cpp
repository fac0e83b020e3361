#include "APathImpl.h"

#include "OrnInternal.h"

namespace tarsel {
namespace orn {

namespace {

constexpr uint32_t kLongPathLimit = 260;

bool IsSeparator(char16_t inUnit) { return inUnit == u'\\' || inUnit == u'/'; }

bool StartsWith(const AString& inText, const char16_t* inPrefix) {
  const uint32_t units = WLength(inPrefix);
  const char16_t* text = inText.GrabWString();
  if (inText.UTF16Count() < units) {
    return false;
  }
  for (uint32_t i = 0; i < units; ++i) {
    if (text[i] != inPrefix[i]) {
      return false;
    }
  }
  return true;
}

// The Windows splitter: from unit inPos, skips runs of separators and takes the text up to the
// next separator as one component; separators at the end give nothing.
void SplitWindows(const AString& inText, uint32_t inPos, std::vector<APathComponent>& outComponents) {
  const char16_t* text = inText.GrabWString();
  const uint32_t units = inText.UTF16Count();
  uint32_t pos = inPos;
  while (pos < units) {
    while (pos < units && IsSeparator(text[pos])) {
      ++pos;
    }
    const uint32_t start = pos;
    while (pos < units && !IsSeparator(text[pos])) {
      ++pos;
    }
    if (pos > start) {
      outComponents.emplace_back(AString(text + start, pos - start));
    }
  }
}

}  // namespace

void APathImpl::Destroy(APathImpl* inImpl) { internal::Delete(inImpl); }

APathImpl::~APathImpl() = default;

bool APathImpl::Assign(const APathImpl& inOther) {
  if (this == &inOther) {
    return true;
  }
  try {
    std::vector<APathComponent> components(inOther.m_components);
    m_components.swap(components);
  } catch (const std::bad_alloc&) {
    return false;
  }
  m_absolute = inOther.m_absolute;
  return true;
}

bool APathImpl::Equal(const APathImpl& inOther) const {
  return m_absolute == inOther.m_absolute && m_components == inOther.m_components;
}

AString APathImpl::FormatPosix(uint32_t inCount) const {
  AString text;
  const std::size_t size = m_components.size();
  if (inCount == 0 || size < inCount) {
    return text;
  }
  text.Preallocate(128);
  const bool rootFirst = m_components[0].IsEmpty();
  if (m_absolute && rootFirst) {
    if (size == 1 || inCount == 1) {
      text.Append(u'/');
    }
    for (uint32_t i = 1; i < inCount; ++i) {
      text.Append(u'/');
      text.Append(m_components[i].Get());
    }
  } else if (m_absolute) {
    for (uint32_t i = 0; i < inCount; ++i) {
      text.Append(u'/');
      text.Append(m_components[i].Get());
    }
  } else {
    const uint32_t first = rootFirst ? 1 : 0;
    for (uint32_t i = first; i < inCount; ++i) {
      if (i != first) {
        text.Append(u'/');
      }
      text.Append(m_components[i].Get());
    }
  }
  return text;
}

AString APathImpl::FormatWindows(uint32_t inCount, bool inLongForm) const {
  AString text;
  const std::size_t size = m_components.size();
  if (inCount == 0 || size < inCount) {
    return text;
  }
  text.Preallocate(128);
  const APathComponent& first = m_components[0];
  if (first.IsWinDrive()) {
    text.Append(first.Get());
    if (size == 1) {
      text.Append(u'\\');
    } else if (m_absolute) {
      if (inCount == 1) {
        text.Append(u'\\');
      }
      for (uint32_t i = 1; i < inCount; ++i) {
        text.Append(u'\\');
        text.Append(m_components[i].Get());
      }
    } else {
      for (uint32_t i = 1; i < inCount; ++i) {
        if (i > 1) {
          text.Append(u'\\');
        }
        text.Append(m_components[i].Get());
      }
    }
  } else if (m_absolute && size >= 2 && !first.IsEmpty()) {
    if (inCount == 1) {
      return AString();
    }
    text.Append(u"\\\\");
    text.Append(first.Get());
    for (uint32_t i = 1; i < inCount; ++i) {
      text.Append(u'\\');
      text.Append(m_components[i].Get());
    }
  } else {
    uint32_t next = 1;
    if (first.IsEmpty()) {
      text.Append(u'\\');
      if (inCount > 1) {
        text.Append(m_components[1].Get());
        next = 2;
      }
    } else {
      text.Append(first.Get());
    }
    for (uint32_t i = next; i < inCount; ++i) {
      text.Append(u'\\');
      text.Append(m_components[i].Get());
    }
  }
  if (inLongForm && m_absolute && text.CharCount() > kLongPathLimit) {
    // The prefix takes the place of the text's own leading backslashes.
    uint32_t leading = 0;
    while (text.GetChar(leading) == u'\\') {
      ++leading;
    }
    text.Remove(0, leading);
    text.Insert(0, first.IsWinDrive() ? u"\\\\?\\" : u"\\\\?\\UNC\\");
  }
  return text;
}

bool APathImpl::ParsePosix(const AString& inText) {
  const char16_t* text = inText.GrabWString();
  const uint32_t units = inText.UTF16Count();
  std::vector<APathComponent> components;
  bool absolute = false;
  uint32_t pos = 0;
  if (units > 0 && text[0] == u'/') {
    absolute = true;
    components.emplace_back();
    pos = 1;
  }
  bool afterSlash = false;
  while (pos <= units) {
    uint32_t end = pos;
    while (end < units && text[end] != u'/') {
      ++end;
    }
    const bool last = end == units;
    // Empty pieces between slashes are skipped; the piece after a final slash is kept.
    if (end > pos || (last && afterSlash)) {
      components.emplace_back(AString(text + pos, end - pos));
    }
    afterSlash = true;
    pos = end + 1;
  }
  m_components.swap(components);
  m_absolute = absolute;
  return true;
}

bool APathImpl::ParseDrive(const AString& inText) {
  const char16_t* text = inText.GrabWString();
  const uint32_t units = inText.UTF16Count();
  uint32_t pos = StartsWith(inText, u"\\\\?\\") ? 4 : 0;
  if (units - pos < 2 || !IsWinDriveLetter(text[pos]) || !IsWinDriveDelimiter(text[pos + 1])) {
    return false;
  }
  std::vector<APathComponent> components;
  components.emplace_back(AString(text + pos, 2));
  components.back().SetIsWinDrive();
  pos += 2;
  bool absolute = false;
  if (pos == units) {
    absolute = true;
  } else if (IsSeparator(text[pos])) {
    absolute = true;
    ++pos;
  }
  SplitWindows(inText, pos, components);
  m_components.swap(components);
  m_absolute = absolute;
  return true;
}

bool APathImpl::ParseUNC(const AString& inText) {
  const char16_t* text = inText.GrabWString();
  uint32_t pos = 0;
  if (StartsWith(inText, u"\\\\?\\UNC\\")) {
    pos = 8;
  } else if (inText.UTF16Count() >= 2 && IsSeparator(text[0]) && IsSeparator(text[1])) {
    pos = 2;
  } else {
    return false;
  }
  std::vector<APathComponent> components;
  SplitWindows(inText, pos, components);
  if (components.size() < 2) {
    return false;
  }
  m_components.swap(components);
  m_absolute = true;
  return true;
}

bool APathImpl::ParseWindows(const AString& inText) {
  if (ParseDrive(inText) || ParseUNC(inText)) {
    return true;
  }
  if (!inText.IsEmpty() && IsSeparator(inText.GrabWString()[0])) {
    return false;
  }
  std::vector<APathComponent> components;
  SplitWindows(inText, 0, components);
  m_components.swap(components);
  m_absolute = false;
  return true;
}

}  // namespace orn
}  // namespace tarsel
