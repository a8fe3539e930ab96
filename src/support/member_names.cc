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
// of its data hold the name, padded with NUL bytes. A short name there (and
// in Go's archives) is padded with spaces, and has no '/'.
#include "support/member_names.h"

#include <cinttypes>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "runtime/alloc.h"
#include "runtime/char_class.h"
#include "support/archive_state.h"
#include "support/diagnostics.h"

namespace hdrtune {

namespace {

// Why a header names no member: `message` is the whole diagnostic line for
// a bad name (empty when it was reported already), the reason without a
// newline for damaged "#1/N" names. name_member empties it; the rest is
// written only when there is a problem, as a member is named once for
// every member of every archive.
enum class Naming { named, bad_name, damaged };
struct NameProblem {
  char message[96];
};

Naming bad_name(NameProblem *problem, const char *format, std::int64_t number = 0) {
  std::snprintf(problem->message, sizeof problem->message, format, number);
  return Naming::bad_name;
}

Naming damaged(NameProblem *problem, const char *format, std::uint64_t number = 0) {
  std::snprintf(problem->message, sizeof problem->message, format,
                static_cast<unsigned long long>(number));
  return Naming::damaged;
}

// A name is read in pieces up to its first NUL: a header that claims a huge
// name costs only the bytes that are really there.
constexpr std::size_t bsd_name_piece = 4096;

bool grow(NameBuffer *buffer, std::size_t size) {
  if (size <= buffer->capacity) return true;
  std::size_t capacity = buffer->capacity ? buffer->capacity : bsd_name_piece;
  while (capacity < size) capacity *= 2;
  auto *grown = static_cast<char *>(std::realloc(buffer->bytes, capacity));
  if (!grown) return false;
  buffer->bytes = grown;
  buffer->capacity = capacity;
  return true;
}

// Reads the name at offset, at most `size` bytes, up to its first NUL, into
// the state's name buffer.
Naming read_bsd_name(ArchiveState *state, std::uint64_t offset, std::uint64_t size,
                     std::size_t *length, NameProblem *problem) {
  NameBuffer *buffer = &state->bsd_name;
  std::size_t piece = bsd_name_piece;
  *length = 0;
  while (*length < size) {
    std::size_t want = size - *length < piece ? static_cast<std::size_t>(size - *length) : piece;
    if (!grow(buffer, *length + want)) return bad_name(problem, "Out of memory\n");
    std::size_t got = 0;
    char *to = buffer->bytes + *length;
    if (file_read(state->file, offset + *length, to, want, &got) != ReadOutcome::whole)
      return damaged(problem, "failed to read member name");
    const void *nul = std::memchr(to, '\0', want);
    if (nul) {
      *length += static_cast<const char *>(nul) - to;
      return Naming::named;
    }
    *length += want;
    piece *= 2;
  }
  return Naming::named;
}

// The name is the first name_size bytes of the data, up to the first NUL.
Naming name_bsd_member(ArchiveState *state, std::uint64_t name_size, ArchiveMember *member,
                       NameProblem *problem) {
  if (name_size > member->stored_size)
    return damaged(problem, "name of %llu bytes is longer than the member", name_size);
  if (!archive_holds(state, member->data_offset, name_size))
    return damaged(problem, "name runs past the end of the archive");
  // The bound is the long-name table's: a longer name is damage, and memory
  // never follows what a damaged header claims. One byte past the bound
  // tells a name of that length from a longer one.
  std::uint64_t read_size = name_size <= longest_long_name ? name_size : longest_long_name + 1;
  std::size_t length = 0;
  Naming naming = read_bsd_name(state, member->data_offset, read_size, &length, problem);
  if (naming != Naming::named) return naming;
  if (length > longest_long_name)
    return damaged(problem, "name longer than %llu bytes", longest_long_name);
  member->name = length > 0 ? state->bsd_name.bytes : "";
  member->name_length = length;
  member->elf_offset = member->data_offset + name_size;
  member->size = member->stored_size - name_size;
  return Naming::named;
}

// A short name ends at a '/' after its first byte, or fills all 16 bytes; a
// NUL ends it earlier. Without a '/', the spaces that pad it are no part of
// it.
Naming name_short_member(const ArchiveState *state, const ArHeader *header, ArchiveMember *member) {
  const char *name = header->ar_name;
  const char *slash = static_cast<const char *>(std::memchr(name + 1, '/', ar_name_size - 1));
  member->place = state->is_thin ? MemberPlace::own_file : MemberPlace::in_archive;
  member->name = name;
  member->name_length = strnlen(name, slash ? slash - name : ar_name_size);
  if (!slash)
    while (member->name_length > 0 && name[member->name_length - 1] == ' ') --member->name_length;
  return Naming::named;
}

// A lookup that failed other than by its index: reported here, since the
// message names the archive.
Naming unreadable_long_name(const ArchiveState *state, LongNameStatus status) {
  if (status == LongNameStatus::no_memory)
    fail(*state->failures, state->file_name, 0,
         "Out of memory reading long symbol names in archive\n");
  else if (status == LongNameStatus::too_long)
    fail(*state->failures, state->file_name, 0,
         "%s: long name table is damaged: a name is longer than %zu bytes\n", state->file_name,
         longest_long_name);
  else
    fail(*state->failures, state->file_name, 0,
         "%s: failed to read long symbol name string table\n", state->file_name);
  return Naming::bad_name;
}

Naming name_long_member(ArchiveState *state, const ArHeader *ar_header, ArchiveMember *member,
                        NameProblem *problem) {
  if (!state->long_names.present || state->long_names.size == 0)
    return bad_name(problem, "Archive member uses long names, but no longname table found\n");
  int number_end = 0;
  const char *header = header_bytes(ar_header);
  std::uint64_t index = header_number(header, ar_name_offset + 1, &number_end);
  std::uint64_t nested_offset = 0;
  if (state->is_thin && number_end < ar_header_size && header[number_end] == ':')
    nested_offset = header_number(header, number_end + 1, nullptr);
  LongName name;
  LongNameStatus status = long_name_at(&state->long_names, state->file, index, &name);
  if (status == LongNameStatus::beyond_table)
    return bad_name(problem, "Found long name index (%" PRId64 ") beyond end of long name table\n",
                    static_cast<std::int64_t>(index));
  if (status != LongNameStatus::found) return unreadable_long_name(state, status);
  member->name = name.text;
  member->name_length = name.length;
  member->place = state->is_thin ? MemberPlace::own_file : MemberPlace::in_archive;
  if (!state->is_thin || nested_offset == 0) return Naming::named;
  if (name.length == 0) return bad_name(problem, "Invalid Thin archive member name\n");
  member->place = MemberPlace::nested;
  member->nested_offset = nested_offset;
  return Naming::named;
}

std::uint64_t add_saturating(std::uint64_t a, std::uint64_t b) {
  return a + b < a ? UINT64_MAX : a + b;
}

// Names the member whose header, read at offset, stands in `header` (one of
// the state's own).
Naming name_member(ArchiveState *state, const ArHeader *header, std::uint64_t offset,
                   ArchiveMember *member, NameProblem *problem) {
  problem->message[0] = '\0';
  // Field by field: this runs once for every member.
  member->kind = MemberKind::candidate;
  member->place = MemberPlace::in_archive;
  member->file = state->file;
  member->header_offset = offset;
  member->data_offset = add_saturating(offset, ar_header_size);
  member->elf_offset = member->data_offset;
  member->stored_size = member_size(header);
  member->size = member->stored_size;
  member->name = nullptr;
  member->name_length = 0;
  member->nested_offset = 0;
  member->data_past_end = false;
  std::uint64_t name_size = 0;
  if (!state->is_thin && is_bsd_long_name(header, &name_size))
    return name_bsd_member(state, name_size, member, problem);
  if (header->ar_name[0] != '/') return name_short_member(state, header, member);
  return name_long_member(state, header, member, problem);
}

void report_damaged_name(const ArchiveState *state, std::uint64_t offset,
                         const NameProblem &problem) {
  fail(*state->failures, state->file_name, 0, "%s: member at offset %llu: %s\n", state->file_name,
       static_cast<unsigned long long>(offset), problem.message);
}

// Member data is padded to an even length. A size that can't be added to
// the offset saturates, and the next read finds the offset out of reach.
std::uint64_t offset_after(const ArchiveMember &member) {
  return add_saturating(member.data_offset, padded_size(member.stored_size));
}

// A BSD index, stepped over as the System V one is: never edited or listed.
// One that runs past the end would hide the members after it.
MemberKind bsd_index(const ArchiveState *state, const ArchiveMember &member) {
  if (archive_holds(state, member.data_offset, member.stored_size)) return MemberKind::index;
  fail(*state->failures, state->file_name, 0,
       "%s: archive index runs past the end of the archive\n", state->file_name);
  return MemberKind::damage;
}

MemberKind kind_of(SpecialMember special) {
  switch (special) {
    case SpecialMember::index: return MemberKind::index;
    case SpecialMember::long_names: return MemberKind::long_names;
    default: return MemberKind::damage;
  }
}

// A member the reader has taken itself, and moved the cursor past.
ArchiveMember taken_member(const ArchiveState *state, std::uint64_t offset, SpecialMember special) {
  ArchiveMember member;
  member.kind = kind_of(special);
  member.file = state->file;
  member.header_offset = offset;
  member.data_offset = member.elf_offset = offset + ar_header_size;
  member.stored_size = member.size = member_size(&state->header);
  return member;
}

// Says why the header at the cursor names no member, or takes a BSD index
// for what it is; marks a member whose data runs past the archive's end.
void judge_named_member(const ArchiveState *state, Naming naming, const NameProblem &problem,
                        ArchiveMember *member) {
  std::uint64_t offset = member->header_offset;
  if (naming == Naming::bad_name) {
    if (problem.message[0]) fail(*state->failures, state->file_name, 0, "%s", problem.message);
    fail(*state->failures, state->file_name, 0, "%s: bad archive file name\n", state->file_name);
    member->kind = MemberKind::damage;
  } else if (naming == Naming::damaged) {
    report_damaged_name(state, offset, problem);
    member->kind = MemberKind::damage;
  } else if (state->is_bsd && offset == first_header_offset &&
             is_bsd_index_name(member->name, member->name_length)) {
    member->kind = bsd_index(state, *member);
  } else if (member->place == MemberPlace::in_archive) {
    // A size that took the cursor out of reach is reported on the next read.
    member->data_past_end = offset_reachable(state->next_header_offset) &&
                            !archive_holds(state, member->data_offset, member->stored_size);
  }
}

}  // namespace

MemberRead archive_next_member(ArchiveState *state, ArchiveMember *member) {
  std::uint64_t offset = state->next_header_offset;
  if (!offset_reachable(offset)) {
    fail(*state->failures, state->file_name, 0, "%s: failed to seek to next archive header\n",
         state->file_name);
    return MemberRead::failed;
  }
  switch (archive_read_header(state, offset)) {
    case HeaderRead::whole: break;
    case HeaderRead::nothing: return MemberRead::end;
    case HeaderRead::short_or_failed: return MemberRead::failed;
  }
  SpecialMember special = archive_take_special(state, offset, 0);
  if (special != SpecialMember::none) {
    *member = taken_member(state, offset, special);
    return MemberRead::member;
  }
  if (!has_valid_fmag(&state->header)) {
    fail(*state->failures, state->file_name, 0, "%s: did not find a valid archive header\n",
         state->file_name);
    return MemberRead::failed;
  }
  NameProblem problem;
  Naming naming = name_member(state, &state->header, offset, member, &problem);
  // A thin archive holds no member data: its next header follows this one.
  state->next_header_offset =
      member->place == MemberPlace::in_archive ? offset_after(*member) : member->data_offset;
  judge_named_member(state, naming, problem, member);
  return MemberRead::member;
}

bool archive_member_at(ArchiveState *state, std::uint64_t offset, ArchiveMember *member) {
  if (!offset_reachable(offset)) {
    fail(*state->failures, state->file_name, 0, "%s: failed to seek to next file name\n",
         state->file_name);
    return false;
  }
  ArHeader *header = &state->found_header;
  if (read_member_header(state->file, offset, header) != HeaderRead::whole) {
    fail(*state->failures, state->file_name, 0, "%s: failed to read archive header\n",
         state->file_name);
    return false;
  }
  if (!has_valid_fmag(header)) {
    fail(*state->failures, state->file_name, 0, "%s: did not find a valid archive header\n",
         state->file_name);
    return false;
  }
  NameProblem problem;
  Naming naming = name_member(state, header, offset, member, &problem);
  if (naming == Naming::bad_name && problem.message[0])
    fail(*state->failures, state->file_name, 0, "%s", problem.message);
  if (naming == Naming::damaged) report_damaged_name(state, offset, problem);
  member->data_past_end = !archive_holds(state, member->data_offset, member->stored_size);
  return naming == Naming::named;
}

// Appends text at *end and moves *end past it.
static void append(char **end, const char *text, std::size_t length) {
  std::memcpy(*end, text, length);
  *end += length;
}

// Built by copying its parts: it is made once for every member.
const char *archive_display_name(NameBuffer *buffer, const char *archive,
                                 std::size_t archive_length, bool is_thin,
                                 const char *nested_archive, const char *name,
                                 std::size_t name_length, FailureSink &failures) {
  std::size_t nested_length = nested_archive ? std::strlen(nested_archive) : 0;
  std::size_t size = archive_length + name_length + 3 + (nested_archive ? nested_length + 2 : 0);
  char *display_name = grow(buffer, size) ? buffer->bytes : nullptr;
  if (!display_name) {
    fail(failures, archive, 0, "Out of memory\n");
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

static char *copy_of_bytes(const char *bytes, std::uint64_t length, const char *archive_path,
                           FailureSink &failures) {
  if (length + 1 == 0) return nullptr;
  auto *copy = static_cast<char *>(malloc_bytes(length + 1));
  if (!copy) {
    fail(failures, archive_path, 0, "Out of memory\n");
    return nullptr;
  }
  std::memcpy(copy, bytes, length);
  copy[length] = '\0';
  return copy;
}

char *thin_member_path(const char *archive_path, const char *name, std::uint64_t name_length,
                       FailureSink &failures) {
  std::uint64_t dir_length = base_name(archive_path) - archive_path;
  if ((name_length > 0 && name[0] == '/') || dir_length == 0)
    return copy_of_bytes(name, name_length, archive_path, failures);
  std::uint64_t size = dir_length + name_length + 1;
  if (size < dir_length || size < name_length) {
    fail(failures, archive_path, 0, "Abnormal length of thin archive member name: %" PRIx64 "\n",
         name_length);
    return nullptr;
  }
  auto *path = static_cast<char *>(malloc_bytes(size));
  if (!path) {
    fail(failures, archive_path, 0, "Out of memory\n");
    return nullptr;
  }
  std::memcpy(path, archive_path, dir_length);
  std::memcpy(path + dir_length, name, name_length);
  path[size - 1] = '\0';
  return path;
}

}  // namespace hdrtune
