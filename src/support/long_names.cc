// SPDX-License-Identifier: MIT
// long_names.cc - an archive's long-name table, read from the file a window
// at a time.
#include "support/long_names.h"

#include <cstdlib>
#include <cstring>

namespace hdrtune {

namespace {

// A table that fits in one window is read once and keeps its NULs there.
bool keeps_ends(const LongNameTable *table) { return table->size > long_name_window_size; }

// The first recorded end at or after position.
std::size_t first_end_from(const LongNameTable *table, std::uint64_t position) {
  std::size_t low = 0, high = table->end_count;
  while (low < high) {
    std::size_t middle = low + (high - low) / 2;
    if (table->ends[middle] < position)
      low = middle + 1;
    else
      high = middle;
  }
  return low;
}

bool is_recorded_end(const LongNameTable *table, std::uint64_t position) {
  std::size_t at = first_end_from(table, position);
  return at < table->end_count && table->ends[at] == position;
}

// Members mostly come in the order of their names in the table, so a new
// end mostly goes last.
bool record_end(LongNameTable *table, std::uint64_t position) {
  std::size_t count = table->end_count;
  std::size_t at =
      count > 0 && table->ends[count - 1] < position ? count : first_end_from(table, position);
  if (at < count && table->ends[at] == position) return true;
  if (table->end_count == table->end_capacity) {
    std::size_t capacity = table->end_capacity ? table->end_capacity * 2 : 64;
    auto *ends =
        static_cast<std::uint64_t *>(std::realloc(table->ends, capacity * sizeof(std::uint64_t)));
    if (!ends) return false;
    table->ends = ends;
    table->end_capacity = capacity;
  }
  if (at < count)
    std::memmove(table->ends + at + 1, table->ends + at, (count - at) * sizeof(std::uint64_t));
  table->ends[at] = position;
  ++table->end_count;
  return true;
}

bool read_whole(PositionedFile *file, std::uint64_t offset, void *buffer, std::size_t size) {
  std::size_t got = 0;
  return file_read(file, offset, buffer, size, &got) == ReadOutcome::whole;
}

// Reads up to capacity bytes of the table from position on into the window,
// with the NULs earlier lookups wrote there.
LongNameStatus load_window(LongNameTable *table, PositionedFile *file, std::uint64_t position,
                           std::size_t capacity) {
  if (capacity != table->window_capacity || !table->window) {
    auto *window = static_cast<char *>(std::realloc(table->window, capacity + 1));
    if (!window) return LongNameStatus::no_memory;
    table->window = window;
    table->window_capacity = capacity;
  }
  std::uint64_t rest = table->size - position;
  std::size_t length = rest < capacity ? static_cast<std::size_t>(rest) : capacity;
  table->window_length = 0;
  if (!read_whole(file, table->data_offset + position, table->window, length))
    return LongNameStatus::unreadable;
  table->window[length] = '\0';
  table->window_start = position;
  table->window_length = length;
  const void *nul = std::memchr(table->window, '\0', length);
  table->file_nul = position + (nul ? static_cast<const char *>(nul) - table->window : length);
  table->marks_end = 0;
  for (std::size_t i = first_end_from(table, position);
       i < table->end_count && table->ends[i] < position + length; ++i) {
    table->window[table->ends[i] - position] = '\0';
    table->marks_end = table->ends[i] + 1;
  }
  return LongNameStatus::found;
}

bool window_holds(const LongNameTable *table, std::uint64_t position) {
  return position >= table->window_start && position - table->window_start <= table->window_length;
}

// The first NUL, or newline too when newline_ends, at or after index; the
// table's end when there is none. The window then holds index to there.
LongNameStatus find_end(LongNameTable *table, PositionedFile *file, std::uint64_t index,
                        bool newline_ends, std::uint64_t *end) {
  std::size_t capacity = table->window_capacity;
  for (bool reload = !window_holds(table, index);; reload = true) {
    if (reload) {
      LongNameStatus loaded = load_window(table, file, index, capacity);
      if (loaded != LongNameStatus::found) return loaded;
    }
    const char *from = table->window + (index - table->window_start);
    std::size_t rest = table->window_length - (index - table->window_start);
    // Names end at a newline far more often than at a NUL: look for it
    // first, so that the search for a NUL stops at the name's end.
    std::size_t length = rest;
    if (newline_ends) {
      const void *newline = std::memchr(from, '\n', rest);
      if (newline) length = static_cast<const char *>(newline) - from;
    }
    if (index < table->marks_end || index + length > table->file_nul)
      length = strnlen(from, length);
    bool at_table_end = table->window_start + table->window_length == table->size;
    if (length < rest || at_table_end) {
      *end = index + length;
      return LongNameStatus::found;
    }
    // The name runs on past the window: read it again from its start, in a
    // larger window once it starts the window already.
    if (table->window_start == index) capacity *= 2;
    if (capacity > longest_long_name) return LongNameStatus::too_long;
  }
}

// The common case, a name that ends at a newline in the window with no NUL
// before it, found without the general search: false when it is not that.
bool find_newline_end(const LongNameTable *table, std::uint64_t index, std::uint64_t *end) {
  if (index < table->window_start || index < table->marks_end) return false;
  std::uint64_t at = index - table->window_start;
  if (at >= table->window_length) return false;
  const char *from = table->window + at;
  const void *newline = std::memchr(from, '\n', table->window_length - at);
  if (!newline) return false;
  *end = index + (static_cast<const char *>(newline) - from);
  return *end <= table->file_nul;
}

// The table's byte at position as lookups have left it.
LongNameStatus byte_at(LongNameTable *table, PositionedFile *file, std::uint64_t position,
                       char *byte) {
  if (position >= table->window_start && position - table->window_start < table->window_length) {
    *byte = table->window[position - table->window_start];
    return LongNameStatus::found;
  }
  if (is_recorded_end(table, position)) {
    *byte = '\0';
    return LongNameStatus::found;
  }
  return read_whole(file, table->data_offset + position, byte, 1) ? LongNameStatus::found
                                                                  : LongNameStatus::unreadable;
}

// Ends the name at position, in the window and, for a large table, in the
// record that later windows are read with.
LongNameStatus mark_end(LongNameTable *table, std::uint64_t position) {
  if (position >= table->size) return LongNameStatus::found;
  if (position >= table->window_start && position - table->window_start < table->window_length) {
    table->window[position - table->window_start] = '\0';
    if (position >= table->marks_end) table->marks_end = position + 1;
  }
  if (keeps_ends(table) && !record_end(table, position)) return LongNameStatus::no_memory;
  return LongNameStatus::found;
}

}  // namespace

LongNameStatus long_names_open(LongNameTable *table, PositionedFile *file,
                               std::uint64_t data_offset, std::uint64_t size) {
  long_names_release(table);
  table->present = true;
  table->data_offset = data_offset;
  table->size = size;
  std::size_t capacity = keeps_ends(table) ? long_name_window_size : static_cast<std::size_t>(size);
  return load_window(table, file, 0, capacity);
}

LongNameStatus long_name_at(LongNameTable *table, PositionedFile *file, std::uint64_t index,
                            LongName *name) {
  if (index > table->size) return LongNameStatus::beyond_table;
  std::uint64_t end = 0;
  LongNameStatus status = LongNameStatus::found;
  if (!find_newline_end(table, index, &end)) status = find_end(table, file, index, true, &end);
  char before = '\0';
  if (status == LongNameStatus::found && end > index)
    before = table->window[end - 1 - table->window_start];  // the window holds index to end
  else if (status == LongNameStatus::found && end > 0)
    status = byte_at(table, file, end - 1, &before);
  if (status != LongNameStatus::found) return status;
  if (before == '/') --end;
  if ((status = mark_end(table, end)) != LongNameStatus::found) return status;
  name->end = end;
  // A name ended before its index (a '/' and a newline right there) runs on
  // to the next NUL.
  std::uint64_t text_end = end;
  if (end < index &&
      (status = find_end(table, file, index, false, &text_end)) != LongNameStatus::found)
    return status;
  name->text = table->window + (index - table->window_start);
  name->length = static_cast<std::size_t>(text_end - index);
  return LongNameStatus::found;
}

void long_names_release(LongNameTable *table) {
  std::free(table->window);
  std::free(table->ends);
  *table = LongNameTable{};
}

}  // namespace hdrtune
