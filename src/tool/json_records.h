// SPDX-License-Identifier: MIT
// json_records.h - the run shown as JSON lines: one record per header
// listed or checked, one per failure, and a summary at the end.
#pragma once

#include <cstddef>
#include <cstdint>

#include "runtime/json_text.h"
#include "tool/reporter.h"
#include "tool/run_options.h"

namespace hdrtune {

// The version of the records' format, in every record.
constexpr int json_format_version = 1;

// The archive's path and the like repeat from member to member: the text
// last written for a field is kept beside its bytes and copied when they
// are the same.
struct JsonFieldCache {
  JsonBuffer bytes;
  JsonBuffer text;
  bool is_null = true;
  bool valid = false;
};

// The operand, the file and the archive as last written, each field's
// bytes and text, and the text of the three together.
struct JsonPathsCache {
  JsonFieldCache operand, file, archive;
  JsonBuffer text;
  bool file_is_operand = false;  // the file kept has the operand's bytes
};

// What the fields of the last header written looked like: the members of
// an archive mostly have the same values.
struct JsonHeaderCache {
  ElfHeader before = {}, after = {};
  bool with_after = false;
  bool valid = false;
  JsonBuffer text;
};

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

// Each failure's line goes to stderr as in text, and a record of it to
// the standard output.
class JsonReporter final : public Reporter {
 public:
  JsonReporter(const HeaderEditSettings &settings, bool dry_run)
      : settings_(settings), dry_run_(dry_run) {}
  ~JsonReporter();
  void unchanged(const HeaderPlace &place) override;
  void passed_over(const HeaderPlace &place, const char *why) override;
  void skipped(const HeaderPlace &place, const SkipCondition &skip) override;
  void listed(const HeaderPlace &place) override;
  void changed(const HeaderPlace &place, const ElfHeader &after) override;
  void checked(const HeaderPlace &place, const ElfHeader &after, bool differs) override;
  // The last record: the counts and the exit status, or the signal that
  // ends the run (exit_status then unused).
  void summary(int exit_status, int signal) override;

 private:
  void failure_written(const Failure &failure, const char *line, std::size_t length) override;
  void header_record(HeaderResult result, const HeaderPlace &place, const ElfHeader *after,
                     const SkipCondition *skip = nullptr, const char *reason = nullptr);
  void place_fields(const HeaderPlace &place);
  void path_fields(const HeaderPlace &place);
  bool name_from_parts(const HeaderPlace &place, bool member_exact);
  void header_fields(const ElfHeader &header, const ElfHeader *after);
  void skip_field(const SkipCondition *skip, std::int32_t machine);
  const HeaderEditSettings &settings_;
  bool dry_run_;
  JsonBuffer record_;
  JsonPathsCache paths_cache_;
  JsonFieldCache nested_cache_;
  JsonFieldCache archive_text_;  // the archive's path, as the names start with it
  JsonBuffer member_text_;       // the member's name as a JSON string
  JsonHeaderCache header_cache_;
};

}  // namespace hdrtune
