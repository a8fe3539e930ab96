// SPDX-License-Identifier: MIT
// json_text.cc - JSON text built in a growing buffer.
#include "runtime/json_text.h"

#include <cstdlib>
#include <cstring>

#include "runtime/alloc.h"

namespace hdrtune {

namespace {

void reserve(JsonBuffer *buffer, std::size_t more) {
  if (buffer->capacity - buffer->length < more) json_grow(buffer, more);
}

// True when none of the 8 bytes of w needs a look of its own: no byte
// below 0x20 or above 0x7f, no '"' and no '\\'. (x - 0x01..) & ~x & 0x80..
// is not zero exactly when a byte of x is zero, and with 0x20.. in place of
// 0x01.. when a byte is below 0x20.
bool all_plain(std::uint64_t w) {
  constexpr std::uint64_t ones = 0x0101010101010101, highs = ones * 0x80;
  std::uint64_t quote = w ^ (ones * '"'), backslash = w ^ (ones * '\\');
  std::uint64_t found =
      w | ((w - ones * 0x20) & ~w) | ((quote - ones) & ~quote) | ((backslash - ones) & ~backslash);
  return (found & highs) == 0;
}

// Bytes a string cannot hold as they are: control bytes, '"', '\\', and
// every byte above 0x7f, whose sequence must be checked.
struct SpecialBytes {
  bool table[256];
  constexpr SpecialBytes() : table() {
    for (int c = 0; c < 256; ++c) table[c] = c < 0x20 || c == '"' || c == '\\' || c >= 0x80;
  }
};
constexpr SpecialBytes special;

const char hex_digits[] = "0123456789abcdef";

// One byte below 0x20, '"' or '\\' as its escape.
void escape(JsonBuffer *buffer, unsigned char c) {
  switch (c) {
    case '"': json_raw(buffer, "\\\"", 2); return;
    case '\\': json_raw(buffer, "\\\\", 2); return;
    case '\n': json_raw(buffer, "\\n", 2); return;
    case '\r': json_raw(buffer, "\\r", 2); return;
    case '\t': json_raw(buffer, "\\t", 2); return;
    default: break;
  }
  char text[6] = {'\\', 'u', '0', '0', hex_digits[c >> 4], hex_digits[c & 15]};
  json_raw(buffer, text, sizeof text);
}

}  // namespace

void json_grow(JsonBuffer *buffer, std::size_t more) {
  std::size_t capacity = buffer->capacity ? buffer->capacity : 512;
  while (capacity - buffer->length < more) capacity *= 2;
  buffer->data = static_cast<char *>(realloc_or_die(buffer->data, capacity));
  buffer->capacity = capacity;
}

void json_release(JsonBuffer *buffer) {
  std::free(buffer->data);
  *buffer = {};
}

void json_raw(JsonBuffer *buffer, const char *text) { json_raw(buffer, text, std::strlen(text)); }

// Two digits at a time: "00" to "99".
struct DigitPairs {
  char text[200];
  constexpr DigitPairs() : text() {
    for (int i = 0; i < 100; ++i) {
      text[2 * i] = static_cast<char>('0' + i / 10);
      text[2 * i + 1] = static_cast<char>('0' + i % 10);
    }
  }
};
constexpr DigitPairs digit_pairs;

void json_number(JsonBuffer *buffer, std::uint64_t value) {
  char digits[20];
  std::size_t at = sizeof digits;
  while (value >= 100) {
    std::size_t pair = 2 * static_cast<std::size_t>(value % 100);
    value /= 100;
    digits[--at] = digit_pairs.text[pair + 1];
    digits[--at] = digit_pairs.text[pair];
  }
  if (value >= 10) {
    digits[--at] = digit_pairs.text[2 * value + 1];
    digits[--at] = digit_pairs.text[2 * value];
  } else {
    digits[--at] = static_cast<char>('0' + value);
  }
  json_raw(buffer, digits + at, sizeof digits - at);
}

std::size_t utf8_sequence_length(const unsigned char *text, std::size_t available) {
  unsigned char c = text[0];
  std::size_t length;
  unsigned char low = 0x80, high = 0xbf;  // the range of the second byte
  if (c < 0x80) return 1;
  if (c >= 0xc2 && c <= 0xdf) {
    length = 2;
  } else if (c >= 0xe0 && c <= 0xef) {
    length = 3;
    if (c == 0xe0) low = 0xa0;   // no overlong form
    if (c == 0xed) high = 0x9f;  // no surrogate
  } else if (c >= 0xf0 && c <= 0xf4) {
    length = 4;
    if (c == 0xf0) low = 0x90;   // no overlong form
    if (c == 0xf4) high = 0x8f;  // nothing above U+10FFFF
  } else {
    return 0;
  }
  if (available < length || text[1] < low || text[1] > high) return 0;
  for (std::size_t i = 2; i < length; ++i)
    if (text[i] < 0x80 || text[i] > 0xbf) return 0;
  return length;
}

// Where the run of bytes that need no look of their own, from `at` on, ends.
static std::size_t plain_end(const unsigned char *text, std::size_t at, std::size_t length) {
  std::size_t plain = at;
  for (std::uint64_t w; plain + 8 <= length; plain += 8) {
    std::memcpy(&w, text + plain, 8);
    if (!all_plain(w)) break;
  }
  // Fewer than eight left: the last eight bytes, looked at as one word, end
  // most strings in one step.
  if (plain < length && plain + 8 > length && length >= 8) {
    std::uint64_t w;
    std::memcpy(&w, text + length - 8, 8);
    if (all_plain(w)) return length;
  }
  while (plain < length && !special.table[text[plain]]) ++plain;
  return plain;
}

bool json_string(JsonBuffer *buffer, const char *bytes, std::size_t length) {
  // The longest a byte can become is "\u00XX" or "\ufffd": six bytes.
  reserve(buffer, length + 2);
  json_raw(buffer, "\"", 1);
  const auto *text = reinterpret_cast<const unsigned char *>(bytes);
  bool exact = true;
  std::size_t at = 0;
  while (at < length) {
    std::size_t plain = plain_end(text, at, length);
    json_raw(buffer, bytes + at, plain - at);
    at = plain;
    if (at == length) break;
    if (text[at] < 0x80) {
      escape(buffer, text[at]);
      ++at;
      continue;
    }
    std::size_t sequence = utf8_sequence_length(text + at, length - at);
    if (sequence == 0) {
      json_raw(buffer, "\\ufffd", 6);
      exact = false;
      ++at;
      continue;
    }
    json_raw(buffer, bytes + at, sequence);
    at += sequence;
  }
  json_raw(buffer, "\"", 1);
  return exact;
}

void json_hex_string(JsonBuffer *buffer, const char *bytes, std::size_t length) {
  reserve(buffer, 2 * length + 2);
  char *out = buffer->data + buffer->length;
  *out++ = '"';
  for (std::size_t i = 0; i < length; ++i) {
    auto c = static_cast<unsigned char>(bytes[i]);
    *out++ = hex_digits[c >> 4];
    *out++ = hex_digits[c & 15];
  }
  *out++ = '"';
  buffer->length = static_cast<std::size_t>(out - buffer->data);
}

}  // namespace hdrtune
