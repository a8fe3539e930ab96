// SPDX-License-Identifier: MIT
// input_choices.h - an input condition given as alternatives
// ("--input-type dyn,exec", "--input-mach riscv64,aarch64"): a header meets
// it when it meets any one of them.
#pragma once

#include <cstdint>

#include "support/diagnostics.h"
#include "support/elf_header.h"
#include "tool/target_names.h"

namespace hdrtune {

constexpr int max_input_choices = 16;

// The alternatives of one input option; `text` null when the option was
// given a single keyword (or not at all), which the single setting holds.
struct InputChoices {
  const char *text = nullptr;  // as typed, for the messages
  int count = 0;
  Target targets[max_input_choices];  // machines: each with its class and byte order
};

// Alternatives may be given for the first four fields: machine, type, OSABI
// and ABI version.
constexpr int choice_field_count = field_index(HeaderField::flags);

// Splits a comma-separated argument and looks each keyword up as the single
// option would (machine keywords and target names, types, OSABIs, ABI
// versions), reporting the first unknown one. False after that report.
bool lookup_input_choices(FailureSink &failures, HeaderField field, const char *text,
                          InputChoices *choices);

// True when the header meets one of the alternatives; always when none
// were given.
bool meets_any_choice(HeaderField field, const InputChoices &choices, const ElfHeader &header);

}  // namespace hdrtune
