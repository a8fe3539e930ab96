// SPDX-License-Identifier: MIT
// diagnostics.h - failures as values, and the error and warning lines.
//
// A failure is built where it is found and handed to a FailureSink, which
// renders it (as the stderr line, and as a record where one is asked for).
// Nothing here counts failures or keeps state of its own.
//
// How the support layer's calls end: one that can fail returns bool (true
// when done), an outcome enum, or a pointer (null after a failure). Each
// failure it finds is handed to the FailureSink it was given, or, where it
// was given none, comes back as the outcome or error number for its caller
// to report (open_positioned_file, file_read, file_write). No other call of
// this layer writes to stderr than the writers below (report_error, warn,
// the sink stderr_failures gives) and the last words of an abort.
#pragma once

#include <cstddef>

namespace hdrtune {

extern const char program_name[];

// One failure: the name it is about, the message (the text that follows
// "hdrtune: Error: ", with its own newline) and the system's reason.
struct Failure {
  const char *subject = nullptr;  // a path or a member's display name, or null
  std::size_t subject_length = 0;
  const char *message = "";
  int cause = 0;  // an errno value, or 0
};

// Takes the failures a layer finds; the tool's reporter is one.
class FailureSink {
 public:
  virtual void take(const Failure &failure) = 0;

 protected:
  ~FailureSink() = default;
};

// Formats the message and hands one failure about `subject` (null for none)
// to the sink.
void fail(FailureSink &sink, const char *subject, int cause, const char *format, ...)
    __attribute__((format(printf, 4, 5)));

// A sink that writes each failure as its stderr line and keeps nothing: for
// callers with no run around them.
FailureSink &stderr_failures();

// The stderr line of a message: "hdrtune: Error: " and the message with each
// control byte escaped, the final newline kept. `line` is `small` when the
// line fits there, else allocated: free it when it is not `small`.
struct ErrorLine {
  char *line;
  std::size_t length;
};
ErrorLine error_line(const char *message, char *small, std::size_t small_size);

// Flush stdout, then write the error line of the formatted message to
// stderr, for a failure before the run has begun (the command line).
void report_error(const char *format, ...) __attribute__((format(printf, 1, 2)));
// As report_error, with "hdrtune: Warning: ".
void warn(const char *format, ...) __attribute__((format(printf, 1, 2)));

}  // namespace hdrtune
