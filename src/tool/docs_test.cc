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
#include "tool/keyword_lists.h"
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
  for (const TargetAlias &alias : target_aliases()) words.push_back(alias.name);
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

// Each list in a document is what the tables give, value for value, and
// nothing more: a keyword added, dropped or renumbered in the tables fails
// here until scripts/update-keyword-lists has rewritten the documents.
TEST(Docs, KeywordListsAreTheTablesOwn) {
  struct Document {
    const char *path;
    DocumentKind kind;
  };
  for (const Document &d : {Document{"dist/hdrtune.1", DocumentKind::manual_page},
                            Document{"dist/hdrtune.bash", DocumentKind::bash_completion},
                            Document{"dist/_hdrtune", DocumentKind::zsh_completion}}) {
    std::string text = read_source_file(d.path), rewritten;
    ASSERT_TRUE(with_keyword_lists(text, d.kind, &rewritten)) << d.path;
    EXPECT_EQ(rewritten, text) << d.path
                               << " differs from the tables: run scripts/update-keyword-lists";
    // Every list is there to be checked: machines, OSABIs and types at least.
    for (const char *list : {"BEGIN machines", "BEGIN osabis", "BEGIN types", "BEGIN flags"})
      EXPECT_NE(text.find(list), std::string::npos) << d.path << " lacks " << list;
  }
}

TEST(Docs, AListIsRewrittenFromTheTables) {
  std::string rewritten;
  ASSERT_TRUE(
      with_keyword_lists(".TH X\n.\\\" BEGIN types\nrel (9)\nexe (2)\n.\\\" END types\n.PP\n",
                         DocumentKind::manual_page, &rewritten));
  EXPECT_EQ(
      rewritten,
      ".TH X\n.\\\" BEGIN types\nrel (1), exec (2), dyn (3), none (0)\n.\\\" END types\n.PP\n");
  ASSERT_TRUE(with_keyword_lists("x\n# BEGIN types\n# END types\n", DocumentKind::zsh_completion,
                                 &rewritten));
  EXPECT_EQ(rewritten, "x\n# BEGIN types\n_hdrtune_types=(\n  rel exec dyn none\n)\n# END types\n");
  EXPECT_FALSE(with_keyword_lists("x\n# BEGIN types\n", DocumentKind::bash_completion, &rewritten));
  EXPECT_FALSE(with_keyword_lists("x\n# BEGIN colours\n# END colours\n",
                                  DocumentKind::bash_completion, &rewritten));
}

}  // namespace
}  // namespace hdrtune
