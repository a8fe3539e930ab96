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

LongNameStatus load_window(LongNameTable *table, PositionedFile *file, std::uint64_t start,
                           std::size_t capacity) {
  if (capacity != table->window_capacity || !table->window) {
    auto *window = static_cast<char *>(std::realloc(table->window, capacity ? capacity : 1));
    if (!window) return LongNameStatus::no_memory;
    table->window = window;
    table->window_capacity = capacity;
  }
  std::uint64_t rest = table->size - start;
  std::size_t length = rest < capacity ? static_cast<std::size_t>(rest) : capacity;
  table->window_length = 0;
  std::size_t got = 0;
  if (length > 0 && file_read(file, table->data_offset + start, table->window, length, &got) !=
                        ReadOutcome::whole)
    return LongNameStatus::unreadable;
  table->window_start = start;
  table->window_length = length;
  return LongNameStatus::found;
}

bool window_holds(const LongNameTable *table, std::uint64_t index) {
  return index >= table->window_start && index - table->window_start <= table->window_length;
}

// Where a window read for index starts. Members that refer to the table
// backwards (its names in descending order) find the names before index in
// the same window, so each window serves many lookups whichever way they go.
std::uint64_t window_start_for(const LongNameTable *table, std::uint64_t index) {
  if (index >= table->window_start) return index;
  std::uint64_t before = table->window_capacity / 2;
  return index > before ? index - before : 0;
}

}  // namespace

LongNameStatus long_names_open(LongNameTable *table, PositionedFile *file,
                               std::uint64_t data_offset, std::uint64_t size) {
  long_names_release(table);
  table->present = true;
  table->data_offset = data_offset;
  table->size = size;
  std::size_t capacity =
      size > long_name_window_size ? long_name_window_size : static_cast<std::size_t>(size);
  return load_window(table, file, 0, capacity);
}

LongNameStatus long_name_at(LongNameTable *table, PositionedFile *file, std::uint64_t index,
                            LongName *name) {
  if (index > table->size) return LongNameStatus::beyond_table;
  std::size_t capacity = table->window_capacity;
  bool reload = !window_holds(table, index);
  for (;;) {
    if (reload) {
      LongNameStatus loaded = load_window(table, file, window_start_for(table, index), capacity);
      if (loaded != LongNameStatus::found) return loaded;
    }
    const char *from = table->window + (index - table->window_start);
    std::size_t rest = table->window_length - (index - table->window_start);
    // Names end at a newline far more often than at a NUL: the search for a
    // NUL stops at the newline.
    const void *newline = std::memchr(from, '\n', rest);
    std::size_t length = strnlen(from, newline ? static_cast<const char *>(newline) - from : rest);
    bool ended = length < rest || table->window_start + table->window_length == table->size;
    if (ended) {
      if (length > 0 && from[length - 1] == '/') --length;
      if (length > longest_long_name) return LongNameStatus::too_long;
      name->text = from;
      name->length = length;
      return LongNameStatus::found;
    }
    // The name runs on past the window: read it again from its start, in a
    // larger window once it starts the window already.
    if (table->window_start == index) {
      if (capacity >= largest_window) return LongNameStatus::too_long;
      capacity = capacity * 2 < largest_window ? capacity * 2 : largest_window;
    }
    reload = true;
  }
}

void long_names_release(LongNameTable *table) {
  std::free(table->window);
  *table = LongNameTable{};
}

}  // namespace hdrtune
