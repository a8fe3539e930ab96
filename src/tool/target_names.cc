// SPDX-License-Identifier: MIT
// target_names.cc - keywords for machines, file types and OSABIs, ABI
// version numbers and masked flags words, and the names listings give values.
#include "tool/target_names.h"

#include <strings.h>

#include "support/diagnostics.h"
#include "support/elf_header.h"

namespace hdrtune {

// The x86 machines first, then one keyword for every other machine the ELF
// registry names: its ELF name without "EM_", in lower case, with a letter
// before a name that is a number alone (EM_860 is i860, EM_68K is m68k).
// clang-format off
static const KeywordRow machine_rows[] = {
    {"i386", EM_386}, {"iamcu", EM_IAMCU}, {"l1om", EM_L1OM}, {"k1om", EM_K1OM},
    {"x86_64", EM_X86_64}, {"x86-64", EM_X86_64}, {"none", EM_NONE}, {"m32", 1}, {"sparc", 2},
    {"m68k", 4}, {"m88k", 5}, {"i860", 7}, {"mips", 8}, {"s370", 9}, {"mips_rs3_le", 10},
    {"parisc", 15}, {"vpp500", 17}, {"sparc32plus", 18}, {"i960", 19}, {"ppc", 20}, {"ppc64", 21},
    {"s390", 22}, {"spu", 23}, {"v800", 36}, {"fr20", 37}, {"rh32", 38}, {"rce", 39}, {"arm", 40},
    {"alpha", 41}, {"sh", 42}, {"sparcv9", 43}, {"tricore", 44}, {"arc", 45}, {"h8_300", 46},
    {"h8_300h", 47}, {"h8s", 48}, {"h8_500", 49}, {"ia_64", 50}, {"mips_x", 51}, {"coldfire", 52},
    {"68hc12", 53}, {"mma", 54}, {"pcp", 55}, {"ncpu", 56}, {"ndr1", 57}, {"starcore", 58},
    {"me16", 59}, {"st100", 60}, {"tinyj", 61}, {"pdsp", 63}, {"pdp10", 64}, {"pdp11", 65},
    {"fx66", 66}, {"st9plus", 67}, {"st7", 68}, {"68hc16", 69}, {"68hc11", 70}, {"68hc08", 71},
    {"68hc05", 72}, {"svx", 73}, {"st19", 74}, {"vax", 75}, {"cris", 76}, {"javelin", 77},
    {"firepath", 78}, {"zsp", 79}, {"mmix", 80}, {"huany", 81}, {"prism", 82}, {"avr", 83},
    {"fr30", 84}, {"d10v", 85}, {"d30v", 86}, {"v850", 87}, {"m32r", 88}, {"mn10300", 89},
    {"mn10200", 90}, {"pj", 91}, {"openrisc", 92}, {"arc_compact", 93}, {"xtensa", 94},
    {"videocore", 95}, {"tmm_gpp", 96}, {"ns32k", 97}, {"tpc", 98}, {"snp1k", 99}, {"st200", 100},
    {"ip2k", 101}, {"max", 102}, {"cr", 103}, {"f2mc16", 104}, {"msp430", 105}, {"blackfin", 106},
    {"se_c33", 107}, {"sep", 108}, {"arca", 109}, {"unicore", 110}, {"excess", 111}, {"dxp", 112},
    {"altera_nios2", 113}, {"crx", 114}, {"xgate", 115}, {"c166", 116}, {"m16c", 117},
    {"dspic30f", 118}, {"ce", 119}, {"m32c", 120}, {"tsk3000", 131}, {"rs08", 132}, {"sharc", 133},
    {"ecog2", 134}, {"score7", 135}, {"dsp24", 136}, {"videocore3", 137}, {"latticemico32", 138},
    {"se_c17", 139}, {"ti_c6000", 140}, {"ti_c2000", 141}, {"ti_c5500", 142}, {"ti_arp32", 143},
    {"ti_pru", 144}, {"mmdsp_plus", 160}, {"cypress_m8c", 161}, {"r32c", 162}, {"trimedia", 163},
    {"hexagon", 164}, {"i8051", 165}, {"stxp7x", 166}, {"nds32", 167}, {"ecog1x", 168},
    {"maxq30", 169}, {"ximo16", 170}, {"manik", 171}, {"craynv2", 172}, {"rx", 173}, {"metag", 174},
    {"mcst_elbrus", 175}, {"ecog16", 176}, {"cr16", 177}, {"etpu", 178}, {"sle9x", 179},
    {"aarch64", 183}, {"avr32", 185}, {"stm8", 186}, {"tile64", 187}, {"tilepro", 188},
    {"microblaze", 189}, {"cuda", 190}, {"tilegx", 191}, {"cloudshield", 192}, {"corea_1st", 193},
    {"corea_2nd", 194}, {"arc_compact2", 195}, {"open8", 196}, {"rl78", 197}, {"videocore5", 198},
    {"78kor", 199}, {"56800ex", 200}, {"ba1", 201}, {"ba2", 202}, {"xcore", 203}, {"mchp_pic", 204},
    {"intelgt", 205}, {"intel206", 206}, {"intel207", 207}, {"intel208", 208}, {"intel209", 209},
    {"km32", 210}, {"kmx32", 211}, {"kmx16", 212}, {"kmx8", 213}, {"kvarc", 214}, {"cdp", 215},
    {"coge", 216}, {"cool", 217}, {"norc", 218}, {"csr_kalimba", 219}, {"z80", 220},
    {"visium", 221}, {"ft32", 222}, {"moxie", 223}, {"amdgpu", 224}, {"riscv", 243}, {"lanai", 244},
    {"bpf", 247}, {"ve", 251}, {"csky", 252}, {"loongarch", 258},
};
// clang-format on

static const KeywordRow type_rows[] = {
    {"rel", ET_REL},
    {"exec", ET_EXEC},
    {"dyn", ET_DYN},
    {"none", ET_NONE},
};

// The ELF names without "ELFOSABI_". The values from 64 to 254 belong to
// one machine each, so the same value has a keyword for each such machine.
static const KeywordRow osabi_rows[] = {
    {"none", ELFOSABI_NONE},
    {"HPUX", ELFOSABI_HPUX},
    {"NetBSD", ELFOSABI_NETBSD},
    {"Velm", ELFOSABI_LINUX},
    {"Linux", ELFOSABI_LINUX},
    {"Solaris", ELFOSABI_SOLARIS},
    {"AIX", ELFOSABI_AIX},
    {"Irix", ELFOSABI_IRIX},
    {"FreeBSD", ELFOSABI_FREEBSD},
    {"TRU64", ELFOSABI_TRU64},
    {"Modesto", ELFOSABI_MODESTO},
    {"OpenBSD", ELFOSABI_OPENBSD},
    {"OpenVMS", ELFOSABI_OPENVMS},
    {"NSK", ELFOSABI_NSK},
    {"AROS", ELFOSABI_AROS},
    {"FenixOS", ELFOSABI_FENIXOS},
    {"Hurd", 4},
    {"CloudABI", 17},
    {"OpenVOS", 18},
    {"ARM_AEABI", 64, 40},
    {"ARM_FDPIC", 65, 40},
    {"ARM", 97, 40},
    {"C6000_ELFABI", 64, 140},
    {"C6000_LINUX", 65, 140},
    {"AMDGPU_HSA", 64, 224},
    {"AMDGPU_PAL", 65, 224},
    {"AMDGPU_MESA3D", 66, 224},
    {"Standalone", 255},
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

bool lookup_flags(const char *text, MaskedFlags *flags) {
  std::uint32_t value = 0, mask = UINT32_MAX;
  const char *end = text;
  bool valid = read_flags_number(text, &end, &value);
  if (valid && *end == '/') valid = read_flags_number(end + 1, &end, &mask);
  if (valid && *end == '\0' && (value & ~mask) == 0) {
    *flags = {true, value, mask};
    return true;
  }
  report_error("Unknown flags: %s\n", text);
  return false;
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
