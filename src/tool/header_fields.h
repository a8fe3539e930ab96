// SPDX-License-Identifier: MIT
// header_fields.h - the fields a run reads, judges, writes and shows, and
// how each is named: one place for what every rendering needs of them.
#pragma once

#include <cstdint>
#include <cstring>

#include "support/elf_header.h"
#include "tool/run_options.h"

namespace hdrtune {

// The fields an input condition checks, as a skip line names them: the
// five a run writes, as HeaderField numbers them, then the class and byte
// order.
enum class ListField { machine, type, osabi, abi_version, flags, elf_class, data_encoding };

constexpr ListField list_field(HeaderField field) { return static_cast<ListField>(field); }
static_assert(list_field(HeaderField::machine) == ListField::machine &&
              list_field(HeaderField::flags) == ListField::flags);

// The five output fields in the order lines and records show them.
constexpr ListField output_field_order[] = {ListField::machine, ListField::type, ListField::osabi,
                                            ListField::abi_version, ListField::flags};

// The field's value in the header.
std::int64_t field_value(const ElfHeader &header, ListField field);

// True when the two headers hold the same five output fields.
inline bool same_output_fields(const ElfHeader &a, const ElfHeader &b) {
  return std::memcmp(a.fields, b.fields, sizeof a.fields) == 0;
}

// True when an output value was asked for the field.
bool output_asked(const HeaderEditSettings &s, ListField field);

// The field's name in a text line ("ABI version"), its key in a record
// ("abi_version") and its name in the header ("EI_ABIVERSION").
const char *field_text_name(ListField field);
const char *field_key(ListField field);
const char *field_elf_name(ListField field);

// True when the field is a word of bits that may be asked under a mask, and
// is shown in hexadecimal.
bool takes_mask(ListField field);

// The name a field's value goes by (an OSABI's as it is on e_machine), or
// null when it has none. Every list line and record names values through
// this.
const char *value_name(ListField field, std::int64_t value, std::int32_t e_machine);

// A value as a line shows it: its name, or its number (flags in
// hexadecimal, a whole flags word followed by the names it holds on
// e_machine; flags compared under a mask are a part of a word and shown as a
// number only). Every line shows a value through this.
struct ValueText {
  char text[288];
};
ValueText value_text(ListField field, std::int64_t value, std::int32_t e_machine,
                     std::uint32_t mask = UINT32_MAX);

}  // namespace hdrtune
