// SPDX-License-Identifier: MIT
// reporter.cc - what every rendering of a run does alike: each failure's
// stderr line and count, and the count a check closes with.
#include "tool/reporter.h"

#include <cinttypes>
#include <cstdio>
#include <cstdlib>

#include "runtime/standard_output.h"

namespace hdrtune {

namespace {

// "1 file", "2 files".
struct Counted {
  char text[48];
};

Counted counted(std::uint64_t count, const char *noun) {
  Counted c;
  std::snprintf(c.text, sizeof c.text, "%" PRIu64 " %s%s", count, noun, count == 1 ? "" : "s");
  return c;
}

}  // namespace

// Anything already listed comes out before the line when both streams go
// to the same place.
void Reporter::take(const Failure &failure) {
  ++counts.errors;
  out_flush();
  char small[2048];
  ErrorLine line = error_line(failure.message, small, sizeof small);
  std::fwrite(line.line, 1, line.length, stderr);
  failure_written(failure, line.line, line.length);
  if (line.line != small) std::free(line.line);
}

void Reporter::written_elsewhere(const char *line, std::size_t length) {
  ++counts.errors;
  Failure failure;
  failure.message = line;
  failure_written(failure, line, length);
}

void Reporter::check_count() {
  const RunCounts &c = counts;
  out_flush();
  std::fprintf(stderr, "%s: checked ", program_name);
  if (c.checked > 0) {
    std::fprintf(stderr, "%s in %s", counted(c.checked, "header").text,
                 counted(c.files_checked, "file").text);
    // Files that held no header checked (not ELF, skipped) are counted apart.
    if (c.files != c.files_checked) std::fprintf(stderr, " of %" PRIu64 " looked at", c.files);
    std::fprintf(stderr, ": %" PRIu64 " %s, %s\n", c.differing,
                 c.differing == 1 ? "differs" : "differ", counted(c.errors, "error").text);
    return;
  }
  // A check that checked nothing must not pass unnoticed: say what was met.
  std::fprintf(stderr,
               "no header in %s: passed over %s not ELF, %s, %s not ELF; %" PRIu64
               " skipped by an input condition; %s\n",
               counted(c.files, "file").text, counted(c.files_passed_over, "file").text,
               counted(c.thin_passed_over, "thin archive").text,
               counted(c.members_passed_over, "archive member").text, c.skipped,
               counted(c.errors, "error").text);
}

}  // namespace hdrtune
