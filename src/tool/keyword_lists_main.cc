// SPDX-License-Identifier: MIT
// keyword_lists_main.cc - rewrites the keyword lists of the manual page and
// the completions named on the command line from the tool's own tables
// (scripts/update-keyword-lists runs it over dist/).
#include <cstdio>
#include <fstream>
#include <sstream>
#include <string>

#include "tool/keyword_lists.h"

namespace {

hdrtune::DocumentKind kind_of(const std::string &path) {
  if (path.size() >= 2 && path.compare(path.size() - 2, 2, ".1") == 0)
    return hdrtune::DocumentKind::manual_page;
  if (path.size() >= 5 && path.compare(path.size() - 5, 5, ".bash") == 0)
    return hdrtune::DocumentKind::bash_completion;
  return hdrtune::DocumentKind::zsh_completion;
}

bool rewrite(const std::string &path) {
  std::ifstream in(path);
  std::stringstream text;
  text << in.rdbuf();
  std::string rewritten;
  if (!in || !hdrtune::with_keyword_lists(text.str(), kind_of(path), &rewritten)) return false;
  if (rewritten == text.str()) return true;
  std::ofstream out(path);
  out << rewritten;
  return static_cast<bool>(out.flush());
}

}  // namespace

int main(int argc, char **argv) {
  int status = 0;
  for (int i = 1; i < argc; ++i)
    if (!rewrite(argv[i])) {
      std::fprintf(stderr, "keyword_lists: %s: unreadable, unwritable or an unmatched BEGIN\n",
                   argv[i]);
      status = 1;
    }
  return status;
}
