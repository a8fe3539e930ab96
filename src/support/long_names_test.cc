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

class LongNames : public ::testing::Test {
 protected:
  void open(const std::string &table) {
    ASSERT_TRUE(open_temp_file(&file, table));
    whole.bytes = table;
    ASSERT_EQ(long_names_open(&names, &file, 0, table.size()), LongNameStatus::found);
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

}  // namespace
}  // namespace hdrtune
