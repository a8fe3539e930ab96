// SPDX-License-Identifier: MIT
// header_editor.cc - check and rewrite one ELF file header in place.
//
// Three steps on the header as a value: read it whole (16 identification
// bytes, then the 36 or 48 its class implies), judge it against the input
// conditions, and write it back over itself with the output values (or, in
// a check, compare it with them); nothing else of the file is read or
// written.
#include "tool/header_editor.h"

#include <cstring>

#include "support/diagnostics.h"
#include "support/elf_header.h"
#include "tool/target_names.h"

namespace hdrtune {

namespace {

void report_too_small(FailureSink &failures, const char *display_name) {
  fail(failures, display_name, 0, "%s: member is too small to hold an ELF header\n", display_name);
}

void report_unreadable(FailureSink &failures, const char *display_name) {
  fail(failures, display_name, 0, "%s: Failed to read ELF header\n", display_name);
}

// Reads and decodes the header; false after reporting why it can't be edited.
bool read_header(FailureSink &failures, const HeaderPlace &place, PositionedFile *file,
                 std::uint64_t size_limit, ElfHeader *header) {
  const char *display_name = place.display_name;
  std::uint64_t offset = place.offset;
  // Not even the identification fits: whatever follows belongs to someone else.
  if (size_limit < EI_NIDENT) {
    report_too_small(failures, display_name);
    return false;
  }
  unsigned char bytes[ELF64_HEADER_SIZE];
  std::size_t got = 0;
  if (file_read(file, offset, bytes, EI_NIDENT, &got) != ReadOutcome::whole) {
    report_unreadable(failures, display_name);
    return false;
  }
  int size = elf_header_size(bytes[EI_CLASS]);
  if (size == 0) {
    fail(failures, display_name, 0, "Unsupported EI_CLASS: %d\n", bytes[EI_CLASS]);
    report_unreadable(failures, display_name);
    return false;
  }
  if (static_cast<std::uint64_t>(size) > size_limit) {
    report_too_small(failures, display_name);
    return false;
  }
  if (file_read(file, offset + EI_NIDENT, bytes + EI_NIDENT, size - EI_NIDENT, &got) !=
      ReadOutcome::whole) {
    report_unreadable(failures, display_name);
    return false;
  }
  *header = decode_elf_header(bytes, size);
  return true;
}

// Only an ELF header of the version this tool knows is edited at all: false
// after reporting why not.
bool check_editable(FailureSink &failures, const char *display_name, const ElfHeader &header) {
  if (std::memcmp(header.bytes, ELFMAG, SELFMAG) != 0) {
    fail(failures, display_name, 0, "%s: Not an ELF file - wrong magic bytes at the start\n",
         display_name);
    return false;
  }
  if (header.version != EV_CURRENT) {
    fail(failures, display_name, 0, "%s: Unsupported EI_VERSION: %d is not %d\n", display_name,
         header.version, EV_CURRENT);
    return false;
  }
  return true;
}

// One input condition: `wanted` -1 lets every header through; otherwise the
// bits of `found` under `mask` must equal it. The message names the field in
// "Unmatched %s: FOUND is not WANTED".
struct Condition {
  ListField field;
  std::int64_t wanted;
  std::int64_t found;
  std::uint32_t mask;
  const char *message;
  bool skippable;  // --skip-unmatched leaves the header alone instead of refusing it
};

void report_unmatched(FailureSink &failures, const char *display_name, const Condition &c) {
  auto found = static_cast<unsigned>(c.found), wanted = static_cast<unsigned>(c.wanted);
  if (c.field != ListField::flags)
    fail(failures, display_name, 0, "%s: Unmatched %s: %d is not %d\n", display_name, c.message,
         static_cast<int>(c.found), static_cast<int>(c.wanted));
  else if (c.mask == UINT32_MAX)
    fail(failures, display_name, 0, "%s: Unmatched %s: 0x%x is not 0x%x\n", display_name, c.message,
         found, wanted);
  else
    fail(failures, display_name, 0, "%s: Unmatched %s: 0x%x is not 0x%x (mask 0x%x)\n",
         display_name, c.message, found, wanted, c.mask);
}

std::int32_t any_class_as_any(std::int32_t selector) {
  return selector == either_class ? -1 : selector;
}

enum class Verdict { edit, unchanged, skipped, refused };

// The input conditions, in their fixed order. Without --input-mach each
// header is judged by the class its own machine implies: a header that does
// not fit it is malformed, never skipped.
struct InputConditions {
  Condition items[7];
};

InputConditions input_conditions(const HeaderEditSettings &s, const ElfHeader &header) {
  bool class_given = s.input_class != -1;
  std::int32_t input_class = class_given ? s.input_class : class_for_machine(header.e_machine);
  constexpr std::uint32_t all = UINT32_MAX;
  const MaskedFlags &flags = s.input_flags;
  return {{
      {ListField::elf_class, any_class_as_any(input_class), header.elf_class, all, "input EI_CLASS",
       class_given},
      {ListField::elf_class, any_class_as_any(s.output_class), header.elf_class, all,
       "output EI_CLASS", false},
      {ListField::machine, s.input_machine, header.e_machine, all, "e_machine", true},
      {ListField::type, s.input_type, header.e_type, all, "e_type", true},
      {ListField::osabi, s.input_osabi, header.osabi, all, "EI_OSABI", true},
      {ListField::abi_version, s.input_abi_version, header.abi_version, all, "EI_ABIVERSION", true},
      {ListField::flags, flags.given ? std::int64_t{flags.value} : -1, header.e_flags, flags.mask,
       "e_flags", true},
  }};
}

// True when no input condition was given, and none but the class that a
// header's own machine implies can refuse it: most runs judge only that.
bool only_implied_class(const HeaderEditSettings &s) {
  return s.input_class == -1 && s.output_class == either_class && s.input_machine == -1 &&
         s.input_type == -1 && s.input_osabi == -1 && s.input_abi_version == -1 &&
         !s.input_flags.given;
}

bool fits_implied_class(const ElfHeader &header) {
  std::int32_t implied = class_for_machine(header.e_machine);
  return implied == either_class || implied == header.elf_class;
}

// The first input condition that fails decides.
Verdict judge_header(const RunOptions &options, const HeaderPlace &place) {
  const HeaderEditSettings &s = options.settings;
  const ElfHeader &header = *place.header;
  // Retargeting to the machine the header already has is a no-op, unless a
  // type, OSABI, ABI version or flags change was asked for as well. A check
  // still leaves out a header that an input condition refuses: it is never
  // "as wanted".
  bool no_op = s.output_machine == header.e_machine && s.output_type == -1 &&
               s.output_osabi == -1 && s.output_abi_version == -1 && !s.output_flags.given;
  if (no_op && !options.check) return Verdict::unchanged;
  Verdict passed = no_op ? Verdict::unchanged : Verdict::edit;
  if (only_implied_class(s) && fits_implied_class(header)) return passed;
  Reporter &reporter = *options.reporter;
  for (const Condition &c : input_conditions(s, header).items) {
    if (c.wanted == -1 || c.wanted == (c.found & c.mask)) continue;
    // What a real run would leave unchanged, a check does not call malformed.
    if (no_op && !c.skippable) continue;
    if (options.skip_unmatched && c.skippable) {
      ++reporter.counts.skipped;
      if (options.list) reporter.skipped(place, {c.field, c.found, c.wanted, c.mask});
      return Verdict::skipped;
    }
    report_unmatched(reporter, place.display_name, c);
    return Verdict::refused;
  }
  return passed;
}

// The header with the output values written into its bytes, decoded again
// from those bytes: what a record shows after an edit is what was written.
ElfHeader with_output_values(const ElfHeader &header, const HeaderEditSettings &s) {
  ElfHeader edited = header;
  encode_output_fields(&edited, s.output_machine, s.output_type, s.output_osabi,
                       s.output_abi_version, s.output_flags);
  return decode_elf_header(edited.bytes, edited.size);
}

// A check: the header holds every output value when writing them would not
// change a byte of it. A header that differs is a failure with a line on the
// standard output, not an error message.
int check_header(const RunOptions &options, const HeaderPlace &place) {
  const ElfHeader &header = *place.header;
  ElfHeader edited = with_output_values(header, options.settings);
  RunCounts &counts = options.reporter->counts;
  ++counts.checked;
  bool differs = std::memcmp(edited.bytes, header.bytes, header.size) != 0;
  if (differs) ++counts.differing;
  if (differs || options.list) options.reporter->checked(place, edited, differs);
  return differs ? 1 : 0;
}

// An AppImage keeps its mark in identification bytes 8 to 10: "AI" and its
// format, 1 or 2. Writing an ABI version over byte 8 would leave a bundle
// that no longer runs, so such a header is refused unless it already holds
// the value asked.
bool overwrites_appimage_mark(FailureSink &failures, const char *display_name,
                              const ElfHeader &header, std::int32_t abi_version) {
  const unsigned char *mark = header.bytes + EI_ABIVERSION;
  if (abi_version == -1 || abi_version == header.abi_version) return false;
  if (mark[0] != 'A' || mark[1] != 'I' || (mark[2] != 1 && mark[2] != 2)) return false;
  fail(failures, display_name, 0,
       "%s: bytes 8 to 10 hold the AppImage mark AI %d; the ABI version would "
       "overwrite it\n",
       display_name, mark[2]);
  return true;
}

// Writes the output values over the header where it stands (unless this is a
// dry run) and lists the change.
int apply_and_write(const RunOptions &options, const HeaderPlace &place, PositionedFile *file) {
  const HeaderEditSettings &s = options.settings;
  const ElfHeader &header = *place.header;
  Reporter &reporter = *options.reporter;
  const char *display_name = place.display_name;
  if (overwrites_appimage_mark(reporter, display_name, header, s.output_abi_version)) return 1;
  ElfHeader edited = with_output_values(header, s);
  if (!options.dry_run) {
    int error = file_write(file, place.offset, edited.bytes, edited.size);
    if (error != 0) {
      fail(reporter, display_name, error, "%s: Failed to update ELF header: %s\n", display_name,
           std::strerror(error));
      return 1;
    }
  }
  ++reporter.counts.edited;
  if (options.list) reporter.changed(place, edited);
  return 0;
}

}  // namespace

int edit_object(const RunOptions &options, const HeaderPlace &where, PositionedFile *file,
                std::uint64_t size_limit) {
  Reporter &reporter = *options.reporter;
  ElfHeader header;
  if (!read_header(reporter, where, file, size_limit, &header)) return 1;
  HeaderPlace place = where;
  place.header = &header;
  ++reporter.counts.headers;
  if (!check_editable(reporter, place.display_name, header)) return 1;
  Verdict verdict = judge_header(options, place);
  if (options.check && (verdict == Verdict::edit || verdict == Verdict::unchanged))
    return check_header(options, place);
  switch (verdict) {
    case Verdict::refused: return 1;
    case Verdict::skipped: return 0;
    case Verdict::unchanged:
      if (options.list) reporter.unchanged(place);
      return 0;
    case Verdict::edit: break;
  }
  if (!has_output_value(options.settings)) {
    ++reporter.counts.listed;
    reporter.listed(place);
    return 0;
  }
  return apply_and_write(options, place, file);
}

}  // namespace hdrtune
