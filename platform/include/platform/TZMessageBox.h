// Modal message boxes. Every box of the program goes through TZRunMessageBox, so that tests can
// answer them (TZSetMessageBoxResponder).
//
// With a display (DISPLAY or WAYLAND_DISPLAY set) the box is an SDL message box shown on the
// calling thread, which blocks until the user answers: Enter picks the default button, Escape
// Cancel or No. With no display, or when the box cannot be shown, the caption and text are
// written to standard error and the default button is the answer.
#pragma once

#include <functional>

#include "platform/TZString.h"

enum TZMessageBoxButtons {
  kTZMessageBoxOK,           // OK; default OK
  kTZMessageBoxRetryCancel,  // Retry and Cancel; default Retry
  kTZMessageBoxYesNo,        // Yes and No; default No
};

enum TZMessageBoxAnswer {
  kTZAnswerOK,
  kTZAnswerRetry,
  kTZAnswerCancel,
  kTZAnswerYes,
  kTZAnswerNo,
};

struct TZMessageBoxRequest {
  TZString m_caption;
  TZString m_text;
  TZMessageBoxButtons m_buttons = kTZMessageBoxOK;
  // The window that owns the box (an SDL_Window*), or null; not owned.
  void* m_ownerWindow = nullptr;
};

// The answer a box gives when nobody can press a button.
TZMessageBoxAnswer TZDefaultMessageBoxAnswer(TZMessageBoxButtons inButtons);

// Shows the box (or lets the responder answer it) and returns the answer. Any thread.
TZMessageBoxAnswer TZRunMessageBox(const TZMessageBoxRequest& inRequest);

// Lets a test answer every box instead of the system; an empty function restores the system box.
// The responder runs on the thread that asked for the box.
using TZMessageBoxResponder = std::function<TZMessageBoxAnswer(const TZMessageBoxRequest&)>;
void TZSetMessageBoxResponder(TZMessageBoxResponder inResponder);

// A box with a single OK button and the process-wide fatal-error caption "Tarsel Ostrel".
void TZShowMessageBox(const TZString& inText);
