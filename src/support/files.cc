// files.cc - open the files whose headers are edited.
#include "support/files.h"

#include <sys/stat.h>

#include "support/diagnostics.h"

namespace hdrtune {

static bool is_regular(int fd) {
  struct stat info;
  return fstat(fd, &info) == 0 && S_ISREG(info.st_mode);
}

std::FILE *open_for_update(const char *path, OpenFailure *failure) {
  // Opening a device can have effects of its own, and a FIFO would block the
  // first read: look before opening.
  struct stat info;
  if (stat(path, &info) == 0 && !S_ISREG(info.st_mode)) {
    *failure = OpenFailure::not_regular;
    return nullptr;
  }
  std::FILE *stream = std::fopen(path, "r+b");
  if (!stream) {
    *failure = OpenFailure::not_openable;
    return nullptr;
  }
  if (!is_regular(fileno(stream))) {
    std::fclose(stream);
    *failure = OpenFailure::not_regular;
    return nullptr;
  }
  *failure = OpenFailure::none;
  return stream;
}

std::FILE *open_for_update_or_report(const char *path) {
  OpenFailure failure;
  std::FILE *stream = open_for_update(path, &failure);
  if (failure == OpenFailure::not_regular)
    report_error("'%s' is not an ordinary file\n", path);
  else if (failure == OpenFailure::not_openable)
    report_error("Input file '%s' is not readable\n", path);
  return stream;
}

}  // namespace hdrtune
