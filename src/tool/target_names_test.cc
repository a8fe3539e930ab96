// SPDX-License-Identifier: MIT
// target_names_test.cc - keyword lookups as users spell them.
#include "tool/target_names.h"

#include <gtest/gtest.h>

#include <strings.h>

#include <cctype>
#include <cstring>
#include <string>
#include <vector>

// The system's own constants, after every header of ours: they are macros.
#if __has_include(<elf.h>)
#include <elf.h>
#endif

namespace hdrtune {
namespace {

TEST(TargetNames, KeywordsIgnoreCase) {
  EXPECT_EQ(lookup_machine("X86-64"), 62);
  EXPECT_EQ(lookup_machine("x86_64"), 62);
  EXPECT_EQ(lookup_machine("I386"), 3);
  EXPECT_EQ(lookup_machine("IAMCU"), 6);
  EXPECT_EQ(lookup_machine("K1om"), 181);
  EXPECT_EQ(lookup_type("EXEC"), 2);
  EXPECT_EQ(lookup_type("Dyn"), 3);
  EXPECT_EQ(lookup_osabi("freebsd"), 9);
  EXPECT_EQ(lookup_osabi("fenixos"), 16);
}

TEST(TargetNames, NoneAndTheTwoLinuxSpellings) {
  EXPECT_EQ(lookup_machine("none"), 0);
  EXPECT_EQ(lookup_type("none"), 0);
  EXPECT_EQ(lookup_osabi("none"), 0);
  EXPECT_EQ(lookup_osabi("Linux"), 3);
  EXPECT_EQ(lookup_osabi("velm"), 3);
}

// Returns what a lookup printed on stderr.
template <typename Lookup>
std::string refusal(Lookup lookup, const char *keyword, std::int32_t *result) {
  testing::internal::CaptureStderr();
  *result = lookup(keyword);
  return testing::internal::GetCapturedStderr();
}

TEST(TargetNames, NumbersPrefixesAndBlanksAreRefused) {
  std::int32_t result = 0;
  EXPECT_EQ(refusal(lookup_osabi, "9", &result), "hdrtune: Error: Unknown OSABI: 9\n");
  EXPECT_EQ(result, -1);
  EXPECT_EQ(refusal(lookup_machine, "62", &result), "hdrtune: Error: Unknown machine type: 62\n");
  EXPECT_EQ(result, -1);
  EXPECT_EQ(refusal(lookup_type, "exe", &result), "hdrtune: Error: Unknown type: exe\n");
  EXPECT_EQ(result, -1);
  EXPECT_EQ(refusal(lookup_type, "exec ", &result), "hdrtune: Error: Unknown type: exec \n");
  EXPECT_EQ(refusal(lookup_machine, "", &result), "hdrtune: Error: Unknown machine type: \n");
  EXPECT_EQ(refusal(lookup_type, "core", &result), "hdrtune: Error: Unknown type: core\n");
  EXPECT_EQ(refusal(lookup_osabi, "Linux2", &result), "hdrtune: Error: Unknown OSABI: Linux2\n");
}

TEST(TargetNames, AbiVersionsAreDecimalNumbersUpTo255) {
  EXPECT_EQ(lookup_abi_version("0"), 0);
  EXPECT_EQ(lookup_abi_version("7"), 7);
  EXPECT_EQ(lookup_abi_version("255"), 255);
  EXPECT_EQ(lookup_abi_version("0255"), 255);
  std::int32_t result = 0;
  for (const char *text :
       {"256", "-1", "+1", "0x1", " 1", "1 ", "", "1e2", "99999999999999999999"}) {
    EXPECT_EQ(refusal(lookup_abi_version, text, &result),
              std::string("hdrtune: Error: Unknown ABI version: ") + text + "\n");
    EXPECT_EQ(result, -1) << text;
  }
}

struct Expected {
  const char *keyword;
  std::int32_t value;
};

// Every keyword with the value of its constant in <elf.h>, except the few
// machines <elf.h> does not name; a row of the table missing here fails too.
#if defined(EM_LOONGARCH) && defined(EM_K10M) && defined(ELFOSABI_ARM_AEABI)
#define HAVE_SYSTEM_ELF_CONSTANTS 1
// clang-format off
const Expected system_machines[] = {
    {"i386", EM_386}, {"iamcu", EM_IAMCU}, {"l1om", EM_L10M}, {"k1om", EM_K10M},
    {"x86_64", EM_X86_64}, {"x86-64", EM_X86_64}, {"none", EM_NONE}, {"m32", EM_M32},
    {"sparc", EM_SPARC}, {"m68k", EM_68K}, {"m88k", EM_88K}, {"i860", EM_860}, {"mips", EM_MIPS},
    {"s370", EM_S370}, {"mips_rs3_le", EM_MIPS_RS3_LE}, {"parisc", EM_PARISC},
    {"vpp500", EM_VPP500}, {"sparc32plus", EM_SPARC32PLUS}, {"i960", EM_960}, {"ppc", EM_PPC},
    {"ppc64", EM_PPC64}, {"s390", EM_S390}, {"spu", EM_SPU}, {"v800", EM_V800}, {"fr20", EM_FR20},
    {"rh32", EM_RH32}, {"rce", EM_RCE}, {"arm", EM_ARM}, {"alpha", EM_FAKE_ALPHA}, {"sh", EM_SH},
    {"sparcv9", EM_SPARCV9}, {"tricore", EM_TRICORE}, {"arc", EM_ARC}, {"h8_300", EM_H8_300},
    {"h8_300h", EM_H8_300H}, {"h8s", EM_H8S}, {"h8_500", EM_H8_500}, {"ia_64", EM_IA_64},
    {"mips_x", EM_MIPS_X}, {"coldfire", EM_COLDFIRE}, {"68hc12", EM_68HC12}, {"mma", EM_MMA},
    {"pcp", EM_PCP}, {"ncpu", EM_NCPU}, {"ndr1", EM_NDR1}, {"starcore", EM_STARCORE},
    {"me16", EM_ME16}, {"st100", EM_ST100}, {"tinyj", EM_TINYJ}, {"pdsp", EM_PDSP},
    {"pdp10", EM_PDP10}, {"pdp11", EM_PDP11}, {"fx66", EM_FX66}, {"st9plus", EM_ST9PLUS},
    {"st7", EM_ST7}, {"68hc16", EM_68HC16}, {"68hc11", EM_68HC11}, {"68hc08", EM_68HC08},
    {"68hc05", EM_68HC05}, {"svx", EM_SVX}, {"st19", EM_ST19}, {"vax", EM_VAX}, {"cris", EM_CRIS},
    {"javelin", EM_JAVELIN}, {"firepath", EM_FIREPATH}, {"zsp", EM_ZSP}, {"mmix", EM_MMIX},
    {"huany", EM_HUANY}, {"prism", EM_PRISM}, {"avr", EM_AVR}, {"fr30", EM_FR30}, {"d10v", EM_D10V},
    {"d30v", EM_D30V}, {"v850", EM_V850}, {"m32r", EM_M32R}, {"mn10300", EM_MN10300},
    {"mn10200", EM_MN10200}, {"pj", EM_PJ}, {"openrisc", EM_OPENRISC},
    {"arc_compact", EM_ARC_COMPACT}, {"xtensa", EM_XTENSA}, {"videocore", EM_VIDEOCORE},
    {"tmm_gpp", EM_TMM_GPP}, {"ns32k", EM_NS32K}, {"tpc", EM_TPC}, {"snp1k", EM_SNP1K},
    {"st200", EM_ST200}, {"ip2k", EM_IP2K}, {"max", EM_MAX}, {"cr", EM_CR}, {"f2mc16", EM_F2MC16},
    {"msp430", EM_MSP430}, {"blackfin", EM_BLACKFIN}, {"se_c33", EM_SE_C33}, {"sep", EM_SEP},
    {"arca", EM_ARCA}, {"unicore", EM_UNICORE}, {"excess", EM_EXCESS}, {"dxp", EM_DXP},
    {"altera_nios2", EM_ALTERA_NIOS2}, {"crx", EM_CRX}, {"xgate", EM_XGATE}, {"c166", EM_C166},
    {"m16c", EM_M16C}, {"dspic30f", EM_DSPIC30F}, {"ce", EM_CE}, {"m32c", EM_M32C},
    {"tsk3000", EM_TSK3000}, {"rs08", EM_RS08}, {"sharc", EM_SHARC}, {"ecog2", EM_ECOG2},
    {"score7", EM_SCORE7}, {"dsp24", EM_DSP24}, {"videocore3", EM_VIDEOCORE3},
    {"latticemico32", EM_LATTICEMICO32}, {"se_c17", EM_SE_C17}, {"ti_c6000", EM_TI_C6000},
    {"ti_c2000", EM_TI_C2000}, {"ti_c5500", EM_TI_C5500}, {"ti_arp32", EM_TI_ARP32},
    {"ti_pru", EM_TI_PRU}, {"mmdsp_plus", EM_MMDSP_PLUS}, {"cypress_m8c", EM_CYPRESS_M8C},
    {"r32c", EM_R32C}, {"trimedia", EM_TRIMEDIA}, {"hexagon", EM_QDSP6}, {"i8051", EM_8051},
    {"stxp7x", EM_STXP7X}, {"nds32", EM_NDS32}, {"ecog1x", EM_ECOG1X}, {"maxq30", EM_MAXQ30},
    {"ximo16", EM_XIMO16}, {"manik", EM_MANIK}, {"craynv2", EM_CRAYNV2}, {"rx", EM_RX},
    {"metag", EM_METAG}, {"mcst_elbrus", EM_MCST_ELBRUS}, {"ecog16", EM_ECOG16}, {"cr16", EM_CR16},
    {"etpu", EM_ETPU}, {"sle9x", EM_SLE9X}, {"aarch64", EM_AARCH64}, {"avr32", EM_AVR32},
    {"stm8", EM_STM8}, {"tile64", EM_TILE64}, {"tilepro", EM_TILEPRO},
    {"microblaze", EM_MICROBLAZE}, {"cuda", EM_CUDA}, {"tilegx", EM_TILEGX},
    {"cloudshield", EM_CLOUDSHIELD}, {"corea_1st", EM_COREA_1ST}, {"corea_2nd", EM_COREA_2ND},
    {"arc_compact2", EM_ARCV2}, {"open8", EM_OPEN8}, {"rl78", EM_RL78},
    {"videocore5", EM_VIDEOCORE5}, {"78kor", EM_78KOR}, {"56800ex", EM_56800EX}, {"ba1", EM_BA1},
    {"ba2", EM_BA2}, {"xcore", EM_XCORE}, {"mchp_pic", EM_MCHP_PIC}, {"intelgt", EM_INTELGT},
    {"km32", EM_KM32}, {"kmx32", EM_KMX32}, {"kmx16", EM_EMX16}, {"kmx8", EM_EMX8},
    {"kvarc", EM_KVARC}, {"cdp", EM_CDP}, {"coge", EM_COGE}, {"cool", EM_COOL}, {"norc", EM_NORC},
    {"csr_kalimba", EM_CSR_KALIMBA}, {"z80", EM_Z80}, {"visium", EM_VISIUM}, {"ft32", EM_FT32},
    {"moxie", EM_MOXIE}, {"amdgpu", EM_AMDGPU}, {"riscv", EM_RISCV}, {"bpf", EM_BPF},
    {"csky", EM_CSKY}, {"loongarch", EM_LOONGARCH},
};
// clang-format on
const Expected system_osabis[] = {
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
    {"ARM_AEABI", ELFOSABI_ARM_AEABI},
    {"ARM", ELFOSABI_ARM},
    {"Standalone", ELFOSABI_STANDALONE},
#ifdef ELFOSABI_OPENVMS
    {"OpenVMS", ELFOSABI_OPENVMS},
    {"NSK", ELFOSABI_NSK},
    {"AROS", ELFOSABI_AROS},
    {"FenixOS", ELFOSABI_FENIXOS},
#endif
#ifdef ELFOSABI_CLOUDABI
    {"CloudABI", ELFOSABI_CLOUDABI},
#endif
};
#endif

// Machines and OSABIs no <elf.h> of these systems names, with the values
// of the ELF registry.
const Expected registry_only[] = {
    {"intel206", 206},  {"intel207", 207},  {"intel208", 208},     {"intel209", 209},
    {"lanai", 244},     {"ve", 251},        {"OpenVMS", 13},       {"NSK", 14},
    {"AROS", 15},       {"FenixOS", 16},    {"Hurd", 4},           {"CloudABI", 17},
    {"OpenVOS", 18},    {"ARM_FDPIC", 65},  {"C6000_ELFABI", 64},  {"C6000_LINUX", 65},
    {"AMDGPU_HSA", 64}, {"AMDGPU_PAL", 65}, {"AMDGPU_MESA3D", 66},
};

template <std::size_t count>
std::int32_t find_value(const Expected (&list)[count], const char *keyword) {
  for (const Expected &e : list)
    if (std::strcmp(e.keyword, keyword) == 0) return e.value;
  return -2;
}

TEST(TargetNames, EveryKeywordHasTheValueOfItsElfConstant) {
#ifndef HAVE_SYSTEM_ELF_CONSTANTS
  GTEST_SKIP() << "no <elf.h> with today's constants";
#else
  for (const Expected &e : system_machines)
    EXPECT_EQ(lookup_machine(e.keyword), e.value) << e.keyword;
  for (const Expected &e : system_osabis) EXPECT_EQ(lookup_osabi(e.keyword), e.value) << e.keyword;
  // A keyword no list names gets -2 and fails.
  for (const KeywordRow &row : machine_keywords) {
    std::int32_t value = find_value(system_machines, row.name);
    if (value == -2) value = find_value(registry_only, row.name);
    EXPECT_EQ(value, row.value) << row.name;
  }
  for (const KeywordRow &row : osabi_keywords) {
    std::int32_t value = find_value(system_osabis, row.name);
    if (value == -2) value = find_value(registry_only, row.name);
    EXPECT_EQ(value, row.value) << row.name;
  }
#endif
}

bool is_digits(const char *text) {
  for (const char *c = text; *c; ++c)
    if (!std::isdigit(static_cast<unsigned char>(*c))) return false;
  return true;
}

// A keyword that equals another but for case would never be reached, and
// a second keyword for one machine would be an alias nobody asked for.
TEST(TargetNames, OneKeywordPerMachineNoneADigitsAlone) {
  for (const KeywordTable *table : {&machine_keywords, &osabi_keywords})
    for (const KeywordRow &a : *table) {
      EXPECT_FALSE(is_digits(a.name)) << a.name;
      for (const KeywordRow &b : *table)
        if (&a != &b) {
          EXPECT_NE(strcasecmp(a.name, b.name), 0) << a.name;
        }
    }
  for (const KeywordRow &a : machine_keywords)
    for (const KeywordRow &b : machine_keywords)
      if (&a < &b && a.value == b.value) {
        EXPECT_STREQ(b.name, "x86-64") << a.name;
      }
  EXPECT_EQ(lookup_machine("AArch64"), 183);
  EXPECT_EQ(lookup_machine("i860"), 7);
  EXPECT_EQ(lookup_machine("M68K"), 4);
  EXPECT_EQ(class_for_machine(183), either_class);
  EXPECT_EQ(class_for_machine(8), either_class);
  std::int32_t result = 0;
  for (const char *refused : {"860", "68k", "x86", "amd64", "EM_ARM", "arm ", "aarch", "183"})
    EXPECT_EQ(refusal(lookup_machine, refused, &result),
              std::string("hdrtune: Error: Unknown machine type: ") + refused + "\n");
}

TEST(TargetNames, ListingNamesOsabisByTheHeadersMachine) {
  EXPECT_STREQ(osabi_name(3, 62), "Linux");
  EXPECT_STREQ(osabi_name(4, 62), "Hurd");
  EXPECT_STREQ(osabi_name(64, 40), "ARM_AEABI");
  EXPECT_STREQ(osabi_name(65, 40), "ARM_FDPIC");
  EXPECT_STREQ(osabi_name(97, 40), "ARM");
  EXPECT_STREQ(osabi_name(64, 140), "C6000_ELFABI");
  EXPECT_STREQ(osabi_name(65, 140), "C6000_LINUX");
  EXPECT_STREQ(osabi_name(66, 224), "AMDGPU_MESA3D");
  EXPECT_STREQ(osabi_name(255, 62), "Standalone");
  EXPECT_EQ(osabi_name(64, 62), nullptr);
  EXPECT_EQ(osabi_name(66, 40), nullptr);
  EXPECT_EQ(osabi_name(97, 224), nullptr);
  EXPECT_EQ(osabi_name(5, 62), nullptr);
  EXPECT_STREQ(machine_name(62), "x86_64");
  EXPECT_STREQ(machine_name(243), "riscv");
  EXPECT_EQ(machine_name(260), nullptr);
  EXPECT_STREQ(type_name(3), "dyn");
  EXPECT_EQ(type_name(4), nullptr);
  // Every keyword gives its value on any machine.
  EXPECT_EQ(lookup_osabi("amdgpu_hsa"), 64);
  EXPECT_EQ(lookup_osabi("C6000_LINUX"), 65);
}

TEST(TargetNames, FlagsAreThirtyTwoBitNumbersUnderAMask) {
  struct Accepted {
    const char *text;
    std::uint32_t value, mask;
  };
  for (const Accepted &a : std::initializer_list<Accepted>{
           {"0", 0, UINT32_MAX},
           {"5", 5, UINT32_MAX},
           {"010", 10, UINT32_MAX},
           {"4294967295", UINT32_MAX, UINT32_MAX},
           {"0xffffffff", UINT32_MAX, UINT32_MAX},
           {"0XaB", 0xab, UINT32_MAX},
           {"0x4/0x6", 4, 6},
           {"0x5000400/0xff000600", 0x5000400, 0xff000600},
           {"4/6", 4, 6},
           {"0/0", 0, 0},
       }) {
    MaskedFlags flags;
    EXPECT_TRUE(lookup_flags(a.text, &flags)) << a.text;
    EXPECT_TRUE(flags.given);
    EXPECT_EQ(flags.value, a.value) << a.text;
    EXPECT_EQ(flags.mask, a.mask) << a.text;
  }
  for (const char *text : {"-1",      "+1",  "0x",          "0x1/0x0",    "0x3/0x2",
                           "1 ",      " 1",  "0x100000000", "4294967296", "99999999999999999999",
                           "",        "1/",  "/1",          "0x1//1",     "0x1/0x1/0x1",
                           "0x-1",    "1e3", "0b1",         "0xg",        "1.0",
                           "0x1/ 0x1"}) {
    MaskedFlags flags;
    testing::internal::CaptureStderr();
    EXPECT_FALSE(lookup_flags(text, &flags)) << text;
    EXPECT_EQ(testing::internal::GetCapturedStderr(),
              std::string("hdrtune: Error: Unknown flags: ") + text + "\n");
    EXPECT_FALSE(flags.given) << text;
  }
}

}  // namespace
}  // namespace hdrtune
