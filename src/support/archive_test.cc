// archive_test.cc - opening archives: header numbers, index, long-name table, nested switch.
#include "support/archive.h"

#include <gtest/gtest.h>
#include <sys/resource.h>

#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>

namespace hdrtune {
namespace {

std::string padded_field(std::string text, std::size_t width) {
  text.resize(width, ' ');
  return text;
}

std::string ar_header(const std::string &name, const std::string &size) {
  return padded_field(name, 16) + padded_field("0", 12) + padded_field("0", 6) +
         padded_field("0", 6) + padded_field("644", 8) + padded_field(size, 10) + "`\n";
}

// A member with its data and, for odd sizes, the pad byte.
std::string ar_member(const std::string &name, const std::string &data) {
  std::string member = ar_header(name, std::to_string(data.size())) + data;
  if (data.size() % 2) member += '\n';
  return member;
}

std::string big_endian(std::uint64_t value, int width) {
  std::string bytes;
  for (int i = width - 1; i >= 0; --i) bytes += static_cast<char>(value >> (8 * i));
  return bytes;
}

const std::string magic = "!<arch>\n";

class ArchiveOpen : public ::testing::Test {
 protected:
  int open(const std::string &bytes, int read_index = 0) {
    stream = std::tmpfile();
    std::fwrite(bytes.data(), 1, bytes.size(), stream);
    testing::internal::CaptureStdout();
    testing::internal::CaptureStderr();
    int result = archive_open(&state, "lib.a", stream, 0, read_index);
    errors = testing::internal::GetCapturedStderr();
    output = testing::internal::GetCapturedStdout();
    return result;
  }
  void TearDown() override {
    archive_release(&state);
    EXPECT_EQ(state.file_name, nullptr);
    EXPECT_EQ(state.long_names, nullptr);
    EXPECT_EQ(state.index_offsets, nullptr);
    EXPECT_EQ(state.symbol_names, nullptr);
    if (stream) std::fclose(stream);
    stream = nullptr;
  }
  long position() { return std::ftell(stream); }

  ArchiveState state;
  std::FILE *stream = nullptr;
  std::string errors, output;
};

TEST(HeaderNumber, ReadsSpacePaddedFieldsLikeStrtoul) {
  std::string header = ar_header("foo.o/", "1234");
  int end = 0;
  EXPECT_EQ(header_number(header.data(), ar_size_offset, &end), 1234u);
  EXPECT_EQ(end, ar_size_offset + 4);
  header = ar_header("/  \t 17:+42", "-5");
  EXPECT_EQ(header_number(header.data(), 1, &end), 17u);
  EXPECT_EQ(header[end], ':');
  EXPECT_EQ(header_number(header.data(), end + 1, nullptr), 42u);
  EXPECT_EQ(header_number(header.data(), ar_size_offset, nullptr), UINT64_MAX - 4);
}

TEST(HeaderNumber, NoDigitsGiveZeroAndEndWhereTheyStarted) {
  std::string header = ar_header("/:12", "");
  int end = -1;
  EXPECT_EQ(header_number(header.data(), 1, &end), 0u);
  EXPECT_EQ(end, 1);
  EXPECT_EQ(header_number(header.data(), ar_size_offset, &end), 0u);
  EXPECT_EQ(end, ar_size_offset) << "a blank field converts nothing";
  header = ar_header("x", "-");
  EXPECT_EQ(header_number(header.data(), ar_size_offset, &end), 0u);
  EXPECT_EQ(end, ar_size_offset);
}

TEST(HeaderNumber, StopsAtTheGraveAccentAndAtTheHeadersEnd) {
  std::string header = ar_header("x", "9999999999");
  int end = 0;
  EXPECT_EQ(header_number(header.data(), ar_size_offset, &end), 9999999999u);
  EXPECT_EQ(end, ar_fmag_offset);
  // Digits up to the 60th byte: the conversion must stop there, and the
  // buffer is exactly 60 bytes so that a read past it is caught.
  char *digits = new char[ar_header_size];
  std::memset(digits, '9', ar_header_size);
  digits[0] = '/';
  EXPECT_EQ(header_number(digits, 1, &end), UINT64_MAX) << "overflow saturates";
  EXPECT_EQ(end, ar_header_size);
  std::memset(digits, ' ', ar_header_size);
  digits[ar_header_size - 1] = '7';
  EXPECT_EQ(header_number(digits, 1, &end), 7u);
  std::memset(digits, ' ', ar_header_size);
  EXPECT_EQ(header_number(digits, 1, &end), 0u);
  EXPECT_EQ(end, 1);
  delete[] digits;
}

TEST(HeaderNumber, ValidFmagIsGraveAccentThenNewline) {
  std::string header = ar_header("foo.o/", "4");
  EXPECT_TRUE(has_valid_fmag(header.data()));
  header[ar_fmag_offset + 1] = '\r';
  EXPECT_FALSE(has_valid_fmag(header.data()));
  header = ar_header("foo.o/", "4");
  header[ar_fmag_offset] = '\'';
  EXPECT_FALSE(has_valid_fmag(header.data()));
}

TEST_F(ArchiveOpen, OnlyTheMagicIsAnEmptyArchive) {
  EXPECT_EQ(open(magic), 0);
  EXPECT_EQ(state.next_header_offset, 8u);
  EXPECT_STREQ(state.file_name, "lib.a");
  EXPECT_EQ(state.long_names, nullptr);
  EXPECT_EQ(errors, "");
}

TEST_F(ArchiveOpen, OrdinaryFirstMemberIsLeftForTheWalk) {
  std::string bytes = magic + ar_member("foo.o/", "abcd") +
                      ar_member("//", "averyveryverylongname.o/\n");
  EXPECT_EQ(open(bytes), 0);
  EXPECT_EQ(state.next_header_offset, 8u);
  EXPECT_EQ(state.long_names, nullptr) << "a table after an ordinary member is a member";
  EXPECT_EQ(errors, "");
}

TEST_F(ArchiveOpen, IndexIsSteppedOverWithItsPadByte) {
  std::string bytes = magic + ar_member("/", std::string(13, 'i')) + ar_member("foo.o/", "x");
  EXPECT_EQ(open(bytes), 0);
  EXPECT_EQ(state.next_header_offset, 8u + 60 + 14);
  EXPECT_EQ(position(), 8 + 60 + 14 + 60) << "the header after the index is read";
  EXPECT_EQ(std::string(state.header, 6), "foo.o/");
  EXPECT_EQ(state.index_is_64bit, 0);
  EXPECT_EQ(state.index_offsets, nullptr) << "a stepped-over index is not read";
}

TEST_F(ArchiveOpen, ArchiveOfOnlyAnIndexEndsThere) {
  std::string bytes = magic + ar_member("/SYM64/", std::string(24, 'i'));
  EXPECT_EQ(open(bytes), 0);
  EXPECT_EQ(state.next_header_offset, bytes.size());
  EXPECT_EQ(std::string(state.header, 7), "/SYM64/") << "header keeps the index's";
  EXPECT_EQ(state.index_is_64bit, 1);
}

TEST_F(ArchiveOpen, LongNameTableFirstOrAfterTheIndexIsLoaded) {
  std::string table = "averyveryverylongname.o/\nb/\n";
  EXPECT_EQ(open(magic + ar_member("//", table) + ar_member("a.o/", "x")), 0);
  ASSERT_NE(state.long_names, nullptr);
  EXPECT_EQ(std::string(state.long_names, table.size() + 1), table + '\0');
  EXPECT_EQ(state.long_names_size, table.size());
  EXPECT_EQ(state.next_header_offset, 8 + 60 + table.size());
  TearDown();
  state = ArchiveState();

  std::string odd_table = "averyveryverylongname.o/\n";
  EXPECT_EQ(open(magic + ar_member("/", "0123") + ar_member("//", odd_table)), 0);
  ASSERT_NE(state.long_names, nullptr);
  EXPECT_STREQ(state.long_names, odd_table.c_str());
  EXPECT_EQ(state.next_header_offset, 8 + 60 + 4 + 60 + odd_table.size() + 1);
  EXPECT_EQ(position(), static_cast<long>(state.next_header_offset)) << "pad byte consumed";
}

TEST_F(ArchiveOpen, LongNameTableOfSevenBytesIsTooSmallAndEightLoads) {
  EXPECT_EQ(open(magic + ar_member("//", "a.o/\nb/")), 1);
  EXPECT_EQ(errors, "hdrtune: Error: lib.a: long name table is too small, (size = 7)\n");
  TearDown();
  state = ArchiveState();
  EXPECT_EQ(open(magic + ar_member("//", "a.o/\nbc/")), 0);
  EXPECT_EQ(state.long_names_size, 8u);
}

TEST_F(ArchiveOpen, NegativeLongNameTableSizeIsTooBig) {
  EXPECT_EQ(open(magic + ar_header("//", "-5") + "abcdefgh"), 1);
  EXPECT_EQ(errors,
            "hdrtune: Error: lib.a: long name table is too big, (size = 0xfffffffffffffffb)\n");
  EXPECT_EQ(state.long_names, nullptr);
}

TEST_F(ArchiveOpen, LongNameTableCutShortIsNotRead) {
  EXPECT_EQ(open(magic + ar_header("//", "30") + "only twenty-two bytes!"), 1);
  EXPECT_EQ(errors, "hdrtune: Error: lib.a: failed to read long symbol name string table\n");
  EXPECT_EQ(state.long_names, nullptr);
}

// Sizes claimed by headers must be checked against the file before anything
// that large is allocated. The child gets an address-space limit of 256 MiB
// above what it uses, so an allocation of the claimed size would fail there.
TEST(ArchiveOpenDeathTest, ClaimedSizesLargerThanTheFileAllocateNothing) {
  auto open_under_limit = [](const std::string &bytes, int read_index) {
    std::FILE *stream = std::tmpfile();
    std::fwrite(bytes.data(), 1, bytes.size(), stream);
    long pages = 0;
    std::FILE *statm = std::fopen("/proc/self/statm", "r");
    if (!statm || std::fscanf(statm, "%ld", &pages) != 1) std::exit(2);
    std::fclose(statm);
    rlim_t limit = pages * 4096ul + (256ul << 20);
    rlimit rl = {limit, limit};
    setrlimit(RLIMIT_AS, &rl);
    ArchiveState state;
    int result = archive_open(&state, "lib.a", stream, 0, read_index);
    std::exit(result);
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

TEST_F(ArchiveOpen, BrokenFirstHeadersAndIndexSizes) {
  EXPECT_EQ(open(magic + ar_header("foo.o/", "4").substr(0, 59)), 1);
  EXPECT_EQ(errors, "hdrtune: Error: lib.a: failed to read archive header\n");
  TearDown();
  state = ArchiveState();
  EXPECT_EQ(open(magic + ar_header("/", "-5") + "abcd"), 1);
  EXPECT_EQ(errors, "hdrtune: Error: lib.a: invalid archive header size: -5\n");
  TearDown();
  state = ArchiveState();
  EXPECT_EQ(open(magic + ar_member("/", "abcd") + "!<arch>\n"), 1);
  EXPECT_EQ(errors,
            "hdrtune: Error: lib.a: failed to read archive header following archive index\n");
}

TEST_F(ArchiveOpen, ReadIndexOfFourByteEntries) {
  std::string data = big_endian(2, 4) + big_endian(0x84, 4) + big_endian(0x1f0, 4) +
                     std::string("foo\0bar", 7);
  std::string bytes = magic + ar_member("/", data) + ar_member("//", "averyveryverylongname.o/\n");
  ASSERT_EQ(data.size(), 19u);
  EXPECT_EQ(open(bytes, 1), 0);
  EXPECT_EQ(errors, "");
  EXPECT_EQ(output, "");
  ASSERT_EQ(state.index_count, 2u);
  EXPECT_EQ(state.index_offsets[0], 0x84u);
  EXPECT_EQ(state.index_offsets[1], 0x1f0u);
  // The pad byte belongs to the symbol-name table.
  ASSERT_EQ(state.symbol_names_size, 8u);
  EXPECT_EQ(std::string(reinterpret_cast<char *>(state.symbol_names), 8),
            std::string("foo\0bar\n", 8));
  ASSERT_NE(state.long_names, nullptr) << "the table after a read index is found";
  EXPECT_EQ(state.next_header_offset, bytes.size());
}

TEST_F(ArchiveOpen, ReadIndexOfEightByteEntries) {
  std::string data = big_endian(1, 8) + big_endian(0x1122334455667788, 8) + "main";
  EXPECT_EQ(open(magic + ar_member("/SYM64/", data) + ar_member("a.o/", "x"), 1), 0);
  EXPECT_EQ(state.index_is_64bit, 1);
  ASSERT_EQ(state.index_count, 1u);
  EXPECT_EQ(state.index_offsets[0], 0x1122334455667788u);
  EXPECT_EQ(std::string(reinterpret_cast<char *>(state.symbol_names), 4), "main");
  EXPECT_EQ(std::string(state.header, 4), "a.o/");
}

TEST_F(ArchiveOpen, ReadIndexRefusesIndexesThatDoNotAddUp) {
  struct Case {
    std::string member;
    const char *message;
  } cases[] = {
      {ar_header("/", "2") + "ab",
       "hdrtune: Error: lib.a: the archive index is empty\n"},
      {ar_header("/", "3") + big_endian(1, 4),
       "hdrtune: Error: lib.a: the archive index is supposed to have 0x1 entries of 4 bytes, "
       "but the size is only 0x0\n"},
      {ar_header("/", "8") + big_endian(1, 4) + big_endian(0x44, 4),
       "hdrtune: Error: lib.a: the archive has an index but no symbols\n"},
      {ar_header("/", "8") + "ab",
       "hdrtune: Error: lib.a: failed to read archive index\n"},
      {ar_header("/", "12") + big_endian(2, 4) + big_endian(0x44, 4),
       "hdrtune: Error: lib.a: failed to read archive index\n"},
      {ar_header("/", "8") + big_endian(0, 4) + "ab",
       "hdrtune: Error: lib.a: failed to read archive index symbol table\n"},
      {ar_header("/", "12") + big_endian(0x40000000, 4) + "abcd",
       "hdrtune: Error: lib.a: the archive index is supposed to have 0x40000000 entries of "
       "4 bytes, but the size is only 0x8\n"},
  };
  for (const Case &c : cases) {
    EXPECT_EQ(open(magic + c.member, 1), 1) << c.message;
    EXPECT_EQ(errors, c.message);
    TearDown();
    state = ArchiveState();
  }
}

TEST_F(ArchiveOpen, MissingIndexIsAnnouncedOnlyWhenAskedToRead) {
  std::string bytes = magic + ar_member("a.o/", "x");
  EXPECT_EQ(open(bytes, 1), 0);
  EXPECT_EQ(output, "lib.a has no archive index\n");
  EXPECT_EQ(errors, "");
  TearDown();
  state = ArchiveState();
  EXPECT_EQ(open(bytes, 0), 0);
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
    if (nested.stream) std::fclose(nested.stream);
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

TEST_F(ArchiveSwitchNested, SamePathKeepsTheArchiveOpen) {
  std::string lib = write("lib.a", magic + ar_member("//", "averyveryverylongname.o/\n") +
                                       ar_member("a.o/", "x"));
  EXPECT_EQ(archive_switch_nested(&nested, lib.c_str()), 0);
  std::FILE *first = nested.stream;
  ASSERT_NE(first, nullptr);
  ASSERT_NE(nested.long_names, nullptr);
  EXPECT_EQ(nested.is_thin, 0);
  std::fseek(first, 70, SEEK_SET);
  EXPECT_EQ(archive_switch_nested(&nested, lib.c_str()), 0);
  EXPECT_EQ(nested.stream, first);
  EXPECT_EQ(std::ftell(first), 70) << "the position is kept";
}

TEST_F(ArchiveSwitchNested, AnotherPathReplacesTheArchiveAndAMissingOneEmptiesIt) {
  std::string lib = write("lib.a", magic + ar_member("//", "averyveryverylongname.o/\n"));
  std::string other = write("other.a", magic + ar_member("b.o/", "x"));
  ASSERT_EQ(archive_switch_nested(&nested, lib.c_str()), 0);
  EXPECT_EQ(archive_switch_nested(&nested, other.c_str()), 0);
  EXPECT_EQ(nested.file_name, other);
  EXPECT_EQ(nested.long_names, nullptr);
  testing::internal::CaptureStderr();
  EXPECT_EQ(archive_switch_nested(&nested, (dir + "/missing.a").c_str()), 1);
  EXPECT_EQ(testing::internal::GetCapturedStderr(), "");
  EXPECT_EQ(nested.stream, nullptr);
  EXPECT_EQ(nested.file_name, nullptr);
}

TEST_F(ArchiveSwitchNested, FailedOpenKeepsTheNewStreamAndName) {
  std::string broken = write("broken.a", magic + ar_member("//", "a.o/\nb/"));
  testing::internal::CaptureStderr();
  EXPECT_EQ(archive_switch_nested(&nested, broken.c_str()), 1);
  EXPECT_EQ(testing::internal::GetCapturedStderr(),
            "hdrtune: Error: " + broken + ": long name table is too small, (size = 7)\n");
  EXPECT_NE(nested.stream, nullptr);
  EXPECT_EQ(nested.file_name, broken);
}

}  // namespace
}  // namespace hdrtune
