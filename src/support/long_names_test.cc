// SPDX-License-Identifier: MIT
// long_names_test.cc - long names read a piece at a time give what the
// whole table in memory gives, however the lookups fall across windows, and
// a lookup that jumps costs one short read beside the file's window.
#include "support/long_names.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "support/archive_test_helpers.h"

namespace hdrtune {
namespace {

// The table held whole: what a windowed lookup must agree with.
struct WholeTable {
  std::string bytes;

  std::string lookup(std::uint64_t index) const {
    std::uint64_t end = index;
    while (end < bytes.size() && bytes[end] != '\0' && bytes[end] != '\n') ++end;
    if (end > index && bytes[end - 1] == '/') --end;
    return bytes.substr(index, end - index);
  }
};

// The bytes and the read calls this process has made so far, as the kernel
// counts them. Taking them costs one read call of its own.
struct ReadCounts {
  unsigned long long bytes = 0, calls = 0;
};

bool count_reads(ReadCounts *counts) {
  int fd = ::open("/proc/self/io", O_RDONLY);
  if (fd < 0) return false;
  char text[512];
  ssize_t n = read(fd, text, sizeof text - 1);
  close(fd);
  if (n <= 0) return false;
  text[n] = '\0';
  return std::sscanf(text, "rchar: %llu wchar: %*u syscr: %llu", &counts->bytes, &counts->calls) ==
         2;
}

// Names as a linker writes them, each ended by "/\n"; starts gets where
// each begins.
std::string numbered_names(int count, std::vector<std::uint64_t> *starts) {
  std::string table;
  for (int i = 0; i < count; ++i) {
    char name[64];
    int length = std::snprintf(name, sizeof name, "member-with-a-long-name-%07d.o/\n", i);
    starts->push_back(table.size());
    table.append(name, length);
  }
  return table;
}

class LongNames : public ::testing::Test {
 protected:
  // The table at offset in a file, after offset bytes that stand for member
  // headers, read through a window of the given size.
  void open(const std::string &table, std::size_t offset = 0,
            std::size_t window = small_window_size) {
    ASSERT_TRUE(open_temp_file(&file, std::string(offset, 'h') + table, window));
    whole.bytes = table;
    ASSERT_EQ(long_names_open(&names, &file, offset, table.size()), LongNameStatus::found);
  }
  // Looks the index up both ways; the names must agree.
  void expect_same(std::uint64_t index) {
    LongName name;
    ASSERT_EQ(long_name_at(&names, &file, index, &name), LongNameStatus::found) << index;
    ASSERT_EQ(std::string(name.text, name.length), whole.lookup(index)) << "index " << index;
  }
  void TearDown() override {
    long_names_release(&names);
    if (file.fd >= 0) close_edited_file(&file);
  }

  PositionedFile file;
  LongNameTable names;
  WholeTable whole;
};

TEST_F(LongNames, ALargeTableAgreesWithTheWholeTableInAnyOrderOfLookups) {
  // 300 KiB of names ended every way, some of them 5 KiB long, so that names
  // straddle window edges; then lookups at random indexes, many repeated, in
  // random order, so that windows are read again, forwards and backwards.
  std::mt19937 random(20261209);
  std::string table;
  std::vector<std::uint64_t> starts;
  const char *ends[] = {"/\n", "\n", "", "//\n", "/"};  // "" stands for a NUL
  while (table.size() < 300 * 1024) {
    starts.push_back(table.size());
    std::size_t length = random() % 8 == 0 ? 5000 : random() % 40;
    for (std::size_t i = 0; i < length; ++i) table += static_cast<char>('a' + random() % 26);
    int end = random() % 5;
    table.append(end == 2 ? std::string(1, '\0') : std::string(ends[end]));
  }
  open(table);
  for (int i = 0; i < 4000; ++i) {
    std::uint64_t index =
        random() % 3 == 0 ? random() % (table.size() + 1) : starts[random() % starts.size()];
    expect_same(index);
  }
  expect_same(table.size());
  EXPECT_EQ(names.window_capacity, long_name_window_size) << "no name needed a larger window";
}

TEST_F(LongNames, ASmallTableIsReadOnceAndEveryLookupGivesTheSameName) {
  open("abcdefgx//\nab//\n");
  for (int i = 0; i < 3; ++i) {
    expect_same(0);
    expect_same(11);
    expect_same(15);
  }
  EXPECT_EQ(std::string(names.window, names.window_length), "abcdefgx//\nab//\n")
      << "the table is left as read";
}

// The longest name is a mebibyte exactly, with its '/' or without.
TEST_F(LongNames, ANameLongerThanAWindowIsReadWholeAndOneTooLongIsRefused) {
  std::string longest(longest_long_name, 'n');
  std::string too_long(longest_long_name + 1, 'z');
  std::string table = std::string(70000, 'x') + "/\n" + longest + "/\n" + longest + "\n" +
                      too_long + "/\n" + too_long + "\nend\n";
  open(table);
  std::uint64_t second = 70002, third = second + longest.size() + 2;
  std::uint64_t fourth = third + longest.size() + 1, fifth = fourth + too_long.size() + 2;
  expect_same(0);
  expect_same(second);
  expect_same(third);
  LongName name;
  EXPECT_EQ(long_name_at(&names, &file, fourth, &name), LongNameStatus::too_long);
  EXPECT_EQ(long_name_at(&names, &file, fifth, &name), LongNameStatus::too_long);
  EXPECT_EQ(long_name_at(&names, &file, table.size() + 1, &name), LongNameStatus::beyond_table);
  expect_same(table.size() - 4);
  expect_same(third);
  EXPECT_LE(names.window_capacity, longest_long_name + 2);
}

TEST_F(LongNames, AHugeSparseTableCostsOneWindow) {
  ASSERT_TRUE(open_temp_file(&file, "short.o/\n"));
  const std::uint64_t size = 500000000;
  ASSERT_EQ(ftruncate(file.fd, size), 0);
  file.size_at_open = size;
  ASSERT_EQ(long_names_open(&names, &file, 0, size), LongNameStatus::found);
  LongName name;
  ASSERT_EQ(long_name_at(&names, &file, 0, &name), LongNameStatus::found);
  EXPECT_EQ(std::string(name.text, name.length), "short.o");
  ASSERT_EQ(long_name_at(&names, &file, 400000000, &name), LongNameStatus::found);
  EXPECT_EQ(name.length, 0u) << "the hole reads as NULs";
  EXPECT_EQ(names.window_capacity, long_name_window_size);
}

// Members that refer to their names in no order, read as a walk reads them:
// each member's header from the file's window, then its name. Every lookup
// costs at most one read, of about a name, and never evicts the headers.
TEST_F(LongNames, LookupsInRandomOrderReadOneNameEachAndLeaveTheFilesWindowAlone) {
  std::vector<std::uint64_t> starts;
  std::string table = numbered_names(100000, &starts);  // 3.3 MB, fifty windows
  const std::size_t headers = 70000;
  open(table, headers, archive_window_size);
  std::mt19937 random(20261210);
  std::shuffle(starts.begin(), starts.end(), random);
  const int lookups = 5000;
  char header[60];
  std::size_t got = 0;
  ASSERT_EQ(file_read(&file, 1000, header, sizeof header, &got), ReadOutcome::whole);
  ReadCounts before, from;
  bool counted = count_reads(&before) && count_reads(&from);
  for (int i = 0; i < lookups; ++i) {
    std::uint64_t at = 1000 + (i * sizeof header) % 60000;
    ASSERT_EQ(file_read(&file, at, header, sizeof header, &got), ReadOutcome::whole);
    ASSERT_EQ(std::string(header, sizeof header), std::string(sizeof header, 'h'));
    expect_same(starts[i]);
  }
  ReadCounts after;
  EXPECT_EQ(file.window_start, 1000u) << "the headers' window is never refilled";
  if (!counted || !count_reads(&after)) GTEST_SKIP() << "the kernel does not count reads here";
  unsigned long long sample_calls = from.calls - before.calls;
  unsigned long long sample_bytes = from.bytes - before.bytes;
  EXPECT_LE(after.calls - from.calls - sample_calls, static_cast<unsigned>(lookups));
  EXPECT_LE(after.bytes - from.bytes - sample_bytes, lookups * 1024ull);
}

// Names that cross the edge of a whole window, or of the short read a jump
// makes (their '/' or their newline just past it), read the same whether the
// lookups walk up to them, walk down to them or jump to them.
TEST_F(LongNames, NamesStraddlingAWindowOrAReadEdgeReadWholeFromEverySide) {
  std::vector<std::uint64_t> starts;
  std::string table;
  auto add = [&](std::size_t length, const char *end) {
    starts.push_back(table.size());
    table += std::string(length, static_cast<char>('a' + starts.size() % 26)) + end;
  };
  for (std::uint64_t edge : {long_name_window_size, 2 * long_name_window_size}) {
    while (table.size() < edge - 20) add(12, "/\n");
    add(40, "/\n");  // across the edge
    for (std::size_t length = long_name_read_size - 3; length <= long_name_read_size + 1; ++length)
      add(length, length % 2 ? "/\n" : "\n");
    add(3 * long_name_read_size, "/\n");
  }
  open(table);
  for (std::uint64_t start : starts) expect_same(start);
  for (auto start = starts.rbegin(); start != starts.rend(); ++start) expect_same(*start);
  for (std::size_t i = 0; i < starts.size(); ++i) {
    expect_same(starts[i]);
    expect_same(starts[starts.size() - 1 - i]);
  }
}

// The last name has nothing after it: the table's end ends it, however the
// lookup comes to it, and the end itself is an empty name.
TEST_F(LongNames, ANameAtTheTablesVeryEndEndsThere) {
  for (std::size_t last : {std::size_t{9}, long_name_read_size + 100}) {
    for (const char *end : {"", "/"}) {
      std::vector<std::uint64_t> starts;
      std::string table = numbered_names(3000, &starts) + std::string(last, 'z') + end;
      std::uint64_t final_start = table.size() - last - std::strlen(end);
      open(table);
      expect_same(final_start);  // a jump from the first window
      expect_same(0);
      expect_same(starts.back());  // a walk from the name before it
      expect_same(final_start);
      expect_same(final_start + 1);
      expect_same(table.size());
      LongName name;
      EXPECT_EQ(long_name_at(&names, &file, table.size() + 1, &name), LongNameStatus::beyond_table);
      long_names_release(&names);
      close_edited_file(&file);
    }
  }
}

}  // namespace
}  // namespace hdrtune
