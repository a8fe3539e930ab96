// SPDX-License-Identifier: MIT
// main.cc - process entry: hand the command line to the driver.
#include "tool/driver.h"

int main(int argc, char **argv) { return hdrtune::tool_main(argc, argv); }
