// SPDX-License-Identifier: MIT
// standard_output.cc - the list's stream: standard output, buffered, with
// every write carried through to its last byte.
#include "runtime/standard_output.h"

#include <poll.h>
#include <unistd.h>

#include <cerrno>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "runtime/alloc.h"

namespace hdrtune {

namespace {

// Bytes are written only up to the end of a line: a line is a record (a
// list line, a JSON record), so a write that fails leaves whole records
// behind it, and one longer than the buffer goes out in one write call from
// a larger buffer taken for it.
struct Output {
  char own[4096];
  char *buffer = own;
  std::size_t capacity = sizeof own;
  std::size_t held = 0;
  std::size_t whole = 0;  // held bytes up to the end of the last whole line
  bool started = false;
  bool line_buffered = false;
  bool failed = false;
};

Output output;

// Writes every byte to descriptor 1, resuming after a signal, a short write
// or a full non-blocking pipe. False when the bytes can't be written.
bool write_all(const char *data, std::size_t size) {
  while (size > 0) {
    ssize_t n = write(STDOUT_FILENO, data, size);
    if (n > 0) {
      data += n;
      size -= static_cast<std::size_t>(n);
      continue;
    }
    if (n < 0 && errno == EINTR) continue;
    if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) {
      struct pollfd ready = {STDOUT_FILENO, POLLOUT, 0};
      if (poll(&ready, 1, -1) >= 0 || errno == EINTR) continue;
    }
    return false;
  }
  return true;
}

// Moves the `size` bytes at `from` to the start of `to`, giving back a
// larger buffer once what is left fits in the stream's own.
void keep_tail(const char *from, std::size_t size) {
  char *to = output.buffer;
  if (output.buffer != output.own && size <= sizeof output.own) {
    to = output.own;
    output.capacity = sizeof output.own;
  }
  std::memmove(to, from, size);
  if (to != output.buffer) std::free(output.buffer);
  output.buffer = to;
  output.held = size;
  output.whole = 0;
}

// Writes the whole lines held and keeps the line being made.
void write_whole_lines() {
  if (output.whole > 0 && !output.failed) output.failed = !write_all(output.buffer, output.whole);
  keep_tail(output.buffer + output.whole, output.held - output.whole);
}

// Room for `size` more bytes: whole lines written first, then a larger
// buffer when the line being made still does not fit.
void make_room(std::size_t size) {
  if (output.held + size <= output.capacity) return;
  write_whole_lines();
  if (output.held + size <= output.capacity) return;
  std::size_t capacity = output.held + size;
  if (capacity < 2 * output.capacity) capacity = 2 * output.capacity;
  auto *larger = static_cast<char *>(alloc_or_die(capacity));
  std::memcpy(larger, output.buffer, output.held);
  if (output.buffer != output.own) std::free(output.buffer);
  output.buffer = larger;
  output.capacity = capacity;
}

void flush_at_exit() { out_flush(); }

void start() {
  if (output.started) return;
  output.started = true;
  output.line_buffered = isatty(STDOUT_FILENO) == 1;
  std::atexit(flush_at_exit);
}

// The end of the last line in `data`, counted from its start; 0 for none.
std::size_t past_last_newline(const char *data, std::size_t size) {
  for (std::size_t i = size; i > 0; --i)
    if (data[i - 1] == '\n') return i;
  return 0;
}

}  // namespace

// Whatever is held goes out, a line being made too: the caller says that
// this is a boundary (before a diagnostic, at the end of the run).
bool out_flush() {
  output.whole = output.held;
  write_whole_lines();
  return !output.failed;
}

// Whole lines are written when the buffer fills, so that a pipe's reader
// gets large writes, as from the C library's stdout, and at each line's
// end when standard output is a terminal.
void out_write(const char *data, std::size_t size) {
  start();
  if (output.failed || size == 0) return;
  make_room(size);
  std::memcpy(output.buffer + output.held, data, size);
  std::size_t line_end = past_last_newline(data, size);
  if (line_end > 0) output.whole = output.held + line_end;
  output.held += size;
  if (output.line_buffered && line_end > 0) write_whole_lines();
}

void out_printf(const char *format, ...) {
  char small[512];
  std::va_list args;
  va_start(args, format);
  int length = std::vsnprintf(small, sizeof small, format, args);
  va_end(args);
  if (length < 0) return;
  std::size_t size = static_cast<std::size_t>(length);
  if (size < sizeof small) return out_write(small, size);
  auto *text = static_cast<char *>(alloc_or_die(size + 1));
  va_start(args, format);
  std::vsnprintf(text, size + 1, format, args);
  va_end(args);
  out_write(text, size);
  std::free(text);
}

}  // namespace hdrtune
