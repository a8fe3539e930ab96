// char_class_test.cc - the fixed character classes, case maps and base-name routines.
#include "runtime/char_class.h"

#include <gtest/gtest.h>

#include <cctype>
#include <clocale>

namespace hdrtune {
namespace {

// For ASCII the classes agree with the C library in the "C" locale.
TEST(CharClassTable, AsciiClassesAgreeWithTheCLocale) {
  ASSERT_NE(std::setlocale(LC_CTYPE, "C"), nullptr);
  auto has = [](int b, unsigned mask) { return (char_class_table[b] & mask) != 0; };
  for (int b = 0; b < 128; ++b) {
    SCOPED_TRACE(b);
    EXPECT_EQ(has(b, class_blank), std::isblank(b) != 0);
    EXPECT_EQ(has(b, class_control), std::iscntrl(b) != 0);
    EXPECT_EQ(has(b, class_digit), std::isdigit(b) != 0);
    EXPECT_EQ(has(b, class_lower), std::islower(b) != 0);
    EXPECT_EQ(has(b, class_upper), std::isupper(b) != 0);
    EXPECT_EQ(has(b, class_print), std::isprint(b) != 0);
    EXPECT_EQ(has(b, class_punct), std::ispunct(b) != 0);
    EXPECT_EQ(has(b, class_space), std::isspace(b) != 0);
    EXPECT_EQ(has(b, class_hex_digit), std::isxdigit(b) != 0);
    EXPECT_EQ(has(b, class_ident_start), std::isalpha(b) || b == '_');
    EXPECT_EQ(has(b, class_line_end), b == '\n' || b == '\r');
    EXPECT_EQ(has(b, class_inline_space), b == 0 || (std::isspace(b) && !has(b, class_line_end)));
  }
}

TEST(CaseTables, MapOnlyTheLettersOfOneCase) {
  for (int b = 0; b < 256; ++b) {
    EXPECT_EQ(to_lower_table[b], b >= 'A' && b <= 'Z' ? b + 32 : b) << b;
    EXPECT_EQ(to_upper_table[b], b >= 'a' && b <= 'z' ? b - 32 : b) << b;
  }
}

TEST(BaseName, ReturnsAPointerIntoThePathAfterTheLastSlash) {
  const char *paths[] = {"dir/sub/file", "file", "dir/", "/", "", "a\\b"};
  const int offsets[] = {8, 0, 4, 1, 0, 0};
  for (int i = 0; i < 6; ++i) {
    EXPECT_EQ(base_name(paths[i]), paths[i] + offsets[i]) << paths[i];
    EXPECT_EQ(unix_base_name(paths[i]), paths[i] + offsets[i]) << paths[i];
  }
}

TEST(DosBaseName, SkipsADriveLetterAndSplitsAtEitherSlash) {
  const char *paths[] = {"C:",     "c:file",    "C:\\dir\\file", "C:/dir/file", "dir\\sub/file",
                         "1:file", "\xe9:file", "C:dir\\"};
  const int offsets[] = {2, 2, 7, 7, 8, 0, 0, 6};
  for (int i = 0; i < 8; ++i) EXPECT_EQ(dos_base_name(paths[i]), paths[i] + offsets[i]) << paths[i];
}

}  // namespace
}  // namespace hdrtune
