// SPDX-License-Identifier: MIT
// diagnostics.h - the error and warning reporters.
#pragma once

#include <cstddef>

namespace hdrtune {

extern const char program_name[];

// Flush stdout, then write "hdrtune: Error: " and the caller's whole line
// (which carries its own newline) to stderr.
void report_error(const char *format, ...) __attribute__((format(printf, 1, 2)));
// As report_error, with "hdrtune: Warning: ".
void warn(const char *format, ...) __attribute__((format(printf, 1, 2)));

// As report_error, for a failure whose system error number is `cause`: the
// observer gets it beside the line, also where the line's text does not say
// it ("not readable" for a running program that may not be written, say).
void report_error_with_cause(int cause, const char *format, ...)
    __attribute__((format(printf, 2, 3)));

// Called with each error line as written to stderr (and its length with the
// newline), the caller's message as formatted, before its control bytes were
// escaped for stderr, and its cause, or 0.
using ErrorObserver = void (*)(const char *line, std::size_t length, const char *message,
                               int cause);
void set_error_observer(ErrorObserver observer);

// Counts a line another part already wrote to stderr (the option scanner's
// complaints) as an error line, and hands it to the observer as its message.
void count_written_error_line(const char *line, std::size_t length);

// How many error lines were written so far.
unsigned long long error_count();

}  // namespace hdrtune
