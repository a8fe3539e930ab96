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
#include "tool/json_records.h"
#include "tool/open_and_edit.h"

namespace hdrtune {

// What handling one member did: its own status, or the end of the walk.
enum class MemberResult { edited, failed, walk_ends };

static MemberResult result_of(int status) {
  return status == 0 ? MemberResult::edited : MemberResult::failed;
}

// Sizes come from the file and can be anything: "-60" would take the walk
// back to the header it just read, round and round. Saturating keeps every
// step forward; an offset past what a file can hold then can't be reached.
static std::uint64_t add_saturating(std::uint64_t a, std::uint64_t b) {
  return a + b < a ? UINT64_MAX : a + b;
}

// A member whose data would end past the end of the archive: the archive was
// cut short or the size is wrong, and what lies behind the size is not the
// next member. The member's header is edited all the same; this says that
// the archive is damaged there.
static bool data_runs_past_end(const ArchiveState *state, const char *display_name,
                               std::uint64_t data_offset, std::uint64_t size) {
  if (archive_holds(state, data_offset, size)) return false;
  report_error("%s: member data runs past the end of the archive\n", display_name);
  return true;
}

static bool starts_with_elf_magic(PositionedFile *file, std::uint64_t offset, std::uint64_t size) {
  char magic[SELFMAG];
  std::size_t got = 0;
  return size >= SELFMAG && file_read(file, offset, magic, SELFMAG, &got) == ReadOutcome::whole &&
         std::memcmp(magic, ELFMAG, SELFMAG) == 0;
}

// The member's data starts right behind its header, and its ELF header
// after the name_in_data bytes of a "#1/N" name. A size that can't even be
// added to the offset is left to the seek that follows. With
// pass_over_non_elf, a member that is not an ELF file is left alone.
static MemberResult edit_regular_member(const RunOptions &options, ArchiveState *outer,
                                        const char *display_name, std::uint64_t name_in_data,
                                        std::uint64_t size, bool pass_over_non_elf) {
  std::uint64_t data_offset = outer->member_data_offset;
  outer->next_header_offset = add_saturating(outer->next_header_offset, padded_size(size));
  std::uint64_t elf_offset = data_offset + name_in_data;
  // The header must fit in the member's own data: not in its pad byte, nor
  // over the next member's header.
  std::uint64_t size_limit = size - name_in_data;
  MemberResult result = MemberResult::edited;
  if (!pass_over_non_elf || starts_with_elf_magic(outer->file, elf_offset, size_limit))
    result = result_of(edit_object(options, display_name, outer->file, elf_offset, size_limit));
  else
    ++run_counts.members_passed_over;
  if (offset_reachable(outer->next_header_offset) &&
      data_runs_past_end(outer, display_name, data_offset, size))
    return MemberResult::walk_ends;
  return result;
}

// A "#1/N" name the member can't hold: the archive is damaged there.
static void report_damaged_name(const ArchiveState *state, const MemberRef &ref) {
  report_error("%s: member at offset %llu: %s\n", state->file_name,
               static_cast<unsigned long long>(state->member_data_offset - ar_header_size),
               ref.message);
}

// A BSD archive's index, stepped over as the System V one is: never edited
// or listed. One that runs past the end would hide the members after it.
static MemberResult step_over_bsd_index(ArchiveState *outer, std::uint64_t size) {
  std::uint64_t data_offset = outer->member_data_offset;
  outer->next_header_offset = add_saturating(data_offset, padded_size(size));
  if (archive_holds(outer, data_offset, size)) return MemberResult::edited;
  report_error("%s: archive index runs past the end of the archive\n", outer->file_name);
  return MemberResult::walk_ends;
}

static void close_nested_archive(void *nested) {
  archive_close_nested(static_cast<ArchiveState *>(nested));
}

// A member file that can't be opened ends the walk. Should another run hold
// the member file's lock, the nested archive this run holds is closed before
// waiting for it, and opened again when a later member needs it.
static MemberResult edit_member_file(const RunOptions &options, const ArchiveState *outer,
                                     ArchiveState *nested, const MemberRef &ref,
                                     const char *display_name) {
  char *member_path = thin_member_path(outer->file_name, ref.name, ref.name_length);
  if (!member_path) return MemberResult::walk_ends;
  LockWait wait;
  if (nested->file) wait = {close_nested_archive, nested};
  PathToEdit target;
  target.name = target.path = member_path;
  target.display_name = display_name;
  target.role = PathRole::thin_member;
  EditOutcome outcome = open_and_edit(options, target, wait);
  std::free(member_path);
  if (outcome == EditOutcome::not_opened) return MemberResult::walk_ends;
  return outcome == EditOutcome::edited ? MemberResult::edited : MemberResult::failed;
}

// Opens (or keeps) the archive a reference points into, reads the member
// header at its offset and names the member. False after the reader has
// said why not.
static bool find_nested_member(const RunOptions &options, const ArchiveState *outer,
                               ArchiveState *nested, const MemberRef &ref, MemberRef *member) {
  char *nested_path = thin_member_path(outer->file_name, ref.name, ref.name_length);
  if (!nested_path) return false;
  bool switched = archive_switch_nested(nested, nested_path, file_access(options)) == 0;
  std::free(nested_path);
  if (!switched) return false;
  if (!offset_reachable(ref.nested_offset)) {
    report_error("%s: failed to seek to next file name\n", nested->file_name);
    return false;
  }
  nested->member_data_offset = add_saturating(ref.nested_offset, ar_header_size);
  if (read_member_header(nested->file, ref.nested_offset, &nested->header) != HeaderRead::whole) {
    report_error("%s: failed to read archive header\n", nested->file_name);
    return false;
  }
  if (!has_valid_fmag(&nested->header)) {
    report_error("%s: did not find a valid archive header\n", nested->file_name);
    return false;
  }
  *member = parse_member_ref(nested);
  if (member->kind == MemberRefKind::damaged) report_damaged_name(nested, *member);
  if (member->kind == MemberRefKind::invalid && member->message[0])
    report_error("%s", member->message);
  return member->kind != MemberRefKind::invalid && member->kind != MemberRefKind::damaged;
}

// Names the reference that was left alone, with its offset, so that two
// failing references into one archive can be told apart.
static void report_nested_not_edited(const char *display_name, std::uint64_t offset,
                                     const char *reason) {
  report_error("%s: member at offset %llu not edited: %s\n", display_name,
               static_cast<unsigned long long>(offset), reason);
}

static void report_member_out_of_reach(const ArchiveState *nested) {
  report_error("%s: failed to seek to archive member\n",
               nested->file_name ? nested->file_name : "<corrupt>");
}

// Without the member's own header there is no telling what lies at its
// offset, so nothing is written there.
static void report_nested_not_found(const ArchiveState *outer, const ArchiveState *nested,
                                    const MemberRef &ref, const char *display_name) {
  std::uint64_t offset = ref.nested_offset;
  if (!nested->file) {
    // The nested archive could not be opened, or is not a regular archive.
    char *nested_path = thin_member_path(outer->file_name, ref.name, ref.name_length);
    if (!nested_path) return;
    report_error("%s: member at offset %llu not edited: nested archive '%s' is not %s\n",
                 display_name, static_cast<unsigned long long>(offset), nested_path,
                 nested->nested_not_an_archive ? "a regular archive" : "readable");
    std::free(nested_path);
    return;
  }
  // The reader has said why the header could not be read; when even its
  // offset was out of reach, so is the member's data.
  if (!offset_reachable(add_saturating(offset, ar_header_size))) report_member_out_of_reach(nested);
  report_nested_not_edited(display_name, offset, "no valid member header there");
}

static MemberResult edit_found_nested_member(const RunOptions &options, ArchiveState *nested,
                                             std::uint64_t offset, const MemberRef &member,
                                             const char *display_name) {
  std::uint64_t data_offset = add_saturating(offset, ar_header_size);
  if (!offset_reachable(data_offset)) {
    report_member_out_of_reach(nested);
    report_nested_not_edited(display_name, offset, "its data is out of reach");
    return MemberResult::failed;
  }
  std::uint64_t size = member_size(&nested->header);
  MemberResult result =
      result_of(edit_object(options, display_name, nested->file, data_offset + member.name_in_data,
                            size - member.name_in_data));
  // The thin archive's own walk is intact: it goes on with its next member.
  if (data_runs_past_end(nested, display_name, data_offset, size)) return MemberResult::failed;
  return result;
}

// A member that lives in another archive. Whatever keeps it from being
// edited, the thin archive's own position is intact, so the walk goes on.
// A member whose header could not be read there is named by the nested
// archive's path from the thin archive's table.
static MemberResult edit_nested_reference(const RunOptions &options, const ArchiveState *outer,
                                          ArchiveState *nested, const MemberRef &ref) {
  MemberRef member;
  bool found = find_nested_member(options, outer, nested, ref, &member);
  // Interrupted while waiting for the nested archive's lock: the run stops.
  if (!found && pending_interrupt()) return MemberResult::walk_ends;
  const MemberRef &shown = found ? member : ref;
  const char *nested_name = nested->file_name ? nested->file_name : "<corrupt>";
  char *display_name =
      archive_display_name(outer->file_name, true, nested_name, shown.name, shown.name_length);
  if (!display_name) {
    report_error("%s: bad archive file name\n", outer->file_name);
    return MemberResult::walk_ends;
  }
  PlaceScope place;
  current_place.archive = outer->file_name;
  current_place.nested_archive = current_place.file = nested->file_name;
  current_place.member = shown.name;
  current_place.member_length = shown.name_length;
  current_place.display_name = display_name;
  MemberResult result = MemberResult::failed;
  if (found)
    result = edit_found_nested_member(options, nested, ref.nested_offset, member, display_name);
  else
    report_nested_not_found(outer, nested, ref, display_name);
  std::free(display_name);
  return result;
}

// The header just read stands in outer->header; next_header_offset and
// member_data_offset are just behind it.
static MemberResult edit_member(const RunOptions &options, ArchiveState *outer,
                                ArchiveState *nested, bool pass_over_non_elf) {
  std::uint64_t size = member_size(&outer->header);
  MemberRef ref = parse_member_ref(outer);
  if (ref.kind == MemberRefKind::invalid) {
    if (ref.message[0]) report_error("%s", ref.message);
    report_error("%s: bad archive file name\n", outer->file_name);
    return MemberResult::walk_ends;
  }
  if (ref.kind == MemberRefKind::damaged) {
    report_damaged_name(outer, ref);
    return MemberResult::walk_ends;
  }
  if (outer->is_bsd && ref.kind != MemberRefKind::nested &&
      is_bsd_index_name(ref.name, ref.name_length))
    return step_over_bsd_index(outer, size);
  ++run_counts.members;
  if (ref.kind == MemberRefKind::nested) return edit_nested_reference(options, outer, nested, ref);
  char *display_name =
      archive_display_name(outer->file_name, outer->is_thin, nullptr, ref.name, ref.name_length);
  if (!display_name) {
    report_error("%s: bad archive file name\n", outer->file_name);
    return MemberResult::walk_ends;
  }
  PlaceScope place;
  current_place.archive = outer->file_name;
  current_place.member = ref.name;
  current_place.member_length = ref.name_length;
  current_place.display_name = display_name;
  MemberResult result = ref.kind == MemberRefKind::thin_file
                            ? edit_member_file(options, outer, nested, ref, display_name)
                            : edit_regular_member(options, outer, display_name, ref.name_in_data,
                                                  size, pass_over_non_elf);
  std::free(display_name);
  return result;
}

static int walk_members(const RunOptions &options, const char *path, PositionedFile *file,
                        bool is_thin, bool pass_over_non_elf, ArchiveState *outer,
                        ArchiveState *nested) {
  if (archive_open(outer, path, file, is_thin, 0) != 0) return 1;
  int status = 0;
  for (;;) {
    // An interrupt stops the walk between two headers; the driver reports it.
    if (pending_interrupt()) return 1;
    std::uint64_t next = outer->next_header_offset;
    if (!offset_reachable(next)) {
      report_error("%s: failed to seek to next archive header\n", path);
      return 1;
    }
    switch (read_member_header(file, next, &outer->header)) {
      case HeaderRead::whole: break;
      case HeaderRead::nothing: return status;  // the archive's end
      case HeaderRead::short_or_failed:
        // Members after a read error were never edited.
        report_error("%s: failed to read archive header\n", path);
        return 1;
    }
    if (!has_valid_fmag(&outer->header)) {
      report_error("%s: did not find a valid archive header\n", outer->file_name);
      return 1;
    }
    outer->next_header_offset += ar_header_size;
    outer->member_data_offset = outer->next_header_offset;
    MemberResult result = edit_member(options, outer, nested, pass_over_non_elf);
    if (result == MemberResult::walk_ends) return 1;
    if (result == MemberResult::failed) status = 1;
  }
}

int edit_archive(const RunOptions &options, const char *path, PositionedFile *file, bool is_thin,
                 bool pass_over_non_elf) {
  ArchiveState outer;
  ArchiveState nested;
  ++run_counts.archives;
  int status = walk_members(options, path, file, is_thin, pass_over_non_elf, &outer, &nested);
  archive_close_nested(&nested);
  status |= nested.close_failed;
  // Another program that cut or grew the archive meanwhile took no lock: the
  // walk read what was there before, and may have written past a new end.
  if (file_size_changed(file)) {
    report_archive_changed(path);
    status = 1;
  }
  archive_release(&nested);
  archive_release(&outer);
  return status;
}

}  // namespace hdrtune
