// SPDX-License-Identifier: MIT
// process.h - what every run needs from the process around it: the standard
// descriptors held, and interrupts turned into a clean stop between headers.
#pragma once

namespace hdrtune {

// Opens /dev/null on any of descriptors 0, 1 and 2 that is closed, so that
// no file the run opens later can take one of their numbers and receive
// text meant for a standard stream. True when all three are open; false
// with *unheld the descriptor that could not be held and errno telling why:
// the run must then not go on.
bool hold_standard_descriptors(int *unheld);

// Catches SIGINT, SIGTERM and SIGHUP (each unless it was ignored at start):
// the first one is only recorded, for the run to stop at its next header
// boundary; a second one ends the process at once. Interrupted system calls
// are restarted, so that no line of the list is lost to a write that a signal
// cut short; the one wait that an interrupt must end goes through
// call_unless_interrupted.
void catch_interrupts();

// The signal caught so far, or 0.
int pending_interrupt();

// Runs call(context), a call that may block for long (a wait for a lock),
// unless an interrupt has come already; an interrupt that comes while it
// runs ends it at once. Returns false when interrupted, true with the call's
// result in *result otherwise. An interrupt that comes just as the call
// returns also counts, so its effect (a lock taken) must be undone by
// whatever the caller does on an interrupt (closing the file).
bool call_unless_interrupted(int (*call)(void *context), void *context, int *result);

// The name of an interrupting signal ("SIGINT"), for the message.
const char *interrupt_name(int signal);

// Ends the process as killed by the signal, so that the caller (a shell loop
// on Ctrl-C, say) sees what happened.
[[noreturn]] void end_by_signal(int signal);

}  // namespace hdrtune
