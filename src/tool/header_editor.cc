// SPDX-License-Identifier: MIT
// header_editor.cc - check and rewrite one ELF file header in place.
//
// Three steps on the header as a value: read it whole (64 bytes in one read
// where the member holds them, else 16 identification bytes, then the 36 or
// 48 its class implies), judge it against the input conditions, and write it
// back over itself with the output values (or, in a check, compare it with
// them); nothing else of the file is written.
#include "tool/header_editor.h"

#include <cstdio>
#include <cstring>

#include "support/diagnostics.h"
#include "support/elf_header.h"
#include "tool/flags_names.h"
#include "tool/target_names.h"

namespace hdrtune {

namespace {

void report_too_small(FailureSink &failures, const char *display_name) {
  fail(failures, display_name, 0, "%s: member is too small to hold an ELF header\n", display_name);
}

void report_unreadable(FailureSink &failures, const char *display_name) {
  fail(failures, display_name, 0, "%s: Failed to read ELF header\n", display_name);
}

enum class OneRead {
  decoded,       // the header is read whole
  failed,        // the read failed: the header is unreadable
  step_by_step,  // something else: the steps below decide what to report
};

// The usual case in one read: the largest header there is fits under the
// limit and the file holds it, and its class is one this tool knows.
OneRead read_in_one(PositionedFile *file, std::uint64_t offset, std::uint64_t size_limit,
                    ElfHeader *header) {
  std::size_t got = 0;
  if (size_limit < sizeof header->bytes) return OneRead::step_by_step;
  ReadOutcome outcome = file_read(file, offset, header->bytes, sizeof header->bytes, &got);
  if (outcome == ReadOutcome::failed) return OneRead::failed;
  header->size = elf_header_size(header->bytes[EI_CLASS]);
  if (outcome != ReadOutcome::whole || header->size == 0) return OneRead::step_by_step;
  // A 32-bit header's bytes are followed by 12 of what comes after it:
  // read, never written.
  decode_elf_fields(header);
  return OneRead::decoded;
}

// The header read in steps: the identification, then the rest its class
// implies; false after reporting why it can't be edited.
bool read_in_steps(FailureSink &failures, const char *display_name, PositionedFile *file,
                   std::uint64_t offset, std::uint64_t size_limit, ElfHeader *header) {
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

// Reads and decodes the header; false after reporting why it can't be edited.
// What the single read leaves (a short member or file, an unknown class) is
// read again in steps, so that what is reported is decided there alone.
bool read_header(FailureSink &failures, const HeaderPlace &place, PositionedFile *file,
                 std::uint64_t size_limit, ElfHeader *header) {
  switch (read_in_one(file, place.offset, size_limit, header)) {
    case OneRead::decoded: return true;
    case OneRead::failed: report_unreadable(failures, place.display_name); return false;
    case OneRead::step_by_step: break;
  }
  return read_in_steps(failures, place.display_name, file, place.offset, size_limit, header);
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
// "Unmatched %s: FOUND is not WANTED"; null for the field's own name.
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
  const char *name = c.message ? c.message : field_elf_name(c.field);
  if (!takes_mask(c.field))
    fail(failures, display_name, 0, "%s: Unmatched %s: %d is not %d\n", display_name, name,
         static_cast<int>(c.found), static_cast<int>(c.wanted));
  else if (c.mask == UINT32_MAX)
    fail(failures, display_name, 0, "%s: Unmatched %s: 0x%x is not 0x%x\n", display_name, name,
         found, wanted);
  else
    fail(failures, display_name, 0, "%s: Unmatched %s: 0x%x is not 0x%x (mask 0x%x)\n",
         display_name, name, found, wanted, c.mask);
}

std::int32_t any_class_as_any(std::int32_t selector) {
  return selector == either_class ? -1 : selector;
}

enum class Verdict { edit, unchanged, skipped, refused };

// Retargeting to the machine the header already has is a no-op, unless a
// type, OSABI, ABI version or flags change was asked for as well. A target
// name's class and byte order must fit too: mipsel is not the machine of a
// big-endian MIPS header.
bool is_no_op(const HeaderEditSettings &s, const ElfHeader &header) {
  const MaskedValue &machine = s.output[HeaderField::machine];
  if (!machine.given || machine.value != header.value(HeaderField::machine)) return false;
  for (int i = field_index(HeaderField::type); i < header_field_count; ++i)
    if (s.output.values[i].given) return false;
  if (s.output_flags_names) return false;
  return s.output_data_encoding == any_byte_order ||
         (s.output_data_encoding == header.data_encoding &&
          (s.output_class == either_class || s.output_class == header.elf_class));
}

// The conditions on the class and byte order, in their fixed order.
// Without --input-mach each header is judged by the class its own machine
// implies: a header that does not fit it is malformed, never skipped.
struct ClassConditions {
  Condition items[4];
};

ClassConditions class_conditions(const HeaderEditSettings &s, const ElfHeader &header) {
  bool class_given = s.input_class != -1;
  std::int32_t input_class = class_given ? s.input_class : class_for_machine(header.e_machine());
  constexpr std::uint32_t all = UINT32_MAX;
  return {{
      {ListField::elf_class, any_class_as_any(input_class), header.elf_class, all, "input EI_CLASS",
       class_given},
      {ListField::elf_class, any_class_as_any(s.output_class), header.elf_class, all,
       "output EI_CLASS", false},
      {ListField::data_encoding, s.input_data_encoding, header.data_encoding, all, "input EI_DATA",
       true},
      {ListField::data_encoding, s.output_data_encoding, header.data_encoding, all,
       "output EI_DATA", false},
  }};
}

// True when no input condition was given, and none but the class that a
// header's own machine implies can refuse it: most runs judge only that.
bool only_implied_class(const HeaderEditSettings &s) {
  for (const MaskedValue &v : s.input.values)
    if (v.given) return false;
  return s.input_class == -1 && s.output_class == either_class &&
         s.input_data_encoding == any_byte_order && s.output_data_encoding == any_byte_order;
}

bool fits_implied_class(const ElfHeader &header) {
  std::int32_t implied = class_for_machine(header.e_machine());
  return implied == either_class || implied == header.elf_class;
}

// A header an input condition left alone: counted, and listed when asked.
Verdict skip_header(const RunOptions &options, const HeaderPlace &place,
                    const SkipCondition &skip) {
  ++options.reporter->counts.skipped;
  if (options.list) options.reporter->skipped(place, skip);
  return Verdict::skipped;
}

// Verdict::edit when the condition is met or states no value.
Verdict judge_condition(const RunOptions &options, const HeaderPlace &place, bool no_op,
                        const Condition &c) {
  if (c.wanted == -1 || c.wanted == (c.found & c.mask)) return Verdict::edit;
  // What a real run would leave unchanged, a check does not call malformed.
  if (no_op && !c.skippable) return Verdict::edit;
  if (options.skip_unmatched && c.skippable)
    return skip_header(options, place, {c.field, c.found, c.wanted, c.mask});
  report_unmatched(*options.reporter, place.display_name, c);
  return Verdict::refused;
}

// The input conditions a single value states, the class and byte order
// first, then the five fields: the first that fails decides.
Verdict judge_values(const RunOptions &options, const HeaderPlace &place, bool no_op) {
  const HeaderEditSettings &s = options.settings;
  const ElfHeader &header = *place.header;
  Verdict verdict = Verdict::edit;
  for (const Condition &c : class_conditions(s, header).items)
    if ((verdict = judge_condition(options, place, no_op, c)) != Verdict::edit) return verdict;
  for (int i = 0; i < header_field_count && verdict == Verdict::edit; ++i) {
    const MaskedValue &v = s.input.values[i];
    if (v.given)
      verdict = judge_condition(
          options, place, no_op,
          {list_field(HeaderField(i)), v.value, header.fields[i], v.mask, nullptr, true});
  }
  return verdict;
}

// "FIELD FOUND, wanted one of TEXT", room kept for the most alternatives an
// option takes, each as long as a keyword can be.
struct ChoiceWhy {
  char text[1400];
};

ChoiceWhy choice_why(const ElfHeader &header, ListField field, const char *text) {
  ChoiceWhy why;
  int length =
      std::snprintf(why.text, sizeof why.text, "%s %s, wanted one of %s", field_text_name(field),
                    value_text(field, field_value(header, field), header.e_machine()).text, text);
  if (length >= static_cast<int>(sizeof why.text))
    std::strcpy(why.text + sizeof why.text - 4, "...");
  return why;
}

// An input condition given as alternatives: the header must meet one.
Verdict judge_input_choices(const RunOptions &options, const HeaderPlace &place) {
  const HeaderEditSettings &s = options.settings;
  const ElfHeader &header = *place.header;
  for (int i = 0; i < choice_field_count; ++i) {
    const InputChoices &choices = s.input_choices[i];
    if (meets_any_choice(HeaderField(i), choices, header)) continue;
    ListField field = list_field(HeaderField(i));
    if (options.skip_unmatched) {
      ChoiceWhy why = choice_why(header, field, choices.text);
      return skip_header(options, place, {field, 0, 0, UINT32_MAX, why.text});
    }
    fail(*options.reporter, place.display_name, 0, "%s: Unmatched %s: %d is not one of %s\n",
         place.display_name, field_elf_name(field), static_cast<int>(header.fields[i]),
         choices.text);
    return Verdict::refused;
  }
  return Verdict::edit;
}

bool has_input_choices(const HeaderEditSettings &s) {
  for (const InputChoices &choices : s.input_choices)
    if (choices.text) return true;
  return false;
}

// A flags setting the header's machine lacks: as a condition the header is
// unmatched (and may be skipped), as an output it is refused.
Verdict judge_flags_fields(const RunOptions &options, const HeaderPlace &place) {
  const HeaderEditSettings &s = options.settings;
  const ElfHeader &header = *place.header;
  bool is_input = s.input_flags_missing.text != nullptr;
  const FlagsSetting &missing = is_input ? s.input_flags_missing : s.output_flags_missing;
  char why[160];
  int length = static_cast<int>(missing.length);
  if (const char *machine = machine_name(header.e_machine()))
    std::snprintf(why, sizeof why, "%s has no flags field %.*s", machine, length, missing.text);
  else
    std::snprintf(why, sizeof why, "machine %d has no flags field %.*s", header.e_machine(), length,
                  missing.text);
  if (is_input && options.skip_unmatched)
    return skip_header(options, place, {ListField::flags, 0, 0, UINT32_MAX, why});
  fail(*options.reporter, place.display_name, 0, "%s: Unmatched %s: %s\n", place.display_name,
       is_input ? "e_flags" : "output e_flags", why);
  return Verdict::refused;
}

// An OSABI from 64 to 254 means something else on every machine: one that
// belongs to a machine is refused for a header that will be of another.
Verdict judge_osabi_machine(FailureSink &failures, const char *display_name,
                            const HeaderEditSettings &s, const ElfHeader &header) {
  const MaskedValue &output_machine = s.output[HeaderField::machine];
  std::int32_t machine =
      output_machine.given ? static_cast<std::int32_t>(output_machine.value) : header.e_machine();
  if (s.output_osabi_machine == any_machine || s.output_osabi_machine == machine)
    return Verdict::edit;
  const char *name = machine_name(machine);
  char number[16];
  std::snprintf(number, sizeof number, "%d", machine);
  fail(failures, display_name, 0, "%s: Unmatched output EI_OSABI: %s belongs to %s, not %s\n",
       display_name,
       osabi_name(static_cast<std::int32_t>(s.output[HeaderField::osabi].value),
                  s.output_osabi_machine),
       machine_name(s.output_osabi_machine), name ? name : number);
  return Verdict::refused;
}

// True when a condition no single value states was given: most runs give
// none, and judge nothing more.
bool asks_beyond_values(const HeaderEditSettings &s) {
  return has_input_choices(s) || s.input_flags_missing.text || s.output_flags_missing.text ||
         s.output_osabi_machine != any_machine;
}

// The conditions no single value states, after those that one does: input
// alternatives, then flags fields the machine lacks, then an OSABI of
// another machine.
Verdict judge_beyond_values(const RunOptions &options, const HeaderPlace &place) {
  const HeaderEditSettings &s = options.settings;
  Verdict verdict = Verdict::edit;
  if (has_input_choices(s)) verdict = judge_input_choices(options, place);
  if (verdict == Verdict::edit && (s.input_flags_missing.text || s.output_flags_missing.text))
    verdict = judge_flags_fields(options, place);
  if (verdict == Verdict::edit)
    verdict = judge_osabi_machine(*options.reporter, place.display_name, s, *place.header);
  return verdict;
}

// The first input condition that fails decides.
Verdict judge_header(const RunOptions &options, const HeaderPlace &place) {
  // A check still leaves out a header that an input condition refuses: it
  // is never "as wanted".
  bool no_op = is_no_op(options.settings, *place.header);
  if (no_op && !options.check) return Verdict::unchanged;
  const HeaderEditSettings &s = options.settings;
  bool implied_only = only_implied_class(s) && fits_implied_class(*place.header);
  Verdict verdict = implied_only ? Verdict::edit : judge_values(options, place, no_op);
  if (verdict == Verdict::edit && asks_beyond_values(s))
    verdict = judge_beyond_values(options, place);
  if (verdict != Verdict::edit) return verdict;
  return no_op ? Verdict::unchanged : Verdict::edit;
}

// The header with the output values written into its bytes, decoded again
// from those bytes: what a record shows after an edit is what was written.
ElfHeader with_output_values(const ElfHeader &header, const HeaderEditSettings &s) {
  ElfHeader edited = header;
  encode_output_fields(&edited, s.output);
  decode_elf_fields(&edited);
  return edited;
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
                              const ElfHeader &header, const MaskedValue &abi_version) {
  const unsigned char *mark = header.bytes + EI_ABIVERSION;
  if (!abi_version.given || abi_version.value == header.value(HeaderField::abi_version))
    return false;
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
  if (overwrites_appimage_mark(reporter, display_name, header, s.output[HeaderField::abi_version]))
    return 1;
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

// Judges the header that was read, then checks, lists or writes it.
int edit_header(const RunOptions &options, const HeaderPlace &place, PositionedFile *file) {
  Reporter &reporter = *options.reporter;
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
  const HeaderEditSettings &s = options.settings;
  if (!s.input_flags_names && !s.output_flags_names) return edit_header(options, place, file);
  // Flags given by name mean bits of the header's own machine: resolved
  // again only when the machine is not the last one's.
  FlagsByMachine *kept = options.flags_by_machine;
  if (kept->e_machine != header.e_machine()) {
    kept->options = options;
    resolve_flags_for_machine(&kept->options.settings, header.e_machine());
    kept->e_machine = header.e_machine();
  }
  place.settings = &kept->options.settings;
  return edit_header(kept->options, place, file);
}

}  // namespace hdrtune
