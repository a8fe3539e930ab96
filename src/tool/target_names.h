// SPDX-License-Identifier: MIT
// target_names.h - keywords for machines, file types and OSABIs, ABI
// version numbers and masked flags words, and the names listings give values.
#pragma once

#include <cstddef>
#include <cstdint>

#include "support/diagnostics.h"
#include "support/elf_header.h"

namespace hdrtune {

// A ClassSelector: ELFCLASS32 (1) or ELFCLASS64 (2) only, or either class.
constexpr std::int32_t either_class = 3;
// A byte order asked: ELFDATA2LSB (1), ELFDATA2MSB (2), or either.
constexpr std::int32_t any_byte_order = -1;
// An OSABI row that holds on every machine.
constexpr std::int32_t any_machine = -1;

struct KeywordRow {
  const char *name;
  std::int32_t value;
  // An OSABI from 64 to 254 means something different on each machine: the
  // e_machine whose OSABI this keyword names. any_machine in every other row.
  std::int32_t machine = any_machine;
  // A machine's row: the class every object for it has, or either_class.
  std::int32_t elf_class = either_class;
};

// A name users give a machine together with the class and byte order they
// mean by it (riscv64, mipsel).
struct TargetAlias {
  const char *name;
  std::int32_t e_machine;
  std::int32_t elf_class;
  std::int32_t data_encoding;
};

// What a machine keyword or alias asks of a header.
struct Target {
  std::int32_t e_machine = -1;
  std::int32_t elf_class = either_class;
  std::int32_t data_encoding = any_byte_order;
};

// One field's keywords; `what` names the field in "Unknown %s: %s".
struct KeywordTable {
  const char *what;
  const KeywordRow *rows;
  std::size_t count;

  const KeywordRow *begin() const { return rows; }
  const KeywordRow *end() const { return rows + count; }
};

extern const KeywordTable machine_keywords;
extern const KeywordTable type_keywords;
extern const KeywordTable osabi_keywords;

// The aliases, in the order a lookup tries them after the machine keywords.
extern const TargetAlias *const target_aliases_begin;
extern const TargetAlias *const target_aliases_end;
struct TargetAliasRange {
  const TargetAlias *begin() const { return target_aliases_begin; }
  const TargetAlias *end() const { return target_aliases_end; }
};
inline TargetAliasRange target_aliases() { return {}; }

// The number for a keyword (compared without regard to case), or -1 after
// reporting it as unknown.
std::int32_t lookup_keyword(FailureSink &failures, const KeywordTable &table, const char *keyword);
// A machine keyword or alias; false after reporting it as unknown.
bool lookup_target(FailureSink &failures, const char *keyword, Target *target);
// The e_machine a machine keyword or alias names, or -1 after reporting it.
std::int32_t lookup_machine(FailureSink &failures, const char *keyword);
inline std::int32_t lookup_type(FailureSink &failures, const char *keyword) {
  return lookup_keyword(failures, type_keywords, keyword);
}
inline std::int32_t lookup_osabi(FailureSink &failures, const char *keyword) {
  return lookup_keyword(failures, osabi_keywords, keyword);
}

// An OSABI keyword's value and the machine it belongs to (any_machine for
// most); false after reporting it as unknown.
bool lookup_osabi_row(FailureSink &failures, const char *keyword, std::int32_t *osabi,
                      std::int32_t *e_machine);

// An ABI version: a decimal number from 0 to 255 in digits only, or -1
// after reporting it as unknown, as a keyword would be.
std::int32_t lookup_abi_version(FailureSink &failures, const char *text);

// A flags word as `<n>[/<mask>]`: two 32-bit numbers, each in decimal or in
// hexadecimal after "0x", the mask every bit when not given. False when the
// text is anything else or sets bits outside its mask.
bool parse_flags_number(const char *text, MaskedValue *flags);

// The first keyword the table gives for a number, or null when none has it.
const char *keyword_for(const KeywordTable &table, std::int32_t value);

// The name a listing gives a value, or null when it has none and is shown
// as a number. An OSABI from 64 to 254 is named only by a keyword of the
// header's own machine; OSABI 3 is "Linux".
const char *machine_name(std::int32_t e_machine);
const char *type_name(std::int32_t e_type);
const char *osabi_name(std::int32_t osabi, std::int32_t e_machine);

// The ClassSelector of a machine's objects.
std::int32_t class_for_machine(std::int32_t e_machine);

}  // namespace hdrtune
