// The XML parser that a client hands to the package library for the properties document
// "/META-INF/pkgproperties.xml". The library contains no parser; without one the document is
// neither read nor written (see ExpatXMLParser for a ready one).
//
// The library uses three operations: SetEventHandler, Parse (which calls the handler back) and
// Finish (once after Parse). Handler callbacks return 0 to go on and -1 to make the parser stop;
// they never throw. A parser and its handler belong to one thread at a time.
#pragma once

#include <cstddef>
#include <istream>
#include <string>
#include <utility>
#include <vector>

namespace pkg {

using XMLAttributes = std::vector<std::pair<std::string, std::string>>;

class IXMLParser_EventHandler {
 public:
  virtual ~IXMLParser_EventHandler() = default;
  virtual int StartElement(const std::string& inName, const XMLAttributes& inAttributes) = 0;
  virtual int EndElement(const std::string& inName) = 0;
  virtual int CharacterData(const char* inText, std::size_t inLength) = 0;
  virtual int ProcessingInstruction(const std::string& inTarget, const std::string& inData) = 0;
  virtual int Comment(const std::string& inText) = 0;
};

class IXMLParser {
 public:
  virtual ~IXMLParser() = default;
  // The handler is not owned; it must outlive the parsing.
  virtual void SetEventHandler(IXMLParser_EventHandler* inHandler) = 0;
  // Parses the whole document from inInput; false when it is not well-formed XML, when reading
  // fails, or when the handler stopped the parser.
  virtual bool Parse(std::istream& inInput) = 0;
  // Releases what the parsing held; the parser can parse again afterwards.
  virtual void Finish() = 0;
};

}  // namespace pkg
