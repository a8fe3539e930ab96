// SPDX-License-Identifier: MIT
// archive_test.cc - opening archives: header numbers, index, long-name table, nested switch.
#include "support/archive.h"
#include "runtime/standard_output.h"
#include "support/archive_state.h"
#include "support/archive_test_helpers.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/resource.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>

namespace hdrtune {
namespace {

std::string big_endian(std::uint64_t value, int width) {
  std::string bytes;
  for (int i = width - 1; i >= 0; --i) bytes += static_cast<char>(value >> (8 * i));
  return bytes;
}

const std::string magic = "!<arch>\n";

class ArchiveOpen : public ::testing::Test {
 protected:
  bool open(const std::string &bytes, int read_index = 0) {
    EXPECT_TRUE(open_temp_file(&file, bytes));
    testing::internal::CaptureStdout();
    testing::internal::CaptureStderr();
    bool result = archive_open(&state, "lib.a", &file, 0, read_index);
    out_flush();
    errors = testing::internal::GetCapturedStderr();
    output = testing::internal::GetCapturedStdout();
    return result;
  }
  void TearDown() override {
    archive_release(&state);
    EXPECT_EQ(state.file_name, nullptr);
    EXPECT_EQ(state.long_names.window, nullptr);
    EXPECT_EQ(state.index_offsets, nullptr);
    EXPECT_EQ(state.symbol_names, nullptr);
    if (file.fd >= 0) close_edited_file(&file);
  }

  ArchiveState state;
  PositionedFile file;
  std::string errors, output;
};

TEST(HeaderNumber, ConvertsLikeStrtoul) {
  std::string header = ar_header("/  \t 17:+42", "-5");
  int end = 0;
  EXPECT_EQ(header_number(header.data(), 1, &end), 17u);
  EXPECT_EQ(header[end], ':');
  EXPECT_EQ(header_number(header.data(), end + 1, nullptr), 42u);
  EXPECT_EQ(header_number(header.data(), ar_size_offset, nullptr), UINT64_MAX - 4);
  // No digits: 0, and the end is where the conversion started.
  header = ar_header("/:12", "-");
  EXPECT_EQ(header_number(header.data(), 1, &end), 0u);
  EXPECT_EQ(end, 1);
  EXPECT_EQ(header_number(header.data(), ar_size_offset, &end), 0u);
  EXPECT_EQ(end, ar_size_offset);
}

TEST(HeaderNumber, StopsAtTheGraveAccentAndAtTheHeadersEnd) {
  std::string header = ar_header("x", "9999999999");
  int end = 0;
  EXPECT_EQ(header_number(header.data(), ar_size_offset, &end), 9999999999u);
  EXPECT_EQ(end, ar_fmag_offset);
  // Exactly 60 bytes, so that the sanitizer build catches a read past them.
  char *digits = new char[ar_header_size];
  std::memset(digits, '9', ar_header_size);
  EXPECT_EQ(header_number(digits, 1, &end), UINT64_MAX) << "overflow saturates";
  EXPECT_EQ(end, ar_header_size);
  std::memset(digits, ' ', ar_header_size);
  EXPECT_EQ(header_number(digits, 1, &end), 0u);
  EXPECT_EQ(end, 1);
  delete[] digits;
}

// Numbers of every length at every place a field can start, ended by each
// kind of byte: the value is the digits' own, and the end is past them.
TEST(HeaderNumber, ReadsEachLengthWhereverItStarts) {
  const char ends[] = {' ', ':', '`', '/', '\x00', '\xff', 'a', '9' + 1, '0' - 1, '\xb6', '\xfa'};
  for (int start = 0; start < ar_header_size; ++start) {
    for (int length = 1; start + length <= ar_header_size && length <= 19; ++length) {
      for (char end : ends) {
        std::string header(ar_header_size, end);
        std::uint64_t expected = 0;
        for (int i = 0; i < length; ++i) {
          int digit = (start + 3 * i + length) % 10;
          header[start + i] = static_cast<char>('0' + digit);
          expected = expected * 10 + digit;
        }
        int got_end = -1;
        EXPECT_EQ(header_number(header.data(), start, &got_end), expected)
            << start << ", " << length << ", " << int(end);
        EXPECT_EQ(got_end, start + length) << start << ", " << length << ", " << int(end);
      }
    }
  }
}

// The largest number converts; one digit more, or a larger last digit,
// saturates. A minus sign shows which happened.
TEST(HeaderNumber, SaturatesFromTheFirstNumberPastTheLargest) {
  auto convert = [](const std::string &text) {
    std::string header = padded_field(text, ar_header_size);
    return header_number(header.data(), 0, nullptr);
  };
  EXPECT_EQ(convert("-18446744073709551615"), 1u);
  EXPECT_EQ(convert("-18446744073709551609"), 7u);
  EXPECT_EQ(convert("-18446744073709551616"), UINT64_MAX);
  EXPECT_EQ(convert("-18446744073709551620"), UINT64_MAX);
  EXPECT_EQ(convert("-184467440737095516150"), UINT64_MAX);
  EXPECT_EQ(convert("-01844674407370955161"), UINT64_MAX - 1844674407370955161u + 1);
  // Nineteen digits always fit; twenty may not, wherever the number starts.
  EXPECT_EQ(convert("9999999999999999999"), 9999999999999999999u);
  EXPECT_EQ(convert("  99999999999999999999"), UINT64_MAX);
  EXPECT_EQ(convert("00000000000000000000000000009"), 9u);
}

TEST(BsdNames, HashOneSlashDigitsThenOnlySpaces) {
  std::uint64_t size = 0;
  auto bsd = [&size](const std::string &name) {
    std::string header = ar_header(name, "64");
    return is_bsd_long_name(reinterpret_cast<const ArHeader *>(header.data()), &size);
  };
  EXPECT_TRUE(bsd("#1/12"));
  EXPECT_EQ(size, 12u);
  EXPECT_TRUE(bsd("#1/9999999999999"));
  EXPECT_EQ(size, 9999999999999u) << "digits to the field's end";
  EXPECT_TRUE(bsd("#1/0"));
  EXPECT_EQ(size, 0u);
  for (const char *name : {"#1/", "#1/ 12", "#1/12a", "#1/12 3", "#1/12/", "#2/12", "#1", "/12"})
    EXPECT_FALSE(bsd(name)) << name;
}

TEST(BsdNames, FourSpellingsOfTheIndex) {
  for (const char *name : {"__.SYMDEF", "__.SYMDEF SORTED", "__.SYMDEF_64", "__.SYMDEF_64 SORTED"})
    EXPECT_TRUE(is_bsd_index_name(name, std::strlen(name))) << name;
  for (const char *name : {"__.SYMDEF ", "__.SYMDEF_32", "__.SYMDE", "/", "__.SYMDEF SORTED "})
    EXPECT_FALSE(is_bsd_index_name(name, std::strlen(name))) << name;
}

// Sizes claimed by headers must be checked against the file before anything
// that large is allocated. The child gets an address-space limit of 256 MiB
// above what it uses, so an allocation of the claimed size would fail there.
TEST(ArchiveOpenDeathTest, ClaimedSizesLargerThanTheFileAllocateNothing) {
  auto open_under_limit = [](const std::string &bytes, int read_index) {
    PositionedFile file;
    if (!open_temp_file(&file, bytes)) std::exit(3);
    long pages = 0;
    std::FILE *statm = std::fopen("/proc/self/statm", "r");
    if (!statm || std::fscanf(statm, "%ld", &pages) != 1) std::exit(2);
    std::fclose(statm);
    rlim_t limit = pages * 4096ul + (256ul << 20);
    rlimit rl = {limit, limit};
    setrlimit(RLIMIT_AS, &rl);
    ArchiveState state;
    std::exit(archive_open(&state, "lib.a", &file, 0, read_index) ? 0 : 1);
  };
  EXPECT_EXIT(open_under_limit(magic + ar_header("//", "9999999999") + "abcdefgh", 0),
              testing::ExitedWithCode(1), "lib.a: failed to read long symbol name string table");
  std::string index = ar_header("/", "9999999999") + big_endian(2000000000, 4);
  EXPECT_EXIT(open_under_limit(magic + index + "abcdefgh", 1), testing::ExitedWithCode(1),
              "lib.a: failed to read archive index\n");
  index = ar_header("/", "9999999999") + big_endian(1, 4) + big_endian(0, 4);
  EXPECT_EXIT(open_under_limit(magic + index + "abcdefgh", 1), testing::ExitedWithCode(1),
              "lib.a: failed to read archive index symbol table\n");
}

// A file that cannot be read fails the open: a read error is not an archive
// without members.
TEST_F(ArchiveOpen, ReadErrorIsNotTheEndOfTheArchive) {
  ASSERT_TRUE(open_temp_file(&file, magic + ar_member("a.o/", "x")));
  int write_only = ::open(("/proc/self/fd/" + std::to_string(file.fd)).c_str(), O_WRONLY);
  ASSERT_GE(write_only, 0);
  std::swap(file.fd, write_only);
  testing::internal::CaptureStderr();
  EXPECT_FALSE(archive_open(&state, "lib.a", &file, 0, 0));
  EXPECT_EQ(testing::internal::GetCapturedStderr(),
            "hdrtune: Error: lib.a: failed to read archive header\n");
  close(write_only);
}

// Only the first member tells: a "#1/N" name or a BSD index under a short
// name. A thin archive is never taken for one.
TEST_F(ArchiveOpen, FirstMemberTellsAnArchiveWrittenTheBsdWay) {
  for (const char *first : {"#1/8", "__.SYMDEF", "__.SYMDEF SORTED", "__.SYMDEF_64"}) {
    EXPECT_TRUE(open(magic + ar_member(first, "a.o\0\0\0\0\0"))) << errors;
    EXPECT_EQ(state.is_bsd, 1) << first;
    archive_release(&state);
    close_edited_file(&file);
  }
  for (const char *first : {"a.o", "a.o/", "#1/8x", "__.SYMDEF/"}) {
    EXPECT_TRUE(open(magic + ar_member(first, "a.o\0\0\0\0\0") + ar_member("#1/8", "b.o")));
    EXPECT_EQ(state.is_bsd, 0) << first;
    archive_release(&state);
    close_edited_file(&file);
  }
  ASSERT_TRUE(open_temp_file(&file, "!<thin>\n" + ar_header("#1/8", "64")));
  EXPECT_TRUE(archive_open(&state, "thin.a", &file, 1, 0));
  EXPECT_EQ(state.is_bsd, 0);
}

TEST_F(ArchiveOpen, ReadIndexOfEitherWidth) {
  std::string data =
      big_endian(2, 4) + big_endian(0x84, 4) + big_endian(0x1f0, 4) + std::string("foo\0bar", 7);
  std::string bytes = magic + ar_member("/", data) + ar_member("//", "averyveryverylongname.o/\n");
  EXPECT_TRUE(open(bytes, 1));
  EXPECT_EQ(errors + output, "");
  ASSERT_EQ(state.index_count, 2u);
  EXPECT_EQ(state.index_offsets[0], 0x84u);
  EXPECT_EQ(state.index_offsets[1], 0x1f0u);
  // 19 bytes of data: the pad byte belongs to the symbol-name table.
  EXPECT_EQ(std::string(reinterpret_cast<char *>(state.symbol_names), state.symbol_names_size),
            std::string("foo\0bar\n", 8));
  EXPECT_TRUE(state.long_names.present) << "the table after a read index is found";
  EXPECT_EQ(state.next_header_offset, bytes.size());
  TearDown();
  state = ArchiveState();

  data = big_endian(1, 8) + big_endian(0x1122334455667788, 8) + "main";
  EXPECT_TRUE(open(magic + ar_member("/SYM64/", data) + ar_member("a.o/", "x"), 1));
  EXPECT_EQ(state.index_is_64bit, 1);
  ASSERT_EQ(state.index_count, 1u);
  EXPECT_EQ(state.index_offsets[0], 0x1122334455667788u);
  EXPECT_EQ(std::string(reinterpret_cast<char *>(state.symbol_names), state.symbol_names_size),
            "main");
  EXPECT_EQ(std::string(state.header.ar_name, 4), "a.o/") << "the header after the index is read";
}

TEST_F(ArchiveOpen, ReadIndexRefusesIndexesThatDoNotAddUp) {
  struct Case {
    std::string member;
    const char *message;
  } cases[] = {
      {ar_header("/", "2") + "ab", "hdrtune: Error: lib.a: the archive index is empty\n"},
      {ar_header("/", "3") + big_endian(1, 4),
       "hdrtune: Error: lib.a: the archive index is supposed to have 0x1 entries of 4 bytes, "
       "but the size is only 0x0\n"},
      {ar_header("/", "8") + big_endian(1, 4) + big_endian(0x44, 4),
       "hdrtune: Error: lib.a: the archive has an index but no symbols\n"},
      {ar_header("/", "8") + "ab", "hdrtune: Error: lib.a: failed to read archive index\n"},
      {ar_header("/", "12") + big_endian(2, 4) + big_endian(0x44, 4),
       "hdrtune: Error: lib.a: failed to read archive index\n"},
      {ar_header("/", "8") + big_endian(0, 4) + "ab",
       "hdrtune: Error: lib.a: failed to read archive index symbol table\n"},
      {ar_header("/", "12") + big_endian(0x40000000, 4) + "abcd",
       "hdrtune: Error: lib.a: the archive index is supposed to have 0x40000000 entries of "
       "4 bytes, but the size is only 0x8\n"},
  };
  for (const Case &c : cases) {
    EXPECT_FALSE(open(magic + c.member, 1)) << c.message;
    EXPECT_EQ(errors, c.message);
    TearDown();
    state = ArchiveState();
  }
}

TEST_F(ArchiveOpen, MissingIndexIsAnnouncedOnlyWhenAskedToRead) {
  std::string bytes = magic + ar_member("a.o/", "x");
  EXPECT_TRUE(open(bytes, 1));
  EXPECT_EQ(output, "lib.a has no archive index\n");
  EXPECT_EQ(errors, "");
  TearDown();
  state = ArchiveState();
  EXPECT_TRUE(open(bytes, 0));
  EXPECT_EQ(output, "");
}

class ArchiveSwitchNested : public ::testing::Test {
 protected:
  void SetUp() override {
    char pattern[] = "/tmp/archive_test.XXXXXX";
    ASSERT_NE(mkdtemp(pattern), nullptr);
    dir = pattern;
  }
  void TearDown() override {
    if (nested.file) close_edited_file(nested.file);
    archive_release(&nested);
    std::filesystem::remove_all(dir);
  }
  std::string write(const std::string &name, const std::string &bytes) {
    std::string path = dir + "/" + name;
    std::ofstream(path, std::ios::binary) << bytes;
    return path;
  }

  std::string dir;
  ArchiveState nested;
};

TEST_F(ArchiveSwitchNested, SamePathKeepsTheArchiveOpenAndAFailedOpenKeepsTheFile) {
  std::string lib = write("lib.a", magic + ar_member("//", "averyveryverylongname.o/\n"));
  EXPECT_EQ(archive_switch_nested(&nested, lib.c_str(), FileAccess{}), NestedOpen::opened);
  ASSERT_NE(nested.file, nullptr);
  int first = nested.file->fd;
  EXPECT_EQ(archive_switch_nested(&nested, lib.c_str(), FileAccess{}), NestedOpen::opened);
  EXPECT_EQ(nested.file->fd, first) << "the archive was opened again";
  EXPECT_TRUE(nested.long_names.present) << "the tables are kept";

  std::string broken = write("broken.a", magic + ar_member("//", "a.o/\nb/"));
  testing::internal::CaptureStderr();
  EXPECT_EQ(archive_switch_nested(&nested, broken.c_str(), FileAccess{}), NestedOpen::failed);
  EXPECT_EQ(testing::internal::GetCapturedStderr(),
            "hdrtune: Error: " + broken + ": long name table is too small, (size = 7)\n");
  EXPECT_NE(nested.file, nullptr) << "the walk closes it";
  EXPECT_EQ(nested.file_name, broken);
}

// What the walk sees of a reader: its path and kind once started, whether
// it holds a file, and why a nested archive could not be switched to.
TEST_F(ArchiveSwitchNested, TheReaderSeenFromOutside) {
  ArchiveState *state = archive_create(stderr_failures());
  ASSERT_NE(state, nullptr);
  EXPECT_EQ(archive_path(state), nullptr);
  EXPECT_FALSE(archive_is_open(state));
  PositionedFile file;
  ASSERT_TRUE(open_temp_file(&file, "!<thin>\n"));
  ASSERT_TRUE(archive_start(state, "some/thin.a", &file, 1));
  EXPECT_STREQ(archive_path(state), "some/thin.a");
  EXPECT_TRUE(archive_is_thin(state));
  EXPECT_TRUE(archive_is_open(state));
  archive_destroy(state);
  close_edited_file(&file);

  std::string object = write("a.o", "\177ELF");
  EXPECT_EQ(archive_switch_nested(&nested, object.c_str(), FileAccess{}),
            NestedOpen::not_an_archive);
  EXPECT_FALSE(archive_is_open(&nested));
  std::string missing = dir + "/missing.a";
  testing::internal::CaptureStderr();
  EXPECT_EQ(archive_switch_nested(&nested, missing.c_str(), FileAccess{}), NestedOpen::failed);
  EXPECT_EQ(testing::internal::GetCapturedStderr(), "") << "the walk says it is not readable";
  EXPECT_FALSE(archive_is_open(&nested));
  std::string lib = write("lib.a", magic);
  EXPECT_EQ(archive_switch_nested(&nested, lib.c_str(), FileAccess{}), NestedOpen::opened);
  EXPECT_FALSE(archive_is_thin(&nested));
  EXPECT_TRUE(archive_close_nested(&nested));
  EXPECT_FALSE(archive_is_open(&nested));
  EXPECT_EQ(archive_path(&nested), nullptr);
}

}  // namespace
}  // namespace hdrtune
