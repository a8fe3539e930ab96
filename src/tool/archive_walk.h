// SPDX-License-Identifier: MIT
// archive_walk.h - edit the ELF header of every member of an ar archive.
#pragma once

#include "support/files.h"
#include "tool/reporter.h"
#include "tool/run_options.h"

namespace hdrtune {

// The archive at place.display_name; its members start at offset 8, just
// past its magic. With
// silent_pass_over (an archive found in a tree), a member that is not an ELF
// file is left alone in silence instead of being reported; with
// --skip-unmatched, it is left alone with a line in a listing. Returns 0
// when every member was edited, 1 otherwise.
int edit_archive(const RunOptions &options, const HeaderPlace &place, PositionedFile *file,
                 bool is_thin, bool silent_pass_over);

}  // namespace hdrtune
