// SPDX-License-Identifier: MIT
// open_and_edit.cc - the one way a named file is checked, opened, edited and
// closed.
#include "tool/open_and_edit.h"

#include <sys/stat.h>

#include <cerrno>
#include <cstring>

#include "support/archive.h"
#include "support/diagnostics.h"
#include "support/elf_header.h"
#include "support/files.h"
#include "tool/archive_walk.h"
#include "tool/header_editor.h"
#include "tool/json_records.h"
#include "tool/list_lines.h"

namespace hdrtune {

namespace {

void report_could_not_locate(const char *path, int error) {
  report_error_with_cause(error, "Could not locate '%s'.  System error message: %s\n", path,
                          std::strerror(error));
}

// Only a regular file is opened: opening a device or a FIFO can block or
// have effects of its own. An operand's failure names its cause.
bool check_before_opening(const PathToEdit &target) {
  const char *path = target.path;
  bool is_member = target.role == PathRole::thin_member;
  struct stat info;
  if (fstatat(target.dir_fd, target.name, &info, 0) != 0) {
    if (is_member)
      report_error("Input file '%s' is not readable\n", path);
    else if (errno == ENOENT)
      report_error("'%s': No such file\n", path);
    else
      report_could_not_locate(path, errno);
    return false;
  }
  if (S_ISREG(info.st_mode)) return true;
  if (is_member)
    report_error("Input file '%s' is not readable\n", path);
  else
    report_error("'%s' is not an ordinary file\n", path);
  return false;
}

// With --skip-unmatched, a file that does not start with the ELF magic (nor
// an archive's) is left alone, as a walk of a tree leaves it.
bool passes_over(const RunOptions &options, const char *display_name, ReadOutcome outcome,
                 FileKind kind) {
  if (!options.pass_over_not_elf || outcome == ReadOutcome::failed || kind != FileKind::other)
    return false;
  ++run_counts.files_passed_over;
  if (options.list) list_passed_over(display_name, "not ELF");
  return true;
}

// Dispatches an opened operand by its first 8 bytes.
int edit_operand(const RunOptions &options, const char *display_name, PositionedFile *file) {
  char magic[file_magic_size];
  std::size_t got = 0;
  ReadOutcome outcome = file_read(file, 0, magic, sizeof magic, &got);
  FileKind kind = file_kind(magic, got);
  if (passes_over(options, display_name, outcome, kind)) return 0;
  if (outcome != ReadOutcome::whole) {
    report_error("%s: Failed to read file's magic number\n", display_name);
    return 1;
  }
  // A thin archive is never written: its members are locked one by one.
  if (kind == FileKind::thin_archive) unlock_file(file);
  if (kind != FileKind::archive && kind != FileKind::thin_archive)
    return edit_object(options, display_name, file, 0);
  // The walk reads header after header: give it a window that holds many.
  file_set_window(file, archive_window_size);
  return edit_archive(options, display_name, file, kind == FileKind::thin_archive, false);
}

// A file of a tree, read again now that it is locked: what it holds may have
// changed since it was looked at, and only what is still an ELF file or a
// regular archive is edited.
int edit_locked_tree_file(const RunOptions &options, const char *display_name,
                          PositionedFile *file) {
  char magic[file_magic_size];
  std::size_t got = 0;
  if (file_read(file, 0, magic, sizeof magic, &got) == ReadOutcome::failed) {
    report_error("%s: Failed to read file's magic number\n", display_name);
    return 1;
  }
  switch (file_kind(magic, got)) {
    case FileKind::elf: return edit_object(options, display_name, file, 0);
    case FileKind::archive: break;
    default: return 0;
  }
  file_set_window(file, archive_window_size);
  return edit_archive(options, display_name, file, false, true);
}

// A lock that is neither taken nor missing for want of locks on the file
// system: the file is left alone.
bool is_locked(const RunOptions &options, PositionedFile *file, const LockWait &wait) {
  LockOutcome lock = lock_file(file, file_access(options), wait);
  return lock == LockOutcome::locked || lock == LockOutcome::not_supported;
}

// A thin archive's member file is one ELF header, or left alone as any
// other file is.
int edit_member_file(const RunOptions &options, const char *display_name, PositionedFile *file) {
  if (!options.pass_over_not_elf) return edit_object(options, display_name, file, 0);
  char magic[SELFMAG];
  std::size_t got = 0;
  ReadOutcome outcome = file_read(file, 0, magic, sizeof magic, &got);
  FileKind kind = file_kind(magic, got);
  if (passes_over(options, display_name, outcome, kind == FileKind::elf ? kind : FileKind::other))
    return 0;
  return edit_object(options, display_name, file, 0);
}

}  // namespace

EditOutcome open_and_edit(const RunOptions &options, const PathToEdit &target,
                          const LockWait &wait) {
  PlaceScope place;
  current_place.file = target.path;
  current_place.display_name = target.display_name;
  if (!check_before_opening(target)) return EditOutcome::not_opened;
  PositionedFile file;
  OpenFailure failure = open_positioned_file(&file, target.dir_fd, target.name, target.path,
                                             small_window_size, options.read_only);
  int open_error = errno;
  if (failure != OpenFailure::none) {
    if (failure == OpenFailure::not_regular && target.role == PathRole::operand) {
      report_error("'%s' is not an ordinary file\n", target.path);
    } else {
      // A running program opened for writing fails with ETXTBSY: the record
      // gives the reason the line leaves out.
      int cause = failure == OpenFailure::not_openable ? open_error : 0;
      report_error_with_cause(cause, "Input file '%s' is not readable\n", target.path);
    }
    return EditOutcome::not_opened;
  }
  ++run_counts.files;
  if (!is_locked(options, &file, wait)) {
    close_edited_file(&file);
    return EditOutcome::not_opened;
  }
  FileCheckMark mark;
  int status = target.role == PathRole::operand
                   ? edit_operand(options, target.display_name, &file)
                   : edit_member_file(options, target.display_name, &file);
  count_checked_file(mark);
  status |= close_edited_file(&file);
  return status == 0 ? EditOutcome::edited : EditOutcome::failed;
}

int edit_tree_file(const RunOptions &options, const char *display_name, PositionedFile *file) {
  PlaceScope place;
  current_place.file = current_place.display_name = display_name;
  int status = 1;
  FileCheckMark mark;
  if (is_locked(options, file, {})) status = edit_locked_tree_file(options, display_name, file);
  count_checked_file(mark);
  return status | close_edited_file(file);
}

}  // namespace hdrtune
