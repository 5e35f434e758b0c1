// The main thread's polling loop and the message-queue helper that start-up
// shares with it.
#pragma once

namespace sentrova {

// Removes the thread's messages one at a time, translating and dispatching
// every one except WM_QUIT, until none is left.
void DrainQueue();

// Polls every 10 ms while ProcessState's Running is true; returns when the
// process must stop: the host set TB4Stop (every plug-in) or TB4Shutdown_VRX
// (this plug-in), or something else cleared Running. TB4Stop is never reset
// here: while the host keeps it set, a new process leaves at its first pass.
void RunLoop();

// Shutdown's part of the scanner control: tells a running scanner thread to
// end and waits at most 5,000 ms for it.
void StopScanner();

}  // namespace sentrova
