// SPDX-License-Identifier: MIT
// list_lines.cc - the lines --list prints, one per header. A value is shown
// by the name target_names gives it, or as its number when it has none;
// flags in hexadecimal.
#include "tool/list_lines.h"

#include <algorithm>
#include <cinttypes>
#include <cstdio>
#include <cstring>

#include "runtime/char_class.h"
#include "runtime/standard_output.h"
#include "tool/flags_names.h"
#include "tool/json_records.h"

namespace hdrtune {

namespace {

struct ValueText {
  char text[288];
};

// A value as a listing shows it; an OSABI is named as it is on e_machine,
// and a whole flags word by the names it holds there. Flags compared under
// a mask are a part of a word and shown as a number only.
ValueText value_text(ListField field, std::int64_t value, std::int32_t e_machine,
                     std::uint32_t mask = UINT32_MAX) {
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

const char *field_name(ListField field) {
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

// Starts a line with the name and ": ". One line per header, and nothing a
// terminal acts on: a control byte in the name is written as an escape, and
// so is a backslash, so that the escapes can be told from the name's bytes.
void print_name(const char *name) {
  const char *plain = name;
  for (const char *c = name; *c; ++c) {
    if (*c != '\\' && !is_control_byte(*c)) continue;
    out_write(plain, static_cast<std::size_t>(c - plain));
    out_text(*c == '\\' ? "\\\\" : control_byte_escape(*c).text);
    plain = c + 1;
  }
  out_write(plain, std::strlen(plain));
  out_text(": ");
}

std::int64_t as_stored(std::int32_t value, std::int32_t mask) {
  return value == -1 ? -1 : value & mask;
}

std::int64_t flags_as_stored(std::uint32_t found, const MaskedFlags &flags) {
  return flags.given ? std::int64_t{(found & ~flags.mask) | flags.value} : -1;
}

}  // namespace

OutputFields output_fields(const ElfHeader &header, const HeaderEditSettings &s) {
  return {
      {
          {ListField::machine, header.e_machine, as_stored(s.output_machine, 0xffff), UINT32_MAX},
          {ListField::type, header.e_type, as_stored(s.output_type, 0xffff), UINT32_MAX},
          {ListField::osabi, header.osabi, as_stored(s.output_osabi, 0xff), UINT32_MAX},
          {ListField::abi_version, header.abi_version, as_stored(s.output_abi_version, 0xff),
           UINT32_MAX},
          {ListField::flags, header.e_flags, flags_as_stored(header.e_flags, s.output_flags),
           s.output_flags.mask},
      },
      header.e_machine,
      s.output_machine == -1 ? header.e_machine : s.output_machine & 0xffff};
}

namespace {

// ", mask MASK" after flags compared under a mask that leaves bits out.
void print_mask(ListField field, std::uint32_t mask, const char *before, const char *after) {
  if (field == ListField::flags && mask != UINT32_MAX)
    out_texts({before, "mask ", value_text(ListField::flags, mask, 0).text, after});
}

}  // namespace

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

void list_unchanged(const char *name) {
  if (json_records_on()) return json_header_record(HeaderResult::unchanged, name);
  print_name(name);
  out_text("unchanged\n");
}

void list_passed_over(const char *name, const char *why) {
  if (json_records_on()) return json_header_record(HeaderResult::passed_over, name, nullptr, why);
  print_name(name);
  out_texts({"passed over (", why, ")\n"});
}

std::int64_t list_field_value(const ElfHeader &header, ListField field) {
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

void list_skipped(const char *name, const ElfHeader &header, ListField field, std::int64_t wanted,
                  std::uint32_t mask) {
  if (json_records_on()) {
    SkipCondition skip = {field, list_field_value(header, field), wanted, mask};
    return json_header_record(HeaderResult::skipped, name, &skip);
  }
  std::int32_t machine = header.e_machine;
  print_name(name);
  out_texts({"skipped (", field_name(field), " ",
             value_text(field, list_field_value(header, field), machine).text, ", wanted ",
             value_text(field, wanted, machine, mask).text});
  print_mask(field, mask, ", ", "");
  out_text(")\n");
}

// The ABI version and, on most machines, the flags are 0 in nearly every
// object: a listing names them only where they are not, so that the lines of
// ordinary files stay short.
void list_current_values(const char *name, const ElfHeader &header) {
  if (json_records_on()) return json_header_record(HeaderResult::listed, name);
  print_name(name);
  out_texts({"machine ", value_text(ListField::machine, header.e_machine, 0).text, ", type ",
             value_text(ListField::type, header.e_type, 0).text, ", OSABI ",
             value_text(ListField::osabi, header.osabi, header.e_machine).text});
  if (header.abi_version != 0) out_printf(", ABI version %d", header.abi_version);
  if (header.e_flags != 0)
    out_texts({", flags ", value_text(ListField::flags, header.e_flags, header.e_machine).text});
  out_text("\n");
}

void list_changes(const char *name, const ElfHeader &old_header, const HeaderEditSettings &s) {
  if (json_records_on())
    return json_header_record(
        json_records_dry_run() ? HeaderResult::not_written : HeaderResult::written, name);
  const char *separator = "";
  print_name(name);
  OutputFields fields = output_fields(old_header, s);
  for (const OutputField &f : fields.rows) {
    if (f.wanted == -1) continue;
    out_texts({separator, field_name(f.field), " ",
               value_text(f.field, f.found, fields.old_machine).text, " -> ",
               value_text(f.field, f.wanted, fields.new_machine).text});
    separator = ", ";
  }
  out_text("\n");
}

void list_differences(const char *name, const ElfHeader &header, const HeaderEditSettings &s) {
  if (json_records_on()) return json_header_record(HeaderResult::differs, name);
  const char *separator = "";
  print_name(name);
  OutputFields fields = output_fields(header, s);
  for (const OutputField &f : fields.rows) {
    if (f.wanted == -1 || f.wanted == f.found) continue;
    // A flags value asked under a mask is shown as asked, with its mask;
    // one asked by name as the whole word it would make, decoded.
    bool as_asked = f.field == ListField::flags && !s.output_flags_names;
    std::int64_t wanted = as_asked ? s.output_flags.value : f.wanted;
    std::uint32_t mask = as_asked ? f.mask : UINT32_MAX;
    out_texts({separator, field_name(f.field), " ",
               value_text(f.field, f.found, fields.old_machine).text, ", wanted ",
               value_text(f.field, wanted, fields.new_machine, mask).text});
    print_mask(f.field, mask, " (", ")");
    separator = "; ";
  }
  out_text("\n");
}

void list_skipped_choice(const char *name, const ElfHeader &header, ListField field,
                         const char *text) {
  // Room for the most alternatives an option takes, each as long as a
  // keyword can be.
  char why[1400];
  int length = std::snprintf(
      why, sizeof why, "%s %s, wanted one of %s", field_name(field),
      value_text(field, list_field_value(header, field), header.e_machine).text, text);
  if (length >= static_cast<int>(sizeof why)) std::strcpy(why + sizeof why - 4, "...");
  list_skipped_because(name, why);
}

void list_skipped_because(const char *name, const char *why) {
  if (json_records_on()) return json_header_record(HeaderResult::skipped, name, nullptr, why);
  print_name(name);
  out_texts({"skipped (", why, ")\n"});
}

void list_as_wanted(const char *name) {
  if (json_records_on()) return json_header_record(HeaderResult::as_wanted, name);
  print_name(name);
  out_text("as wanted\n");
}

}  // namespace hdrtune
