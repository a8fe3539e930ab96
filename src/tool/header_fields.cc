// SPDX-License-Identifier: MIT
// header_fields.cc - the fields a run reads, judges, writes and shows.
#include "tool/header_fields.h"

#include <algorithm>
#include <cinttypes>
#include <cstdio>
#include <cstring>
#include <iterator>

#include "tool/flags_names.h"
#include "tool/target_names.h"

namespace hdrtune {

namespace {

// How each field is named, in ListField order.
struct FieldNames {
  const char *text_name;  // in a text line
  const char *key;        // in a record
  const char *elf_name;   // in the header, as messages name it
  // The name of a value on a machine; null for a field shown as a number.
  const char *(*value_name)(std::int64_t value, std::int32_t e_machine);
  bool takes_mask = false;
};

constexpr FieldNames field_names[] = {
    {"machine", "machine", "e_machine",
     [](std::int64_t v, std::int32_t) { return machine_name(static_cast<std::int32_t>(v)); }},
    {"type", "type", "e_type",
     [](std::int64_t v, std::int32_t) { return type_name(static_cast<std::int32_t>(v)); }},
    // An OSABI from 64 up means something else on each machine.
    {"OSABI", "osabi", "EI_OSABI",
     [](std::int64_t v, std::int32_t m) { return osabi_name(static_cast<std::int32_t>(v), m); }},
    {"ABI version", "abi_version", "EI_ABIVERSION", nullptr},
    {"flags", "flags", "e_flags", nullptr, /*takes_mask=*/true},
    {"class", "class", "EI_CLASS",
     [](std::int64_t v, std::int32_t) -> const char * {
       return v == ELFCLASS32 ? "ELFCLASS32" : v == ELFCLASS64 ? "ELFCLASS64" : nullptr;
     }},
    {"byte order", "byte_order", "EI_DATA",
     [](std::int64_t v, std::int32_t) -> const char * {
       return v == ELFDATA2LSB ? "ELFDATA2LSB" : v == ELFDATA2MSB ? "ELFDATA2MSB" : nullptr;
     }},
};

static_assert(std::size(field_names) == static_cast<std::size_t>(ListField::data_encoding) + 1);

const FieldNames &names_of(ListField field) { return field_names[static_cast<int>(field)]; }

}  // namespace

std::int64_t field_value(const ElfHeader &header, ListField field) {
  if (field == ListField::elf_class) return header.elf_class;
  if (field == ListField::data_encoding) return header.data_encoding;
  return header.fields[static_cast<int>(field)];
}

bool output_asked(const HeaderEditSettings &s, ListField field) {
  if (field == ListField::elf_class || field == ListField::data_encoding) return false;
  if (field == ListField::flags && s.output_flags_names) return true;
  return s.output.values[static_cast<int>(field)].given;
}

const char *field_text_name(ListField field) { return names_of(field).text_name; }

const char *field_key(ListField field) { return names_of(field).key; }

const char *field_elf_name(ListField field) { return names_of(field).elf_name; }

bool takes_mask(ListField field) { return names_of(field).takes_mask; }

const char *value_name(ListField field, std::int64_t value, std::int32_t e_machine) {
  auto name = names_of(field).value_name;
  return name ? name(value, e_machine) : nullptr;
}

ValueText value_text(ListField field, std::int64_t value, std::int32_t e_machine,
                     std::uint32_t mask) {
  const char *keyword = value_name(field, value, e_machine);
  ValueText v;
  if (keyword) {
    std::size_t length = std::min(std::strlen(keyword), sizeof v.text - 1);
    std::memcpy(v.text, keyword, length);
    v.text[length] = '\0';
  } else if (takes_mask(field))
    std::snprintf(v.text, sizeof v.text, "0x%" PRIx64 "%s", value,
                  mask == UINT32_MAX
                      ? decoded_flags_text(static_cast<std::uint32_t>(value), e_machine).text
                      : "");
  else
    std::snprintf(v.text, sizeof v.text, "%" PRId64, value);
  return v;
}

}  // namespace hdrtune
