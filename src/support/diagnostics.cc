// SPDX-License-Identifier: MIT
// diagnostics.cc - the error and warning reporters.
#include "support/diagnostics.h"

#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "runtime/alloc.h"
#include "runtime/char_class.h"
#include "runtime/standard_output.h"

namespace hdrtune {

const char program_name[] = "hdrtune";

namespace {

ErrorObserver error_observer = nullptr;
unsigned long long errors_written = 0;

// The caller's message, formatted; freed by the caller unless it is `small`.
char *format_message(char *small, std::size_t small_size, const char *format, std::va_list args) {
  std::va_list again;
  va_copy(again, args);
  int length = std::vsnprintf(small, small_size, format, args);
  char *message = small;
  if (length < 0) {
    small[0] = '\0';
  } else if (static_cast<std::size_t>(length) >= small_size) {
    message = static_cast<char *>(alloc_or_die(static_cast<std::size_t>(length) + 1));
    std::vsnprintf(message, static_cast<std::size_t>(length) + 1, format, again);
  }
  va_end(again);
  return message;
}

// Writes the prefix and the message as one line on stderr. A message names
// files and members, whose names may hold any byte: each control byte is
// written as an escape, so that no name can move the terminal, change its
// colours or start a line that looks like one of ours. The newline that ends
// the message is the one byte left as it is: every message ends with fixed
// text, so it is never a name's.
void write_line(const char *prefix, const char *message, int cause) {
  std::size_t length = std::strlen(message);
  if (length > 0 && message[length - 1] == '\n') --length;
  std::size_t prefix_length = std::strlen(program_name) + std::strlen(prefix) + 4;
  // Every byte may become a four-byte escape.
  std::size_t capacity = prefix_length + 4 * length + 2;
  char small[2048];
  char *line = capacity <= sizeof small ? small : static_cast<char *>(alloc_or_die(capacity));
  std::size_t at = static_cast<std::size_t>(
      std::snprintf(line, prefix_length + 1, "%s: %s: ", program_name, prefix));
  for (std::size_t i = 0; i < length; ++i) {
    if (!is_control_byte(message[i])) {
      line[at++] = message[i];
      continue;
    }
    ByteEscape escape = control_byte_escape(message[i]);
    std::size_t size = std::strlen(escape.text);
    std::memcpy(line + at, escape.text, size);
    at += size;
  }
  if (message[length] == '\n') line[at++] = '\n';
  std::fwrite(line, 1, at, stderr);
  // An error line is also handed on as written, with the message as the
  // caller gave it.
  if (error_observer && std::strcmp(prefix, "Error") == 0) error_observer(line, at, message, cause);
  if (line != small) std::free(line);
}

void report(const char *prefix, int cause, const char *format, std::va_list args) {
  // Anything already listed must come out before the diagnostic when both
  // streams go to the same place.
  out_flush();
  char small[512];
  char *message = format_message(small, sizeof small, format, args);
  write_line(prefix, message, cause);
  if (message != small) std::free(message);
}

}  // namespace

void report_error(const char *format, ...) {
  ++errors_written;
  std::va_list args;
  va_start(args, format);
  report("Error", 0, format, args);
  va_end(args);
}

void report_error_with_cause(int cause, const char *format, ...) {
  ++errors_written;
  std::va_list args;
  va_start(args, format);
  report("Error", cause, format, args);
  va_end(args);
}

void warn(const char *format, ...) {
  std::va_list args;
  va_start(args, format);
  report("Warning", 0, format, args);
  va_end(args);
}

void count_written_error_line(const char *line, std::size_t length) {
  ++errors_written;
  if (!error_observer) return;
  char small[512];
  char *message = length < sizeof small ? small : static_cast<char *>(alloc_or_die(length + 1));
  std::memcpy(message, line, length);
  message[length] = '\0';
  error_observer(line, length, message, 0);
  if (message != small) std::free(message);
}

void set_error_observer(ErrorObserver observer) { error_observer = observer; }

unsigned long long error_count() { return errors_written; }

}  // namespace hdrtune
