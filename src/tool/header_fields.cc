// SPDX-License-Identifier: MIT
// header_fields.cc - the fields a run reads, judges, writes and shows.
#include "tool/header_fields.h"

#include <algorithm>
#include <cinttypes>
#include <cstdio>
#include <cstring>

#include "tool/flags_names.h"
#include "tool/target_names.h"

namespace hdrtune {

std::int64_t field_value(const ElfHeader &header, ListField field) {
  switch (field) {
    case ListField::elf_class: return header.elf_class;
    case ListField::data_encoding: return header.data_encoding;
    case ListField::machine: return header.e_machine;
    case ListField::type: return header.e_type;
    case ListField::osabi: return header.osabi;
    case ListField::abi_version: return header.abi_version;
    case ListField::flags: return header.e_flags;
  }
  return 0;
}

bool output_asked(const HeaderEditSettings &s, ListField field) {
  switch (field) {
    case ListField::elf_class:
    case ListField::data_encoding: return false;
    case ListField::machine: return s.output_machine != -1;
    case ListField::type: return s.output_type != -1;
    case ListField::osabi: return s.output_osabi != -1;
    case ListField::abi_version: return s.output_abi_version != -1;
    case ListField::flags: return s.output_flags.given || s.output_flags_names;
  }
  return false;
}

const char *field_text_name(ListField field) {
  switch (field) {
    case ListField::elf_class: return "class";
    case ListField::data_encoding: return "byte order";
    case ListField::machine: return "machine";
    case ListField::type: return "type";
    case ListField::osabi: return "OSABI";
    case ListField::abi_version: return "ABI version";
    case ListField::flags: return "flags";
  }
  return "";
}

const char *field_key(ListField field) {
  switch (field) {
    case ListField::elf_class: return "class";
    case ListField::data_encoding: return "byte_order";
    case ListField::machine: return "machine";
    case ListField::type: return "type";
    case ListField::osabi: return "osabi";
    case ListField::abi_version: return "abi_version";
    case ListField::flags: return "flags";
  }
  return "";
}

const char *value_name(ListField field, std::int64_t value, std::int32_t e_machine) {
  switch (field) {
    case ListField::elf_class:
      return value == ELFCLASS32 ? "ELFCLASS32" : value == ELFCLASS64 ? "ELFCLASS64" : nullptr;
    case ListField::data_encoding:
      return value == ELFDATA2LSB ? "ELFDATA2LSB" : value == ELFDATA2MSB ? "ELFDATA2MSB" : nullptr;
    case ListField::machine: return machine_name(static_cast<std::int32_t>(value));
    case ListField::type: return type_name(static_cast<std::int32_t>(value));
    case ListField::osabi: return osabi_name(static_cast<std::int32_t>(value), e_machine);
    case ListField::abi_version: return nullptr;
    case ListField::flags: return nullptr;
  }
  return nullptr;
}

ValueText value_text(ListField field, std::int64_t value, std::int32_t e_machine,
                     std::uint32_t mask) {
  const char *keyword = value_name(field, value, e_machine);
  ValueText v;
  if (keyword) {
    std::size_t length = std::min(std::strlen(keyword), sizeof v.text - 1);
    std::memcpy(v.text, keyword, length);
    v.text[length] = '\0';
  } else if (field == ListField::flags)
    std::snprintf(v.text, sizeof v.text, "0x%" PRIx64 "%s", value,
                  mask == UINT32_MAX
                      ? decoded_flags_text(static_cast<std::uint32_t>(value), e_machine).text
                      : "");
  else
    std::snprintf(v.text, sizeof v.text, "%" PRId64, value);
  return v;
}

}  // namespace hdrtune
