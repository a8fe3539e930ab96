// SPDX-License-Identifier: MIT
// header_editor.h - check and rewrite one ELF file header in place.
#pragma once

#include <cstdint>

#include "support/files.h"
#include "tool/reporter.h"
#include "tool/run_options.h"

namespace hdrtune {

constexpr std::uint64_t no_size_limit = UINT64_MAX;

// Edits the header that starts at place.offset of the file, as the options
// ask; reports failures under place.display_name. A header that would run
// past the size_limit bytes from the offset on (an archive member's data)
// is refused before anything is written, so the bytes after the member are
// never overwritten. Returns 0 on success, 1 on failure.
int edit_object(const RunOptions &options, const HeaderPlace &place, PositionedFile *file,
                std::uint64_t size_limit = no_size_limit);

}  // namespace hdrtune
