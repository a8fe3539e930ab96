// SPDX-License-Identifier: MIT
// list_lines.cc - the run shown as text. A value is shown by the name
// target_names gives it, or as its number when it has none; flags in
// hexadecimal.
#include "tool/list_lines.h"

#include <cstring>

#include "runtime/char_class.h"
#include "runtime/standard_output.h"

namespace hdrtune {

namespace {

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

// ", mask MASK" after flags compared under a mask that leaves bits out.
void print_mask(ListField field, std::uint32_t mask, const char *before, const char *after) {
  if (field == ListField::flags && mask != UINT32_MAX)
    out_texts({before, "mask ", value_text(ListField::flags, mask, 0).text, after});
}

}  // namespace

void TextReporter::unchanged(const HeaderPlace &place) {
  print_name(place.display_name);
  out_text("unchanged\n");
}

void TextReporter::passed_over(const HeaderPlace &place, const char *why) {
  print_name(place.display_name);
  out_texts({"passed over (", why, ")\n"});
}

void TextReporter::skipped(const HeaderPlace &place, const SkipCondition &skip) {
  std::int32_t machine = place.header->e_machine;
  print_name(place.display_name);
  out_texts({"skipped (", field_text_name(skip.field), " ",
             value_text(skip.field, skip.found, machine).text, ", wanted ",
             value_text(skip.field, skip.wanted, machine).text});
  print_mask(skip.field, skip.mask, ", ", "");
  out_text(")\n");
}

// The ABI version and, on most machines, the flags are 0 in nearly every
// object: a listing names them only where they are not, so that the lines of
// ordinary files stay short.
void TextReporter::listed(const HeaderPlace &place) {
  const ElfHeader &header = *place.header;
  print_name(place.display_name);
  out_texts({"machine ", value_text(ListField::machine, header.e_machine, 0).text, ", type ",
             value_text(ListField::type, header.e_type, 0).text, ", OSABI ",
             value_text(ListField::osabi, header.osabi, header.e_machine).text});
  if (header.abi_version != 0) out_printf(", ABI version %d", header.abi_version);
  if (header.e_flags != 0)
    out_texts({", flags ", value_text(ListField::flags, header.e_flags, 0).text});
  out_text("\n");
}

void TextReporter::changed(const HeaderPlace &place, const ElfHeader &after) {
  const ElfHeader &before = *place.header;
  const char *separator = "";
  print_name(place.display_name);
  for (ListField field : output_field_order) {
    if (!output_asked(settings_, field)) continue;
    out_texts({separator, field_text_name(field), " ",
               value_text(field, field_value(before, field), before.e_machine).text, " -> ",
               value_text(field, field_value(after, field), after.e_machine).text});
    separator = ", ";
  }
  out_text("\n");
}

void TextReporter::checked(const HeaderPlace &place, const ElfHeader &after, bool differs) {
  print_name(place.display_name);
  if (!differs) return out_text("as wanted\n");
  const ElfHeader &found = *place.header;
  const char *separator = "";
  for (ListField field : output_field_order) {
    if (field_value(found, field) == field_value(after, field)) continue;
    // A flags value asked under a mask is shown as asked, with its mask.
    bool flags = field == ListField::flags;
    std::int64_t wanted = flags ? settings_.output_flags.value : field_value(after, field);
    out_texts({separator, field_text_name(field), " ",
               value_text(field, field_value(found, field), found.e_machine).text, ", wanted ",
               value_text(field, wanted, after.e_machine).text});
    print_mask(field, flags ? settings_.output_flags.mask : UINT32_MAX, " (", ")");
    separator = "; ";
  }
  out_text("\n");
}

}  // namespace hdrtune
