// target_names.cc - keywords for machines, file types and OSABIs.
#include "tool/target_names.h"

#include <strings.h>

#include "support/diagnostics.h"
#include "support/elf_numbers.h"

namespace hdrtune {

const TargetKeyword machine_keyword_table[7] = {
    {"i386", EM_386},      {"iamcu", EM_IAMCU},   {"l1om", EM_L1OM}, {"k1om", EM_K1OM},
    {"x86_64", EM_X86_64}, {"x86-64", EM_X86_64}, {"none", EM_NONE},
};

const TargetKeyword type_keyword_table[4] = {
    {"rel", ET_REL}, {"exec", ET_EXEC}, {"dyn", ET_DYN}, {"none", ET_NONE},
};

const OsabiKeyword osabi_keyword_table[16] = {
    {ELFOSABI_NONE, "none"},       {ELFOSABI_HPUX, "HPUX"},
    {ELFOSABI_NETBSD, "NetBSD"},   {ELFOSABI_LINUX, "Velm"},
    {ELFOSABI_LINUX, "Linux"},     {ELFOSABI_SOLARIS, "Solaris"},
    {ELFOSABI_AIX, "AIX"},         {ELFOSABI_IRIX, "Irix"},
    {ELFOSABI_FREEBSD, "FreeBSD"}, {ELFOSABI_TRU64, "TRU64"},
    {ELFOSABI_MODESTO, "Modesto"}, {ELFOSABI_OPENBSD, "OpenBSD"},
    {ELFOSABI_OPENVMS, "OpenVMS"}, {ELFOSABI_NSK, "NSK"},
    {ELFOSABI_AROS, "AROS"},       {ELFOSABI_FENIXOS, "FenixOS"},
};

template <typename Table>
static std::int32_t find_keyword(const Table &table, const char *keyword) {
  for (const auto &row : table)
    if (strcasecmp(row.keyword, keyword) == 0) return row.value;
  return -1;
}

template <typename Table>
static const char *find_value(const Table &table, std::int32_t value) {
  for (const auto &row : table)
    if (row.value == value) return row.keyword;
  return nullptr;
}

const char *machine_keyword(std::int32_t e_machine) {
  return find_value(machine_keyword_table, e_machine);
}
const char *type_keyword(std::int32_t e_type) { return find_value(type_keyword_table, e_type); }
const char *osabi_keyword(std::int32_t osabi) { return find_value(osabi_keyword_table, osabi); }

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
    case EM_386:
    case EM_IAMCU:
      return ELFCLASS32;
    case EM_L1OM:
    case EM_K1OM:
      return ELFCLASS64;
    default:
      return either_class;
  }
}

}  // namespace hdrtune
