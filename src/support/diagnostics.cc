// SPDX-License-Identifier: MIT
// diagnostics.cc - failures as values, and the error and warning lines.
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

// The prefix and the message as one line. A message names files and
// members, whose names may hold any byte: each control byte is written as
// an escape, so that no name can move the terminal, change its colours or
// start a line that looks like one of ours. The newline that ends the
// message is the one byte left as it is: every message ends with fixed
// text, so it is never a name's.
ErrorLine prefixed_line(const char *prefix, const char *message, char *small,
                        std::size_t small_size) {
  std::size_t length = std::strlen(message);
  if (length > 0 && message[length - 1] == '\n') --length;
  std::size_t prefix_length = std::strlen(program_name) + std::strlen(prefix) + 4;
  // Every byte may become a four-byte escape.
  std::size_t capacity = prefix_length + 4 * length + 2;
  char *line = capacity <= small_size ? small : static_cast<char *>(alloc_or_die(capacity));
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
  return {line, at};
}

// Anything already listed comes out before the line when both streams go
// to the same place.
void write_line(const char *prefix, const char *message) {
  out_flush();
  char small[2048];
  ErrorLine line = prefixed_line(prefix, message, small, sizeof small);
  std::fwrite(line.line, 1, line.length, stderr);
  if (line.line != small) std::free(line.line);
}

void write_formatted(const char *prefix, const char *format, std::va_list args) {
  char small[512];
  char *message = format_message(small, sizeof small, format, args);
  write_line(prefix, message);
  if (message != small) std::free(message);
}

class StderrFailures final : public FailureSink {
 public:
  void take(const Failure &failure) override { write_line("Error", failure.message); }
};

}  // namespace

ErrorLine error_line(const char *message, char *small, std::size_t small_size) {
  return prefixed_line("Error", message, small, small_size);
}

void fail(FailureSink &sink, const char *subject, int cause, const char *format, ...) {
  char small[512];
  std::va_list args;
  va_start(args, format);
  char *message = format_message(small, sizeof small, format, args);
  va_end(args);
  Failure failure;
  failure.subject = subject;
  failure.subject_length = subject ? std::strlen(subject) : 0;
  failure.message = message;
  failure.cause = cause;
  sink.take(failure);
  if (message != small) std::free(message);
}

FailureSink &stderr_failures() {
  static StderrFailures sink;
  return sink;
}

void report_error(const char *format, ...) {
  std::va_list args;
  va_start(args, format);
  write_formatted("Error", format, args);
  va_end(args);
}

void warn(const char *format, ...) {
  std::va_list args;
  va_start(args, format);
  write_formatted("Warning", format, args);
  va_end(args);
}

}  // namespace hdrtune
