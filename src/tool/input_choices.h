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

// Which of a header's fields the alternatives are compared with, numbered
// as HeaderField numbers them.
enum class ChoiceField { machine, type, osabi, abi_version };
constexpr int choice_field_count = 4;
static_assert(static_cast<int>(ChoiceField::abi_version) ==
              static_cast<int>(HeaderField::abi_version));

// Splits a comma-separated argument and looks each keyword up as the single
// option would (machine keywords and target names, types, OSABIs, ABI
// versions), reporting the first unknown one. False after that report.
bool lookup_input_choices(FailureSink &failures, ChoiceField field, const char *text,
                          InputChoices *choices);

// True when the header meets one of the alternatives; always when none
// were given.
bool meets_any_choice(ChoiceField field, const InputChoices &choices, const ElfHeader &header);

}  // namespace hdrtune
