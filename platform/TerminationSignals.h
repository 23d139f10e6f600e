#pragma once
// The signals with which a desktop session or a service manager ends a program
// (SIGTERM, SIGHUP) become one byte each on a pipe, so that the program's event loop
// can end it like a close instead of losing what is not yet saved.

namespace vb::platform {

// Installs the handlers (once per process) and returns the pipe's non-blocking
// reading end, -1 when the pipe cannot be made (the signals then keep their default).
int CatchTerminationSignals();

// Reads the bytes that are waiting on the reading end; true when there was one.
bool TakeTerminationRequest(int fd);

}  // namespace vb::platform
