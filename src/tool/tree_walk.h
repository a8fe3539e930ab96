// SPDX-License-Identifier: MIT
// tree_walk.h - edit the ELF files and archives found under a directory.
#pragma once

#include "tool/reporter.h"
#include "tool/run_options.h"

namespace hdrtune {

// True when path names a directory (a symbolic link to one included: the
// user named it).
bool is_directory(const char *path);

// Walks the directory at place.operand, depth first and in byte order of the names,
// never following a symbolic link, leaving the mount it starts on or
// opening anything but a regular file. Each ELF file is edited as one header
// and each regular archive walked (its members that are not ELF passed
// over); everything else is passed over in silence. Returns 0 when every
// file found was edited, 1 otherwise.
int edit_tree(const RunOptions &options, const HeaderPlace &place);

}  // namespace hdrtune
