// Message processing one message per call, for the loops of modal dialogs,
// which run on the thread that made their windows:
//
//   form.Show();
//   RunModalLoop([&] { return result != 0; });
#pragma once

#include <windows.h>

#include <functional>

namespace sentrova {

class TControl;

// Takes one message from the calling thread's queue, if there is one, and
// translates and dispatches it; the quit message (WM_QUIT) is taken but not
// dispatched (see QuitReceived). A keyboard message of a form's window goes
// through DialogNavigation first. True when a message was taken.
bool ProcessMessage();

// The same, but a keyboard message goes first to the accelerator table of
// `control` and then to that of the control's current form; a message that
// an accelerator handled is not dispatched.
bool ProcessMessage(TControl& control);

// Processes every message waiting in the calling thread's queue.
void ProcessMessages();

// Processes every waiting message, then waits without using the processor
// until the next one arrives (posted, sent or input), until `done` says so
// (checked after each round of messages). A `done` that another thread
// changes must be followed by a message to the waiting thread (a
// PostThreadMessage of WM_NULL is enough). A quit message ends the loop as
// well, and is posted again, for the caller's own loop.
void RunModalLoop(const std::function<bool()>& done);

// Blocks the calling thread, without using the processor, until a message
// is waiting in its queue (also one already seen but not taken) or being
// sent to one of its windows, or `timeoutMs` has passed. True for a message.
bool WaitForMessage(DWORD timeoutMs = INFINITE);

// Keyboard navigation for the toolkit's forms, as in the platform's dialogs:
// Tab and Shift+Tab move the focus through the controls with WS_TABSTOP in
// their order of creation, the arrow keys through the controls of the
// focused control's group (WS_GROUP marks a group's first control; texts
// and pictures are passed over), and Alt with the letter after "&" in a
// button's or check box's caption clicks it. A control that asks for these
// keys (WM_GETDLGCODE: edit text, list rows) gets them instead. Enter presses
// the focused push button, or with the focus elsewhere the form's default
// button; Escape presses the cancel button, or closes a form that has an
// onClose handler; where neither applies they reach the controls. Alt+Enter
// presses nothing, and an auto-repeat presses only when the form took the
// key's first press (a key held down since before does not). A form's onKeyPreview sees
// each key message first and may drop it. Message processing calls this for
// every keyboard message; a loop of its own calls it before translating and
// dispatching, which it must skip when this returns true (the message was
// used, or translated and dispatched here).
bool DialogNavigation(MSG& msg);

// True once message processing took a quit message on the calling thread,
// so that an outer loop can still end after a dialog's loop swallowed it;
// `exitCode` receives the quit message's code.
bool QuitReceived(int* exitCode = nullptr);

}  // namespace sentrova
