// SPDX-License-Identifier: MIT
// header_fields_test.cc - each field named in its own row: its ELF name, and
// how its values are named.
#include "tool/header_fields.h"

#include <gtest/gtest.h>

#include <cstddef>
#include <cstdint>
#include <cstring>

// The system's own layout, after every header of ours: its names are macros.
#if __has_include(<elf.h>)
#include <elf.h>
#define HAVE_SYSTEM_ELF_HEADER 1
#endif

namespace hdrtune {
namespace {

#ifdef HAVE_SYSTEM_ELF_HEADER
// Where the system's headers put the field an ELF name names, in an ELF64
// header; SIZE_MAX for a name that is none of the five.
std::size_t system_offset(const char *elf_name) {
  const struct {
    const char *name;
    std::size_t offset;
  } places[] = {{"e_machine", offsetof(Elf64_Ehdr, e_machine)},
                {"e_type", offsetof(Elf64_Ehdr, e_type)},
                {"EI_OSABI", EI_OSABI},
                {"EI_ABIVERSION", EI_ABIVERSION},
                {"e_flags", offsetof(Elf64_Ehdr, e_flags)}};
  for (const auto &place : places)
    if (std::strcmp(place.name, elf_name) == 0) return place.offset;
  return SIZE_MAX;
}
#endif

// A message that names a field by its ELF name names the field whose bytes
// were judged.
TEST(HeaderFields, EachElfNameIsTheFieldAtItsPlace) {
#ifndef HAVE_SYSTEM_ELF_HEADER
  GTEST_SKIP() << "no <elf.h>";
#else
  for (int i = 0; i < header_field_count; ++i) {
    const char *name = field_elf_name(list_field(HeaderField(i)));
    EXPECT_EQ(system_offset(name),
              static_cast<std::size_t>(field_offset(HeaderField(i), ELF64_HEADER_SIZE)))
        << name;
  }
#endif
}

TEST(HeaderFields, EachFieldNamesItsValuesItsOwnWay) {
  EXPECT_STREQ(value_name(ListField::machine, 62, 0), "x86_64");
  EXPECT_STREQ(value_name(ListField::type, 3, 0), "dyn");
  EXPECT_STREQ(value_name(ListField::osabi, 9, 0), "FreeBSD");
  // An OSABI from 64 up is named on the machine it belongs to only.
  EXPECT_STREQ(value_name(ListField::osabi, 64, 40), "ARM_AEABI");
  EXPECT_EQ(value_name(ListField::osabi, 64, 62), nullptr);
  EXPECT_STREQ(value_name(ListField::elf_class, 2, 0), "ELFCLASS64");
  EXPECT_STREQ(value_name(ListField::data_encoding, 2, 0), "ELFDATA2MSB");
  EXPECT_EQ(value_name(ListField::abi_version, 3, 0), nullptr);
  EXPECT_EQ(value_name(ListField::flags, 3, 0), nullptr);
  EXPECT_STREQ(value_text(ListField::abi_version, 10, 0).text, "10");
  EXPECT_STREQ(value_text(ListField::flags, 0x10, 62, 0xf0).text, "0x10");
}

}  // namespace
}  // namespace hdrtune
