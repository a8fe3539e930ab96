// SPDX-License-Identifier: MIT
// reporter.h - what a run shows: each header listed, changed, checked,
// skipped or passed over, each failure, and the closing summary. The driver
// chooses one reporter for the run (text lines or JSON records); every
// step of the run hands it what it met, with the place where it met it.
//
// How the tool layer's steps end: each returns an int status, 0 when every
// header it met was done as asked, 1 when anything failed, every failure
// having gone to the run's reporter first; open_and_edit alone returns an
// EditOutcome, which also tells whether the file could be opened at all.
#pragma once

#include <cstddef>
#include <cstdint>

#include "support/diagnostics.h"
#include "support/elf_header.h"
#include "tool/header_fields.h"

namespace hdrtune {

// Where a header lies. Each step of a walk copies the place it was handed
// and fills in what it knows.
struct HeaderPlace {
  const char *operand = nullptr;  // the command line's word
  const char *file = nullptr;     // the file that holds the header
  const char *archive = nullptr;  // the archive the member belongs to
  const char *member = nullptr;   // the member's name, member_length bytes
  std::size_t member_length = 0;
  const char *nested_archive = nullptr;  // a thin archive's member lives in this archive
  const char *display_name = nullptr;
  std::uint64_t offset = 0;           // of the header in `file`
  const ElfHeader *header = nullptr;  // once read
  // The settings the header is judged by, flags given by name resolved for
  // its machine; null until then (the run's settings hold).
  const HeaderEditSettings *settings = nullptr;
};

// What the run met, for the summary and the closing count of a check.
struct RunCounts {
  std::uint64_t files = 0;          // opened, or looked at in a tree
  std::uint64_t files_checked = 0;  // that held a header a check compared
  std::uint64_t archives = 0;
  std::uint64_t members = 0;
  std::uint64_t headers = 0;  // read whole and judged
  std::uint64_t edited = 0;   // written, or found to need writing in a dry run
  std::uint64_t listed = 0;   // listed as they are, with no output value
  std::uint64_t checked = 0;
  std::uint64_t differing = 0;
  std::uint64_t skipped = 0;
  std::uint64_t files_passed_over = 0;    // in a tree: not ELF, not an archive
  std::uint64_t thin_passed_over = 0;     // thin archives in a tree
  std::uint64_t members_passed_over = 0;  // not ELF
  std::uint64_t errors = 0;               // failures reported
};

// The counts before a file is edited, so that afterwards it can be counted
// as a file that held checked headers.
struct FileCheckMark {
  std::uint64_t checked;
  std::uint64_t files_checked;
};
inline FileCheckMark file_check_mark(const RunCounts &counts) {
  return {counts.checked, counts.files_checked};
}
// Counts the file edited since `mark` when a header was checked in it,
// unless a file it refers to (a thin archive's member) was counted instead.
inline void count_checked_file(RunCounts *counts, const FileCheckMark &mark) {
  if (counts->checked > mark.checked && counts->files_checked == mark.files_checked)
    ++counts->files_checked;
}

// An input condition that left the header alone: one value that was not
// the one wanted, or, with `why`, a condition no single value states
// (alternatives, a flags field the machine lacks), said in words.
struct SkipCondition {
  ListField field;
  std::int64_t found;
  std::int64_t wanted;
  std::uint32_t mask;  // flags: the bits compared
  const char *why = nullptr;
};

// Each failure is written as its stderr line and counted, whatever the
// rendering; the JSON reporter also writes it as a record.
class Reporter : public FailureSink {
 public:
  RunCounts counts;

  void take(const Failure &failure) final;
  // A failure whose line another part already wrote to stderr (the option
  // scanner's complaints): counted and recorded, not written again.
  void written_elsewhere(const char *line, std::size_t length);
  // The header was left as it is: it already holds what was asked.
  virtual void unchanged(const HeaderPlace &place) = 0;
  // A file or member left alone, with why.
  virtual void passed_over(const HeaderPlace &place, const char *why) = 0;
  // An input condition left the header alone.
  virtual void skipped(const HeaderPlace &place, const SkipCondition &skip) = 0;
  // The header's values, with no output value asked.
  virtual void listed(const HeaderPlace &place) = 0;
  // The header written (or, in a dry run, found to need writing) as `after`.
  virtual void changed(const HeaderPlace &place, const ElfHeader &after) = 0;
  // A check of the header, whose values an edit would make `after`.
  virtual void checked(const HeaderPlace &place, const ElfHeader &after, bool differs) = 0;
  // The end of the run: its exit status, or the signal that ends it.
  virtual void summary(int exit_status, int signal) = 0;
  // The line a check ends with on stderr.
  void check_count();

 protected:
  ~Reporter() = default;
  virtual void failure_written(const Failure &failure, const char *line, std::size_t length) = 0;
};

}  // namespace hdrtune
