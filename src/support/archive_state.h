// SPDX-License-Identifier: MIT
// archive_state.h - the archive reader's own record, for its code and its unit
// tests only: everyone else holds an ArchiveState through archive.h's functions.
// Included only by: archive.cc member_names.cc archive_test.cc member_names_test.cc
#pragma once

#include <cstdint>

#include "support/archive.h"
#include "support/files.h"
#include "support/long_names.h"

namespace hdrtune {

// The reader of one archive. Its cursor, next_header_offset, is moved only
// by the reader, one member at a time.
struct ArchiveState {
  char *file_name = nullptr;       // owned copy of the archive's path
  PositionedFile *file = nullptr;  // the archive's open file
  std::uint64_t index_count = 0;
  std::uint64_t *index_offsets = nullptr;  // owned; only when the index was read
  unsigned char *symbol_names = nullptr;   // owned; only when the index was read
  std::uint64_t symbol_names_size = 0;
  LongNameTable long_names;  // present only when the archive has one
  std::uint64_t next_header_offset = 0;
  std::uint64_t after_index_offset = 0;  // where the header after a System V index stands
  int is_thin = 0;
  int index_is_64bit = 0;
  ArHeader header = {};  // the header at the cursor
  // The header archive_member_at read, apart from the cursor's: a short name
  // handed out points into it.
  ArHeader found_header = {};
  // The archive's first member is named the BSD way ("#1/N" or a "__.SYMDEF"
  // index); that member, when named "__.SYMDEF", is the archive's index.
  int is_bsd = 0;
  NameBuffer bsd_name;  // the last "#1/N" name read from a member's data
  // Where the reader hands the failures it finds, each about the archive.
  FailureSink *failures = &stderr_failures();
  // A nested archive's file, opened by archive_switch_nested (file points
  // here while open), and whether an archive switched away from or closed
  // did not close cleanly.
  PositionedFile own_file;
  int close_failed = 0;
};

// True when the size bytes from offset on lie within the archive, as large as
// it was when it was opened. A size claimed by a header is checked so before
// anything that large is allocated, and before it is trusted to lead to the
// next header.
inline bool archive_holds(const ArchiveState *state, std::uint64_t offset, std::uint64_t size) {
  std::uint64_t total = state->file->size_at_open;
  return offset <= total && size <= total - offset;
}

// Reads the header at offset into `header`: whole, nothing at the archive's
// end, or short_or_failed after handing the failure on.
HeaderRead archive_read_header(ArchiveState *state, std::uint64_t offset);

// The members the reader deals with itself, by their place and name: the
// System V index ("/" or "/SYM64/", only as the first member) and the
// long-name table ("//", first or right after that index).
enum class SpecialMember { none, index, long_names, damage };
// With the header at offset in `header`: steps the cursor past such a
// member (reading the index when read_index is set, loading the table), or
// leaves everything as it is for any other member. damage is reported.
SpecialMember archive_take_special(ArchiveState *state, std::uint64_t offset, int read_index);

bool archive_read_index(ArchiveState *state, unsigned entry_width, int read_index);

}  // namespace hdrtune
