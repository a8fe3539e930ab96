// files.cc - open the files whose headers are edited.
#include "support/files.h"

#include <sys/stat.h>

#include <cerrno>
#include <cstring>

#include "support/diagnostics.h"

namespace hdrtune {

std::FILE *open_for_update(const char *path, OpenFailure *failure) {
  std::FILE *stream = std::fopen(path, "r+b");
  if (!stream) {
    *failure = OpenFailure::not_openable;
    return nullptr;
  }
  struct stat info;
  if (fstat(fileno(stream), &info) != 0 || !S_ISREG(info.st_mode)) {
    std::fclose(stream);
    *failure = OpenFailure::not_regular;
    return nullptr;
  }
  *failure = OpenFailure::none;
  return stream;
}

std::FILE *open_member_for_update(const char *path, OpenFailure *failure) {
  // Opening a device can have effects of its own, and a FIFO would block the
  // first read: look before opening.
  struct stat info;
  if (stat(path, &info) == 0 && !S_ISREG(info.st_mode)) {
    *failure = OpenFailure::not_regular;
    return nullptr;
  }
  std::FILE *stream = open_for_update(path, failure);
  if (stream) std::setvbuf(stream, nullptr, _IONBF, 0);
  return stream;
}

int close_edited_file(const char *name, std::FILE *stream) {
  if (std::fclose(stream) == 0) return 0;
  // A nested archive has no name when memory ran out while opening it.
  report_error("%s: Failed to close file: %s\n", name ? name : "<corrupt>", std::strerror(errno));
  return 1;
}

void report_open_failure(const char *path, OpenFailure failure) {
  if (failure == OpenFailure::not_regular)
    report_error("'%s' is not an ordinary file\n", path);
  else if (failure == OpenFailure::not_openable)
    report_error("Input file '%s' is not readable\n", path);
}

}  // namespace hdrtune
