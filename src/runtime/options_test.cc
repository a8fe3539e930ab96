// SPDX-License-Identifier: MIT
// options_test.cc - unit tests for the option scanner.

#include "runtime/options.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <vector>

namespace hdrtune {
namespace {

enum Entry { Short, Long, LongOnly };

std::string render(int code) {
  return code > ' ' && code < 127 ? std::string(1, static_cast<char>(code)) : std::to_string(code);
}

// Restarts the scanner and calls it until -1.  The transcript lists each code
// with "=optarg" when one is set and "/optopt" after '?' or ':', then "@optind",
// the vector after element 0 as the scan left it, and " | " with whatever went
// to the standard error stream.
std::string scan(Entry entry, const char *optstring, std::vector<std::string> words,
                 const option *table = nullptr) {
  std::vector<char *> argv;
  for (std::string &word : words) argv.push_back(word.data());
  argv.push_back(nullptr);
  int argc = static_cast<int>(words.size());

  optind = 0;
  optopt = 0;
  std::string out;
  testing::internal::CaptureStderr();
  for (int calls = 0; calls < 20; ++calls) {
    int code = entry == Short  ? getopt(argc, argv.data(), optstring)
               : entry == Long ? getopt_long(argc, argv.data(), optstring, table, nullptr)
                               : getopt_long_only(argc, argv.data(), optstring, table, nullptr);
    // Appended piece by piece: GCC 12 warns wrongly (-Wrestrict) about the
    // inlined operator+ of a literal and a temporary string at -O3.
    out += render(code);
    if (optarg) out.append("=").append(optarg);
    if (code == '?' || code == ':') out.append("/").append(render(optopt));
    out += " ";
    if (code == -1) break;
  }
  out.append("@").append(std::to_string(optind));
  for (int i = 1; i < argc; ++i) out.append(" ").append(argv[i]);
  std::string message = testing::internal::GetCapturedStderr();
  if (!message.empty()) out.append(" | ").append(message);
  return out;
}

// Names that share prefixes, with and without arguments, and two long names
// for short options.
const option prefix_table[] = {
    {"read-from", 1, nullptr, 150},  {"read-size", 1, nullptr, 151}, {"write-to", 1, nullptr, 152},
    {"write-mode", 1, nullptr, 153}, {"quiet", 0, nullptr, 'q'},     {"help", 0, nullptr, 'h'},
    {nullptr, 0, nullptr, 0},
};

class Scanner : public testing::Test {
 protected:
  void SetUp() override {
    opterr = 1;
    unsetenv("POSIXLY_CORRECT");
  }
  void TearDown() override { unsetenv("POSIXLY_CORRECT"); }
};

TEST_F(Scanner, PermutesOperandsBehindOptionsInTheirOrder) {
  EXPECT_EQ(scan(Short, "ab", {"prog", "-ab", "file"}), "a b -1 @2 -ab file");
  EXPECT_EQ(scan(Short, "ab", {"prog", "file", "-a"}), "a -1 @2 -a file");
  EXPECT_EQ(scan(Short, "ab", {"prog", "x", "-a", "y", "-b", "z"}), "a b -1 @3 -a -b x y z");
  EXPECT_EQ(scan(Short, "ab", {"prog", "x", "y", "z", "-a", "-b", "w"}), "a b -1 @3 -a -b x y z w");
  EXPECT_EQ(scan(Short, "o:", {"prog", "x", "y", "-o", "arg", "z"}), "o=arg -1 @3 -o arg x y z");
}

TEST_F(Scanner, OrderFollowsPrefixAndEnvironmentAtRestart) {
  EXPECT_EQ(scan(Short, "+ab", {"prog", "file", "-a"}), "-1 @1 file -a");
  EXPECT_EQ(scan(Short, "-ab", {"prog", "file", "-a"}), "1=file a -1 @3 file -a");
  setenv("POSIXLY_CORRECT", "", 1);  // present, even empty, is enough
  EXPECT_EQ(scan(Short, "ab", {"prog", "file", "-a"}), "-1 @1 file -a");
  EXPECT_EQ(scan(Short, "ab", {"prog", "-axb"}),
            "a ?/x b -1 @2 -axb | prog: illegal option -- x\n");
  unsetenv("POSIXLY_CORRECT");
  EXPECT_EQ(scan(Short, "ab", {"prog", "-axb"}),
            "a ?/x b -1 @2 -axb | prog: invalid option -- x\n");
}

TEST_F(Scanner, DoubleDashEndsOptionsAndIsConsumed) {
  EXPECT_EQ(scan(Short, "ab", {"prog", "-a", "--", "-b"}), "a -1 @3 -a -- -b");
  EXPECT_EQ(scan(Short, "ab", {"prog", "x", "--", "y"}), "-1 @2 -- x y");
  EXPECT_EQ(scan(Short, "ab", {"prog", "-", "-a", "--"}), "a -1 @3 -a -- -");
  EXPECT_EQ(scan(Short, "ab", {"prog", "--"}), "-1 @2 --");
}

TEST_F(Scanner, AbbreviationsAndArguments) {
  EXPECT_EQ(scan(Long, "hq", {"./tool", "--write", "x"}, prefix_table),
            "?/0 -1 @2 --write x | ./tool: option `--write' is ambiguous\n");
  EXPECT_EQ(scan(Long, "hq", {"prog", "--h", "-q"}, prefix_table), "h q -1 @3 --h -q");
  EXPECT_EQ(scan(Long, "hq", {"prog", "--read-from=in", "f"}, prefix_table),
            "150=in -1 @2 --read-from=in f");
  EXPECT_EQ(scan(Long, "hq", {"prog", "a.o", "--write-m", "fast"}, prefix_table),
            "153=fast -1 @3 --write-m fast a.o");
  EXPECT_EQ(scan(Long, "hq", {"prog", "--read-from"}, prefix_table),
            "?/150 -1 @2 --read-from | prog: option `--read-from' requires an argument\n");
  EXPECT_EQ(scan(Long, "hq", {"prog", "--quiet=1"}, prefix_table),
            "?/q -1 @2 --quiet=1 | prog: option `--quiet' doesn't allow an argument\n");
  EXPECT_EQ(scan(Long, "hq", {"prog", "--frob=3"}, prefix_table),
            "?/0 -1 @2 --frob=3 | prog: unrecognized option `--frob=3'\n");
  opterr = 0;
  EXPECT_EQ(scan(Long, "hq", {"prog", "--quiet=1"}, prefix_table), "?/q -1 @2 --quiet=1");
}

TEST_F(Scanner, ExactNameWinsWhereverItStands) {
  int chosen = 0;
  const option table[] = {
      {"verbose-all", 0, nullptr, 1},
      {"verbose-some", 0, nullptr, 2},
      {"verbose", 0, &chosen, 3},
      {nullptr, 0, nullptr, 0},
  };
  EXPECT_EQ(scan(Long, "", {"prog", "--verbose", "--verb"}, table),
            "0 ?/0 -1 @3 --verbose --verb | prog: option `--verb' is ambiguous\n");
  EXPECT_EQ(chosen, 3);

  char *argv[] = {const_cast<char *>("prog"), const_cast<char *>("--verbose-s"), nullptr};
  int index = -1;
  optind = 0;
  EXPECT_EQ(getopt_long(2, argv, "", table, &index), 2);
  EXPECT_EQ(index, 1);
}

TEST_F(Scanner, ShortArguments) {
  EXPECT_EQ(scan(Short, "o:", {"prog", "-ofile", "-o", "file"}),
            "o=file o=file -1 @4 -ofile -o file");
  EXPECT_EQ(scan(Short, "o::", {"prog", "-ofile", "-o", "file"}), "o=file o -1 @3 -ofile -o file");
  EXPECT_EQ(scan(Short, ":o:", {"prog", "-o"}),
            ":/o -1 @2 -o | prog: option requires an argument -- o\n");
  EXPECT_EQ(scan(Short, "o:", {"prog", "-o"}),
            "?/o -1 @2 -o | prog: option requires an argument -- o\n");
  opterr = 0;
  EXPECT_EQ(scan(Short, ":o:", {"prog", "-o"}), ":/o -1 @2 -o");
}

TEST_F(Scanner, PlainGetoptTakesDoubleDashWordAsCluster) {
  EXPECT_EQ(scan(Short, "x", {"prog", "--x"}), "?/- x -1 @2 --x | prog: invalid option -- -\n");
}

TEST_F(Scanner, LongOnlyTriesRestOfClusterAsLongName) {
  const option table[] = {
      {"alpha", 0, nullptr, 'A'}, {"beta", 1, nullptr, 'B'}, {nullptr, 0, nullptr, 0}};
  EXPECT_EQ(scan(LongOnly, "al", {"prog", "-all", "-alp", "-beta=2", "-zork"}, table),
            "a l l A B=2 ?/0 -1 @5 -all -alp -beta=2 -zork"
            " | prog: unrecognized option `-zork'\n");
  EXPECT_EQ(scan(LongOnly, "al", {"prog", "-alpha=1"}, table),
            "?/A -1 @2 -alpha=1 | prog: option `-alpha' doesn't allow an argument\n");
}

TEST_F(Scanner, WordFormNamesLongOption) {
  const option table[] = {
      {"verbose", 0, nullptr, 'V'}, {"beta", 1, nullptr, 'B'}, {nullptr, 0, nullptr, 0}};
  EXPECT_EQ(scan(Long, "W;", {"prog", "-W", "verbose", "-Wverbose", "-W", "foo"}, table),
            "V V W=foo -1 @6 -W verbose -Wverbose -W foo");
  EXPECT_EQ(scan(Long, "W;", {"prog", "-Wverbose=1"}, table),
            "?=verbose=1/0 -1 @2 -Wverbose=1"
            " | prog: option `-W verbose' doesn't allow an argument\n");
  // One call that takes three elements moves them past two operands at once.
  EXPECT_EQ(scan(Long, "W;", {"prog", "x", "y", "-W", "beta", "3", "z"}, table),
            "B=3 -1 @4 -W beta 3 x y z");
  EXPECT_EQ(scan(Short, "W;", {"prog", "-W", "verbose"}), "W=verbose -1 @3 -W verbose");
}

}  // namespace
}  // namespace hdrtune
