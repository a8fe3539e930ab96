// SPDX-License-Identifier: MIT
// elf_header_test.cc - the five fields where the system's headers put them,
// read and written in both classes and both byte orders.
#include "support/elf_header.h"

#include <gtest/gtest.h>

#include <cstddef>
#include <cstdint>
#include <iterator>

// The system's own layout, after every header of ours: its names are macros.
#if __has_include(<elf.h>)
#include <elf.h>
#define HAVE_SYSTEM_ELF_HEADER 1
#endif

namespace hdrtune {
namespace {

#ifdef HAVE_SYSTEM_ELF_HEADER
struct SystemPlace {
  const char *name;
  std::size_t offset32, offset64, width32, width64;
};

#define MEMBER_PLACE(member)                                            \
  {#member, offsetof(Elf32_Ehdr, member), offsetof(Elf64_Ehdr, member), \
   sizeof(Elf32_Ehdr::member), sizeof(Elf64_Ehdr::member)}
#define IDENT_PLACE(index) \
  {#index, offsetof(Elf32_Ehdr, e_ident) + (index), offsetof(Elf64_Ehdr, e_ident) + (index), 1, 1}

// In HeaderField order.
const SystemPlace system_places[] = {MEMBER_PLACE(e_machine), MEMBER_PLACE(e_type),
                                     IDENT_PLACE(EI_OSABI), IDENT_PLACE(EI_ABIVERSION),
                                     MEMBER_PLACE(e_flags)};
static_assert(std::size(system_places) == header_field_count);
#endif

TEST(ElfHeader, EveryFieldLiesWhereTheSystemHeadersPutIt) {
#ifndef HAVE_SYSTEM_ELF_HEADER
  GTEST_SKIP() << "no <elf.h>";
#else
  EXPECT_EQ(sizeof(Elf32_Ehdr), static_cast<std::size_t>(ELF32_HEADER_SIZE));
  EXPECT_EQ(sizeof(Elf64_Ehdr), static_cast<std::size_t>(ELF64_HEADER_SIZE));
  for (int i = 0; i < header_field_count; ++i) {
    const SystemPlace &want = system_places[i];
    const FieldPlace &place = field_places[i];
    EXPECT_EQ(static_cast<std::size_t>(place.offset32), want.offset32) << want.name;
    EXPECT_EQ(static_cast<std::size_t>(place.offset64), want.offset64) << want.name;
    EXPECT_EQ(static_cast<std::size_t>(place.width), want.width32) << want.name;
    EXPECT_EQ(static_cast<std::size_t>(place.width), want.width64) << want.name;
    EXPECT_EQ(field_offset(HeaderField(i), ELF32_HEADER_SIZE), place.offset32) << want.name;
    EXPECT_EQ(field_offset(HeaderField(i), ELF64_HEADER_SIZE), place.offset64) << want.name;
  }
#endif
}

// The places below are written out, not taken from the table under test.
struct Layout {
  int elf_class, size, flags_offset;
};
constexpr Layout layouts[] = {{ELFCLASS32, 52, 36}, {ELFCLASS64, 64, 48}};

void put(unsigned char *at, std::uint32_t value, int width, bool big_endian) {
  for (int i = 0; i < width; ++i)
    at[big_endian ? width - 1 - i : i] = static_cast<unsigned char>(value >> (8 * i));
}

std::uint32_t get(const unsigned char *at, int width, bool big_endian) {
  std::uint32_t value = 0;
  for (int i = 0; i < width; ++i)
    value |= std::uint32_t{at[big_endian ? width - 1 - i : i]} << (8 * i);
  return value;
}

// A header whose every byte differs from its neighbours, with the five
// fields set to values no two of which share a byte.
void fill_header(unsigned char *bytes, const Layout &layout, bool big_endian) {
  for (int i = 0; i < layout.size; ++i) bytes[i] = static_cast<unsigned char>(0x80 + i);
  bytes[EI_CLASS] = static_cast<unsigned char>(layout.elf_class);
  bytes[EI_DATA] = big_endian ? ELFDATA2MSB : ELFDATA2LSB;
  put(bytes + 18, 0x1234, 2, big_endian);
  put(bytes + 16, 0x0506, 2, big_endian);
  bytes[7] = 0x61;
  bytes[8] = 0x7e;
  put(bytes + layout.flags_offset, 0x89abcdef, 4, big_endian);
}

// Calls check(layout, big_endian, header) for a filled header of each class
// in each byte order, decoded.
template <typename Check>
void for_each_header(Check check) {
  for (const Layout &layout : layouts) {
    for (bool big_endian : {false, true}) {
      unsigned char bytes[ELF64_HEADER_SIZE];
      fill_header(bytes, layout, big_endian);
      SCOPED_TRACE(layout.size);
      SCOPED_TRACE(big_endian);
      check(layout, big_endian, decode_elf_header(bytes, layout.size));
    }
  }
}

TEST(ElfHeader, DecodesTheFiveFieldsInBothClassesAndByteOrders) {
  for_each_header([](const Layout &, bool, const ElfHeader &header) {
    EXPECT_EQ(header.value(HeaderField::machine), 0x1234u);
    EXPECT_EQ(header.e_machine(), 0x1234);
    EXPECT_EQ(header.value(HeaderField::type), 0x0506u);
    EXPECT_EQ(header.value(HeaderField::osabi), 0x61u);
    EXPECT_EQ(header.value(HeaderField::abi_version), 0x7eu);
    EXPECT_EQ(header.value(HeaderField::flags), 0x89abcdefu);
  });
}

// Only the fields given change, the flags only under their mask; the
// decoded fields keep what was read.
TEST(ElfHeader, WritesOnlyTheFieldsGivenAndFlagsUnderTheirMask) {
  for_each_header([](const Layout &layout, bool big_endian, ElfHeader header) {
    FieldValues output;
    output[HeaderField::machine] = whole_value(0xbeef);
    output[HeaderField::abi_version] = whole_value(3);
    output[HeaderField::flags] = {true, 0x00500000, 0x00f00000};
    encode_output_fields(&header, output);
    EXPECT_EQ(get(header.bytes + 18, 2, big_endian), 0xbeefu);
    EXPECT_EQ(header.bytes[8], 3);
    EXPECT_EQ(get(header.bytes + layout.flags_offset, 4, big_endian), 0x895bcdefu);
    unsigned char want[ELF64_HEADER_SIZE];
    fill_header(want, layout, big_endian);
    for (int i = 0; i < layout.size; ++i) {
      bool written =
          i == 18 || i == 19 || i == 8 || (i >= layout.flags_offset && i < layout.flags_offset + 4);
      if (!written) {
        EXPECT_EQ(header.bytes[i], want[i]) << "byte " << i;
      }
    }
    EXPECT_EQ(header.value(HeaderField::machine), 0x1234u);
    EXPECT_EQ(header.value(HeaderField::flags), 0x89abcdefu);
  });
}

}  // namespace
}  // namespace hdrtune
