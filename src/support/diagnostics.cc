// SPDX-License-Identifier: MIT
// diagnostics.cc - the error and warning reporters.
#include "support/diagnostics.h"

#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "runtime/alloc.h"
#include "runtime/standard_output.h"

namespace hdrtune {

const char program_name[] = "hdrtune";

namespace {

ErrorObserver error_observer = nullptr;
int noted_cause = 0;
unsigned long long errors_written = 0;

void report(const char *prefix, const char *format, std::va_list args) {
  // Anything already listed must come out before the diagnostic when both
  // streams go to the same place.
  out_flush();
  std::fprintf(stderr, "%s: %s: ", program_name, prefix);
  std::vfprintf(stderr, format, args);
}

// The observer needs the line's text as well: it is formatted once, and the
// same bytes go to stderr in one write.
void report_observed(const char *format, std::va_list args) {
  char small[512];
  std::size_t prefix =
      static_cast<std::size_t>(std::snprintf(small, sizeof small, "%s: Error: ", program_name));
  std::va_list copy;
  va_copy(copy, args);
  int length = std::vsnprintf(small + prefix, sizeof small - prefix, format, copy);
  va_end(copy);
  if (length < 0) length = 0;
  std::size_t total = prefix + static_cast<std::size_t>(length);
  char *line = small;
  if (total >= sizeof small) {
    line = static_cast<char *>(alloc_or_die(total + 1));
    std::memcpy(line, small, prefix);
    std::vsnprintf(line + prefix, total + 1 - prefix, format, args);
  }
  out_flush();
  std::fwrite(line, 1, total, stderr);
  int cause = noted_cause;
  noted_cause = 0;
  error_observer(line, total, line + prefix, cause);
  if (line != small) std::free(line);
}

}  // namespace

void report_error(const char *format, ...) {
  ++errors_written;
  std::va_list args;
  va_start(args, format);
  if (error_observer)
    report_observed(format, args);
  else
    report("Error", format, args);
  va_end(args);
  noted_cause = 0;
}

void warn(const char *format, ...) {
  std::va_list args;
  va_start(args, format);
  report("Warning", format, args);
  va_end(args);
}

void note_error_cause(int error_number) { noted_cause = error_number; }

void set_error_observer(ErrorObserver observer) { error_observer = observer; }

unsigned long long error_count() { return errors_written; }

}  // namespace hdrtune
