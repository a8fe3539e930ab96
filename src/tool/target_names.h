// SPDX-License-Identifier: MIT
// target_names.h - keywords for machines, file types and OSABIs, and ABI
// version numbers.
#pragma once

#include <cstddef>
#include <cstdint>

namespace hdrtune {

struct KeywordRow {
  const char *name;
  std::int32_t value;
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

// The number for a keyword (compared without regard to case), or -1 after
// reporting it as unknown.
std::int32_t lookup_keyword(const KeywordTable &table, const char *keyword);
inline std::int32_t lookup_machine(const char *keyword) {
  return lookup_keyword(machine_keywords, keyword);
}
inline std::int32_t lookup_type(const char *keyword) {
  return lookup_keyword(type_keywords, keyword);
}
inline std::int32_t lookup_osabi(const char *keyword) {
  return lookup_keyword(osabi_keywords, keyword);
}

// An ABI version: a decimal number from 0 to 255 in digits only, or -1
// after reporting it as unknown, as a keyword would be.
std::int32_t lookup_abi_version(const char *text);

// The first keyword the table gives for a number, or null when none has it.
const char *keyword_for(const KeywordTable &table, std::int32_t value);

// A ClassSelector: ELFCLASS32 (1) or ELFCLASS64 (2) only, or either class.
constexpr std::int32_t either_class = 3;
std::int32_t class_for_machine(std::int32_t e_machine);

}  // namespace hdrtune
