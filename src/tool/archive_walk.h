// archive_walk.h - edit the ELF header of every member of an ar archive.
#pragma once

#include <cstdio>

namespace hdrtune {

// The stream stands just past the 8-byte magic. Returns 0 when every member
// was edited, 1 otherwise.
int edit_archive(const char *path, std::FILE *stream, int is_thin);

}  // namespace hdrtune
