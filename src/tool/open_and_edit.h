// open_and_edit.h - the one way a named file is checked, opened, edited and
// closed: for each file operand, and for each member file of a thin archive.
#pragma once

#include "support/files.h"
#include "tool/run_options.h"

namespace hdrtune {

// An operand is dispatched by its magic (an archive is walked, anything else
// edited as one header) and its failures get their own messages. A thin
// archive's member file is one ELF header, and any failure to open it is
// "not readable".
enum class PathRole { operand, thin_member };

enum class EditOutcome {
  edited,      // every header edited
  failed,      // opened, but something failed (reported)
  not_opened,  // refused before or at the open (reported)
};

// `name` is relative to the directory open on dir_fd (AT_FDCWD: the current
// one); failures to open it are reported under `name`, editing failures
// under display_name. The file is locked before its first byte is read; when
// another run holds the lock, `wait` says what to let go of first. An
// interrupt while waiting ends the call as not_opened, with no message.
EditOutcome open_and_edit(const RunOptions &options, int dir_fd, const char *name,
                          const char *display_name, PathRole role, const LockWait &wait = {});

}  // namespace hdrtune
