// archive_walk.h - edit the ELF header of every member of an ar archive.
#pragma once

#include "support/files.h"

namespace hdrtune {

// The archive's members start at offset 8, just past its magic. Returns 0
// when every member was edited, 1 otherwise.
int edit_archive(const char *path, PositionedFile *stream, int is_thin);

}  // namespace hdrtune
