// SPDX-License-Identifier: MIT
// argv_test.cc - word splitting and writing, vector helpers, @file expansion.
#include "runtime/argv.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

namespace hdrtune {
namespace {

using Words = std::vector<std::string>;

Words words_of(char **argv) {
  Words words;
  for (char **p = argv; p && *p; ++p) words.push_back(*p);
  return words;
}

Words split(const char *text) {
  char **argv = split_args(text);
  Words words = words_of(argv);
  free_args(argv);
  return words;
}

TEST(SplitArgs, QuotesBackslashesAndWhiteSpace) {
  EXPECT_EQ(split("one \"two three\" 'fo\"ur' five\\ six"),
            (Words{"one", "two three", "fo\"ur", "five six"}));
  EXPECT_EQ(split("a\"b c\"d"), Words{"ab cd"});  // quotes join the text around them
  EXPECT_EQ(split("'a\\'b' \"c\\\"d\""), (Words{"a'b", "c\"d"}));  // backslash works inside quotes
  EXPECT_EQ(split("x\\ny"), Words{"xny"});                         // no escape sequences
  EXPECT_EQ(split("'open quote  runs"), Words{"open quote  runs"});
  EXPECT_EQ(split("a \"b"), (Words{"a", "b"}));
  EXPECT_EQ(split("end\\"), Words{"end"});  // a final backslash is dropped
  EXPECT_EQ(split("a '' \"\" b"), (Words{"a", "", "", "b"}));
  EXPECT_EQ(split("\t a\r\nb \n\n \f\v"), (Words{"a", "b"}));
  EXPECT_EQ(split("caf\xc3\xa9\xa0x"), Words{"caf\xc3\xa9\xa0x"});  // high bytes are not space
}

TEST(SplitArgs, EmptyOrBlankTextGivesOneEmptyWord) {
  EXPECT_EQ(split(""), Words{""});
  EXPECT_EQ(split(" \t\n"), Words{""});
  EXPECT_EQ(split_args(nullptr), nullptr);
}

TEST(SplitArgs, GrowsPastTheFirstEightSlots) {
  std::string text;
  Words expected;
  for (int i = 0; i < 40; ++i) {
    expected.push_back(std::to_string(i));
    text += expected.back() + " ";
  }
  EXPECT_EQ(split(text.c_str()), expected);
}

std::string written(char *const *argv, int *status) {
  char *text = nullptr;
  std::size_t size = 0;
  std::FILE *stream = open_memstream(&text, &size);
  *status = write_args(argv, stream);
  std::fclose(stream);
  std::string result(text, size);
  std::free(text);
  return result;
}

TEST(WriteArgs, EscapesWhatSplitArgsWouldTakeApart) {
  const char *awkward[] = {"a b",    "tab\there", "new\nline", "say \"hi\"", "it's",
                           "back\\", "\\\\",      "@file",     "'\"'",       "caf\xc3\xa9",
                           "-o",     "\r\v\f",    nullptr};
  char *const *argv = const_cast<char *const *>(awkward);
  int status = -1;
  std::string text = written(argv, &status);
  EXPECT_EQ(status, 0);
  EXPECT_EQ(text.substr(0, 15), "a\\ b\ntab\\\there\n");
  EXPECT_EQ(split(text.c_str()), words_of(const_cast<char **>(argv)));

  const char *with_empty[] = {"x", "", "y", nullptr};
  EXPECT_EQ(written(const_cast<char *const *>(with_empty), &status), "x\n\ny\n");
  const char *none[] = {nullptr};
  EXPECT_EQ(written(const_cast<char *const *>(none), &status), "");
  EXPECT_EQ(status, 0);
}

TEST(WriteArgs, ReportsANullStreamAndAFailedWrite) {
  const char *words[] = {"word", nullptr};
  char *const *argv = const_cast<char *const *>(words);
  EXPECT_EQ(write_args(argv, nullptr), 1);
  std::FILE *full = std::fopen("/dev/full", "w");
  ASSERT_NE(full, nullptr);
  std::setvbuf(full, nullptr, _IONBF, 0);  // so that the very first byte fails
  EXPECT_EQ(write_args(argv, full), 1);
  std::fclose(full);
}

TEST(ArgVectors, DuplicateCountAndFreeTolerateNull) {
  EXPECT_EQ(count_args(nullptr), 0);
  EXPECT_EQ(duplicate_args(nullptr), nullptr);
  free_args(nullptr);
  const char *words[] = {"a", "", "c", nullptr};
  char **copy = duplicate_args(const_cast<char *const *>(words));
  EXPECT_EQ(count_args(copy), 3);
  EXPECT_NE(copy[0], words[0]);
  EXPECT_EQ(words_of(copy), (Words{"a", "", "c"}));
  free_args(copy);
}

// A command line the way main receives it, plus files to expand into it.
struct CommandLine {
  Words strings;
  std::vector<char *> pointers;
  int argc = 0;
  char **argv = nullptr;
};

void make_command_line(CommandLine *line, Words strings) {
  line->strings = std::move(strings);
  for (std::string &s : line->strings) line->pointers.push_back(s.data());
  line->pointers.push_back(nullptr);
  line->argc = static_cast<int>(line->strings.size());
  line->argv = line->pointers.data();
}

// Expands the line and returns its words; checks that the caller's vector and
// strings were left as they were, and frees the expanded copy.
Words expand(CommandLine *line) {
  std::vector<char *> before = line->pointers;
  Words strings_before = line->strings;
  expand_response_files(&line->argc, &line->argv);
  EXPECT_EQ(line->pointers, before);
  EXPECT_EQ(line->strings, strings_before);
  EXPECT_EQ(count_args(line->argv), line->argc);
  Words words = words_of(line->argv);
  if (line->argv != line->pointers.data()) free_args(line->argv);
  return words;
}

std::string temp_file(const char *name, const std::string &content) {
  std::string path = testing::TempDir() + "argv_test_" + name;
  std::FILE *f = std::fopen(path.c_str(), "wb");
  std::fwrite(content.data(), 1, content.size(), f);
  std::fclose(f);
  return path;
}

TEST(ExpandResponseFiles, InsertsTheWordsOfEachFileInPlace) {
  std::string opts = temp_file("opts", "--output-osabi FreeBSD\n'my file.o'\n");
  CommandLine line;
  make_command_line(&line, {"hdrtune", "-v", "@" + opts, "b.o", "@" + opts});
  EXPECT_EQ(expand(&line), (Words{"hdrtune", "-v", "--output-osabi", "FreeBSD", "my file.o", "b.o",
                                  "--output-osabi", "FreeBSD", "my file.o"}));
}

TEST(ExpandResponseFiles, ExpandsAtWordsFoundInsideFiles) {
  std::string inner = temp_file("inner", "b \"c d\"");
  std::string outer = temp_file("outer", "@" + inner + " a @" + inner);
  CommandLine line;
  make_command_line(&line, {"prog", "@" + outer, "f"});
  EXPECT_EQ(expand(&line), (Words{"prog", "b", "c d", "a", "b", "c d", "f"}));
}

TEST(ExpandResponseFiles, BlankFilesVanishAndUnreadableOnesStay) {
  std::string empty = temp_file("empty", "");
  std::string blank = temp_file("blank", " \n\t\n");
  std::string cut = temp_file("nul", std::string("a b\0c d", 7));
  std::string missing = testing::TempDir() + "argv_test_missing";
  std::remove(missing.c_str());
  CommandLine line;
  // Appended, not "@" + ...: GCC 12 warns wrongly (-Wrestrict) about the
  // inlined operator+ of a literal and a temporary string at -O3.
  std::string directory = "@";
  directory += testing::TempDir();
  // Nothing but a regular file is read: a FIFO with no writer must not block.
  std::string fifo = testing::TempDir() + "argv_test_fifo";
  std::remove(fifo.c_str());
  ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
  make_command_line(&line, {"prog", "@" + empty, "x", "@" + blank, "@" + missing, "@", "@" + cut,
                            directory, "@" + fifo, "@/dev/null"});
  EXPECT_EQ(expand(&line), (Words{"prog", "x", "@" + missing, "@", "a", "b", directory, "@" + fifo,
                                  "@/dev/null"}));
  std::remove(fifo.c_str());
}

TEST(ExpandResponseFiles, LeavesTheVectorAloneWhenNothingIsExpanded) {
  std::string file = temp_file("plain", "word");
  CommandLine line;
  make_command_line(&line, {"@" + file, "x", "@" + file + ".missing"});  // argument 0 never expands
  char **original = line.argv;
  EXPECT_EQ(expand(&line), (Words{"@" + file, "x", "@" + file + ".missing"}));
  EXPECT_EQ(line.argv, original);
}

TEST(ExpandResponseFilesDeathTest, HandlesAtMost1999AtArguments) {
  CommandLine line;
  Words strings{"prog"};
  std::string missing = "@";
  missing += testing::TempDir() + "argv_test_missing";
  strings.insert(strings.end(), 1999, missing);
  make_command_line(&line, strings);
  EXPECT_EQ(expand(&line).size(), 2000u);

  CommandLine one_more;
  strings.push_back("@");
  make_command_line(&one_more, strings);
  EXPECT_EXIT(expand_response_files(&one_more.argc, &one_more.argv), testing::ExitedWithCode(1),
              "^prog: error: too many @-files encountered\n$");

  std::string self = testing::TempDir() + "argv_test_self";
  temp_file("self", "x @" + self);
  CommandLine looping;
  make_command_line(&looping, {"looping", "@" + self});
  EXPECT_EXIT(expand_response_files(&looping.argc, &looping.argv), testing::ExitedWithCode(1),
              "^looping: error: too many @-files encountered\n$");
}

}  // namespace
}  // namespace hdrtune
