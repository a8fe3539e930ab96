// SPDX-License-Identifier: MIT
// archive_walk.cc - edit the ELF header of every member of an ar archive where it stands.
#include "tool/archive_walk.h"

#include <fcntl.h>

#include <cstdint>
#include <cstdlib>
#include <cstring>

#include "runtime/process.h"
#include "support/archive.h"
#include "support/diagnostics.h"
#include "support/elf_header.h"
#include "support/member_names.h"
#include "tool/header_editor.h"
#include "tool/open_and_edit.h"

namespace hdrtune {

// What handling one member did: its own status, or the end of the walk.
enum class MemberResult { edited, failed, walk_ends };

static MemberResult result_of(int status) {
  return status == 0 ? MemberResult::edited : MemberResult::failed;
}

// A member whose data would end past the end of the archive: the archive was
// cut short or the size is wrong, and what lies behind the size is not the
// next member. The member's header is edited all the same; this says that
// the archive is damaged there.
static bool data_runs_past_end(FailureSink &failures, const char *display_name,
                               const ArchiveMember &member) {
  if (!member.data_past_end) return false;
  fail(failures, display_name, 0, "%s: member data runs past the end of the archive\n",
       display_name);
  return true;
}

static bool starts_with_elf_magic(PositionedFile *file, std::uint64_t offset, std::uint64_t size) {
  char magic[SELFMAG];
  std::size_t got = 0;
  return size >= SELFMAG && file_read(file, offset, magic, SELFMAG, &got) == ReadOutcome::whole &&
         std::memcmp(magic, ELFMAG, SELFMAG) == 0;
}

// Edits the member's header where it stands in file, unless it is not ELF
// and such members are passed over (in a tree in silence; with
// --skip-unmatched, with a line in a listing). The header must fit in the
// member's own data: not in its pad byte, nor over the next member's header.
// The place's offset is already the member's ELF header's.
static MemberResult edit_member_header(const RunOptions &options, const HeaderPlace &place,
                                       const ArchiveMember &member, bool silent_pass_over) {
  if ((silent_pass_over || options.pass_over_not_elf) &&
      !starts_with_elf_magic(member.file, member.elf_offset, member.size)) {
    ++options.reporter->counts.members_passed_over;
    if (!silent_pass_over && options.list) options.reporter->passed_over(place, "not ELF");
    return MemberResult::edited;
  }
  return result_of(edit_object(options, place, member.file, member.size));
}

static MemberResult edit_regular_member(const RunOptions &options, const HeaderPlace &place,
                                        const ArchiveMember &member, bool silent_pass_over) {
  MemberResult result = edit_member_header(options, place, member, silent_pass_over);
  // What lies past the data is not the next member: the walk ends.
  if (data_runs_past_end(*options.reporter, place.display_name, member))
    return MemberResult::walk_ends;
  return result;
}

// Closing an archive that is not open does nothing.
static void close_nested_archive(void *nested) {
  archive_close_nested(static_cast<ArchiveState *>(nested));
}

// A member file that can't be opened ends the walk. Should another run hold
// the member file's lock, the nested archive this run holds is closed before
// waiting for it, and opened again when a later member needs it.
static MemberResult edit_thin_member(const RunOptions &options, const char *archive,
                                     ArchiveState *nested, const ArchiveMember &member,
                                     const HeaderPlace &place) {
  char *member_path = thin_member_path(archive, member.name, member.name_length, *options.reporter);
  if (!member_path) return MemberResult::walk_ends;
  LockWait wait;
  if (archive_is_open(nested)) wait = {close_nested_archive, nested};
  PathToEdit target;
  target.name = target.path = member_path;
  target.display_name = place.display_name;
  target.role = PathRole::thin_member;
  target.place = place;
  EditOutcome outcome = open_and_edit(options, target, wait);
  std::free(member_path);
  if (outcome == EditOutcome::not_opened) return MemberResult::walk_ends;
  return outcome == EditOutcome::edited ? MemberResult::edited : MemberResult::failed;
}

// Opens (or keeps) the archive a reference points into and reads the member
// there. False after the reader has said why not, with *not_an_archive set
// when the file there is no regular archive.
static bool find_nested_member(const RunOptions &options, const ArchiveState *outer,
                               ArchiveState *nested, const ArchiveMember &ref,
                               ArchiveMember *member, bool *not_an_archive) {
  char *nested_path =
      thin_member_path(archive_path(outer), ref.name, ref.name_length, *options.reporter);
  if (!nested_path) return false;
  NestedOpen opened = archive_switch_nested(nested, nested_path, file_access(options));
  std::free(nested_path);
  *not_an_archive = opened == NestedOpen::not_an_archive;
  return opened == NestedOpen::opened && archive_member_at(nested, ref.nested_offset, member);
}

// Names the reference that was left alone, with its offset, so that two
// failing references into one archive can be told apart.
static void report_nested_not_edited(FailureSink &failures, const char *display_name,
                                     std::uint64_t offset, const char *reason) {
  fail(failures, display_name, 0, "%s: member at offset %llu not edited: %s\n", display_name,
       static_cast<unsigned long long>(offset), reason);
}

static void report_member_out_of_reach(FailureSink &failures, const ArchiveState *nested,
                                       const char *display_name) {
  const char *nested_path = archive_path(nested);
  const char *name = nested_path ? nested_path : "<corrupt>";
  fail(failures, nested_path ? name : display_name, 0, "%s: failed to seek to archive member\n",
       name);
}

// Without the member's own header there is no telling what lies at its
// offset, so nothing is written there.
static void report_nested_not_found(FailureSink &failures, const ArchiveState *outer,
                                    const ArchiveState *nested, const ArchiveMember &ref,
                                    bool not_an_archive, const char *display_name) {
  std::uint64_t offset = ref.nested_offset;
  if (!archive_is_open(nested)) {
    // The nested archive could not be opened, or is not a regular archive.
    char *nested_path = thin_member_path(archive_path(outer), ref.name, ref.name_length, failures);
    if (!nested_path) return;
    fail(failures, display_name, 0,
         "%s: member at offset %llu not edited: nested archive '%s' is not %s\n", display_name,
         static_cast<unsigned long long>(offset), nested_path,
         not_an_archive ? "a regular archive" : "readable");
    std::free(nested_path);
    return;
  }
  // The reader has said why the header could not be read; when even its
  // offset was out of reach, so is the member's data.
  if (!offset_reachable(offset) || !offset_reachable(offset + ar_header_size))
    report_member_out_of_reach(failures, nested, display_name);
  report_nested_not_edited(failures, display_name, offset, "no valid member header there");
}

static MemberResult edit_found_nested_member(const RunOptions &options, const ArchiveState *nested,
                                             const ArchiveMember &member,
                                             const HeaderPlace &place) {
  const char *display_name = place.display_name;
  if (!offset_reachable(member.data_offset)) {
    report_member_out_of_reach(*options.reporter, nested, display_name);
    report_nested_not_edited(*options.reporter, display_name, member.header_offset,
                             "its data is out of reach");
    return MemberResult::failed;
  }
  MemberResult result = edit_member_header(options, place, member, false);
  // The thin archive's own walk is intact: it goes on with its next member.
  if (data_runs_past_end(*options.reporter, display_name, member)) return MemberResult::failed;
  return result;
}

// One walk of an archive: the reader of the archive, the nested archive a
// thin archive's members refer into, and the current member's display name,
// whose buffer serves one member after another.
struct ArchiveWalk {
  const RunOptions &options;
  const HeaderPlace &place;  // the archive's
  bool silent_pass_over;
  ArchiveState *outer;
  ArchiveState *nested;
  NameBuffer display_name;
  // The outer reader's path and kind, asked once: every member needs them.
  const char *archive = nullptr;
  std::size_t archive_length = 0;
  bool is_thin = false;
};

// The member's display name, or null after a failure that ends the walk.
static const char *member_display_name(ArchiveWalk *walk, const char *nested_archive,
                                       const ArchiveMember &member) {
  const char *archive = walk->archive;
  Reporter &reporter = *walk->options.reporter;
  const char *name = archive_display_name(&walk->display_name, archive, walk->archive_length,
                                          walk->is_thin || nested_archive, nested_archive,
                                          member.name, member.name_length, reporter);
  if (!name) fail(reporter, archive, 0, "%s: bad archive file name\n", archive);
  return name;
}

// A member that lives in another archive. Whatever keeps it from being
// edited, the thin archive's own position is intact, so the walk goes on.
// A member whose header could not be read there is named by the nested
// archive's path from the thin archive's table.
static MemberResult edit_nested_reference(ArchiveWalk *walk, const ArchiveMember &ref) {
  const ArchiveState *outer = walk->outer;
  ArchiveState *nested = walk->nested;
  ArchiveMember member;
  bool not_an_archive = false;
  bool found = find_nested_member(walk->options, outer, nested, ref, &member, &not_an_archive);
  // Interrupted while waiting for the nested archive's lock: the run stops.
  if (!found && pending_interrupt()) return MemberResult::walk_ends;
  const ArchiveMember &shown = found ? member : ref;
  const char *nested_path = archive_path(nested);
  const char *display_name =
      member_display_name(walk, nested_path ? nested_path : "<corrupt>", shown);
  if (!display_name) return MemberResult::walk_ends;
  HeaderPlace place = walk->place;
  place.archive = walk->archive;
  place.nested_archive = place.file = nested_path;
  place.member = shown.name;
  place.member_length = shown.name_length;
  place.display_name = display_name;
  if (!found) {
    report_nested_not_found(*walk->options.reporter, outer, nested, ref, not_an_archive,
                            display_name);
    return MemberResult::failed;
  }
  place.offset = member.elf_offset;
  return edit_found_nested_member(walk->options, nested, member, place);
}

// What to do with each member the reader hands out; the reader alone moves
// through the archive.
static MemberResult handle_member(ArchiveWalk *walk, const ArchiveMember &member) {
  switch (member.kind) {
    case MemberKind::damage: return MemberResult::walk_ends;
    case MemberKind::index:
    case MemberKind::long_names: return MemberResult::edited;  // the reader took it
    case MemberKind::candidate: break;
  }
  ++walk->options.reporter->counts.members;
  if (member.place == MemberPlace::nested) return edit_nested_reference(walk, member);
  const char *display_name = member_display_name(walk, nullptr, member);
  if (!display_name) return MemberResult::walk_ends;
  HeaderPlace place = walk->place;
  place.archive = walk->archive;
  place.member = member.name;
  place.member_length = member.name_length;
  place.display_name = display_name;
  if (member.place == MemberPlace::own_file)
    return edit_thin_member(walk->options, walk->archive, walk->nested, member, place);
  place.offset = member.elf_offset;
  return edit_regular_member(walk->options, place, member, walk->silent_pass_over);
}

static int walk_members(ArchiveWalk *walk, PositionedFile *file, bool is_thin) {
  if (!archive_start(walk->outer, walk->place.display_name, file, is_thin)) return 1;
  walk->archive = archive_path(walk->outer);
  walk->archive_length = std::strlen(walk->archive);
  walk->is_thin = archive_is_thin(walk->outer);
  int status = 0;
  ArchiveMember member;  // made once: the reader fills it for every member
  for (;;) {
    // An interrupt stops the walk between two headers; the driver reports it.
    if (pending_interrupt()) return 1;
    switch (archive_next_member(walk->outer, &member)) {
      case MemberRead::member: break;
      case MemberRead::end: return status;
      case MemberRead::failed: return 1;
    }
    MemberResult result = handle_member(walk, member);
    if (result == MemberResult::walk_ends) return 1;
    if (result == MemberResult::failed) status = 1;
  }
}

int edit_archive(const RunOptions &options, const HeaderPlace &place, PositionedFile *file,
                 bool is_thin, bool silent_pass_over) {
  ArchiveWalk walk{options, place, silent_pass_over, nullptr, nullptr, {}};
  ++options.reporter->counts.archives;
  int status = 1;
  walk.outer = archive_create(*options.reporter);
  if (walk.outer) walk.nested = archive_create(*options.reporter);
  if (walk.nested) {
    status = walk_members(&walk, file, is_thin);
    if (!archive_close_nested(walk.nested)) status = 1;
  }
  // Another program that cut or grew the archive meanwhile took no lock: the
  // walk read what was there before, and may have written past a new end.
  if (file_size_changed(file)) {
    report_archive_changed(*options.reporter, place.display_name);
    status = 1;
  }
  archive_destroy(walk.nested);
  archive_destroy(walk.outer);
  std::free(walk.display_name.bytes);
  return status;
}

}  // namespace hdrtune
