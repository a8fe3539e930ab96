// SPDX-License-Identifier: MIT
// list_lines.h - the run shown as text: one line per header on the standard
// output, each failure as its line on stderr.
#pragma once

#include "runtime/json_text.h"
#include "tool/reporter.h"
#include "tool/run_options.h"

namespace hdrtune {

// The text after the name of the last line of one kind, and the values it
// shows: the members of an archive mostly have the same values.
struct LineTail {
  JsonBuffer text;
  ElfHeader before = {}, after = {};
  bool valid = false;
};

// The leading bytes of the last name that began with its archive's path,
// and whether any of them needs an escape: the members of an archive share
// them, so they are looked at once per archive, not once per member.
struct KnownPrefix {
  JsonBuffer text;
  bool needs_escape = false;
};

class TextReporter final : public Reporter {
 public:
  explicit TextReporter(const HeaderEditSettings &settings) : settings_(settings) {}
  ~TextReporter();
  // NAME: unchanged
  void unchanged(const HeaderPlace &place) override;
  // NAME: passed over (WHY)
  void passed_over(const HeaderPlace &place, const char *why) override;
  // NAME: skipped (FIELD FOUND, wanted WANTED[, mask MASK]); the mask only
  // for flags compared under one.
  void skipped(const HeaderPlace &place, const SkipCondition &skip) override;
  // NAME: machine M, type T, OSABI O[, ABI version V][, flags F], the last
  // two where they are not 0
  void listed(const HeaderPlace &place) override;
  // NAME: machine OLD -> NEW, type OLD -> NEW, OSABI OLD -> NEW,
  // ABI version OLD -> NEW, flags OLD -> NEW, each as asked.
  void changed(const HeaderPlace &place, const ElfHeader &after) override;
  // NAME: as wanted, or NAME: FIELD FOUND, wanted WANTED; ... for each
  // output value asked that the header does not hold.
  void checked(const HeaderPlace &place, const ElfHeader &after, bool differs) override;
  // Text has no summary line but a check's count.
  void summary(int, int) override {}

 private:
  void failure_written(const Failure &, const char *, std::size_t) override {}
  void start_line(const HeaderPlace &place);
  const HeaderEditSettings &settings_;
  JsonBuffer line_;  // the line being built, written whole
  LineTail listed_tail_, changed_tail_, checked_tail_;
  KnownPrefix archive_prefix_;
};

}  // namespace hdrtune
