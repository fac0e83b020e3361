// The property store of one package: per entry name (the package itself is "/"), integer keys
// mapped to texts, each with a flag (0 for values taken from the zip records, 1 otherwise).
//
// Record keys, taken from the zip records while the central directory is read:
//   0     entry    DOS date, 4 uppercase hex digits of its 2 stored bytes in stored order
//   1     entry    DOS time, same form
//   2     entry    type and creator, 16 uppercase hex digits of the 8 bytes after "ZPIT"
//   1000  package  the archive comment
// Document keys 2000 to 2002 come from the properties document, which needs an XML parser;
// without one they are code 23.
//
// Owned by its package; one thread at a time.
#pragma once

#include <cstddef>
#include <cstdint>
#include <map>
#include <string>

namespace pkg {

class PkgPropertyMgr {
 public:
  static constexpr int kKeyDate = 0;
  static constexpr int kKeyTime = 1;
  static constexpr int kKeyTypeCreator = 2;
  static constexpr int kKeyComment = 1000;
  static constexpr int kKeyDateTime = 2000;
  static constexpr int kKeyMacType = 2001;
  static constexpr int kKeyMacCreator = 2002;
  static constexpr std::size_t kMaxCommentLength = 65534;

  explicit PkgPropertyMgr(bool inHasParser) : m_hasParser(inHasParser) {}

  // Record keys: 0, 1 or 2 of an entry name ("/" is code 22), or 1000 of any name; any other
  // key is code 22. A missing value is the empty text.
  std::string GetRecordProperty(const std::string& inName, int inKey) const;
  void SetRecordProperty(const std::string& inName, int inKey, const std::string& inValue, int inFlag);

  // Document keys: code 23 without an XML parser; with one, code 22 for a key outside 2000 to
  // 2002 or for the name "/".
  std::string GetDocumentProperty(const std::string& inName, int inKey) const;
  void SetDocumentProperty(const std::string& inName, int inKey, const std::string& inValue);

  // Upper-case hexadecimal text of bytes, two digits per byte in the bytes' order.
  static std::string HexOfBytes(const uint8_t* inBytes, std::size_t inCount);

 private:
  struct Value {
    std::string text;
    int flag = 0;
  };
  static void CheckRecordKey(const std::string& inName, int inKey);
  void CheckDocumentKey(const std::string& inName, int inKey) const;

  bool m_hasParser;
  std::map<std::string, std::map<int, Value>> m_store;
};

}  // namespace pkg
