// SPDX-License-Identifier: MIT
// diagnostics.h - the error and warning reporters.
#pragma once

namespace hdrtune {

extern const char program_name[];

// Flush stdout, then write "hdrtune: Error: " and the caller's whole line
// (which carries its own newline) to stderr.
void report_error(const char *format, ...) __attribute__((format(printf, 1, 2)));
// As report_error, with "hdrtune: Warning: ".
void warn(const char *format, ...) __attribute__((format(printf, 1, 2)));

}  // namespace hdrtune
