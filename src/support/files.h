// files.h - open the files whose headers are edited.
#pragma once

#include <cstdio>

namespace hdrtune {

enum class OpenFailure { none, not_regular, not_openable };

// Opens path for reading and writing ("r+b"). Only a regular file is kept:
// anything else that was opened (a path swapped for a device or FIFO after
// the caller checked it) is closed again and refused. Returns the stream, or
// null with the reason in *failure.
std::FILE *open_for_update(const char *path, OpenFailure *failure);

// As open_for_update, for files named inside an archive: a path that is not a
// regular file is refused before it is opened, and the stream is unbuffered,
// since nothing but headers is ever read from it.
std::FILE *open_member_for_update(const char *path, OpenFailure *failure);

// Closes a stream that headers were written through. Some file systems
// report a lost write only here, so a failure is reported under name.
// Returns 0 on success, 1 on failure.
int close_edited_file(const char *name, std::FILE *stream);

// Reports why a file could not be opened, under its path.
void report_open_failure(const char *path, OpenFailure failure);

}  // namespace hdrtune
