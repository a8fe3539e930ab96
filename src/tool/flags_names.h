// SPDX-License-Identifier: MIT
// flags_names.h - the flags word (e_flags) by name: each machine's named
// fields, settings such as "float-abi=double,rvc" resolved for a header's
// machine, and a flags word decoded into the names it holds.
#pragma once

#include <cstddef>
#include <cstdint>

#include "support/elf_header.h"
#include "tool/run_options.h"

namespace hdrtune {

// Under which flags a name means what it says.
enum class FlagsGuard { always, arm_eabi5, arm_eabi0 };

// One name of the flags word of one machine: a one-bit field (value "") or
// one value of a field of several bits.
struct FlagsName {
  std::int32_t e_machine;
  const char *field;
  const char *value;
  std::uint32_t mask;
  std::uint32_t bits;
  FlagsGuard when;
};

struct FlagsNameRange {
  const FlagsName *rows;
  std::size_t count;
  const FlagsName *begin() const { return rows; }
  const FlagsName *end() const { return rows + count; }
};
FlagsNameRange flags_names();

// True when every comma-separated setting of `text` ("FIELD=VALUE", "NAME"
// to set a one-bit field, "no-NAME" to clear it) is known to some machine.
// Otherwise false after reporting the first unknown one as "Unknown flags".
bool check_flags_settings(FailureSink &failures, const char *text);

// A flags option's argument: `<n>[/<mask>]` into *flags (*names null), or
// a list of settings kept as text in *names, to be resolved for each
// header's machine. False after reporting it as "Unknown flags".
bool lookup_flags_setting(FailureSink &failures, const char *text, MaskedValue *flags,
                          const char **names);

// Resolves the flags settings given by name in *settings for a header of
// `e_machine`, into its input and output flags (or what the machine lacks).
void resolve_flags_for_machine(HeaderEditSettings *settings, std::int32_t e_machine);

// The settings of `text` as the bits and mask they give on `e_machine`. When
// the machine lacks one, false, with *missing pointing at that setting in
// `text` and *missing_length its length.
bool resolve_flags_settings(const char *text, std::int32_t e_machine, MaskedValue *flags,
                            const char **missing, std::size_t *missing_length);

// One name a flags word holds: a one-bit field (value null) or FIELD=VALUE.
struct DecodedFlag {
  const char *field;
  const char *value;
};

// The names `flags` holds on `e_machine`, in table order, and the bits no
// name covers. False when the machine has no
// named fields at all.
struct DecodedFlags {
  DecodedFlag names[32];
  int count = 0;
  std::uint32_t other_bits = 0;
};
bool decode_flags(std::uint32_t flags, std::int32_t e_machine, DecodedFlags *decoded);

// " (rvc, float-abi=double)" for a listing, or "" when the machine has no
// named fields or the word holds none of them and no other bit; uncovered
// bits are shown as one number last.
struct DecodedFlagsText {
  char text[256];
};
DecodedFlagsText decoded_flags_text(std::uint32_t flags, std::int32_t e_machine);

}  // namespace hdrtune
