// header_editor.h - check and rewrite one ELF file header in place.
#pragma once

#include <cstdint>

#include "support/elf_numbers.h"
#include "support/files.h"
#include "tool/target_names.h"

namespace hdrtune {

// -1 means "not given" (for input_class: "take it from each header").
struct HeaderEditSettings {
  std::int32_t input_machine = -1;
  std::int32_t input_class = -1;
  std::int32_t output_machine = -1;
  std::int32_t output_class = either_class;
  std::int32_t input_type = -1;
  std::int32_t output_type = -1;
  std::int32_t input_osabi = -1;
  std::int32_t output_osabi = -1;
};

extern HeaderEditSettings settings;

// What a run shows and whether it writes: the preview options.
struct PreviewSettings {
  bool list = false;            // print each header's old and new values
  bool dry_run = false;         // check and report as the real run does, write nothing
  bool skip_unmatched = false;  // leave headers that a given input condition refuses
};

extern PreviewSettings preview;

// True when at least one output value was given. Without one, a run with
// --list lists each header's current values instead of editing it.
bool has_output_value(const HeaderEditSettings &s);

// The header in host form, the same record for both classes.
struct DecodedElfHeader {
  unsigned char e_ident[16];
  std::uint64_t e_entry, e_phoff, e_shoff, e_version, e_flags;
  std::uint16_t e_type, e_machine;
  std::uint32_t e_ehsize, e_phentsize, e_phnum, e_shentsize, e_shnum, e_shstrndx;
};

extern unsigned char header_image32[ELF32_HEADER_SIZE];
extern unsigned char header_image64[ELF64_HEADER_SIZE];
extern DecodedElfHeader decoded_header;

// Edits the header that starts at the given offset of the file; reports
// failures under display_name. Returns 0 on success, 1 on failure.
int edit_object(const char *display_name, PositionedFile *stream, std::uint64_t offset);

// As edit_object, for a header that must lie within the size_limit bytes from
// offset on (an archive member's data): a header that would run past them is
// refused before anything is written, so the bytes after the member are never
// overwritten.
int edit_object_within(const char *display_name, PositionedFile *stream, std::uint64_t offset,
                       std::uint64_t size_limit);

}  // namespace hdrtune
