// The property store of one package: per entry name (the package itself is "/"), integer keys
// mapped to texts, each with a flag (0 for values taken from the zip records, 1 otherwise).
//
// Record keys, from the zip records:
//   0     entry    DOS date, 4 uppercase hex digits of its 2 stored bytes in stored order
//   1     entry    DOS time, same form
//   2     entry    type and creator, 16 uppercase hex digits of the 8 bytes after "ZPIT"
//   1000  package  the archive comment, stored here while the end record is read
// The store holds an entry's keys 0 to 2 only once the client sets them; until then the entry
// reads them from its central directory header (so a package of many entries does not keep
// three texts per entry), and a commit, which writes the client's values into the headers,
// drops them from the store again.
// Document keys 2000 to 2002 ("datetime", "mac_type", "mac_creator") live in the properties
// document "/META-INF/pkgproperties.xml", which needs an XML parser; without one they are code
// 23. The document is loaded on the first access to a document key and written at each commit.
//
// Owned by its package; one thread at a time.
#pragma once

#include <cstddef>
#include <cstdint>
#include <map>
#include <string>

#include "pkg/Package.h"
#include "pkg/PkgXMLParser.h"

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

  static const char* const kDocumentPath;
  // The namespace of the properties document.
  static const char* const kDocumentNamespace;

  explicit PkgPropertyMgr(bool inHasParser) : m_hasParser(inHasParser) {}

  // The package whose document entry is read, and the parser; set once by the package.
  void Attach(IPackage* inPackage, XMLParserPtr inParser);

  // Record keys: 0, 1 or 2 of an entry name ("/" is code 22), or 1000 of any name; any other
  // key is code 22. A missing value is the empty text.
  std::string GetRecordProperty(const std::string& inName, int inKey) const;
  void SetRecordProperty(const std::string& inName, int inKey, const std::string& inValue, int inFlag);
  // A record key's value set by the client (flag 1): false when there is none.
  bool GetClientRecordProperty(const std::string& inName, int inKey, std::string& outValue) const;
  // Whether the store holds a value of the record key, whatever its flag.
  bool HasRecordProperty(const std::string& inName, int inKey) const;
  // Drops every entry's record keys 0 to 2 (after a commit has written them into the headers).
  void DropEntryRecords();

  // Document keys: code 23 without an XML parser; with one, code 22 for a key outside 2000 to
  // 2002 or for the name "/". Setting also needs an update in progress (code 28). Both load the
  // document first when it has not been loaded.
  std::string GetDocumentProperty(const std::string& inName, int inKey) const;
  void SetDocumentProperty(const std::string& inName, int inKey, const std::string& inValue);

  // The document to write at a commit (loaded first, so that nothing in it is lost), or the
  // empty text when no entry has a document value. Names and values are escaped for XML.
  std::string MakeDocument();

  // Updates: Begin takes a snapshot of the store, Cancel puts it back, End drops it.
  void BeginUpdate();
  void CancelUpdate();
  void EndUpdate();
  bool IsInUpdate() const { return m_inUpdate; }

  // Upper-case hexadecimal text of bytes, two digits per byte in the bytes' order.
  static std::string HexOfBytes(const uint8_t* inBytes, std::size_t inCount);

 private:
  struct Value {
    std::string text;
    int flag = 0;
  };
  class MyEventHandler;

  static void CheckRecordKey(const std::string& inName, int inKey);
  void CheckDocumentKey(const std::string& inName, int inKey) const;
  // Loads the document when there is one and it has not been loaded; a document that the handler
  // rejects leaves the store as it was and is tried again at the next access.
  void EnsureLoaded();
  // The setter used by the document's handler: no update or load conditions.
  void SetFromDocument(const std::string& inName, int inKey, const std::string& inValue);

  bool m_hasParser;
  IPackage* m_package = nullptr;
  XMLParserPtr m_parser;
  bool m_loaded = false;
  bool m_loading = false;
  bool m_snapshotLoaded = false;
  bool m_inUpdate = false;
  std::map<std::string, std::map<int, Value>> m_store;
  std::map<std::string, std::map<int, Value>> m_snapshot;
};

}  // namespace pkg
