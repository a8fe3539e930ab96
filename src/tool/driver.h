// SPDX-License-Identifier: MIT
// driver.h - the command line, its texts, and the loop over file operands.
#pragma once

#include <cstdio>

#include "runtime/options.h"
#include "tool/run_options.h"

namespace hdrtune {

extern const option long_option_table[];

// The program's entry; returns the exit status.
int tool_main(int argc, char **argv);

[[noreturn]] void show_usage(std::FILE *stream, int status);
[[noreturn]] void show_version(const char *name);

// Checks, opens and edits one file operand; 0 on success, 1 after a report.
int edit_file(const RunOptions &options, const char *path);

}  // namespace hdrtune
