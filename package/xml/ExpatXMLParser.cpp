#include "pkg/ExpatXMLParser.h"

#include <expat.h>

#include <exception>

namespace pkg {

namespace {
constexpr std::size_t kReadBlock = 16384;
}  // namespace

struct ExpatXMLParser::State {
  XML_Parser parser = nullptr;
  IXMLParser_EventHandler* handler = nullptr;
  bool stopped = false;

  // Runs a handler callback; a callback that asks to stop, or throws, stops the parser. No
  // exception crosses Expat.
  template <class F>
  void Call(F inCallback) {
    if (stopped || handler == nullptr) {
      return;
    }
    int result = -1;
    try {
      result = inCallback(*handler);
    } catch (...) {
      result = -1;
    }
    if (result != 0) {
      stopped = true;
      XML_StopParser(parser, XML_FALSE);
    }
  }

  static void OnStart(void* inData, const XML_Char* inName, const XML_Char** inAttributes) {
    auto* state = static_cast<State*>(inData);
    state->Call([&](IXMLParser_EventHandler& inHandler) {
      XMLAttributes attributes;
      for (int i = 0; inAttributes[i] != nullptr && inAttributes[i + 1] != nullptr; i += 2) {
        attributes.emplace_back(inAttributes[i], inAttributes[i + 1]);
      }
      return inHandler.StartElement(inName, attributes);
    });
  }
  static void OnEnd(void* inData, const XML_Char* inName) {
    auto* state = static_cast<State*>(inData);
    state->Call([&](IXMLParser_EventHandler& inHandler) { return inHandler.EndElement(inName); });
  }
  static void OnText(void* inData, const XML_Char* inText, int inLength) {
    auto* state = static_cast<State*>(inData);
    state->Call([&](IXMLParser_EventHandler& inHandler) {
      return inHandler.CharacterData(inText, static_cast<std::size_t>(inLength));
    });
  }
  static void OnInstruction(void* inData, const XML_Char* inTarget, const XML_Char* inText) {
    auto* state = static_cast<State*>(inData);
    state->Call([&](IXMLParser_EventHandler& inHandler) { return inHandler.ProcessingInstruction(inTarget, inText); });
  }
  static void OnComment(void* inData, const XML_Char* inText) {
    auto* state = static_cast<State*>(inData);
    state->Call([&](IXMLParser_EventHandler& inHandler) { return inHandler.Comment(inText); });
  }
};

ExpatXMLParser::~ExpatXMLParser() { Finish(); }

bool ExpatXMLParser::Parse(std::istream& inInput) {
  Finish();
  m_state = new State();
  m_state->handler = m_handler;
  m_state->parser = XML_ParserCreate(nullptr);
  if (m_state->parser == nullptr) {
    return false;
  }
  XML_SetUserData(m_state->parser, m_state);
  XML_SetElementHandler(m_state->parser, &State::OnStart, &State::OnEnd);
  XML_SetCharacterDataHandler(m_state->parser, &State::OnText);
  XML_SetProcessingInstructionHandler(m_state->parser, &State::OnInstruction);
  XML_SetCommentHandler(m_state->parser, &State::OnComment);
  char block[kReadBlock];
  for (;;) {
    try {
      inInput.read(block, sizeof(block));
    } catch (const std::exception&) {
      return false;
    }
    const std::streamsize got = inInput.gcount();
    const bool last = !inInput;
    if (inInput.bad()) {
      return false;
    }
    if (XML_Parse(m_state->parser, block, static_cast<int>(got), last ? XML_TRUE : XML_FALSE) != XML_STATUS_OK) {
      return false;
    }
    if (m_state->stopped) {
      return false;
    }
    if (last) {
      return true;
    }
  }
}

void ExpatXMLParser::Finish() {
  if (m_state == nullptr) {
    return;
  }
  if (m_state->parser != nullptr) {
    XML_ParserFree(m_state->parser);
  }
  delete m_state;
  m_state = nullptr;
}

}  // namespace pkg
