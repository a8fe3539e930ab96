// process.h - what every run needs from the process around it: the standard
// descriptors held, and interrupts turned into a clean stop between headers.
#pragma once

namespace hdrtune {

// Opens /dev/null on any of descriptors 0, 1 and 2 that is closed, so that
// no file the run opens later can take one of their numbers and receive
// text meant for a standard stream. Ends the process with status 1 if that
// can't be done.
void hold_standard_descriptors();

// Catches SIGINT, SIGTERM and SIGHUP (each unless it was ignored at start)
// without SA_RESTART: the first one is only recorded, for the run to stop at
// its next header boundary; a second one ends the process at once.
void catch_interrupts();

// The signal caught so far, or 0.
int pending_interrupt();

// The name of an interrupting signal ("SIGINT"), for the message.
const char *interrupt_name(int signal);

// Ends the process as killed by the signal, so that the caller (a shell loop
// on Ctrl-C, say) sees what happened.
[[noreturn]] void end_by_signal(int signal);

}  // namespace hdrtune
