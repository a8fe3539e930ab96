// list_lines.cc - the lines --list prints, one per header. A value is shown
// as its first keyword, or as its number when it has none.
#include "tool/list_lines.h"

#include <cstdio>
#include <cstring>

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
  }
  ValueText v;
  if (keyword)
    std::snprintf(v.text, sizeof v.text, "%s", keyword);
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
  }
  return "";
}

// Starts a line with the name and ": ". One line per header: a newline, a
// carriage return or a backslash in the name is written as an escape.
void print_name(const char *name) {
  if (!std::strpbrk(name, "\n\r\\")) {
    std::fputs(name, stdout);
  } else {
    for (const char *c = name; *c; ++c) {
      if (*c == '\n')
        std::fputs("\\n", stdout);
      else if (*c == '\r')
        std::fputs("\\r", stdout);
      else if (*c == '\\')
        std::fputs("\\\\", stdout);
      else
        std::putchar(*c);
    }
  }
  std::fputs(": ", stdout);
}

// Prints "FIELD OLD -> NEW" when the output value was given.
void print_change(const char **separator, ListField field, int old_value, std::int32_t new_value) {
  if (new_value == -1) return;
  std::printf("%s%s %s -> %s", *separator, field_name(field), value_text(field, old_value).text,
              value_text(field, new_value).text);
  *separator = ", ";
}

}  // namespace

void list_unchanged(const char *name) {
  print_name(name);
  std::fputs("unchanged\n", stdout);
}

void list_passed_over(const char *name, const char *why) {
  print_name(name);
  std::printf("passed over (%s)\n", why);
}

void list_skipped(const char *name, ListField field, int found, int wanted) {
  print_name(name);
  std::printf("skipped (%s %s, wanted %s)\n", field_name(field), value_text(field, found).text,
              value_text(field, wanted).text);
}

void list_current_values(const char *name, const ElfHeader &header) {
  print_name(name);
  std::printf("machine %s, type %s, OSABI %s\n",
              value_text(ListField::machine, header.e_machine).text,
              value_text(ListField::type, header.e_type).text,
              value_text(ListField::osabi, header.osabi).text);
}

void list_changes(const char *name, const ElfHeader &old_header, const HeaderEditSettings &s) {
  const char *separator = "";
  print_name(name);
  print_change(&separator, ListField::machine, old_header.e_machine,
               s.output_machine == -1 ? -1 : static_cast<std::uint16_t>(s.output_machine));
  print_change(&separator, ListField::type, old_header.e_type,
               s.output_type == -1 ? -1 : static_cast<std::uint16_t>(s.output_type));
  print_change(&separator, ListField::osabi, old_header.osabi,
               s.output_osabi == -1 ? -1 : static_cast<unsigned char>(s.output_osabi));
  std::fputs("\n", stdout);
}

}  // namespace hdrtune
