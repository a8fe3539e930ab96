// SPDX-License-Identifier: MIT
// json_records.h - what a run shows, as JSON lines: one record per header
// listed or checked, one per error line, and a summary at the end; and the
// counts a check closes with.
#pragma once

#include <cstddef>
#include <cstdint>

#include "support/elf_header.h"
#include "tool/list_lines.h"
#include "tool/run_options.h"

namespace hdrtune {

// The version of the records' format, in every record.
constexpr int json_format_version = 1;

// Where the header being worked on lies. Each step of a walk fills in what
// it knows inside a PlaceScope, which puts back the outer place at its end.
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
  // its machine; null until then.
  const HeaderEditSettings *settings = nullptr;
};

extern HeaderPlace current_place;

struct PlaceScope {
  HeaderPlace saved = current_place;
  PlaceScope() = default;
  PlaceScope(const PlaceScope &) = delete;
  PlaceScope &operator=(const PlaceScope &) = delete;
  ~PlaceScope() { current_place = saved; }
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
};

extern RunCounts run_counts;

// The counts before a file is edited, so that afterwards it can be counted
// as a file that held checked headers.
struct FileCheckMark {
  std::uint64_t checked = run_counts.checked;
  std::uint64_t files_checked = run_counts.files_checked;
};
// Counts the file edited since `mark` when a header was checked in it,
// unless a file it refers to (a thin archive's member) was counted instead.
inline void count_checked_file(const FileCheckMark &mark) {
  if (run_counts.checked > mark.checked && run_counts.files_checked == mark.files_checked)
    ++run_counts.files_checked;
}

// From here on, list lines and error lines are written as records.
void start_json_records(const RunOptions &options);
// Back to text, for a caller that runs the tool more than once.
void stop_json_records();
bool json_records_on();
// A dry run's records say "not_written" where the real run's say "written".
bool json_records_dry_run();

enum class HeaderResult {
  written,
  not_written,  // a dry run
  unchanged,
  listed,
  as_wanted,
  differs,
  skipped,
  passed_over,
};

// An input condition that left the header alone.
struct SkipCondition {
  ListField field;
  std::int64_t found;
  std::int64_t wanted;
  std::uint32_t mask;  // flags: the bits compared
};

// A record of the current place's header; skip and reason where the
// result has them.
void json_header_record(HeaderResult result, const char *display_name,
                        const SkipCondition *skip = nullptr, const char *reason = nullptr);

// The last record: the counts and the exit status, or the signal that ends
// the run (exit_status then unused).
void json_summary_record(int exit_status, int signal);

// The line a check ends with on stderr, after its last header.
void print_check_count();

}  // namespace hdrtune
