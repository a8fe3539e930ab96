// SPDX-License-Identifier: MIT
// long_names.h - an archive's long-name table, read from the file a piece
// at a time as members need their names, so that memory never follows the
// size a table claims.
#pragma once

#include <cstddef>
#include <cstdint>

#include "support/files.h"

namespace hdrtune {

// How much of the table lookups that walk it read at once; a table no
// larger is read once.
constexpr std::size_t long_name_window_size = 64 * 1024;
// How much a lookup far from the last one reads first: more than most names
// need. A longer name is read again from its start, twice as much each time.
constexpr std::size_t long_name_read_size = 256;
// A lookup at most this far past the window's end, or before its start,
// walks the table rather than jumping about in it.
constexpr std::size_t long_name_walk_gap = 4096;
// No real name comes near this; a longer one means the table is damaged.
constexpr std::size_t longest_long_name = 1024 * 1024;

// A lookup only reads the table: a name reads the same however often, and in
// whatever order, members refer to it. The table is read beside the file's
// window, never into it, so the member headers the window holds stay there.
struct LongNameTable {
  bool present = false;
  std::uint64_t data_offset = 0;  // where the table's bytes start in the archive
  std::uint64_t size = 0;
  char *window = nullptr;  // owned; window_capacity bytes, the part of the table last read
  std::size_t window_capacity = 0;
  std::uint64_t window_start = 0;  // table offset of window[0]
  std::size_t window_length = 0;
};

enum class LongNameStatus {
  found,
  beyond_table,  // the index is past the table's end
  unreadable,    // a read of the table failed
  too_long,      // the name is longer than longest_long_name
  no_memory,
};

struct LongName {
  const char *text = nullptr;  // inside the table's window, valid until the next lookup
  std::size_t length = 0;
};

// Takes the table of `size` bytes at data_offset in file and reads its
// first window.
LongNameStatus long_names_open(LongNameTable *table, const PositionedFile *file,
                               std::uint64_t data_offset, std::uint64_t size);

// The name that starts at index: the bytes up to the first NUL or newline,
// or the table's end, less one '/' that ends them.
LongNameStatus long_name_at(LongNameTable *table, const PositionedFile *file, std::uint64_t index,
                            LongName *name);

void long_names_release(LongNameTable *table);

}  // namespace hdrtune
