// SPDX-License-Identifier: MIT
// target_names_test.cc - keyword lookups as users spell them.
#include "tool/target_names.h"

#include <gtest/gtest.h>

#include <strings.h>

#include <cctype>
#include <cstring>
#include <iterator>
#include <string>
#include <vector>

#include "tool/flags_names.h"

// The system's own constants, after every header of ours: they are macros.
#if __has_include(<elf.h>)
#include <elf.h>
#endif

namespace hdrtune {
namespace {

TEST(TargetNames, KeywordsIgnoreCase) {
  EXPECT_EQ(lookup_machine(stderr_failures(), "X86-64"), 62);
  EXPECT_EQ(lookup_machine(stderr_failures(), "x86_64"), 62);
  EXPECT_EQ(lookup_machine(stderr_failures(), "I386"), 3);
  EXPECT_EQ(lookup_machine(stderr_failures(), "IAMCU"), 6);
  EXPECT_EQ(lookup_machine(stderr_failures(), "K1om"), 181);
  EXPECT_EQ(lookup_type(stderr_failures(), "EXEC"), 2);
  EXPECT_EQ(lookup_type(stderr_failures(), "Dyn"), 3);
  EXPECT_EQ(lookup_osabi(stderr_failures(), "freebsd"), 9);
  EXPECT_EQ(lookup_osabi(stderr_failures(), "fenixos"), 16);
}

TEST(TargetNames, NoneAndTheTwoLinuxSpellings) {
  EXPECT_EQ(lookup_machine(stderr_failures(), "none"), 0);
  EXPECT_EQ(lookup_type(stderr_failures(), "none"), 0);
  EXPECT_EQ(lookup_osabi(stderr_failures(), "none"), 0);
  EXPECT_EQ(lookup_osabi(stderr_failures(), "Linux"), 3);
  EXPECT_EQ(lookup_osabi(stderr_failures(), "velm"), 3);
}

// Returns what a lookup printed on stderr.
template <typename Lookup>
std::string refusal(Lookup lookup, const char *keyword, std::int32_t *result) {
  testing::internal::CaptureStderr();
  *result = lookup(stderr_failures(), keyword);
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

// Keeps the messages of the failures it is handed.
struct CollectedFailures final : FailureSink {
  std::string messages;
  void take(const Failure &failure) override { messages += failure.message; }
};

// A refusal goes to the sink the lookup was given, and nowhere else: a
// run's reporter renders it (as a record under --json).
TEST(TargetNames, RefusalsGoToTheSinkGiven) {
  CollectedFailures failures;
  MaskedValue flags;
  Target target;
  std::int32_t osabi = 0, machine = 0;
  testing::internal::CaptureStderr();
  EXPECT_EQ(lookup_type(failures, "exe"), -1);
  EXPECT_FALSE(lookup_target(failures, "x86", &target));
  EXPECT_FALSE(lookup_osabi_row(failures, "ARM_EABI", &osabi, &machine));
  EXPECT_EQ(lookup_abi_version(failures, "256"), -1);
  const char *names = nullptr;
  EXPECT_FALSE(lookup_flags_setting(failures, "0x3/0x2", &flags, &names));
  EXPECT_EQ(testing::internal::GetCapturedStderr(), "");
  EXPECT_EQ(failures.messages,
            "Unknown type: exe\nUnknown machine type: x86\nUnknown OSABI: ARM_EABI\n"
            "Unknown ABI version: 256\nUnknown flags: 0x3/0x2\n");
  EXPECT_TRUE(lookup_osabi_row(failures, "arm_aeabi", &osabi, &machine));
  EXPECT_EQ(osabi, 64);
  EXPECT_EQ(machine, 40);
}

TEST(TargetNames, AbiVersionsAreDecimalNumbersUpTo255) {
  EXPECT_EQ(lookup_abi_version(stderr_failures(), "0"), 0);
  EXPECT_EQ(lookup_abi_version(stderr_failures(), "7"), 7);
  EXPECT_EQ(lookup_abi_version(stderr_failures(), "255"), 255);
  EXPECT_EQ(lookup_abi_version(stderr_failures(), "0255"), 255);
  std::int32_t result = 0;
  for (const char *text :
       {"256", "-1", "+1", "0x1", " 1", "1 ", "", "1e2", "99999999999999999999"}) {
    EXPECT_EQ(refusal(lookup_abi_version, text, &result),
              std::string("hdrtune: Error: Unknown ABI version: ") + text + "\n");
    EXPECT_EQ(result, -1) << text;
  }
}

// Every row of the tables beside the constant the system's headers give its
// value, read from the same .def files as the tool's tables. A row whose
// value no system header names carries registry_only.
#if __has_include(<elf.h>) && __has_include(<linux/elf-em.h>)
#include <linux/elf-em.h>
#endif
#if defined(EM_LOONGARCH) && defined(EM_K10M) && defined(ELFOSABI_ARM_AEABI) && defined(EM_S390_OLD)
#define HAVE_SYSTEM_ELF_CONSTANTS 1
constexpr std::int64_t registry_only = -2;

struct Expected {
  const char *keyword;
  std::int64_t value;
  std::int64_t system_value;
};

const Expected system_machines[] = {
#define MACHINE(keyword, e_machine, elf_name, elf_class) {keyword, e_machine, elf_name},
#include "tool/machines.def"
#undef MACHINE
};
const Expected system_types[] = {
#define TYPE(keyword, e_type, elf_name) {keyword, e_type, elf_name},
#include "tool/types.def"
#undef TYPE
};
const Expected system_osabis[] = {
#define OSABI(keyword, osabi, elf_name, e_machine) {keyword, osabi, elf_name},
#include "tool/osabis.def"
#undef OSABI
};
#endif

TEST(TargetNames, EveryKeywordHasTheValueOfItsElfConstant) {
#ifndef HAVE_SYSTEM_ELF_CONSTANTS
  GTEST_SKIP() << "no <elf.h> with today's constants";
#else
  std::size_t named = 0;
  for (const auto &list :
       {std::vector<Expected>(std::begin(system_machines), std::end(system_machines)),
        std::vector<Expected>(std::begin(system_types), std::end(system_types)),
        std::vector<Expected>(std::begin(system_osabis), std::end(system_osabis))})
    for (const Expected &e : list) {
      if (e.system_value == registry_only) continue;
      EXPECT_EQ(e.value, e.system_value) << e.keyword;
      ++named;
    }
  // The system names nearly every value: a table that lost its constants
  // would pass the loop above unchecked.
  EXPECT_GT(named, 190u);
  for (const Expected &e : system_machines)
    EXPECT_EQ(lookup_machine(stderr_failures(), e.keyword), e.value);
  for (const Expected &e : system_types)
    EXPECT_EQ(lookup_type(stderr_failures(), e.keyword), e.value);
  for (const Expected &e : system_osabis)
    EXPECT_EQ(lookup_osabi(stderr_failures(), e.keyword), e.value);
  // The values toolchains wrote before the registry's: alpha is what every
  // Linux alpha toolchain writes, the registry's number has a keyword of its own.
  EXPECT_EQ(lookup_machine(stderr_failures(), "alpha"), EM_ALPHA);
  EXPECT_EQ(lookup_machine(stderr_failures(), "alpha_std"), EM_FAKE_ALPHA);
  EXPECT_STREQ(machine_name(EM_ALPHA), "alpha");
  EXPECT_STREQ(machine_name(EM_FAKE_ALPHA), "alpha_std");
  for (std::int32_t old : {EM_S390_OLD, EM_CYGNUS_M32R, EM_CYGNUS_MN10300, EM_FRV})
    EXPECT_NE(machine_name(old), nullptr) << old;
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
  EXPECT_EQ(lookup_machine(stderr_failures(), "AArch64"), 183);
  EXPECT_EQ(lookup_machine(stderr_failures(), "i860"), 7);
  EXPECT_EQ(lookup_machine(stderr_failures(), "M68K"), 4);
  EXPECT_EQ(class_for_machine(183), either_class);
  EXPECT_EQ(class_for_machine(8), either_class);
  std::int32_t result = 0;
  for (const char *refused :
       {"860", "68k", "x86", "x86_32", "EM_ARM", "arm ", "aarch", "183", "riscv6", "mips64le"})
    EXPECT_EQ(refusal(lookup_machine, refused, &result),
              std::string("hdrtune: Error: Unknown machine type: ") + refused + "\n");
}

// A target name gives its machine with the class and byte order it means;
// a machine keyword leaves the byte order open. No alias hides a keyword,
// and every alias's machine has one to be listed by.
TEST(TargetNames, AliasesImplyClassAndByteOrder) {
  Target t;
  ASSERT_TRUE(lookup_target(stderr_failures(), "MIPSEL", &t));
  EXPECT_EQ(t.e_machine, 8);
  EXPECT_EQ(t.elf_class, 1);
  EXPECT_EQ(t.data_encoding, 1);
  ASSERT_TRUE(lookup_target(stderr_failures(), "ppc64le", &t));
  EXPECT_EQ(t.e_machine, 21);
  EXPECT_EQ(t.elf_class, 2);
  EXPECT_EQ(t.data_encoding, 1);
  ASSERT_TRUE(lookup_target(stderr_failures(), "s390x", &t));
  EXPECT_EQ(t.elf_class, 2);
  EXPECT_EQ(t.data_encoding, 2);
  ASSERT_TRUE(lookup_target(stderr_failures(), "mips", &t));
  EXPECT_EQ(t.elf_class, either_class);
  EXPECT_EQ(t.data_encoding, any_byte_order);
  ASSERT_TRUE(lookup_target(stderr_failures(), "iamcu", &t));
  EXPECT_EQ(t.elf_class, 1);
  EXPECT_EQ(lookup_machine(stderr_failures(), "amd64"), 62);
  for (const TargetAlias &alias : target_aliases()) {
    EXPECT_NE(machine_name(alias.e_machine), nullptr) << alias.name;
    for (const KeywordRow &row : machine_keywords) EXPECT_NE(strcasecmp(alias.name, row.name), 0);
    // The class an alias implies never contradicts the machine's own.
    std::int32_t own = class_for_machine(alias.e_machine);
    EXPECT_TRUE(own == either_class || own == alias.elf_class) << alias.name;
  }
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
  EXPECT_EQ(lookup_osabi(stderr_failures(), "amdgpu_hsa"), 64);
  EXPECT_EQ(lookup_osabi(stderr_failures(), "C6000_LINUX"), 65);
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
    MaskedValue flags;
    const char *names = "";
    EXPECT_TRUE(lookup_flags_setting(stderr_failures(), a.text, &flags, &names)) << a.text;
    EXPECT_EQ(names, nullptr) << a.text;
    EXPECT_TRUE(flags.given);
    EXPECT_EQ(flags.value, a.value) << a.text;
    EXPECT_EQ(flags.mask, a.mask) << a.text;
  }
  for (const char *text : {"-1",      "+1",  "0x",          "0x1/0x0",    "0x3/0x2",
                           "1 ",      " 1",  "0x100000000", "4294967296", "99999999999999999999",
                           "",        "1/",  "/1",          "0x1//1",     "0x1/0x1/0x1",
                           "0x-1",    "1e3", "0b1",         "0xg",        "1.0",
                           "0x1/ 0x1"}) {
    MaskedValue flags;
    const char *names = nullptr;
    testing::internal::CaptureStderr();
    EXPECT_FALSE(lookup_flags_setting(stderr_failures(), text, &flags, &names)) << text;
    EXPECT_EQ(testing::internal::GetCapturedStderr(),
              std::string("hdrtune: Error: Unknown flags: ") + text + "\n");
    EXPECT_FALSE(flags.given) << text;
  }
}

}  // namespace
}  // namespace hdrtune
