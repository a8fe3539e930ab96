// SPDX-License-Identifier: MIT
// options.h - command-line option scanner (short, long and long-only forms).
#pragma once

#include <cstddef>

namespace hdrtune {

// One entry of a long option table; the table ends with a null name.
struct option {
  const char *name;
  int has_arg;  // 0 none, 1 required, 2 optional
  int *flag;    // when set, a match stores val here and returns 0
  int val;
};

enum { no_argument = 0, required_argument = 1, optional_argument = 2 };

enum ScanOrder { StopAtOperand = 0, PermuteOperands = 1, ReturnOperands = 2 };

extern char *optarg;
extern int optind;
extern int opterr;
extern int optopt;

// Called with each complaint the scanner writes to stderr (while opterr is
// set), its newline included, after it was written, and the context given
// with it.
using ComplaintObserver = void (*)(void *context, const char *line, std::size_t length);
void set_complaint_observer(ComplaintObserver observer, void *context);

// The scanner may reorder the pointers of argv (never the strings).
int getopt(int argc, char **argv, const char *optstring);
int getopt_long(int argc, char **argv, const char *optstring, const option *longopts,
                int *longindex);
int getopt_long_only(int argc, char **argv, const char *optstring, const option *longopts,
                     int *longindex);

}  // namespace hdrtune
