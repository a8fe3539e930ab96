// target_names.h - keywords for machines, file types and OSABIs.
#pragma once

#include <cstdint>

namespace hdrtune {

struct TargetKeyword {
  const char *keyword;
  std::int32_t value;
};
extern const TargetKeyword machine_keyword_table[7];
extern const TargetKeyword type_keyword_table[4];

struct OsabiKeyword {
  std::int32_t value;
  const char *keyword;
};
extern const OsabiKeyword osabi_keyword_table[16];

// Each returns the number for a keyword (compared without regard to case),
// or -1 after reporting it as unknown.
std::int32_t lookup_machine(const char *keyword);
std::int32_t lookup_type(const char *keyword);
std::int32_t lookup_osabi(const char *keyword);

// The first keyword the table gives for a number, or null when none has it.
const char *machine_keyword(std::int32_t e_machine);
const char *type_keyword(std::int32_t e_type);
const char *osabi_keyword(std::int32_t osabi);

// A ClassSelector: ELFCLASS32 (1) or ELFCLASS64 (2) only, or either class.
constexpr std::int32_t either_class = 3;
std::int32_t class_for_machine(std::int32_t e_machine);

}  // namespace hdrtune
