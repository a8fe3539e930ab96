// list_lines.cc - the lines --list prints, one per header. A value is shown
// as its first keyword, or as its number when it has none.
#include "tool/list_lines.h"

#include <cstdio>
#include <cstring>

#include "runtime/char_class.h"
#include "runtime/standard_output.h"

namespace hdrtune {

namespace {

struct ValueText {
  char text[24];
};

ValueText value_text(ListField field, int value) {
  const char *keyword = nullptr;
  switch (field) {
    case ListField::elf_class:
      keyword = value == ELFCLASS32 ? "ELFCLASS32" : value == ELFCLASS64 ? "ELFCLASS64" : nullptr;
      break;
    case ListField::machine: keyword = keyword_for(machine_keywords, value); break;
    case ListField::type: keyword = keyword_for(type_keywords, value); break;
    case ListField::osabi: keyword = keyword_for(osabi_keywords, value); break;
    case ListField::abi_version: break;
  }
  ValueText v = {};
  if (keyword)
    std::strncpy(v.text, keyword, sizeof v.text - 1);
  else
    std::snprintf(v.text, sizeof v.text, "%d", value);
  return v;
}

const char *field_name(ListField field) {
  switch (field) {
    case ListField::elf_class: return "class";
    case ListField::machine: return "machine";
    case ListField::type: return "type";
    case ListField::osabi: return "OSABI";
    case ListField::abi_version: return "ABI version";
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

// One output value beside what the header holds; `wanted` is -1 when the
// value was not asked, and otherwise cut to the field's width.
struct OutputField {
  ListField field;
  int found;
  std::int32_t wanted;
};

std::int32_t as_stored(std::int32_t value, std::int32_t mask) {
  return value == -1 ? -1 : value & mask;
}

// The output values in the order lines show them.
struct OutputFields {
  OutputField rows[4];
};

OutputFields output_fields(const ElfHeader &header, const HeaderEditSettings &s) {
  return {{
      {ListField::machine, header.e_machine, as_stored(s.output_machine, 0xffff)},
      {ListField::type, header.e_type, as_stored(s.output_type, 0xffff)},
      {ListField::osabi, header.osabi, as_stored(s.output_osabi, 0xff)},
      {ListField::abi_version, header.abi_version, as_stored(s.output_abi_version, 0xff)},
  }};
}

}  // namespace

void list_unchanged(const char *name) {
  print_name(name);
  out_text("unchanged\n");
}

void list_passed_over(const char *name, const char *why) {
  print_name(name);
  out_texts({"passed over (", why, ")\n"});
}

void list_skipped(const char *name, ListField field, int found, int wanted) {
  print_name(name);
  out_texts({"skipped (", field_name(field), " ", value_text(field, found).text, ", wanted ",
             value_text(field, wanted).text, ")\n"});
}

// The ABI version is 0 in nearly every object: a listing names it only
// where it is not, so that the lines of ordinary files stay short.
void list_current_values(const char *name, const ElfHeader &header) {
  print_name(name);
  out_texts({"machine ", value_text(ListField::machine, header.e_machine).text, ", type ",
             value_text(ListField::type, header.e_type).text, ", OSABI ",
             value_text(ListField::osabi, header.osabi).text});
  if (header.abi_version != 0) out_printf(", ABI version %d", header.abi_version);
  out_text("\n");
}

void list_changes(const char *name, const ElfHeader &old_header, const HeaderEditSettings &s) {
  const char *separator = "";
  print_name(name);
  OutputFields fields = output_fields(old_header, s);
  for (const OutputField &f : fields.rows) {
    if (f.wanted == -1) continue;
    out_texts({separator, field_name(f.field), " ", value_text(f.field, f.found).text, " -> ",
               value_text(f.field, f.wanted).text});
    separator = ", ";
  }
  out_text("\n");
}

void list_differences(const char *name, const ElfHeader &header, const HeaderEditSettings &s) {
  const char *separator = "";
  print_name(name);
  OutputFields fields = output_fields(header, s);
  for (const OutputField &f : fields.rows) {
    if (f.wanted == -1 || f.wanted == f.found) continue;
    out_texts({separator, field_name(f.field), " ", value_text(f.field, f.found).text, ", wanted ",
               value_text(f.field, f.wanted).text});
    separator = "; ";
  }
  out_text("\n");
}

void list_as_wanted(const char *name) {
  print_name(name);
  out_text("as wanted\n");
}

}  // namespace hdrtune
