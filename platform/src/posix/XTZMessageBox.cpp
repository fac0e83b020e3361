// SDL message boxes, used only when a display exists.
#include "XTZMessageBox.h"

#include <SDL.h>

#include <cstdio>
#include <cstdlib>

namespace {

bool HasDisplay() {
  const char* x11 = std::getenv("DISPLAY");
  const char* wayland = std::getenv("WAYLAND_DISPLAY");
  return (x11 && *x11) || (wayland && *wayland);
}

// SDL keeps per-thread data (its error text) that it frees only for threads it made itself; a
// box shown on one of our threads would leave it behind when the thread ends.
struct SdlThreadData {
  bool m_used = false;
  ~SdlThreadData() {
    if (m_used) SDL_TLSCleanup();
  }
};
thread_local SdlThreadData t_sdlThreadData;

}  // namespace

bool XTZShowSystemMessageBox(const TZMessageBoxRequest& inRequest, TZMessageBoxAnswer& outAnswer) {
  if (!HasDisplay()) return false;
  const std::string caption = inRequest.m_caption.ToUTF8();
  const std::string text = inRequest.m_text.ToUTF8();
  const Uint32 kEnter = SDL_MESSAGEBOX_BUTTON_RETURNKEY_DEFAULT;
  const Uint32 kEscape = SDL_MESSAGEBOX_BUTTON_ESCAPEKEY_DEFAULT;
  SDL_MessageBoxButtonData buttons[2];
  int count = 0;
  switch (inRequest.m_buttons) {
    case kTZMessageBoxOK:
      buttons[count++] = {kEnter | kEscape, kTZAnswerOK, "OK"};
      break;
    case kTZMessageBoxRetryCancel:
      buttons[count++] = {kEnter, kTZAnswerRetry, "Retry"};
      buttons[count++] = {kEscape, kTZAnswerCancel, "Cancel"};
      break;
    case kTZMessageBoxYesNo:
      buttons[count++] = {0, kTZAnswerYes, "Yes"};
      buttons[count++] = {kEnter | kEscape, kTZAnswerNo, "No"};
      break;
  }
  SDL_MessageBoxData data{};
  data.flags = SDL_MESSAGEBOX_INFORMATION;
  data.window = static_cast<SDL_Window*>(inRequest.m_ownerWindow);
  data.title = caption.c_str();
  data.message = text.c_str();
  data.numbuttons = count;
  data.buttons = buttons;
  int pressed = -1;
  t_sdlThreadData.m_used = true;
  if (SDL_ShowMessageBox(&data, &pressed) != 0) {
    // The caller falls back to standard error; say why the box did not appear.
    std::fprintf(stderr, "Message box not shown: %s\n", SDL_GetError());
    return false;
  }
  if (pressed < 0) {
    // Closed without a button: the answer Escape would have given.
    const TZMessageBoxButtons kind = inRequest.m_buttons;
    outAnswer = kind == kTZMessageBoxRetryCancel ? kTZAnswerCancel
                : kind == kTZMessageBoxYesNo     ? kTZAnswerNo
                                                 : kTZAnswerOK;
    return true;
  }
  outAnswer = static_cast<TZMessageBoxAnswer>(pressed);
  return true;
}
