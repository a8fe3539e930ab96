// SPDX-License-Identifier: MIT
// expand_bench.cc - expands the @file arguments it is given and prints the argument count.
#include <cstdio>

#include "runtime/argv.h"

int main(int argc, char **argv) {
  hdrtune::expand_response_files(&argc, &argv);
  std::printf("%d\n", argc);
  return 0;
}
