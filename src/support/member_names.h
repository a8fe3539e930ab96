// SPDX-License-Identifier: MIT
// member_names.h - what a member header names: a member by its name, a thin
// archive's member file, or a member of another archive; and the names
// messages and lists show for members.
#pragma once

#include <cstddef>
#include <cstdint>

#include "support/archive.h"

namespace hdrtune {

enum class MemberRefKind {
  plain,      // a member of the archive itself, its data behind its header
  thin_file,  // a thin archive's member that is a file of its own
  nested,     // a thin archive's member inside another (regular) archive
  invalid,    // the header names nothing; `message` says why, unless it was reported
  damaged,    // a "#1/N" name the member can't hold; `message` says why, without a newline
};

struct MemberRef {
  MemberRefKind kind = MemberRefKind::invalid;
  // plain, thin_file: the member's name; nested: the other archive's path as
  // the long-name table gives it (relative to the thin archive's directory).
  // The text is not NUL-terminated at name_length.
  const char *name = nullptr;
  std::size_t name_length = 0;
  std::uint64_t nested_offset = 0;  // nested: where the member's header stands there
  // plain: the bytes at the start of the member's data that hold its name (a
  // "#1/N" name); its ELF header follows them.
  std::uint64_t name_in_data = 0;
  char message[96] = {};  // invalid: the whole diagnostic line, or empty
};

// Reads the reference in state->header, using the state's long-name table.
// Opens nothing; a long name is read from the archive, and a failure to read
// it is reported here. A long name is ended in the table itself, as names
// that later members share depend on. A "#1/N" name is read from the
// member's data at state->member_data_offset into state->bsd_name. The name
// lives until the state's next lookup.
MemberRef parse_member_ref(ArchiveState *state);

// lib.a(foo.o) for a member of a regular archive, thin.a[obj/foo.o] for a
// thin archive's member file, thin.a[lib.a(foo.o)] for a member of an archive
// nested in a thin one (nested_archive non-null). Null after reporting.
char *archive_display_name(const char *archive, bool is_thin, const char *nested_archive,
                           const char *name, std::size_t name_length);

// A relative member name is relative to the directory of the thin archive.
// Null after reporting.
char *thin_member_path(const char *archive_path, const char *name, std::uint64_t name_length);

}  // namespace hdrtune
