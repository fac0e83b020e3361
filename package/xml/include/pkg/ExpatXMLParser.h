// An IXMLParser on Expat, for clients of the package library that want the properties document
// read and written. Kept in its own library (tzpkgxml) so that the package library itself needs
// no XML parser. No namespace processing: element names come as written ("pkgProperties").
// One thread at a time.
#pragma once

#include "pkg/PkgXMLParser.h"

namespace pkg {

class ExpatXMLParser : public IXMLParser {
 public:
  ExpatXMLParser() = default;
  ~ExpatXMLParser() override;
  ExpatXMLParser(const ExpatXMLParser&) = delete;
  ExpatXMLParser& operator=(const ExpatXMLParser&) = delete;

  void SetEventHandler(IXMLParser_EventHandler* inHandler) override { m_handler = inHandler; }
  bool Parse(std::istream& inInput) override;
  void Finish() override;

 private:
  struct State;
  State* m_state = nullptr;
  IXMLParser_EventHandler* m_handler = nullptr;
};

}  // namespace pkg
