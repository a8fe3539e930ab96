// SPDX-License-Identifier: MIT
// long_names.h - an archive's long-name table, read from the file a window
// at a time as members need their names, so that memory never follows the
// size a table claims.
#pragma once

#include <cstddef>
#include <cstdint>

#include "support/files.h"

namespace hdrtune {

// How much of the table is held at once; a table no larger is read once.
constexpr std::size_t long_name_window_size = 64 * 1024;
// No real name comes near this; a longer one means the table is damaged.
constexpr std::size_t longest_long_name = 1024 * 1024;

// A name's lookup ends it in the table by writing a NUL there, and later
// lookups see that NUL. The window holds such NULs; a table larger than the
// window also keeps their positions, to put them back into every part of
// the table it reads again.
struct LongNameTable {
  bool present = false;
  std::uint64_t data_offset = 0;  // where the table's bytes start in the archive
  std::uint64_t size = 0;
  char *window = nullptr;  // owned; window_capacity bytes and a NUL
  std::size_t window_capacity = 0;
  std::uint64_t window_start = 0;  // table offset of window[0]
  std::size_t window_length = 0;
  // The window holds no NUL from marks_end on but what the file holds, and
  // the file's first NUL in the window is at file_nul (the window's end when
  // none): a name between the two needs no search for a NUL.
  std::uint64_t marks_end = 0;
  std::uint64_t file_nul = 0;
  std::uint64_t *ends = nullptr;  // owned; sorted positions of the NULs written
  std::size_t end_count = 0, end_capacity = 0;
};

enum class LongNameStatus {
  found,
  beyond_table,  // the index is past the table's end
  unreadable,    // a read of the table failed
  too_long,      // the name runs on past longest_long_name
  no_memory,
};

struct LongName {
  const char *text = nullptr;  // inside the table's window, valid until the next lookup
  std::size_t length = 0;      // the bytes up to the first NUL, from the index on
  std::uint64_t end = 0;       // where the lookup ended the name
};

// Takes the table of `size` bytes at data_offset in file and reads its
// first window.
LongNameStatus long_names_open(LongNameTable *table, PositionedFile *file,
                               std::uint64_t data_offset, std::uint64_t size);

// The name that starts at index: it ends at the first NUL or newline, or at
// the table's end, less one '/' just before that end; a NUL is written
// there. The name's text runs from index to the first NUL from there on.
LongNameStatus long_name_at(LongNameTable *table, PositionedFile *file, std::uint64_t index,
                            LongName *name);

void long_names_release(LongNameTable *table);

}  // namespace hdrtune
