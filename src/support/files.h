// files.h - open the files whose headers are edited.
#pragma once

#include <cstdio>

namespace hdrtune {

enum class OpenFailure { none, not_regular, not_openable };

// Opens path for reading and writing ("r+b"), but only a regular file: a
// directory, device or FIFO is refused before it is opened, and again if the
// path was swapped for one between the check and the open. Returns the stream,
// or null with the reason in *failure.
std::FILE *open_for_update(const char *path, OpenFailure *failure);

// As open_for_update, reporting a failure under the path.
std::FILE *open_for_update_or_report(const char *path);

}  // namespace hdrtune
