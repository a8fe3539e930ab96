// SPDX-License-Identifier: MIT
// run_options.h - what the user asked of one run: the values to write, the
// conditions a header must meet, and how the run shows and writes its work.
#pragma once

#include <cstddef>
#include <cstdint>

#include "support/files.h"
#include "tool/input_choices.h"
#include "tool/target_names.h"

namespace hdrtune {

class Reporter;
struct FlagsByMachine;

// One setting of a list as typed; null text when there is none.
struct FlagsSetting {
  const char *text = nullptr;
  std::size_t length = 0;
};

// What a header is judged by and given.
struct HeaderEditSettings {
  // The value each of the five fields must hold, and the value it is to be
  // given; a flags word may be given under a mask.
  FieldValues input;
  FieldValues output;
  // -1: the class each header's own machine implies.
  std::int32_t input_class = -1;
  std::int32_t output_class = either_class;
  // The byte order a target name implies (EI_DATA), or any_byte_order.
  std::int32_t input_data_encoding = any_byte_order;
  std::int32_t output_data_encoding = any_byte_order;
  // The machine an output OSABI from 64 to 254 belongs to, or any_machine.
  std::int32_t output_osabi_machine = any_machine;
  // Flags settings given by name ("float-abi=double,rvc"): resolved into
  // the flags of input and output for each header's machine. A setting the
  // header's machine lacks is named in *_missing instead.
  const char *input_flags_names = nullptr;
  const char *output_flags_names = nullptr;
  FlagsSetting input_flags_missing;
  FlagsSetting output_flags_missing;
  // Input conditions given as alternatives, by HeaderField; the field's
  // single input value above is then not given.
  InputChoices input_choices[choice_field_count];
};

// The run: built once by the driver from the command line and passed down.
struct RunOptions {
  HeaderEditSettings settings;
  bool list = false;            // print each header's old and new values
  bool dry_run = false;         // check and report as the real run does, write nothing
  bool skip_unmatched = false;  // leave headers that a given input condition refuses
  bool read_only = false;       // nothing is written: open every file for reading only
  bool recursive = false;       // an operand that is a directory is walked
  bool check = false;           // report headers that differ from the output values, write nothing
  // --skip-unmatched as given: files and members that are not ELF are left
  // alone too (a check leaves refused headers alone without it).
  bool pass_over_not_elf = false;
  bool json = false;  // list lines and error lines as JSON records
  // What the run shows goes here, and what it met is counted here: chosen
  // by the driver once the options are known.
  Reporter *reporter = nullptr;
  // Where the run keeps itself as the headers of one machine see it: set
  // by the driver, and needed by every run that gives flags by name.
  FlagsByMachine *flags_by_machine = nullptr;
};

// The run with flags given by name resolved for the machine of the last
// header that needed them: the headers of an archive are most often of one
// machine, and each then takes the run as it is kept.
struct FlagsByMachine {
  std::int32_t e_machine = -1;
  RunOptions options;
};

// True when at least one output value was given. Without one, a run with
// --list lists each header's current values instead of editing it.
inline bool has_output_value(const HeaderEditSettings &s) {
  for (const MaskedValue &v : s.output.values)
    if (v.given) return true;
  return s.output_flags_names != nullptr;
}

// A run that writes locks each file for itself; a listing or a dry run only
// keeps writers out.
inline FileAccess file_access(const RunOptions &options) {
  return {options.read_only, !options.read_only && !options.dry_run};
}

}  // namespace hdrtune
