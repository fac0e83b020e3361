#include <tarsel/orn/AString8.h>

#include <cstring>
#include <new>
#include <stdexcept>

#include "OrnInternal.h"

namespace tarsel {
namespace orn {

namespace {

class BadAllocation : public std::bad_alloc {
 public:
  const char* what() const noexcept override { return "bad allocation"; }
};

[[noreturn]] void ThrowPosition() { throw std::out_of_range("invalid string position"); }

// Runs a change of the standard string and reports its errors with this class's messages.
template <class F>
void Guarded(F inChange) {
  try {
    inChange();
  } catch (const std::length_error&) {
    throw std::length_error("string too long");
  } catch (const std::bad_alloc&) {
    throw BadAllocation();
  }
}

std::string* NewText(const char* inText, std::size_t inSize) {
  std::string* text = nullptr;
  Guarded([&] {
    text = internal::New<std::string>(inText == nullptr ? "" : inText, inText == nullptr ? 0 : inSize);
  });
  return text;
}

}  // namespace

TARSEL_ORN_DEFINE_ALLOCATION_OPERATORS(AString8)

const std::size_t AString8::npos = std::string::npos;

AString8::AString8() : m_text(NewText(nullptr, 0)) {}

AString8::AString8(const AString8& inOther) : m_text(NewText(inOther.c_str(), inOther.size())) {}

AString8::AString8(AString8&& inOther) noexcept : m_text(inOther.m_text) { inOther.m_text = nullptr; }

AString8::AString8(const char* inText)
    : m_text(NewText(inText, inText == nullptr ? 0 : std::strlen(inText))) {}

AString8::AString8(const char* inText, std::size_t inSize) : m_text(NewText(inText, inSize)) {}

AString8::~AString8() { internal::Delete(m_text); }

std::string& AString8::Text() {
  if (m_text == nullptr) {
    m_text = NewText(nullptr, 0);
  }
  return *m_text;
}

AString8& AString8::assign(const char* inText, std::size_t inSize) {
  std::string& text = Text();
  Guarded([&] {
    if (inText == nullptr) {
      text.clear();
    } else {
      text.assign(inText, inSize);
    }
  });
  return *this;
}

AString8& AString8::operator=(const AString8& inOther) {
  if (this != &inOther) {
    assign(inOther.c_str(), inOther.size());
  }
  return *this;
}

AString8& AString8::operator=(AString8&& inOther) noexcept {
  swap(inOther);
  return *this;
}

AString8& AString8::operator=(const char* inText) {
  return assign(inText, inText == nullptr ? 0 : std::strlen(inText));
}

void AString8::swap(AString8& inOther) noexcept {
  std::string* text = m_text;
  m_text = inOther.m_text;
  inOther.m_text = text;
}

AString8& AString8::operator+=(const AString8& inOther) {
  std::string& text = Text();
  if (this == &inOther) {
    Guarded([&] { text.append(text); });
  } else {
    Guarded([&] { text.append(inOther.c_str(), inOther.size()); });
  }
  return *this;
}

AString8& AString8::operator+=(const char* inText) {
  std::string& text = Text();
  if (inText != nullptr) {
    Guarded([&] { text.append(inText); });
  }
  return *this;
}

AString8& AString8::operator+=(char inChar) {
  std::string& text = Text();
  Guarded([&] { text.push_back(inChar); });
  return *this;
}

AString8 AString8::operator+(const AString8& inOther) const {
  AString8 result(*this);
  result += inOther;
  return result;
}

AString8 AString8::operator+(const char* inText) const {
  AString8 result(*this);
  result += inText;
  return result;
}

AString8 AString8::operator+(char inChar) const {
  AString8 result(*this);
  result += inChar;
  return result;
}

char& AString8::at(std::size_t inPos) {
  if (inPos >= size()) {
    ThrowPosition();
  }
  return (*m_text)[inPos];
}

const char& AString8::at(std::size_t inPos) const {
  if (inPos >= size()) {
    ThrowPosition();
  }
  return (*m_text)[inPos];
}

const char* AString8::c_str() const { return m_text == nullptr ? "" : m_text->c_str(); }

void AString8::clear() {
  if (m_text != nullptr) {
    m_text->clear();
  }
}

bool AString8::empty() const { return size() == 0; }

AString8& AString8::erase(std::size_t inPos, std::size_t inCount) {
  if (inPos > size()) {
    ThrowPosition();
  }
  if (m_text != nullptr) {
    m_text->erase(inPos, inCount);
  }
  return *this;
}

void AString8::reserve(std::size_t inSize) {
  std::string& text = Text();
  Guarded([&] { text.reserve(inSize); });
}

std::size_t AString8::size() const { return m_text == nullptr ? 0 : m_text->size(); }

std::size_t AString8::length() const { return size(); }

int AString8::Compare(const char* inText, std::size_t inSize) const {
  const std::size_t mine = size();
  const std::size_t common = mine < inSize ? mine : inSize;
  const int bytes = common == 0 ? 0 : std::memcmp(c_str(), inText, common);
  if (bytes != 0) {
    return bytes < 0 ? -1 : 1;
  }
  if (mine == inSize) {
    return 0;
  }
  return mine < inSize ? -1 : 1;
}

bool AString8::operator==(const AString8& inOther) const {
  return Compare(inOther.c_str(), inOther.size()) == 0;
}
bool AString8::operator!=(const AString8& inOther) const { return !(*this == inOther); }

bool AString8::operator==(const char* inText) const {
  const char* text = inText == nullptr ? "" : inText;
  return Compare(text, std::strlen(text)) == 0;
}

bool AString8::operator!=(const char* inText) const { return !(*this == inText); }

bool AString8::operator<(const AString8& inOther) const {
  return Compare(inOther.c_str(), inOther.size()) < 0;
}
bool AString8::operator<=(const AString8& inOther) const {
  return Compare(inOther.c_str(), inOther.size()) <= 0;
}
bool AString8::operator>(const AString8& inOther) const {
  return Compare(inOther.c_str(), inOther.size()) > 0;
}
bool AString8::operator>=(const AString8& inOther) const {
  return Compare(inOther.c_str(), inOther.size()) >= 0;
}

}  // namespace orn
}  // namespace tarsel
