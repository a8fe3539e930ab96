// SPDX-License-Identifier: MIT
// open_and_edit.h - the one way a named file is checked, opened, locked,
// edited and closed: for each file operand, each member file of a thin
// archive, and each file a walk of a tree finds.
#pragma once

#include <fcntl.h>
#include <sys/types.h>

#include "support/files.h"
#include "tool/reporter.h"
#include "tool/run_options.h"

namespace hdrtune {

// An operand is dispatched by its magic (an archive is walked, anything else
// edited as one header) and its failures get their own messages. A thin
// archive's member file is one ELF header, and any failure to open it is
// "not readable".
enum class PathRole { operand, thin_member };

struct PathToEdit {
  int dir_fd = AT_FDCWD;  // `name` is relative to this directory
  const char *name = nullptr;
  const char *path = nullptr;          // names the file in messages about opening it
  const char *display_name = nullptr;  // names it in messages about its headers
  PathRole role = PathRole::operand;
  HeaderPlace place;  // where the file was named: its operand, archive and member
};

enum class EditOutcome {
  edited,      // every header edited
  failed,      // opened, but something failed (reported)
  not_opened,  // refused before or at the open (reported)
};

// The file is locked before its first byte is read; when another run holds
// the lock, `wait` says what to let go of first. An interrupt while waiting
// ends the call as not_opened, with no message; a lock that fails for any
// reason but a file system without locks, as not_opened after its message.
EditOutcome open_and_edit(const RunOptions &options, const PathToEdit &target,
                          const LockWait &wait = {});

// A file a walk of a tree has opened itself (for reading only when nothing
// will be written) and looked at: it is locked and read again, and edited
// only if it still holds an ELF file or a regular archive, whose members that
// are not ELF are passed over. The file is closed. Returns 0 or 1.
int edit_tree_file(const RunOptions &options, const HeaderPlace &place, PositionedFile *file);

}  // namespace hdrtune
