// SPDX-License-Identifier: MIT
// files.h - the files whose headers are edited: positioned reads through a
// window, positioned writes, and the checks around opening them.
#pragma once

#include <sys/types.h>

#include <cstddef>
#include <cstdint>

#include "support/diagnostics.h"

namespace hdrtune {

// Window sizes: a plain file or a thin archive's member file needs its first
// bytes only (the magic and the header), an archive being walked its member
// headers one after another.
constexpr std::size_t small_window_size = 512;
constexpr std::size_t archive_window_size = 64 * 1024;

// An open file read and written at absolute offsets. It has no position of
// its own and no error flags: every call says what happened. Reads are
// served from a window of the file's bytes, refilled with one pread at the
// offset asked for when it does not hold them; writes go straight to the
// file and update the window where it holds the bytes written.
struct PositionedFile {
  int fd = -1;
  char *path = nullptr;             // owned; the name the file is reported under
  unsigned char *window = nullptr;  // owned
  std::size_t window_capacity = 0;
  std::uint64_t window_start = 0;  // file offset of window[0]
  std::size_t window_length = 0;   // bytes of the file held, from window_start
  std::uint64_t size_at_open = 0;  // the file's size when it was opened
  dev_t device = 0;                // which file was opened
  ino_t inode = 0;
};

enum class ReadOutcome {
  whole,       // every byte asked for
  short_read,  // the file ended first; *got tells how many came
  failed,      // a read failed; errno tells why
};

// The largest offset a file can have; anything past it can't be reached.
constexpr std::uint64_t largest_file_offset = INT64_MAX;
inline bool offset_reachable(std::uint64_t offset) { return offset <= largest_file_offset; }

ReadOutcome file_read(PositionedFile *file, std::uint64_t offset, void *buffer, std::size_t size,
                      std::size_t *got);
// As file_read, but the window is never refilled: bytes it does not hold
// come straight from the file. For a second run of reads elsewhere in the
// file (an archive's long-name table) that would otherwise evict what the
// window holds for the first (the member headers).
ReadOutcome file_read_beside_window(const PositionedFile *file, std::uint64_t offset, void *buffer,
                                    std::size_t size, std::size_t *got);
// Writes all of data at offset. Returns 0, or the error number of the write
// that failed (a write that can't make progress counts as ENOSPC).
int file_write(PositionedFile *file, std::uint64_t offset, const void *data, std::size_t size);
// Gives the file a window of a new size; it keeps what it holds, as far as
// the new size allows.
void file_set_window(PositionedFile *file, std::size_t capacity);

enum class OpenFailure {
  none,
  not_regular,
  not_openable,
  missing,  // no file has the name (any more)
};

// Opens path for reading and writing (for reading only when read_only: a run
// that writes nothing can inspect files the user may not write), with a
// window of window_size bytes.
// Only a regular file is kept: anything else that was opened (a path swapped
// for a device or FIFO after the caller checked it) is closed again and
// refused. The open never blocks. Returns OpenFailure::none on success.
OpenFailure open_for_update(PositionedFile *file, const char *path, std::size_t window_size,
                            bool read_only);
// As open_for_update, for `name` relative to the directory open on dir_fd,
// reported under `path`.
OpenFailure open_positioned_file(PositionedFile *file, int dir_fd, const char *name,
                                 const char *path, std::size_t window_size, bool read_only);

// Gives the file the descriptor fd, which the caller opened on a regular
// file of `size` bytes with the given device and inode, and a window of
// window_size bytes; the file closes fd from now on.
void adopt_descriptor(PositionedFile *file, int fd, const char *path, std::size_t window_size,
                      std::uint64_t size, dev_t device, ino_t inode);

// As open_for_update, for files named inside an archive: a path that is not a
// regular file is refused before it is opened.
OpenFailure open_member_for_update(PositionedFile *file, const char *path, std::size_t window_size,
                                   bool read_only);

// How a run opens the files it edits: for update, or for reading only when
// nothing will be written; and under an exclusive lock when it writes, a
// shared one when it only looks (a listing, a dry run).
struct FileAccess {
  bool read_only = false;
  bool exclusive_lock = true;
};

// What to let go of before waiting for a lock another run holds, so that two
// runs never wait on each other: a run waits only while it holds no lock.
struct LockWait {
  void (*release)(void *context) = nullptr;
  void *context = nullptr;
};

enum class LockOutcome {
  locked,
  not_supported,  // the file system refuses locks: go on without one
  interrupted,    // an interrupt came while waiting
  failed,         // the lock could not be taken (reported): leave the file alone
};

// Takes the advisory lock the access asks for on the whole file. When
// another process holds it, calls wait.release first, then waits; the size
// at open is then read again, since the holder may have changed the file.
// Only the errors that mean "no locks on this file system" let the caller go
// on without one; any other is handed to `failures` under the file's path.
LockOutcome lock_file(PositionedFile *file, const FileAccess &access, const LockWait &wait,
                      FailureSink &failures = stderr_failures());
// Lets go of the lock on a file that will not be written (a thin archive).
void unlock_file(PositionedFile *file);

// True when the file's size is no longer what it was at open (or after the
// lock): another program wrote it during the run.
bool file_size_changed(const PositionedFile *file);

// Closes a file that headers were written through and frees what it holds.
// Some file systems report a lost write only here, so a failure is reported
// to `failures` under the file's path. False after such a failure.
bool close_edited_file(PositionedFile *file, FailureSink &failures = stderr_failures());

}  // namespace hdrtune
