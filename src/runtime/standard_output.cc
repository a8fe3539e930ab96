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

struct Output {
  char buffer[4096];
  std::size_t held = 0;
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

void flush_at_exit() { out_flush(); }

void start() {
  if (output.started) return;
  output.started = true;
  output.line_buffered = isatty(STDOUT_FILENO) == 1;
  std::atexit(flush_at_exit);
}

}  // namespace

bool out_flush() {
  if (output.held > 0 && !output.failed) output.failed = !write_all(output.buffer, output.held);
  output.held = 0;
  return !output.failed;
}

// The buffer is written only when full, so that a pipe's reader gets whole
// pages, as from the C library's stdout.
void out_write(const char *data, std::size_t size) {
  start();
  bool ends_line = output.line_buffered && std::memchr(data, '\n', size);
  while (size > 0 && !output.failed) {
    std::size_t room = sizeof output.buffer - output.held;
    std::size_t part = size < room ? size : room;
    std::memcpy(output.buffer + output.held, data, part);
    output.held += part;
    data += part;
    size -= part;
    if (output.held == sizeof output.buffer) out_flush();
  }
  if (ends_line) out_flush();
}

void out_text(const char *text) { out_write(text, std::strlen(text)); }

void out_texts(std::initializer_list<const char *> pieces) {
  for (const char *piece : pieces) out_text(piece);
}

// Formats straight into the buffer when the text fits in what is left of it.
void out_printf(const char *format, ...) {
  start();
  std::size_t room = sizeof output.buffer - output.held;
  std::va_list args;
  va_start(args, format);
  int length = std::vsnprintf(output.buffer + output.held, room, format, args);
  va_end(args);
  if (length < 0 || output.failed) return;
  if (static_cast<std::size_t>(length) < room) {
    const char *text = output.buffer + output.held;
    output.held += static_cast<std::size_t>(length);
    if (output.line_buffered && std::memchr(text, '\n', static_cast<std::size_t>(length)))
      out_flush();
    return;
  }
  std::size_t size = static_cast<std::size_t>(length) + 1;
  auto *text = static_cast<char *>(alloc_or_die(size));
  va_start(args, format);
  std::vsnprintf(text, size, format, args);
  va_end(args);
  out_write(text, size - 1);
  std::free(text);
}

}  // namespace hdrtune
