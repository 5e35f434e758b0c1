// Message processing one message per call, for the loops of modal dialogs,
// which run on the thread that made their windows:
//
//   form.Show();
//   RunModalLoop([&] { return result != 0; });
#pragma once

#include <functional>

namespace sentrova {

class TControl;

// Takes one message from the calling thread's queue, if there is one, and
// translates and dispatches it; the quit message (WM_QUIT) is taken but not
// dispatched (see QuitReceived). True when a message was taken.
bool ProcessMessage();

// The same, but a keyboard message goes first to the accelerator table of
// `control` and then to that of the control's current form; a message that
// an accelerator handled is not dispatched.
bool ProcessMessage(TControl& control);

// Processes every message waiting in the calling thread's queue.
void ProcessMessages();

// Processes every waiting message, then sleeps 10 ms, until `done` says so
// (checked after each round of messages), so that a waiting dialog costs
// almost no processor time.
void RunModalLoop(const std::function<bool()>& done);

// True once message processing took a quit message on the calling thread,
// so that an outer loop can still end after a dialog's loop swallowed it;
// `exitCode` receives the quit message's code.
bool QuitReceived(int* exitCode = nullptr);

}  // namespace sentrova
