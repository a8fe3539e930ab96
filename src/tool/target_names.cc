// target_names.cc - keywords for machines, file types and OSABIs.
#include "tool/target_names.h"

#include <strings.h>

#include "support/diagnostics.h"

namespace hdrtune {

const TargetKeyword machine_keyword_table[7] = {
    {"i386", 3},   {"iamcu", 6},  {"l1om", 180}, {"k1om", 181},
    {"x86_64", 62}, {"x86-64", 62}, {"none", 0},
};

const TargetKeyword type_keyword_table[4] = {
    {"rel", 1}, {"exec", 2}, {"dyn", 3}, {"none", 0},
};

const OsabiKeyword osabi_keyword_table[16] = {
    {0, "none"},     {1, "HPUX"},     {2, "NetBSD"},   {3, "Velm"},
    {3, "Linux"},    {6, "Solaris"},  {7, "AIX"},      {8, "Irix"},
    {9, "FreeBSD"},  {10, "TRU64"},   {11, "Modesto"}, {12, "OpenBSD"},
    {13, "OpenVMS"}, {14, "NSK"},     {15, "AROS"},    {16, "FenixOS"},
};

template <typename Table>
static std::int32_t find_keyword(const Table &table, const char *keyword) {
  for (const auto &row : table)
    if (strcasecmp(row.keyword, keyword) == 0) return row.value;
  return -1;
}

std::int32_t lookup_machine(const char *keyword) {
  std::int32_t value = find_keyword(machine_keyword_table, keyword);
  if (value < 0) report_error("Unknown machine type: %s\n", keyword);
  return value;
}

std::int32_t lookup_type(const char *keyword) {
  std::int32_t value = find_keyword(type_keyword_table, keyword);
  if (value < 0) report_error("Unknown type: %s\n", keyword);
  return value;
}

std::int32_t lookup_osabi(const char *keyword) {
  std::int32_t value = find_keyword(osabi_keyword_table, keyword);
  if (value < 0) report_error("Unknown OSABI: %s\n", keyword);
  return value;
}

std::int32_t class_for_machine(std::int32_t e_machine) {
  switch (e_machine) {
    case 3:    // EM_386
    case 6:    // EM_IAMCU
      return 1;
    case 180:  // EM_L1OM
    case 181:  // EM_K1OM
      return 2;
    default:
      return 3;
  }
}

}  // namespace hdrtune
