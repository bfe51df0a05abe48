// Termination requests from outside (SIGTERM, SIGINT, SIGHUP) as an event
// of the message loop instead of an abrupt end, so that a launcher told to
// stop still saves its state and closes its log.
#pragma once

namespace platform {

// Blocks the three signals for the calling thread and every thread it
// starts afterwards (call it first thing in main) and returns a descriptor
// that becomes readable when one arrives; -1 when that is not possible
// (the signals then keep their default action). Processes started later
// get the ordinary mask back (StartProcess).
int BlockTerminationSignals();

// Takes the pending signals from the descriptor; true when one was there.
bool TakeTerminationSignal(int fd);

}  // namespace platform
