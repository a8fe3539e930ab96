// SPDX-License-Identifier: MIT
// byte_codec.cc - unsigned fields of 1 to 8 bytes in either byte order.
#include "support/byte_codec.h"

#include <cstdlib>

#include "support/diagnostics.h"
#include "support/elf_header.h"

namespace hdrtune {

FieldGetter field_get = nullptr;
FieldPutter field_put = nullptr;

[[noreturn]] static void refuse_size(int size) {
  report_error("Unhandled data length: %d\n", size);
  std::abort();
}

static void check_read_size(int size) {
  if (size < 1 || size > 8) refuse_size(size);
}

// The writers store 1, 2, 3, 4 or 8 bytes; 5 to 7 are never needed.
static void check_write_size(int size) {
  if (size < 1 || (size > 4 && size != 8)) refuse_size(size);
}

// The header's fields are 2, 4 or 8 bytes wide: those sizes are written out
// so that the compiler makes each one load.
static std::uint32_t le32(const unsigned char *p) {
  return p[0] | p[1] << 8 | p[2] << 16 | static_cast<std::uint32_t>(p[3]) << 24;
}

static std::uint32_t be32(const unsigned char *p) {
  return static_cast<std::uint32_t>(p[0]) << 24 | p[1] << 16 | p[2] << 8 | p[3];
}

std::uint64_t get_le(const unsigned char *field, int size) {
  switch (size) {
    case 2: return static_cast<std::uint64_t>(field[0] | field[1] << 8);
    case 4: return le32(field);
    case 8: return le32(field) | static_cast<std::uint64_t>(le32(field + 4)) << 32;
  }
  check_read_size(size);
  std::uint64_t value = 0;
  for (int i = size - 1; i >= 0; --i) value = (value << 8) | field[i];
  return value;
}

std::uint64_t get_be(const unsigned char *field, int size) {
  switch (size) {
    case 2: return static_cast<std::uint64_t>(field[0] << 8 | field[1]);
    case 4: return be32(field);
    case 8: return static_cast<std::uint64_t>(be32(field)) << 32 | be32(field + 4);
  }
  check_read_size(size);
  std::uint64_t value = 0;
  for (int i = 0; i < size; ++i) value = (value << 8) | field[i];
  return value;
}

void put_le(unsigned char *field, std::uint64_t value, int size) {
  check_write_size(size);
  for (int i = 0; i < size; ++i) field[i] = static_cast<unsigned char>(value >> (8 * i));
}

void put_be(unsigned char *field, std::uint64_t value, int size) {
  check_write_size(size);
  for (int i = 0; i < size; ++i)
    field[i] = static_cast<unsigned char>(value >> (8 * (size - 1 - i)));
}

void select_byte_order(unsigned char ei_data) {
  bool big_endian = ei_data == ELFDATA2MSB;
  field_get = big_endian ? get_be : get_le;
  field_put = big_endian ? put_be : put_le;
}

std::int64_t get_signed(const unsigned char *field, int size) {
  std::uint64_t value = field_get(field, size);
  switch (size) {
    case 1: return static_cast<std::int8_t>(value);
    case 2: return static_cast<std::int16_t>(value);
    case 3: return static_cast<std::int32_t>(value << 8) >> 8;
    case 4: return static_cast<std::int32_t>(value);
    case 5:
    case 6:
    case 7:
    case 8: return static_cast<std::int64_t>(value);
    default: std::abort();
  }
}

void get_split64(const unsigned char *field, std::uint64_t *high, std::uint64_t *low) {
  if (field_get == get_be) {
    *high = get_be(field, 4);
    *low = get_be(field + 4, 4);
  } else {
    *high = get_le(field + 4, 4);
    *low = get_le(field, 4);
  }
}

}  // namespace hdrtune
