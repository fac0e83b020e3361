// The properties document "/META-INF/pkgproperties.xml": loading it through the client's XML
// parser, writing it at a commit, and the update snapshot of the store.
#include <exception>

#include "PkgPropertyMgr.h"
#include "pkg/PkgException.h"

namespace pkg {

const char* const PkgPropertyMgr::kDocumentPath = "/META-INF/pkgproperties.xml";
const char* const PkgPropertyMgr::kDocumentNamespace = "http://ns.tarsel.example/mox/1.0/";

namespace {

struct KeyName {
  int key;
  const char* name;
};
const KeyName kKeyNames[] = {{PkgPropertyMgr::kKeyDateTime, "datetime"},
                             {PkgPropertyMgr::kKeyMacType, "mac_type"},
                             {PkgPropertyMgr::kKeyMacCreator, "mac_creator"}};

int KeyOfName(const std::string& inName) {
  for (const KeyName& known : kKeyNames) {
    if (inName == known.name) {
      return known.key;
    }
  }
  return -1;
}

const char* NameOfKey(int inKey) {
  for (const KeyName& known : kKeyNames) {
    if (inKey == known.key) {
      return known.name;
    }
  }
  return nullptr;
}

bool IsDocumentKey(int inKey) { return inKey >= PkgPropertyMgr::kKeyDateTime && inKey <= PkgPropertyMgr::kKeyMacCreator; }

std::string EscapeXml(const std::string& inText) {
  std::string out;
  out.reserve(inText.size());
  for (char c : inText) {
    switch (c) {
      case '&': out += "&amp;"; break;
      case '<': out += "&lt;"; break;
      case '>': out += "&gt;"; break;
      case '"': out += "&quot;"; break;
      default: out += c;
    }
  }
  return out;
}

}  // namespace

// Accepts exactly the document structure that MakeDocument writes:
// pkgProperties > (package > prop*) and (entries > entry[path] > prop[key]*).
class PkgPropertyMgr::MyEventHandler : public IXMLParser_EventHandler {
 public:
  explicit MyEventHandler(PkgPropertyMgr& inManager) : m_manager(inManager) {}

  bool IsGood() const { return m_good; }

  int StartElement(const std::string& inName, const XMLAttributes& inAttributes) override {
    if (!m_good) {
      return -1;
    }
    ++m_depth;
    if (inName == "pkgProperties") {
      Accept(m_depth == 1 && !m_seenRoot, m_seenRoot, m_inRoot);
    } else if (inName == "package") {
      Accept(m_depth == 2 && m_inRoot && !m_seenPackage, m_seenPackage, m_inPackage);
      m_path = "/";
    } else if (inName == "entries") {
      Accept(m_depth == 2 && m_inRoot && !m_seenEntries, m_seenEntries, m_inEntries);
    } else if (inName == "entry") {
      if (m_depth == 3 && m_inEntries) {
        m_inEntry = true;
        m_path = Attribute(inAttributes, "path");
        m_good = !m_path.empty();
      } else {
        m_good = false;
      }
    } else if (inName == "prop") {
      if ((m_depth == 3 && m_inPackage) || (m_depth == 4 && m_inEntry)) {
        m_inProp = true;
        m_key = Attribute(inAttributes, "key");
        m_value.clear();
        m_good = !m_key.empty();
      } else {
        m_good = false;
      }
    }
    return m_good ? 0 : -1;
  }

  int EndElement(const std::string& inName) override {
    if (!m_good) {
      return -1;
    }
    if (inName == "pkgProperties") {
      Leave(m_depth == 1 && m_inRoot, m_inRoot);
    } else if (inName == "package") {
      Leave(m_depth == 2 && m_inPackage, m_inPackage);
      m_path.clear();
    } else if (inName == "entries") {
      Leave(m_depth == 2 && m_inEntries, m_inEntries);
    } else if (inName == "entry") {
      Leave(m_depth == 3 && m_inEntry, m_inEntry);
      m_path.clear();
    } else if (inName == "prop") {
      Leave(((m_depth == 3 && m_inPackage) || (m_depth == 4 && m_inEntry)) && m_inProp, m_inProp);
      m_key.clear();
    }
    if (m_good) {
      if (m_depth < 1) {
        m_good = false;
      } else {
        --m_depth;
      }
    }
    return m_good ? 0 : -1;
  }

  int CharacterData(const char* inText, std::size_t inLength) override {
    if (!m_good) {
      return -1;
    }
    const int key = KeyOfName(m_key);
    if (key < 0) {
      return 0;  // unknown keys, and text outside a prop
    }
    // A parser may deliver one text in several pieces: they belong together.
    m_value.append(inText, inLength);
    try {
      m_manager.SetFromDocument(m_path, key, m_value);
    } catch (const std::exception&) {
      m_good = false;  // e.g. a value for the package "/": the document is refused
    }
    return m_good ? 0 : -1;
  }

  int ProcessingInstruction(const std::string&, const std::string&) override { return m_good ? 0 : -1; }
  int Comment(const std::string&) override { return m_good ? 0 : -1; }

 private:
  void Accept(bool inAllowed, bool& ioSeen, bool& ioInside) {
    if (inAllowed) {
      ioSeen = true;
      ioInside = true;
    } else {
      m_good = false;
    }
  }
  void Leave(bool inAllowed, bool& ioInside) {
    if (inAllowed) {
      ioInside = false;
    } else {
      m_good = false;
    }
  }
  static std::string Attribute(const XMLAttributes& inAttributes, const char* inName) {
    for (const auto& attribute : inAttributes) {
      if (attribute.first == inName) {
        return attribute.second;
      }
    }
    return std::string();
  }

  PkgPropertyMgr& m_manager;
  int m_depth = 0;
  bool m_good = true;
  bool m_seenRoot = false;
  bool m_inRoot = false;
  bool m_seenPackage = false;
  bool m_inPackage = false;
  bool m_seenEntries = false;
  bool m_inEntries = false;
  bool m_inEntry = false;
  bool m_inProp = false;
  std::string m_path;
  std::string m_key;
  std::string m_value;
};

void PkgPropertyMgr::Attach(IPackage* inPackage, XMLParserPtr inParser) {
  m_package = inPackage;
  m_parser = std::move(inParser);
  m_hasParser = m_parser != nullptr;
}

std::string PkgPropertyMgr::GetDocumentProperty(const std::string& inName, int inKey) const {
  CheckDocumentKey(inName, inKey);
  // Loading fills the store on first use; the manager itself is never a const object.
  const_cast<PkgPropertyMgr*>(this)->EnsureLoaded();
  const auto holder = m_store.find(inName);
  if (holder == m_store.end()) {
    return std::string();
  }
  const auto value = holder->second.find(inKey);
  return value == holder->second.end() ? std::string() : value->second.text;
}

void PkgPropertyMgr::SetDocumentProperty(const std::string& inName, int inKey, const std::string& inValue) {
  if (!m_hasParser) {
    throw PackageException(kPkgErrUnsupportedOperation);
  }
  if (!m_inUpdate) {
    throw PackageException(kPkgErrNotInUpdate);
  }
  CheckDocumentKey(inName, inKey);
  EnsureLoaded();
  Value& value = m_store[inName][inKey];
  value.text = inValue;
  value.flag = 1;
}

void PkgPropertyMgr::SetFromDocument(const std::string& inName, int inKey, const std::string& inValue) {
  CheckDocumentKey(inName, inKey);
  Value& value = m_store[inName][inKey];
  value.text = inValue;
  value.flag = 1;
}

void PkgPropertyMgr::EnsureLoaded() {
  if (m_loaded || m_loading || !m_parser || m_package == nullptr) {
    return;
  }
  if (m_package->GetEntryType(kDocumentPath) != kPkgEntryFile) {
    return;
  }
  m_loading = true;
  const auto saved = m_store;
  bool good = false;
  try {
    PkgStreamPtr stream = m_package->GetEntry(kDocumentPath, true)->OpenStream(kPkgModeIn, false);
    MyEventHandler handler(*this);
    m_parser->SetEventHandler(&handler);
    const bool parsed = m_parser->Parse(*stream);
    m_parser->SetEventHandler(nullptr);
    m_parser->Finish();
    stream->Close();
    good = parsed && handler.IsGood();
  } catch (const std::exception&) {
    good = false;  // an unreadable document is treated like a rejected one
  }
  m_loading = false;
  if (good) {
    m_loaded = true;
  } else {
    m_store = saved;
  }
}

std::string PkgPropertyMgr::MakeDocument() {
  EnsureLoaded();
  std::string body;
  for (const auto& holder : m_store) {
    if (holder.first == "/") {
      continue;  // package-level values are not written
    }
    std::string props;
    for (const auto& value : holder.second) {
      if (IsDocumentKey(value.first)) {
        props += std::string("<prop key=\"") + NameOfKey(value.first) + "\">" + EscapeXml(value.second.text) +
                 "</prop>\n";
      }
    }
    if (!props.empty()) {
      body += "<entry path=\"" + EscapeXml(holder.first) + "\">\n" + props + "</entry>\n";
    }
  }
  if (body.empty()) {
    return std::string();
  }
  return std::string("<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n") + "<pkgProperties xmlns=\"" +
         kDocumentNamespace + "\">\n<package/>\n<entries>\n" + body + "</entries>\n</pkgProperties>\n";
}

void PkgPropertyMgr::BeginUpdate() {
  m_snapshot = m_store;
  m_snapshotLoaded = m_loaded;
  m_inUpdate = true;
}

void PkgPropertyMgr::CancelUpdate() {
  m_store = std::move(m_snapshot);
  m_snapshot.clear();
  m_loaded = m_snapshotLoaded;
  m_inUpdate = false;
}

void PkgPropertyMgr::EndUpdate() {
  m_snapshot.clear();
  m_inUpdate = false;
}

}  // namespace pkg
