// member_names.cc - name archive members: short and long names, thin-archive references.
//
// An ar_name that does not start with '/' holds the name itself, ended by '/'
// or filling all 16 bytes. "/N" points at byte N of the long-name table, where
// a name ends at NUL or '\n', with an optional '/' before that end. In a thin
// archive, "/N:OFFSET" names the member whose header stands at OFFSET inside
// the archive whose path is at byte N of the table (the nested archive).
#include <cstdlib>
#include <cstring>

#include "runtime/alloc.h"
#include "runtime/char_class.h"
#include "support/archive.h"
#include "support/diagnostics.h"

namespace hdrtune {

static const char *short_member_name(ArchiveState *state) {
  state->nested_member_offset = 0;
  char *name = state->header.ar_name;
  for (int i = 1; i < ar_name_size; ++i) {
    if (name[i] == '/') {
      name[i] = '\0';
      return name;
    }
  }
  // All 16 bytes are the name: they need a terminator the header has no room for.
  auto *copy = static_cast<char *>(alloc_or_die(ar_name_size + 1));
  std::memcpy(copy, name, ar_name_size);
  copy[ar_name_size] = '\0';
  std::free(state->short_name_copy);
  state->short_name_copy = copy;
  return copy;
}

// Ends the name that starts at `index` in place and returns where it ends.
static std::uint64_t terminate_long_name(ArchiveState *state, std::uint64_t index) {
  char *table = state->long_names;
  // The name ends at the first NUL or newline, or at the table's end.
  std::uint64_t end = state->long_names_size;
  auto *newline = static_cast<char *>(std::memchr(table + index, '\n', end - index));
  if (newline) end = newline - table;
  end = index + strnlen(table + index, end - index);
  if (end > 0 && table[end - 1] == '/') --end;
  table[end] = '\0';
  return end;
}

// The member lives in another archive: open that one in `nested` (unless it
// is open already) and name the member from its header there. When that fails
// the nested archive's path stands in for the name.
static const char *nested_member_name(ArchiveState *state, ArchiveState *nested,
                                      std::uint64_t index, std::uint64_t end) {
  const char *table_name = state->long_names + index;
  if (end <= index) {
    report_error("Invalid Thin archive member name\n");
    return nullptr;
  }
  char *path = thin_member_path(state->file_name, table_name, end - index);
  const char *name = nullptr;
  if (path && nested && archive_switch_nested(nested, path) == 0)
    name = archive_member_name_at(nested, state->nested_member_offset, nullptr);
  std::free(path);
  return name ? name : table_name;
}

static const char *long_member_name(ArchiveState *state, ArchiveState *nested) {
  if (!state->long_names || state->long_names_size == 0) {
    report_error("Archive member uses long names, but no longname table found\n");
    return nullptr;
  }
  state->nested_member_offset = 0;
  int number_end = 0;
  const char *header = header_bytes(&state->header);
  std::uint64_t index = header_number(header, ar_name_offset + 1, &number_end);
  if (state->is_thin && number_end < ar_header_size && header[number_end] == ':')
    state->nested_member_offset = header_number(header, number_end + 1, nullptr);
  if (index > state->long_names_size) {
    report_error("Found long name index (%ld) beyond end of long name table\n",
                 static_cast<long>(index));
    return nullptr;
  }
  std::uint64_t end = terminate_long_name(state, index);
  if (!state->is_thin || state->nested_member_offset == 0) return state->long_names + index;
  return nested_member_name(state, nested, index, end);
}

const char *archive_member_name(ArchiveState *state, ArchiveState *nested) {
  if (state->header.ar_name[0] != '/') return short_member_name(state);
  return long_member_name(state, nested);
}

const char *archive_member_name_at(ArchiveState *state, std::uint64_t offset,
                                   ArchiveState *nested) {
  if (!offset_reachable(offset)) {
    report_error("%s: failed to seek to next file name\n", state->file_name);
    return nullptr;
  }
  if (read_member_header(state->stream, offset, &state->header) != HeaderRead::whole) {
    report_error("%s: failed to read archive header\n", state->file_name);
    return nullptr;
  }
  if (!has_valid_fmag(&state->header)) {
    report_error("%s: did not find a valid archive header\n", state->file_name);
    return nullptr;
  }
  return archive_member_name(state, nested);
}

// Appends text at *end and moves *end past it.
static void append(char **end, const char *text, std::size_t length) {
  std::memcpy(*end, text, length);
  *end += length;
}

// lib.a(foo.o) for a regular archive, thin.a[obj/foo.o] for a thin archive's
// member file, thin.a[lib.a(foo.o)] for a member of a nested archive. Built
// by copying its parts: it is made once for every member.
char *archive_display_name(const ArchiveState *state, const ArchiveState *nested,
                           const char *name) {
  const char *archive = state->file_name;
  std::size_t archive_length = std::strlen(archive), name_length = std::strlen(name);
  std::size_t size = archive_length + name_length + 3;
  const char *nested_name = nullptr;
  std::size_t nested_length = 0;
  if (state->is_thin && state->nested_member_offset != 0) {
    nested_name = nested && nested->file_name ? nested->file_name : "<corrupt>";
    nested_length = std::strlen(nested_name);
    size += nested_length + 2;
  }
  auto *display_name = static_cast<char *>(std::malloc(size));
  if (!display_name) {
    report_error("Out of memory\n");
    return nullptr;
  }
  char *end = display_name;
  append(&end, archive, archive_length);
  if (nested_name) {
    append(&end, "[", 1);
    append(&end, nested_name, nested_length);
    append(&end, "(", 1);
    append(&end, name, name_length);
    append(&end, ")]", 2);
  } else {
    append(&end, state->is_thin ? "[" : "(", 1);
    append(&end, name, name_length);
    append(&end, state->is_thin ? "]" : ")", 1);
  }
  *end = '\0';
  return display_name;
}

static char *copy_of_bytes(const char *bytes, std::uint64_t length) {
  if (length + 1 == 0) return nullptr;
  auto *copy = static_cast<char *>(std::malloc(length + 1));
  if (!copy) {
    report_error("Out of memory\n");
    return nullptr;
  }
  std::memcpy(copy, bytes, length);
  copy[length] = '\0';
  return copy;
}

// A relative member name is relative to the directory of the thin archive.
char *thin_member_path(const char *archive_path, const char *name,
                       std::uint64_t name_length) {
  std::uint64_t dir_length = base_name(archive_path) - archive_path;
  if ((name_length > 0 && name[0] == '/') || dir_length == 0)
    return copy_of_bytes(name, name_length);
  std::uint64_t size = dir_length + name_length + 1;
  if (size < dir_length || size < name_length) {
    report_error("Abnormal length of thin archive member name: %lx\n",
                 static_cast<unsigned long>(name_length));
    return nullptr;
  }
  auto *path = static_cast<char *>(std::malloc(size));
  if (!path) {
    report_error("Out of memory\n");
    return nullptr;
  }
  std::memcpy(path, archive_path, dir_length);
  std::memcpy(path + dir_length, name, name_length);
  path[size - 1] = '\0';
  return path;
}

}  // namespace hdrtune
