// SPDX-License-Identifier: MIT
// list_lines.h - the lines --list prints, one per header.
#pragma once

#include <cstdint>

#include "support/elf_header.h"
#include "tool/run_options.h"

namespace hdrtune {

// The fields an input condition checks, as a skip line names them.
enum class ListField { elf_class, data_encoding, machine, type, osabi, abi_version, flags };

// The name a field's value goes by (an OSABI's as it is on e_machine), or
// null when it has none. Every list line and record names values through
// this.
const char *value_name(ListField field, std::int64_t value, std::int32_t e_machine);

// One output value beside what the header holds; `wanted` is -1 when the
// value was not asked, and otherwise the whole field as it would be written
// (cut to the field's width; for flags, the bits under `mask` replaced).
struct OutputField {
  ListField field;
  std::int64_t found;
  std::int64_t wanted;
  std::uint32_t mask;
};

// The output values in the order lines and records show them (machine, type,
// OSABI, ABI version, flags), and the machine that names the header's OSABI
// before and after the edit.
struct OutputFields {
  OutputField rows[5];
  std::int32_t old_machine;
  std::int32_t new_machine;
};
OutputFields output_fields(const ElfHeader &header, const HeaderEditSettings &s);

// NAME: unchanged
void list_unchanged(const char *name);
// NAME: passed over (WHY)
void list_passed_over(const char *name, const char *why);
// NAME: skipped (FIELD FOUND, wanted WANTED[, mask MASK]); the mask only for
// flags compared under one.
void list_skipped(const char *name, const ElfHeader &header, ListField field, std::int64_t wanted,
                  std::uint32_t mask);
// NAME: skipped (FIELD FOUND, wanted one of TEXT), for alternatives.
void list_skipped_choice(const char *name, const ElfHeader &header, ListField field,
                         const char *text);
// The value of a field of the header.
std::int64_t list_field_value(const ElfHeader &header, ListField field);
// NAME: skipped (WHY), for a condition no single value states.
void list_skipped_because(const char *name, const char *why);
// NAME: machine M, type T, OSABI O[, ABI version V][, flags F], the last two
// where they are not 0
void list_current_values(const char *name, const ElfHeader &header);
// NAME: machine OLD -> NEW, type OLD -> NEW, OSABI OLD -> NEW,
// ABI version OLD -> NEW, flags OLD -> NEW, each as asked.
void list_changes(const char *name, const ElfHeader &old_header, const HeaderEditSettings &s);
// NAME: FIELD FOUND, wanted WANTED; ... for each output value asked that the
// header does not hold.
void list_differences(const char *name, const ElfHeader &header, const HeaderEditSettings &s);
// NAME: as wanted
void list_as_wanted(const char *name);

}  // namespace hdrtune
