// SPDX-License-Identifier: MIT
// argv_fuzz.cc - word splitting and response files: what write_args writes,
// split_args reads back as the same words, and expansion keeps its count.
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "runtime/argv.h"

using namespace hdrtune;

namespace {

bool same_words(char **a, char **b) {
  for (; *a && *b; ++a, ++b)
    if (std::strcmp(*a, *b) != 0) return false;
  return !*a && !*b;
}

bool has_empty_word(char **words) {
  for (; *words; ++words)
    if (!**words) return true;
  return false;
}

void check_round_trip(const std::string &text) {
  char **words = split_args(text.c_str());
  if (!words || !words[0]) std::abort();
  char *written = nullptr;
  std::size_t written_size = 0;
  std::FILE *out = open_memstream(&written, &written_size);
  if (write_args(words, out) != 0) std::abort();
  std::fclose(out);
  if (!has_empty_word(words)) {
    char **again = split_args(written);
    if (!same_words(words, again)) std::abort();
    free_args(again);
  }
  std::free(written);
  free_args(words);
}

// The text as a response file; '@' is replaced so that the file cannot name
// further files (nesting is covered by the unit tests).
void check_expansion(std::string text) {
  for (char &c : text)
    if (c == '@') c = '#';
  static std::string path = "/tmp/argv_fuzz." + std::to_string(getpid());
  std::FILE *f = std::fopen(path.c_str(), "wb");
  if (!f) return;
  std::fwrite(text.data(), 1, text.size(), f);
  std::fclose(f);
  std::string at_path = "@" + path;
  char *argv_in[] = {const_cast<char *>("prog"), at_path.data(), const_cast<char *>("tail"),
                     nullptr};
  int argc = 3;
  char **argv = argv_in;
  expand_response_files(&argc, &argv);
  if (argv == argv_in || argv[argc] != nullptr || std::strcmp(argv[argc - 1], "tail") != 0)
    std::abort();
  free_args(argv);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size) {
  std::string text(reinterpret_cast<const char *>(data), size);
  check_round_trip(text.c_str());  // split_args sees the text up to its first NUL
  check_expansion(text);
  return 0;
}
