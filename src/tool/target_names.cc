// SPDX-License-Identifier: MIT
// target_names.cc - keywords for machines, file types and OSABIs, and ABI
// version numbers.
#include "tool/target_names.h"

#include <strings.h>

#include "support/diagnostics.h"
#include "support/elf_header.h"

namespace hdrtune {

static const KeywordRow machine_rows[] = {
    {"i386", EM_386},      {"iamcu", EM_IAMCU},   {"l1om", EM_L1OM}, {"k1om", EM_K1OM},
    {"x86_64", EM_X86_64}, {"x86-64", EM_X86_64}, {"none", EM_NONE},
};

static const KeywordRow type_rows[] = {
    {"rel", ET_REL},
    {"exec", ET_EXEC},
    {"dyn", ET_DYN},
    {"none", ET_NONE},
};

// Velm stands before Linux: it is the name a listing gives OSABI 3.
static const KeywordRow osabi_rows[] = {
    {"none", ELFOSABI_NONE},       {"HPUX", ELFOSABI_HPUX},       {"NetBSD", ELFOSABI_NETBSD},
    {"Velm", ELFOSABI_LINUX},      {"Linux", ELFOSABI_LINUX},     {"Solaris", ELFOSABI_SOLARIS},
    {"AIX", ELFOSABI_AIX},         {"Irix", ELFOSABI_IRIX},       {"FreeBSD", ELFOSABI_FREEBSD},
    {"TRU64", ELFOSABI_TRU64},     {"Modesto", ELFOSABI_MODESTO}, {"OpenBSD", ELFOSABI_OPENBSD},
    {"OpenVMS", ELFOSABI_OPENVMS}, {"NSK", ELFOSABI_NSK},         {"AROS", ELFOSABI_AROS},
    {"FenixOS", ELFOSABI_FENIXOS},
};

template <std::size_t count>
static constexpr KeywordTable table_of(const char *what, const KeywordRow (&rows)[count]) {
  return {what, rows, count};
}

const KeywordTable machine_keywords = table_of("machine type", machine_rows);
const KeywordTable type_keywords = table_of("type", type_rows);
const KeywordTable osabi_keywords = table_of("OSABI", osabi_rows);

std::int32_t lookup_keyword(const KeywordTable &table, const char *keyword) {
  for (const KeywordRow &row : table)
    if (strcasecmp(row.name, keyword) == 0) return row.value;
  report_error("Unknown %s: %s\n", table.what, keyword);
  return -1;
}

std::int32_t lookup_abi_version(const char *text) {
  std::int32_t value = 0;
  const char *c = text;
  // Stops at the first byte that is not a digit, or once the value is too
  // large, so that a long run of digits can't overflow.
  for (; *c >= '0' && *c <= '9' && value <= 255; ++c) value = value * 10 + (*c - '0');
  if (c != text && *c == '\0' && value <= 255) return value;
  report_error("Unknown ABI version: %s\n", text);
  return -1;
}

const char *keyword_for(const KeywordTable &table, std::int32_t value) {
  for (const KeywordRow &row : table)
    if (row.value == value) return row.name;
  return nullptr;
}

std::int32_t class_for_machine(std::int32_t e_machine) {
  switch (e_machine) {
    case EM_386:
    case EM_IAMCU: return ELFCLASS32;
    case EM_L1OM:
    case EM_K1OM: return ELFCLASS64;
    default: return either_class;
  }
}

}  // namespace hdrtune
