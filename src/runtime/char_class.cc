// SPDX-License-Identifier: MIT
// char_class.cc - locale-independent character classes, case maps and base names.
#include "runtime/char_class.h"

namespace hdrtune {

// One word per byte value, the sum of the class bits of that byte. Only ASCII
// is classified: the initialiser stops at 127, so bytes 128-255 are zero.
const std::uint16_t char_class_table[256] = {
    0x0802, 0x0002, 0x0002, 0x0002, 0x0002, 0x0002, 0x0002, 0x0002,  // 0-7
    0x0002, 0x0843, 0x0442, 0x0842, 0x0842, 0x0442, 0x0002, 0x0002,  // 8-15
    0x0002, 0x0002, 0x0002, 0x0002, 0x0002, 0x0002, 0x0002, 0x0002,  // 16-23
    0x0002, 0x0002, 0x0002, 0x0002, 0x0002, 0x0002, 0x0002, 0x0002,  // 24-31
    0x0851, 0x0030, 0x0030, 0x0030, 0x0030, 0x0030, 0x0030, 0x0030,  // 32-39
    0x0030, 0x0030, 0x0030, 0x0030, 0x0030, 0x0030, 0x0030, 0x0030,  // 40-47
    0x0114, 0x0114, 0x0114, 0x0114, 0x0114, 0x0114, 0x0114, 0x0114,  // 48-55
    0x0114, 0x0114, 0x0030, 0x0030, 0x0030, 0x0030, 0x0030, 0x0030,  // 56-63
    0x0030, 0x0390, 0x0390, 0x0390, 0x0390, 0x0390, 0x0390, 0x0290,  // 64-71
    0x0290, 0x0290, 0x0290, 0x0290, 0x0290, 0x0290, 0x0290, 0x0290,  // 72-79
    0x0290, 0x0290, 0x0290, 0x0290, 0x0290, 0x0290, 0x0290, 0x0290,  // 80-87
    0x0290, 0x0290, 0x0290, 0x0030, 0x0030, 0x0030, 0x0030, 0x0230,  // 88-95
    0x0030, 0x0318, 0x0318, 0x0318, 0x0318, 0x0318, 0x0318, 0x0218,  // 96-103
    0x0218, 0x0218, 0x0218, 0x0218, 0x0218, 0x0218, 0x0218, 0x0218,  // 104-111
    0x0218, 0x0218, 0x0218, 0x0218, 0x0218, 0x0218, 0x0218, 0x0218,  // 112-119
    0x0218, 0x0218, 0x0218, 0x0030, 0x0030, 0x0030, 0x0030, 0x0002,  // 120-127
};

// Sixteen consecutive entries of a byte map, starting at byte value b.
#define BYTE_MAP_ROW(map, b)                                                                   \
  map(b), map(b + 1), map(b + 2), map(b + 3), map(b + 4), map(b + 5), map(b + 6), map(b + 7),  \
      map(b + 8), map(b + 9), map(b + 10), map(b + 11), map(b + 12), map(b + 13), map(b + 14), \
      map(b + 15)
#define BYTE_MAP(map)                                                                              \
  BYTE_MAP_ROW(map, 0), BYTE_MAP_ROW(map, 16), BYTE_MAP_ROW(map, 32), BYTE_MAP_ROW(map, 48),       \
      BYTE_MAP_ROW(map, 64), BYTE_MAP_ROW(map, 80), BYTE_MAP_ROW(map, 96), BYTE_MAP_ROW(map, 112), \
      BYTE_MAP_ROW(map, 128), BYTE_MAP_ROW(map, 144), BYTE_MAP_ROW(map, 160),                      \
      BYTE_MAP_ROW(map, 176), BYTE_MAP_ROW(map, 192), BYTE_MAP_ROW(map, 208),                      \
      BYTE_MAP_ROW(map, 224), BYTE_MAP_ROW(map, 240)
#define LOWER_OF(b) static_cast<unsigned char>((b) >= 'A' && (b) <= 'Z' ? (b) + 32 : (b))
// Clearing bit 5 upper-cases an ASCII letter; written so, not as "(b) - 32",
// so that every clang-format version lays the line out alike.
#define UPPER_OF(b) static_cast<unsigned char>((b) >= 'a' && (b) <= 'z' ? (b) ^ 0x20 : (b))

const unsigned char to_lower_table[256] = {BYTE_MAP(LOWER_OF)};
const unsigned char to_upper_table[256] = {BYTE_MAP(UPPER_OF)};

#undef UPPER_OF
#undef LOWER_OF
#undef BYTE_MAP
#undef BYTE_MAP_ROW

const char *base_name(const char *path) {
  const char *name = path;
  for (const char *p = path; *p; ++p)
    if (*p == '/') name = p + 1;
  return name;
}

ByteEscape control_byte_escape(char c) {
  static const char hex[] = "0123456789abcdef";
  auto byte = static_cast<unsigned char>(c);
  switch (c) {
    case '\n': return {"\\n"};
    case '\r': return {"\\r"};
    case '\t': return {"\\t"};
    default: return {{'\\', 'x', hex[byte >> 4], hex[byte & 0xf], '\0'}};
  }
}

const char *unix_base_name(const char *path) { return base_name(path); }

static bool is_letter(char c) {
  return char_class_table[static_cast<unsigned char>(c)] & class_letter;
}

const char *dos_base_name(const char *path) {
  if (is_letter(path[0]) && path[1] == ':') path += 2;
  const char *name = path;
  for (const char *p = path; *p; ++p)
    if (*p == '/' || *p == '\\') name = p + 1;
  return name;
}

}  // namespace hdrtune
