// SPDX-License-Identifier: MIT
// diagnostics.cc - the error and warning reporters.
#include "support/diagnostics.h"

#include <cstdarg>
#include <cstdio>

#include "runtime/standard_output.h"

namespace hdrtune {

const char program_name[] = "hdrtune";

static void report(const char *prefix, const char *format, std::va_list args) {
  // Anything already listed must come out before the diagnostic when both
  // streams go to the same place.
  out_flush();
  std::fprintf(stderr, "%s: %s: ", program_name, prefix);
  std::vfprintf(stderr, format, args);
}

void report_error(const char *format, ...) {
  std::va_list args;
  va_start(args, format);
  report("Error", format, args);
  va_end(args);
}

void warn(const char *format, ...) {
  std::va_list args;
  va_start(args, format);
  report("Warning", format, args);
  va_end(args);
}

}  // namespace hdrtune
