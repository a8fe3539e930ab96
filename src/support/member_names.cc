// SPDX-License-Identifier: MIT
// member_names.cc - name archive members: short and long names, thin-archive references.
//
// An ar_name that does not start with '/' holds the name itself, ended by '/'
// or filling all 16 bytes. "/N" points at byte N of the long-name table, where
// a name ends at NUL or '\n', with an optional '/' before that end. In a thin
// archive, "/N:OFFSET" names the member whose header stands at OFFSET inside
// the archive whose path is at byte N of the table (the nested archive).
//
// Archives written the BSD way name a member "#1/N" instead: the first N bytes
// of its data hold the name, padded with NUL bytes. A short name there is
// padded with spaces, and has no '/'.
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

static MemberRef damaged_ref(const char *format, std::uint64_t number = 0) {
  MemberRef ref;
  ref.kind = MemberRefKind::damaged;
  std::snprintf(ref.message, sizeof ref.message, format, static_cast<unsigned long long>(number));
  return ref;
}

// No real name comes near this: a longer one is damage, and memory never
// follows what a damaged header claims.
constexpr std::uint64_t bsd_name_limit = 1024 * 1024;

// Reads the first `size` bytes of the data into the state's name buffer.
static MemberRef read_bsd_name(ArchiveState *state, std::size_t size) {
  if (size > state->bsd_name_capacity) {
    auto *grown = static_cast<char *>(std::realloc(state->bsd_name, size));
    if (!grown) return invalid_ref("Out of memory\n");
    state->bsd_name = grown;
    state->bsd_name_capacity = size;
  }
  std::size_t got = 0;
  if (size > 0 && file_read(state->file, state->member_data_offset, state->bsd_name, size, &got) !=
                      ReadOutcome::whole)
    return damaged_ref("failed to read member name");
  MemberRef ref;
  ref.kind = MemberRefKind::plain;
  ref.name = size > 0 ? state->bsd_name : "";
  ref.name_length = strnlen(ref.name, size);
  return ref;
}

// The name is the first name_size bytes of the data, up to the first NUL.
static MemberRef bsd_member_ref(ArchiveState *state, std::uint64_t name_size) {
  if (name_size > member_size(&state->header))
    return damaged_ref("name of %llu bytes is longer than the member", name_size);
  if (!archive_holds(state, state->member_data_offset, name_size))
    return damaged_ref("name runs past the end of the archive");
  std::size_t read_size = name_size < bsd_name_limit ? name_size : bsd_name_limit;
  MemberRef ref = read_bsd_name(state, read_size);
  if (ref.kind != MemberRefKind::plain) return ref;
  if (ref.name_length == bsd_name_limit && name_size > bsd_name_limit)
    return damaged_ref("name longer than %llu bytes", bsd_name_limit);
  ref.name_in_data = name_size;
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
  if (state->is_bsd)
    while (ref.name_length > 0 && name[ref.name_length - 1] == ' ') --ref.name_length;
  return ref;
}

// A lookup that failed other than by its index: reported here, since the
// message names the archive, and the reference carries no message of its own.
static MemberRef unreadable_long_name(const ArchiveState *state, LongNameStatus status) {
  if (status == LongNameStatus::no_memory)
    report_error("Out of memory reading long symbol names in archive\n");
  else if (status == LongNameStatus::too_long)
    report_error("%s: long name table is damaged: a name runs on past %zu bytes\n",
                 state->file_name, longest_long_name);
  else
    report_error("%s: failed to read long symbol name string table\n", state->file_name);
  return MemberRef{};
}

static MemberRef long_member_ref(ArchiveState *state) {
  if (!state->long_names.present || state->long_names.size == 0)
    return invalid_ref("Archive member uses long names, but no longname table found\n");
  int number_end = 0;
  const char *header = header_bytes(&state->header);
  std::uint64_t index = header_number(header, ar_name_offset + 1, &number_end);
  std::uint64_t nested_offset = 0;
  if (state->is_thin && number_end < ar_header_size && header[number_end] == ':')
    nested_offset = header_number(header, number_end + 1, nullptr);
  LongName name;
  LongNameStatus status = long_name_at(&state->long_names, state->file, index, &name);
  if (status == LongNameStatus::beyond_table)
    return invalid_ref("Found long name index (%" PRId64 ") beyond end of long name table\n",
                       static_cast<std::int64_t>(index));
  if (status != LongNameStatus::found) return unreadable_long_name(state, status);
  MemberRef ref;
  ref.name = name.text;
  if (!state->is_thin || nested_offset == 0) {
    ref.kind = state->is_thin ? MemberRefKind::thin_file : MemberRefKind::plain;
    ref.name_length = name.length;
    return ref;
  }
  if (name.end <= index) return invalid_ref("Invalid Thin archive member name\n");
  ref.kind = MemberRefKind::nested;
  ref.name_length = name.end - index;
  ref.nested_offset = nested_offset;
  return ref;
}

MemberRef parse_member_ref(ArchiveState *state) {
  std::uint64_t name_size = 0;
  if (!state->is_thin && is_bsd_long_name(&state->header, &name_size))
    return bsd_member_ref(state, name_size);
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
