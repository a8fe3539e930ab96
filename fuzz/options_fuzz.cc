// SPDX-License-Identifier: MIT
// options_fuzz.cc - the option scanner on random vectors and option strings:
// it ends, returns only codes it may return, keeps optind in range, and
// leaves the vector a reordering of the one it was given.
#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "runtime/options.h"

using namespace hdrtune;

namespace {

int flag_target = 0;

const option long_options[] = {
    {"alpha", no_argument, nullptr, 'a'},
    {"alpine", required_argument, nullptr, 300},
    {"beta", optional_argument, nullptr, 'b'},
    {"b", no_argument, &flag_target, 7},
    {"gamma", required_argument, &flag_target, 9},
    {"gamma-ray", no_argument, nullptr, 301},
    {nullptr, 0, nullptr, 0},
};

bool is_valid_code(int code, const std::string &optstring) {
  if (code == -1 || code == '?' || code == ':' || code == 'W' || code == 0 || code == 1)
    return true;
  if (code == 300 || code == 301 || code == 'a' || code == 'b') return true;
  return code > 0 && code < 256 && optstring.find(static_cast<char>(code)) != std::string::npos;
}

}  // namespace

// Input: a mode byte, then NUL-separated words: the option string first, then
// the arguments.
extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size) {
  if (size < 1) return 0;
  int mode = data[0];
  std::vector<std::string> words(1);
  for (std::size_t i = 1; i < size && words.size() < 64; ++i) {
    if (data[i] == 0)
      words.emplace_back();
    else
      words.back() += static_cast<char>(data[i]);
  }
  std::string optstring = words[0];
  std::vector<char *> argv;
  std::string program = "prog";
  argv.push_back(program.data());
  for (std::size_t i = 1; i < words.size(); ++i) argv.push_back(words[i].data());
  std::vector<char *> original = argv;
  argv.push_back(nullptr);
  int argc = static_cast<int>(original.size());

  if (mode & 1)
    setenv("POSIXLY_CORRECT", "1", 1);
  else
    unsetenv("POSIXLY_CORRECT");
  opterr = 0;
  optind = 0;
  const option *table = (mode & 2) ? long_options : nullptr;
  int index = -1;
  // Every call consumes an element or a character of one; allow a margin.
  int calls_left = 4 * static_cast<int>(size) + 8;
  for (;;) {
    int code = (mode & 4) ? getopt_long_only(argc, argv.data(), optstring.c_str(), table, &index)
                          : getopt_long(argc, argv.data(), optstring.c_str(), table, &index);
    if (!is_valid_code(code, optstring)) std::abort();
    if (optind < 1 || optind > argc) std::abort();
    if (code == -1) break;
    if (--calls_left == 0) std::abort();  // the scanner does not end
  }
  if (argv[argc] != nullptr || argv[0] != original[0]) std::abort();
  std::vector<char *> after(argv.begin(), argv.begin() + argc);
  std::sort(after.begin(), after.end());
  std::sort(original.begin(), original.end());
  if (after != original) std::abort();  // pointers lost or duplicated
  return 0;
}
