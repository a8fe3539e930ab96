// SPDX-License-Identifier: MIT
// target_names.cc - keywords for machines, file types and OSABIs, ABI
// version numbers and masked flags words, and the names listings give values.
#include "tool/target_names.h"

#include <strings.h>

#include <iterator>

#include "support/diagnostics.h"
#include "support/elf_header.h"

namespace hdrtune {

// The tables are written once, in the .def files beside this one; the
// manual page, the completions and the unit tests read the same rows.
static const KeywordRow machine_rows[] = {
#define MACHINE(keyword, e_machine, elf_name, elf_class) {keyword, e_machine, -1, elf_class},
#include "tool/machines.def"
#undef MACHINE
};

static const KeywordRow type_rows[] = {
#define TYPE(keyword, e_type, elf_name) {keyword, e_type},
#include "tool/types.def"
#undef TYPE
};

static const KeywordRow osabi_rows[] = {
#define OSABI(keyword, osabi, elf_name, e_machine) {keyword, osabi, e_machine},
#include "tool/osabis.def"
#undef OSABI
};

static const TargetAlias alias_rows[] = {
#define ALIAS(keyword, e_machine, elf_class, data_encoding) \
  {keyword, e_machine, elf_class, data_encoding},
#include "tool/target_aliases.def"
#undef ALIAS
};

template <std::size_t count>
static constexpr KeywordTable table_of(const char *what, const KeywordRow (&rows)[count]) {
  return {what, rows, count};
}

const KeywordTable machine_keywords = table_of("machine type", machine_rows);
const KeywordTable type_keywords = table_of("type", type_rows);
const KeywordTable osabi_keywords = table_of("OSABI", osabi_rows);
const TargetAlias *const target_aliases_begin = alias_rows;
const TargetAlias *const target_aliases_end = alias_rows + std::size(alias_rows);

static const KeywordRow *find_keyword(const KeywordTable &table, const char *keyword) {
  for (const KeywordRow &row : table)
    if (strcasecmp(row.name, keyword) == 0) return &row;
  return nullptr;
}

std::int32_t lookup_keyword(FailureSink &failures, const KeywordTable &table, const char *keyword) {
  if (const KeywordRow *row = find_keyword(table, keyword)) return row->value;
  fail(failures, nullptr, 0, "Unknown %s: %s\n", table.what, keyword);
  return -1;
}

bool lookup_osabi_row(FailureSink &failures, const char *keyword, std::int32_t *osabi,
                      std::int32_t *e_machine) {
  const KeywordRow *row = find_keyword(osabi_keywords, keyword);
  if (!row) {
    fail(failures, nullptr, 0, "Unknown %s: %s\n", osabi_keywords.what, keyword);
    return false;
  }
  *osabi = row->value;
  *e_machine = row->machine;
  return true;
}

std::int32_t lookup_abi_version(FailureSink &failures, const char *text) {
  std::int32_t value = 0;
  const char *c = text;
  // Stops at the first byte that is not a digit, or once the value is too
  // large, so that a long run of digits can't overflow.
  for (; *c >= '0' && *c <= '9' && value <= 255; ++c) value = value * 10 + (*c - '0');
  if (c != text && *c == '\0' && value <= 255) return value;
  fail(failures, nullptr, 0, "Unknown ABI version: %s\n", text);
  return -1;
}

// Reads a 32-bit number in decimal, or in hexadecimal after "0x", up to the
// first byte that is not one of its digits, left in *end. False when there
// is no digit or the number needs more than 32 bits.
static bool read_flags_number(const char *text, const char **end, std::uint32_t *number) {
  int base = 10;
  if (text[0] == '0' && (text[1] == 'x' || text[1] == 'X')) {
    base = 16;
    text += 2;
  }
  std::uint64_t value = 0;
  const char *c = text;
  for (;; ++c) {
    int digit;
    if (*c >= '0' && *c <= '9')
      digit = *c - '0';
    else if (base == 16 && *c >= 'a' && *c <= 'f')
      digit = *c - 'a' + 10;
    else if (base == 16 && *c >= 'A' && *c <= 'F')
      digit = *c - 'A' + 10;
    else
      break;
    value = value * base + digit;
    // Stop at once, so that a long run of digits can't overflow.
    if (value > UINT32_MAX) return false;
  }
  *end = c;
  *number = static_cast<std::uint32_t>(value);
  return c != text;
}

bool parse_flags_number(const char *text, MaskedValue *flags) {
  std::uint32_t value = 0, mask = UINT32_MAX;
  const char *end = text;
  bool valid = read_flags_number(text, &end, &value);
  if (valid && *end == '/') valid = read_flags_number(end + 1, &end, &mask);
  if (!valid || *end != '\0' || (value & ~mask) != 0) return false;
  *flags = {true, value, mask};
  return true;
}

const char *keyword_for(const KeywordTable &table, std::int32_t value) {
  for (const KeywordRow &row : table)
    if (row.value == value) return row.name;
  return nullptr;
}

const char *machine_name(std::int32_t e_machine) {
  return keyword_for(machine_keywords, e_machine);
}

const char *type_name(std::int32_t e_type) { return keyword_for(type_keywords, e_type); }

// "Velm" stays the first keyword of OSABI 3, but a listing says "Linux",
// the name its users know.
const char *osabi_name(std::int32_t osabi, std::int32_t e_machine) {
  if (osabi == ELFOSABI_LINUX) return "Linux";
  for (const KeywordRow &row : osabi_keywords)
    if (row.value == osabi && (row.machine == -1 || row.machine == e_machine)) return row.name;
  return nullptr;
}

bool lookup_target(FailureSink &failures, const char *keyword, Target *target) {
  if (const KeywordRow *row = find_keyword(machine_keywords, keyword)) {
    *target = {row->value, row->elf_class, any_byte_order};
    return true;
  }
  for (const TargetAlias &alias : target_aliases())
    if (strcasecmp(alias.name, keyword) == 0) {
      *target = {alias.e_machine, alias.elf_class, alias.data_encoding};
      return true;
    }
  fail(failures, nullptr, 0, "Unknown %s: %s\n", machine_keywords.what, keyword);
  return false;
}

std::int32_t lookup_machine(FailureSink &failures, const char *keyword) {
  Target target;
  return lookup_target(failures, keyword, &target) ? target.e_machine : -1;
}

// Made from the table at compile time: only the few machines of one class
// leave a comparison behind, so every header pays for those alone.
std::int32_t class_for_machine(std::int32_t e_machine) {
#define MACHINE(keyword, value, elf_name, elf_class) \
  if (elf_class != either_class && e_machine == value) return elf_class;
#include "tool/machines.def"
#undef MACHINE
  return either_class;
}

}  // namespace hdrtune
