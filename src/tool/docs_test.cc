// SPDX-License-Identifier: MIT
// docs_test.cc - the manual page and the shell completion name every option
// and keyword the tool accepts, so that neither drifts from the code.
#include <gtest/gtest.h>

#include <cctype>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "tool/driver.h"
#include "tool/target_names.h"

namespace hdrtune {
namespace {

std::string read_source_file(const char *relative_path) {
  std::ifstream in(std::string(HDRTUNE_SOURCE_DIR "/") + relative_path);
  std::stringstream text;
  text << in.rdbuf();
  return text.str();
}

// roff writes a plain minus as "\-".
std::string without_roff_escapes(std::string text) {
  for (size_t at; (at = text.find("\\-")) != std::string::npos;) text.erase(at, 1);
  return text;
}

bool is_word_byte(char c) {
  return std::isalnum(static_cast<unsigned char>(c)) || c == '-' || c == '_';
}

// True when word stands in text on its own, not as part of a longer word.
bool contains_word(const std::string &text, const std::string &word) {
  for (size_t at = text.find(word); at != std::string::npos; at = text.find(word, at + 1)) {
    size_t end = at + word.size();
    if ((at == 0 || !is_word_byte(text[at - 1])) &&
        (end == text.size() || !is_word_byte(text[end])))
      return true;
  }
  return false;
}

std::vector<std::string> accepted_words() {
  std::vector<std::string> words;
  for (const option *o = long_option_table; o->name; ++o)
    words.push_back(std::string("--") + o->name);
  for (const KeywordTable *table : {&machine_keywords, &type_keywords, &osabi_keywords})
    for (const KeywordRow &row : *table) words.push_back(row.name);
  return words;
}

TEST(Docs, ManualPageNamesEveryOptionAndKeyword) {
  std::string page = without_roff_escapes(read_source_file("dist/hdrtune.1"));
  ASSERT_FALSE(page.empty());
  for (const std::string &word : accepted_words())
    EXPECT_TRUE(contains_word(page, word)) << word << " is missing from the manual page";
}

TEST(Docs, CompletionOffersEveryOptionAndKeyword) {
  std::string script = read_source_file("dist/hdrtune.bash");
  ASSERT_FALSE(script.empty());
  for (const std::string &word : accepted_words())
    EXPECT_TRUE(contains_word(script, word)) << word << " is missing from the completion";
}

TEST(Docs, ZshCompletionOffersEveryOptionAndKeyword) {
  std::string script = read_source_file("dist/_hdrtune");
  ASSERT_FALSE(script.empty());
  for (const std::string &word : accepted_words())
    EXPECT_TRUE(contains_word(script, word)) << word << " is missing from the zsh completion";
}

}  // namespace
}  // namespace hdrtune
