// SPDX-License-Identifier: MIT
// long_names_test.cc - long names read a window at a time give what the
// whole table in memory gives, however the lookups fall across windows.
#include "support/long_names.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <cstring>
#include <random>
#include <string>

#include "support/archive_test_helpers.h"

namespace hdrtune {
namespace {

// The table held whole, ended in place as lookups go: what a windowed
// lookup must agree with.
struct WholeTable {
  std::string bytes;  // the table and one added NUL

  std::string lookup(std::uint64_t index, std::uint64_t *end_out) {
    std::uint64_t size = bytes.size() - 1;
    std::uint64_t end = index;
    while (end < size && bytes[end] != '\0' && bytes[end] != '\n') ++end;
    if (end > 0 && bytes[end - 1] == '/') --end;
    bytes[end] = '\0';
    *end_out = end;
    return std::string(bytes.c_str() + index);
  }
};

class LongNames : public ::testing::Test {
 protected:
  void open(const std::string &table) {
    ASSERT_TRUE(open_temp_file(&file, table));
    whole.bytes = table + '\0';
    ASSERT_EQ(long_names_open(&names, &file, 0, table.size()), LongNameStatus::found);
  }
  // Looks the index up both ways; the names and their ends must agree.
  void expect_same(std::uint64_t index) {
    LongName name;
    ASSERT_EQ(long_name_at(&names, &file, index, &name), LongNameStatus::found) << index;
    std::uint64_t end = 0;
    std::string expected = whole.lookup(index, &end);
    ASSERT_EQ(std::string(name.text, name.length), expected) << "index " << index;
    ASSERT_EQ(name.end, end) << "index " << index;
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
  // random order, so that windows are read again after names were ended.
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

TEST_F(LongNames, ASmallTableIsReadOnceAndKeepsItsEndsInPlace) {
  open("abcdefgx//\nab//\n");
  expect_same(0);
  expect_same(0);
  expect_same(0);
  expect_same(11);
  // A '/' and a newline at the index: the name is ended before it, and its
  // text runs on to the next NUL.
  expect_same(15);
  EXPECT_EQ(names.end_count, 0u) << "a table in one window records no ends";
}

TEST_F(LongNames, ANameLongerThanAWindowIsReadWholeAndOneTooLongIsRefused) {
  std::string longest(longest_long_name - 10, 'n');
  std::string table = std::string(70000, 'x') + "/\n" + longest + "\n" +
                      std::string(longest_long_name + 1, 'z') + "\nend\n";
  open(table);
  expect_same(0);
  expect_same(70002);
  LongName name;
  EXPECT_EQ(long_name_at(&names, &file, 70003 + longest.size(), &name), LongNameStatus::too_long);
  EXPECT_EQ(long_name_at(&names, &file, table.size() + 1, &name), LongNameStatus::beyond_table);
  expect_same(table.size() - 4);
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

}  // namespace
}  // namespace hdrtune
