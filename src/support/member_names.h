// SPDX-License-Identifier: MIT
// member_names.h - what a member header names: a member by its name, a thin
// archive's member file, or a member of another archive; and the names
// messages and lists show for members.
#pragma once

#include <cstddef>
#include <cstdint>

#include "support/archive.h"

namespace hdrtune {

// Where a member's bytes are.
enum class MemberPlace {
  in_archive,  // behind its header, in the archive itself
  own_file,    // a thin archive's member that is a file of its own
  nested,      // a thin archive's member inside another (regular) archive
};

// What a member header stands for: a member to edit; the archive's index
// (only ever its first member) or its long-name table, which the reader has
// dealt with itself; or damage, which the reader has reported and behind
// which nothing can be trusted.
enum class MemberKind { candidate, index, long_names, damage };

// One member as the reader hands it out, with all a walk needs to know of
// it. Its name is not NUL-terminated at name_length and stays valid only
// until the next call of archive_next_member or archive_member_at on the
// same state (or its release): it may point into the state's buffers.
struct ArchiveMember {
  MemberKind kind = MemberKind::damage;
  MemberPlace place = MemberPlace::in_archive;
  PositionedFile *file = nullptr;  // the archive that holds its header
  std::uint64_t header_offset = 0;
  std::uint64_t data_offset = 0;  // right behind the header
  std::uint64_t elf_offset = 0;   // behind a "#1/N" name held in the data
  std::uint64_t size = 0;         // the member's bytes from elf_offset on
  std::uint64_t stored_size = 0;  // ar_size, its name included
  // own_file: the member file's path as the table gives it; nested: the
  // other archive's path (both relative to the thin archive's directory).
  const char *name = nullptr;
  std::size_t name_length = 0;
  std::uint64_t nested_offset = 0;  // nested: where the member's header stands there
  // Its data would end past the end of the archive (as large as it was when
  // opened): the archive was cut short or the size is wrong. A size that
  // takes the cursor out of reach is not counted here: the reader reports
  // that when it reads on.
  bool data_past_end = false;
};

enum class MemberRead {
  member,  // *member is the next one
  end,     // no member is left
  failed,  // the archive can't be read on (reported)
};

// Reads the member at the state's cursor and moves the cursor past it: past
// its data in the archive itself, past its header alone in a thin archive's
// member. The long-name table it meets gives later members their long names;
// a "#1/N" name is read from the member's data. The state comes from
// archive_start, or from archive_open.
MemberRead archive_next_member(ArchiveState *state, ArchiveMember *member);

// Reads and names the member whose header stands at offset, leaving the
// cursor and its header alone: a thin archive's reference into a nested
// archive. False after reporting why there is no member there.
bool archive_member_at(ArchiveState *state, std::uint64_t offset, ArchiveMember *member);

// lib.a(foo.o) for a member of a regular archive, thin.a[obj/foo.o] for a
// thin archive's member file, thin.a[lib.a(foo.o)] for a member of an archive
// nested in a thin one (nested_archive non-null), written into `buffer`,
// which grows to hold it: the name stays valid until the buffer's next use.
// The archive's path is archive_length bytes long. Null after handing the
// failure to `failures`.
const char *archive_display_name(NameBuffer *buffer, const char *archive,
                                 std::size_t archive_length, bool is_thin,
                                 const char *nested_archive, const char *name,
                                 std::size_t name_length, FailureSink &failures);

// A relative member name is relative to the directory of the thin archive.
// Null after handing the failure to `failures`.
char *thin_member_path(const char *archive_path, const char *name, std::uint64_t name_length,
                       FailureSink &failures);

}  // namespace hdrtune
