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

namespace hdrtune {

namespace {

void report_could_not_locate(FailureSink &failures, const char *path, int error) {
  fail(failures, path, error, "Could not locate '%s'.  System error message: %s\n", path,
       std::strerror(error));
}

// Only a regular file is opened: opening a device or a FIFO can block or
// have effects of its own. An operand's failure names its cause.
bool check_before_opening(FailureSink &failures, const PathToEdit &target) {
  const char *path = target.path;
  bool is_member = target.role == PathRole::thin_member;
  struct stat info;
  if (fstatat(target.dir_fd, target.name, &info, 0) != 0) {
    if (is_member)
      fail(failures, path, 0, "Input file '%s' is not readable\n", path);
    else if (errno == ENOENT)
      fail(failures, path, 0, "'%s': No such file\n", path);
    else
      report_could_not_locate(failures, path, errno);
    return false;
  }
  if (S_ISREG(info.st_mode)) return true;
  if (is_member)
    fail(failures, path, 0, "Input file '%s' is not readable\n", path);
  else
    fail(failures, path, 0, "'%s' is not an ordinary file\n", path);
  return false;
}

// With --skip-unmatched, a file that does not start with the ELF magic (nor
// an archive's) is left alone, as a walk of a tree leaves it.
bool passes_over(const RunOptions &options, const HeaderPlace &place, ReadOutcome outcome,
                 FileKind kind) {
  if (!options.pass_over_not_elf || outcome == ReadOutcome::failed || kind != FileKind::other)
    return false;
  ++options.reporter->counts.files_passed_over;
  if (options.list) options.reporter->passed_over(place, "not ELF");
  return true;
}

void report_unreadable_magic(const RunOptions &options, const char *display_name) {
  fail(*options.reporter, display_name, 0, "%s: Failed to read file's magic number\n",
       display_name);
}

// Dispatches an opened operand by its first 8 bytes.
int edit_operand(const RunOptions &options, const HeaderPlace &place, PositionedFile *file) {
  char magic[file_magic_size];
  std::size_t got = 0;
  ReadOutcome outcome = file_read(file, 0, magic, sizeof magic, &got);
  FileKind kind = file_kind(magic, got);
  if (passes_over(options, place, outcome, kind)) return 0;
  if (outcome != ReadOutcome::whole) {
    report_unreadable_magic(options, place.display_name);
    return 1;
  }
  // A thin archive is never written: its members are locked one by one.
  if (kind == FileKind::thin_archive) unlock_file(file);
  if (kind != FileKind::archive && kind != FileKind::thin_archive)
    return edit_object(options, place, file);
  // The walk reads header after header: give it a window that holds many.
  file_set_window(file, archive_window_size);
  return edit_archive(options, place, file, kind == FileKind::thin_archive, false);
}

// A file of a tree, read again now that it is locked: what it holds may have
// changed since it was looked at, and only what is still an ELF file or a
// regular archive is edited.
int edit_locked_tree_file(const RunOptions &options, const HeaderPlace &place,
                          PositionedFile *file) {
  char magic[file_magic_size];
  std::size_t got = 0;
  if (file_read(file, 0, magic, sizeof magic, &got) == ReadOutcome::failed) {
    report_unreadable_magic(options, place.display_name);
    return 1;
  }
  switch (file_kind(magic, got)) {
    case FileKind::elf: return edit_object(options, place, file);
    case FileKind::archive: break;
    default: return 0;
  }
  file_set_window(file, archive_window_size);
  return edit_archive(options, place, file, false, true);
}

// Takes the file's lock; false when it is neither taken nor missing for
// want of locks on the file system, and the file is to be left alone.
bool lock_or_leave(const RunOptions &options, PositionedFile *file, const LockWait &wait) {
  LockOutcome lock = lock_file(file, file_access(options), wait, *options.reporter);
  return lock == LockOutcome::locked || lock == LockOutcome::not_supported;
}

// A thin archive's member file is one ELF header, or left alone as any
// other file is.
int edit_thin_member_file(const RunOptions &options, const HeaderPlace &place,
                          PositionedFile *file) {
  if (!options.pass_over_not_elf) return edit_object(options, place, file);
  char magic[SELFMAG];
  std::size_t got = 0;
  ReadOutcome outcome = file_read(file, 0, magic, sizeof magic, &got);
  FileKind kind = file_kind(magic, got);
  if (passes_over(options, place, outcome, kind == FileKind::elf ? kind : FileKind::other))
    return 0;
  return edit_object(options, place, file);
}

// A file that could not be opened: a running program opened for writing
// fails with ETXTBSY, and the record gives the reason the line leaves out.
void report_open_failure(FailureSink &failures, const PathToEdit &target, OpenFailure failure,
                         int open_error) {
  if (failure == OpenFailure::not_regular && target.role == PathRole::operand) {
    fail(failures, target.path, 0, "'%s' is not an ordinary file\n", target.path);
    return;
  }
  int cause = failure == OpenFailure::not_openable ? open_error : 0;
  fail(failures, target.path, cause, "Input file '%s' is not readable\n", target.path);
}

}  // namespace

EditOutcome open_and_edit(const RunOptions &options, const PathToEdit &target,
                          const LockWait &wait) {
  Reporter &reporter = *options.reporter;
  if (!check_before_opening(reporter, target)) return EditOutcome::not_opened;
  PositionedFile file;
  OpenFailure failure = open_positioned_file(&file, target.dir_fd, target.name, target.path,
                                             small_window_size, options.read_only);
  int open_error = errno;
  if (failure != OpenFailure::none) {
    report_open_failure(reporter, target, failure, open_error);
    return EditOutcome::not_opened;
  }
  ++reporter.counts.files;
  if (!lock_or_leave(options, &file, wait)) {
    close_edited_file(&file, reporter);
    return EditOutcome::not_opened;
  }
  HeaderPlace place = target.place;
  place.file = target.path;
  place.display_name = target.display_name;
  FileCheckMark mark = file_check_mark(reporter.counts);
  int status = target.role == PathRole::operand ? edit_operand(options, place, &file)
                                                : edit_thin_member_file(options, place, &file);
  count_checked_file(&reporter.counts, mark);
  if (!close_edited_file(&file, reporter)) status = 1;
  return status == 0 ? EditOutcome::edited : EditOutcome::failed;
}

int edit_tree_file(const RunOptions &options, const HeaderPlace &place, PositionedFile *file) {
  int status = 1;
  RunCounts &counts = options.reporter->counts;
  FileCheckMark mark = file_check_mark(counts);
  if (lock_or_leave(options, file, {})) status = edit_locked_tree_file(options, place, file);
  count_checked_file(&counts, mark);
  if (!close_edited_file(file, *options.reporter)) status = 1;
  return status;
}

}  // namespace hdrtune
