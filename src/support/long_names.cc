// SPDX-License-Identifier: MIT
// long_names.cc - an archive's long-name table, read from the file a window
// at a time.
#include "support/long_names.h"

#include <cstdlib>
#include <cstring>

namespace hdrtune {

namespace {

// A name of the longest length, its '/' and the byte that ends it.
constexpr std::size_t largest_window = longest_long_name + 2;

// Makes the window the length bytes of the table from start, or as many as
// it has. The window's memory only grows, and only for a name that needs it.
LongNameStatus load_window(LongNameTable *table, const PositionedFile *file, std::uint64_t start,
                           std::size_t length) {
  if (length > table->window_capacity || !table->window) {
    auto *window = static_cast<char *>(std::realloc(table->window, length ? length : 1));
    if (!window) return LongNameStatus::no_memory;
    table->window = window;
    table->window_capacity = length;
  }
  std::uint64_t rest = table->size - start;
  if (rest < length) length = static_cast<std::size_t>(rest);
  table->window_length = 0;
  std::size_t got = 0;
  if (length > 0 && file_read_beside_window(file, table->data_offset + start, table->window, length,
                                            &got) != ReadOutcome::whole)
    return LongNameStatus::unreadable;
  table->window_start = start;
  table->window_length = length;
  return LongNameStatus::found;
}

bool window_holds(const LongNameTable *table, std::uint64_t index) {
  return index >= table->window_start && index - table->window_start <= table->window_length;
}

struct TableSpan {
  std::uint64_t start = 0;
  std::size_t length = 0;
};

// What a lookup the window does not serve reads. Members that walk the table
// (the name just past the window's end, or just before its start: names in
// ascending or descending order) read a whole window, which serves the
// lookups that follow; backwards, it also holds the names before index. A
// lookup that jumps reads what a name usually needs, so members that refer
// to their names in no order cost one short read each, not a window each.
TableSpan span_to_read(const LongNameTable *table, std::uint64_t index) {
  std::uint64_t end = table->window_start + table->window_length;
  std::size_t whole = table->window_capacity;
  if (index >= end && index - end <= long_name_walk_gap) return {index, whole};
  if (index < table->window_start && table->window_start - index <= long_name_walk_gap) {
    std::uint64_t before = whole / 2;
    return {index > before ? index - before : 0, whole};
  }
  return {index, long_name_read_size};
}

// The name at index when the window holds it up to its end: the bytes up to
// the first NUL or newline, or the table's end.
bool name_in_window(const LongNameTable *table, std::uint64_t index, LongName *name) {
  const char *from = table->window + (index - table->window_start);
  std::size_t rest = table->window_length - (index - table->window_start);
  // Names end at a newline far more often than at a NUL: the search for a
  // NUL stops at the newline.
  const void *newline = std::memchr(from, '\n', rest);
  std::size_t length = strnlen(from, newline ? static_cast<const char *>(newline) - from : rest);
  if (length == rest && table->window_start + table->window_length != table->size) return false;
  name->text = from;
  name->length = length;
  return true;
}

// The name runs on past the window: it is read again from its start, twice
// as much of it once it starts the window already.
LongNameStatus read_on(LongNameTable *table, const PositionedFile *file, std::uint64_t index) {
  std::size_t length = table->window_length;
  if (table->window_start == index) {
    if (length >= largest_window) return LongNameStatus::too_long;
    length = length < long_name_read_size ? long_name_read_size : length * 2;
    if (length > largest_window) length = largest_window;
  }
  return load_window(table, file, index, length);
}

}  // namespace

LongNameStatus long_names_open(LongNameTable *table, const PositionedFile *file,
                               std::uint64_t data_offset, std::uint64_t size) {
  long_names_release(table);
  table->present = true;
  table->data_offset = data_offset;
  table->size = size;
  std::size_t capacity =
      size > long_name_window_size ? long_name_window_size : static_cast<std::size_t>(size);
  return load_window(table, file, 0, capacity);
}

LongNameStatus long_name_at(LongNameTable *table, const PositionedFile *file, std::uint64_t index,
                            LongName *name) {
  if (index > table->size) return LongNameStatus::beyond_table;
  if (!window_holds(table, index)) {
    TableSpan span = span_to_read(table, index);
    LongNameStatus loaded = load_window(table, file, span.start, span.length);
    if (loaded != LongNameStatus::found) return loaded;
  }
  while (!name_in_window(table, index, name)) {
    LongNameStatus loaded = read_on(table, file, index);
    if (loaded != LongNameStatus::found) return loaded;
  }
  if (name->length > 0 && name->text[name->length - 1] == '/') --name->length;
  if (name->length > longest_long_name) return LongNameStatus::too_long;
  return LongNameStatus::found;
}

void long_names_release(LongNameTable *table) {
  std::free(table->window);
  *table = LongNameTable{};
}

}  // namespace hdrtune
