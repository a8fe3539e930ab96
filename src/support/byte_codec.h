// SPDX-License-Identifier: MIT
// byte_codec.h - unsigned fields of 1 to 8 bytes in either byte order.
#pragma once

#include <cstdint>

namespace hdrtune {

using FieldGetter = std::uint64_t (*)(const unsigned char *field, int size);
using FieldPutter = void (*)(unsigned char *field, std::uint64_t value, int size);

// Readers accept sizes 1-8; writers 1, 2, 3, 4 and 8. Any other size is a
// programming error: it is reported and the process aborts.
std::uint64_t get_le(const unsigned char *field, int size);
std::uint64_t get_be(const unsigned char *field, int size);
void put_le(unsigned char *field, std::uint64_t value, int size);
void put_be(unsigned char *field, std::uint64_t value, int size);

// The pair for the byte order of the ELF header being processed.
extern FieldGetter field_get;
extern FieldPutter field_put;

// ELFDATA2MSB (2) selects big-endian; every other EI_DATA value little-endian.
void select_byte_order(unsigned char ei_data);

// field_get, sign-extended for sizes 1 to 4 only.
std::int64_t get_signed(const unsigned char *field, int size);
// The two 32-bit halves of an 8-byte field in the selected byte order.
void get_split64(const unsigned char *field, std::uint64_t *high, std::uint64_t *low);

}  // namespace hdrtune
