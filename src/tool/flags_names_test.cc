// SPDX-License-Identifier: MIT
// flags_names_test.cc - the named fields of the flags word: the table
// against the system's constants, settings resolved, words decoded.
#include "tool/flags_names.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "tool/target_names.h"

// The system's own constants, after every header of ours: they are macros.
#if __has_include(<elf.h>)
#include <elf.h>
#endif

namespace hdrtune {
namespace {

#if defined(EF_RISCV_RVC) && defined(EF_LARCH_OBJABI_V1) && defined(EF_ARM_EABI_VER5)
constexpr std::int64_t no_system_name = -1;

struct SystemRow {
  const char *field, *value;
  std::int64_t mask, bits;
  std::int64_t system_mask, system_bits;
};

const SystemRow system_rows[] = {
#define FLAGS(e_machine, field, value, mask, bits, mask_name, bits_name, when) \
  {field, value, mask, bits, mask_name, bits_name},
#include "tool/flags_names.def"
#undef FLAGS
};
#endif

// Each mask and value the system names has the system's number: a row
// typed wrong, or a name the table lost, fails here.
TEST(FlagsNames, TheTableHasTheValuesOfTheSystemsConstants) {
#ifndef EF_LARCH_OBJABI_V1
  GTEST_SKIP() << "no <elf.h> with today's flags constants";
#else
  std::size_t compared = 0;
  for (const SystemRow &row : system_rows) {
    std::string name = std::string(row.field) + "=" + row.value;
    if (row.system_mask != no_system_name) {
      EXPECT_EQ(row.mask, row.system_mask) << name;
      ++compared;
    }
    if (row.system_bits != no_system_name) {
      EXPECT_EQ(row.bits, row.system_bits) << name;
      ++compared;
    }
  }
  EXPECT_GT(compared, 120u);
#endif
}

// Every name can be set on its machine and is then shown: the bits a
// setting gives are the bits decoding names.
TEST(FlagsNames, EverySettingResolvesAndDecodesBack) {
  for (const FlagsName &row : flags_names()) {
    std::string setting = row.field;
    if (row.value[0]) setting += std::string("=") + row.value;
    EXPECT_EQ(row.bits & ~row.mask, 0u) << setting;
    EXPECT_NE(machine_name(row.e_machine), nullptr) << setting;
    MaskedValue flags;
    const char *missing = nullptr;
    std::size_t length = 0;
    ASSERT_TRUE(resolve_flags_settings(setting.c_str(), row.e_machine, &flags, &missing, &length))
        << setting;
    EXPECT_EQ(flags.mask, row.mask) << setting;
    EXPECT_EQ(flags.value, row.bits) << setting;
    // Under EABI 5 on ARM, so that the float-abi rows mean what they say;
    // the legacy names hold under EABI 0.
    std::uint32_t word = row.bits;
    if (row.when == FlagsGuard::arm_eabi5) word |= 0x05000000;
    DecodedFlags decoded;
    ASSERT_TRUE(decode_flags(word, row.e_machine, &decoded));
    bool found = false;
    for (int i = 0; i < decoded.count; ++i)
      found |= std::strcmp(decoded.names[i].field, row.field) == 0 &&
               (decoded.names[i].value ? std::strcmp(decoded.names[i].value, row.value) == 0
                                       : row.value[0] == '\0');
    EXPECT_TRUE(found) << setting;
  }
}

// Decoding stops after a machine's rows, so they must stand together, and a
// field's values together within them.
TEST(FlagsNames, EachMachinesRowsStandTogether) {
  const FlagsName *previous = nullptr;
  for (const FlagsName &row : flags_names()) {
    if (previous && previous->e_machine != row.e_machine) {
      for (const FlagsName *earlier = flags_names().begin(); earlier != &row; ++earlier) {
        EXPECT_NE(earlier->e_machine, row.e_machine) << row.field;
      }
    }
    previous = &row;
  }
}

TEST(FlagsNames, SettingsOfAListAndTheirRefusals) {
  MaskedValue flags;
  const char *missing = nullptr;
  std::size_t length = 0;
  ASSERT_TRUE(
      resolve_flags_settings("float-abi=double,rvc,no-tso", 243, &flags, &missing, &length));
  EXPECT_EQ(flags.value, 0x5u);
  EXPECT_EQ(flags.mask, 0x17u);
  const char *text = "rvc,eabi=5";
  EXPECT_FALSE(resolve_flags_settings(text, 243, &flags, &missing, &length));
  EXPECT_EQ(missing, text + 4);
  EXPECT_EQ(length, 6u);
  EXPECT_FALSE(resolve_flags_settings("rvc", 62, &flags, &missing, &length));
  EXPECT_TRUE(check_flags_settings(stderr_failures(), "RVC,Float-ABI=Double"));
  for (const char *unknown : {"", "rvc,", ",rvc", "rvc ", "float-abi", "float-abi=", "=double",
                              "no-float-abi", "no-", "rv", "0x5"}) {
    testing::internal::CaptureStderr();
    EXPECT_FALSE(check_flags_settings(stderr_failures(), unknown)) << unknown;
    EXPECT_NE(testing::internal::GetCapturedStderr().find("Unknown flags: "), std::string::npos);
  }
}

TEST(FlagsNames, AWordIsDecodedWithTheBitsNoNameCovers) {
  EXPECT_STREQ(decoded_flags_text(0x5, 243).text, " (rvc, float-abi=double)");
  EXPECT_STREQ(decoded_flags_text(0x100005, 243).text, " (rvc, float-abi=double, 0x100000)");
  EXPECT_STREQ(decoded_flags_text(0x5, 62).text, "");
  EXPECT_STREQ(decoded_flags_text(0, 20).text, "");
  EXPECT_STREQ(decoded_flags_text(0x5000400, 40).text, " (eabi=5, float-abi=hard)");
  EXPECT_STREQ(decoded_flags_text(0x4000400, 40).text, " (eabi=4, 0x400)");
  EXPECT_STREQ(decoded_flags_text(0x400, 40).text, " (eabi=0, vfp-float)");
  // LoongArch's float-abi has no name for 0: the bits stay a number.
  EXPECT_STREQ(decoded_flags_text(0x4, 258).text, " (obj-abi=v0, 0x4)");
  DecodedFlags decoded;
  EXPECT_FALSE(decode_flags(0x5, 62, &decoded));
  EXPECT_EQ(decoded.other_bits, 0x5u);
}

}  // namespace
}  // namespace hdrtune
