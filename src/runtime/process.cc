// SPDX-License-Identifier: MIT
// process.cc - the standard descriptors held, and interrupts turned into a
// clean stop between headers.
#include "runtime/process.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <csetjmp>
#include <csignal>

namespace hdrtune {

bool hold_standard_descriptors(int *unheld) {
  for (int fd = 0; fd <= 2; ++fd) {
    if (fcntl(fd, F_GETFD) != -1 || errno != EBADF) continue;
    // The lower descriptors are open, so the lowest free number is fd itself.
    if (open("/dev/null", O_RDWR) == fd) continue;
    *unheld = fd;
    return false;
  }
  return true;
}

static volatile std::sig_atomic_t caught_signal = 0;
// Set while a call that an interrupt must end is running: the handler jumps
// back out of it, since with restarted system calls it would go on waiting.
static sigjmp_buf *volatile interrupt_jump = nullptr;

static void on_interrupt(int signal) {
  if (caught_signal == 0) {
    caught_signal = signal;
    if (interrupt_jump) siglongjmp(*interrupt_jump, 1);
    return;
  }
  // The user asked twice: stop now. The signal is blocked while this handler
  // runs and is delivered, with its default action, as the handler returns.
  std::signal(signal, SIG_DFL);
  raise(signal);
}

void catch_interrupts() {
  struct sigaction action = {};
  action.sa_handler = on_interrupt;
  sigemptyset(&action.sa_mask);
  action.sa_flags = SA_RESTART;
  static const int interrupts[] = {SIGINT, SIGTERM, SIGHUP};
  for (int signal : interrupts) {
    struct sigaction old;
    if (sigaction(signal, nullptr, &old) != 0 || old.sa_handler == SIG_IGN) continue;
    sigaction(signal, &action, nullptr);
  }
}

int pending_interrupt() { return caught_signal; }

bool call_unless_interrupted(int (*call)(void *context), void *context, int *result) {
  sigjmp_buf jump;
  if (sigsetjmp(jump, 1) != 0) {
    interrupt_jump = nullptr;
    return false;
  }
  // From here on an interrupt jumps back above; one that came before is seen
  // by the check, so none is left waiting while the call blocks.
  interrupt_jump = &jump;
  bool interrupted = caught_signal != 0;
  if (!interrupted) *result = call(context);
  interrupt_jump = nullptr;
  return !interrupted;
}

const char *interrupt_name(int signal) {
  switch (signal) {
    case SIGINT: return "SIGINT";
    case SIGTERM: return "SIGTERM";
    case SIGHUP: return "SIGHUP";
    default: return "a signal";
  }
}

void end_by_signal(int signal) {
  std::signal(signal, SIG_DFL);
  sigset_t set;
  sigemptyset(&set);
  sigaddset(&set, signal);
  sigprocmask(SIG_UNBLOCK, &set, nullptr);
  raise(signal);
  _exit(128 + signal);  // not reached: the default action of these signals ends the process
}

}  // namespace hdrtune
