// SPDX-License-Identifier: MIT
// json_text.h - JSON text built in a growing buffer: strings from any bytes,
// numbers, and the hexadecimal form of bytes that are not UTF-8.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>

namespace hdrtune {

struct JsonBuffer {
  char *data = nullptr;
  std::size_t length = 0;
  std::size_t capacity = 0;
};

void json_release(JsonBuffer *buffer);

// Makes room for `more` bytes after what the buffer holds.
void json_grow(JsonBuffer *buffer, std::size_t more);

// Appends text as it is: keys, punctuation and texts known to need no escape.
// Inline, so that a constant text is copied without a call: a record is
// made of many short pieces.
inline void json_raw(JsonBuffer *buffer, const char *text, std::size_t length) {
  if (buffer->capacity - buffer->length < length) json_grow(buffer, length);
  std::memcpy(buffer->data + buffer->length, text, length);
  buffer->length += length;
}
void json_raw(JsonBuffer *buffer, const char *text);
template <std::size_t N>
inline void json_literal(JsonBuffer *buffer, const char (&text)[N]) {
  json_raw(buffer, text, N - 1);
}

void json_number(JsonBuffer *buffer, std::uint64_t value);

// Appends the bytes as a quoted JSON string: '"', '\\' and control bytes
// escaped, UTF-8 sequences kept, and each byte that is not part of a valid
// UTF-8 sequence written as U+FFFD. Returns false when there was such a byte:
// the string alone then does not give the bytes back.
bool json_string(JsonBuffer *buffer, const char *bytes, std::size_t length);

// Appends the bytes as a quoted string of lower-case hexadecimal digits.
void json_hex_string(JsonBuffer *buffer, const char *bytes, std::size_t length);

// The length of the valid UTF-8 sequence (no overlong form, no surrogate,
// nothing above U+10FFFF) that starts at text, or 0 when none does.
std::size_t utf8_sequence_length(const unsigned char *text, std::size_t available);

}  // namespace hdrtune
