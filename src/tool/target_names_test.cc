// SPDX-License-Identifier: MIT
// target_names_test.cc - keyword lookups as users spell them.
#include "tool/target_names.h"

#include <gtest/gtest.h>

#include <string>

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

}  // namespace
}  // namespace hdrtune
