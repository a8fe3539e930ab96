// member_names.cc - name archive members: short and long names, thin-archive references.
//
// An ar_name that does not start with '/' holds the name itself, ended by '/'
// or filling all 16 bytes. "/N" points at byte N of the long-name table, where
// a name ends at NUL or '\n', with an optional '/' before that end. In a thin
// archive, "/N:OFFSET" names the member whose header stands at OFFSET inside
// the archive whose path is at byte N of the table (the nested archive).
#include "support/member_names.h"

#include <cinttypes>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "runtime/alloc.h"
#include "runtime/char_class.h"
#include "support/diagnostics.h"

namespace hdrtune {

static MemberRef invalid_ref(const char *format, std::int64_t number = 0) {
  MemberRef ref;
  std::snprintf(ref.message, sizeof ref.message, format, number);
  return ref;
}

// A short name ends at a '/' after its first byte, or fills all 16 bytes; a
// NUL ends it earlier.
static MemberRef short_member_ref(const ArchiveState *state) {
  const char *name = state->header.ar_name;
  const char *slash = static_cast<const char *>(std::memchr(name + 1, '/', ar_name_size - 1));
  MemberRef ref;
  ref.kind = state->is_thin ? MemberRefKind::thin_file : MemberRefKind::plain;
  ref.name = name;
  ref.name_length = strnlen(name, slash ? slash - name : ar_name_size);
  return ref;
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

static MemberRef long_member_ref(ArchiveState *state) {
  if (!state->long_names || state->long_names_size == 0)
    return invalid_ref("Archive member uses long names, but no longname table found\n");
  int number_end = 0;
  const char *header = header_bytes(&state->header);
  std::uint64_t index = header_number(header, ar_name_offset + 1, &number_end);
  std::uint64_t nested_offset = 0;
  if (state->is_thin && number_end < ar_header_size && header[number_end] == ':')
    nested_offset = header_number(header, number_end + 1, nullptr);
  if (index > state->long_names_size)
    return invalid_ref("Found long name index (%" PRId64 ") beyond end of long name table\n",
                       static_cast<std::int64_t>(index));
  std::uint64_t end = terminate_long_name(state, index);
  MemberRef ref;
  ref.name = state->long_names + index;
  if (!state->is_thin || nested_offset == 0) {
    ref.kind = state->is_thin ? MemberRefKind::thin_file : MemberRefKind::plain;
    ref.name_length = std::strlen(ref.name);
    return ref;
  }
  if (end <= index) return invalid_ref("Invalid Thin archive member name\n");
  ref.kind = MemberRefKind::nested;
  ref.name_length = end - index;
  ref.nested_offset = nested_offset;
  return ref;
}

MemberRef parse_member_ref(ArchiveState *state) {
  if (state->header.ar_name[0] != '/') return short_member_ref(state);
  return long_member_ref(state);
}

// Appends text at *end and moves *end past it.
static void append(char **end, const char *text, std::size_t length) {
  std::memcpy(*end, text, length);
  *end += length;
}

// Built by copying its parts: it is made once for every member.
char *archive_display_name(const char *archive, bool is_thin, const char *nested_archive,
                           const char *name, std::size_t name_length) {
  std::size_t archive_length = std::strlen(archive);
  std::size_t nested_length = nested_archive ? std::strlen(nested_archive) : 0;
  std::size_t size = archive_length + name_length + 3 + (nested_archive ? nested_length + 2 : 0);
  auto *display_name = static_cast<char *>(std::malloc(size));
  if (!display_name) {
    report_error("Out of memory\n");
    return nullptr;
  }
  char *end = display_name;
  append(&end, archive, archive_length);
  if (nested_archive) {
    append(&end, "[", 1);
    append(&end, nested_archive, nested_length);
    append(&end, "(", 1);
    append(&end, name, name_length);
    append(&end, ")]", 2);
  } else {
    append(&end, is_thin ? "[" : "(", 1);
    append(&end, name, name_length);
    append(&end, is_thin ? "]" : ")", 1);
  }
  *end = '\0';
  return display_name;
}

static char *copy_of_bytes(const char *bytes, std::uint64_t length) {
  if (length + 1 == 0) return nullptr;
  auto *copy = static_cast<char *>(malloc_bytes(length + 1));
  if (!copy) {
    report_error("Out of memory\n");
    return nullptr;
  }
  std::memcpy(copy, bytes, length);
  copy[length] = '\0';
  return copy;
}

char *thin_member_path(const char *archive_path, const char *name, std::uint64_t name_length) {
  std::uint64_t dir_length = base_name(archive_path) - archive_path;
  if ((name_length > 0 && name[0] == '/') || dir_length == 0)
    return copy_of_bytes(name, name_length);
  std::uint64_t size = dir_length + name_length + 1;
  if (size < dir_length || size < name_length) {
    report_error("Abnormal length of thin archive member name: %" PRIx64 "\n", name_length);
    return nullptr;
  }
  auto *path = static_cast<char *>(malloc_bytes(size));
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
