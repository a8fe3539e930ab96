// SPDX-License-Identifier: MIT
// char_class.h - locale-independent character classes and base names.
#pragma once

#include <cstdint>

namespace hdrtune {

enum CharClass : std::uint16_t {
  class_blank = 0x0001,
  class_control = 0x0002,
  class_digit = 0x0004,
  class_lower = 0x0008,
  class_print = 0x0010,
  class_punct = 0x0020,
  class_space = 0x0040,
  class_upper = 0x0080,
  class_hex_digit = 0x0100,
  class_ident_start = 0x0200,
  class_line_end = 0x0400,
  class_inline_space = 0x0800,
  class_letter = class_lower | class_upper,
};

// Indexed by the byte value taken as unsigned; bytes 128-255 are in no class.
extern const std::uint16_t char_class_table[256];
extern const unsigned char to_lower_table[256];
extern const unsigned char to_upper_table[256];

// White space: tab, newline, vertical tab, form feed, carriage return, space.
inline bool is_space(char c) {
  return char_class_table[static_cast<unsigned char>(c)] & class_space;
}

// A byte that would act on a terminal or start a line if written as it is:
// 0x01-0x1f and 0x7f.
inline bool is_control_byte(char c) {
  return c != '\0' && (char_class_table[static_cast<unsigned char>(c)] & class_control);
}

// How a line shows a control byte, as a backslash and what follows: \n, \r,
// \t, or \x and two lower-case hex digits (\x1b for ESC, \x7f for DEL).
struct ByteEscape {
  char text[5];
};
ByteEscape control_byte_escape(char c);

// The last component of a path, as a pointer into the path itself.
const char *base_name(const char *path);
const char *unix_base_name(const char *path);
// As base_name, but '\\' also separates and a drive prefix "X:" is skipped.
const char *dos_base_name(const char *path);

}  // namespace hdrtune
