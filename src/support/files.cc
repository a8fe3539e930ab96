// SPDX-License-Identifier: MIT
// files.cc - the files whose headers are edited: positioned reads through a
// window, positioned writes, and the checks around opening them.
#include "support/files.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>

#include "runtime/alloc.h"
#include "runtime/process.h"
#include "support/diagnostics.h"

namespace hdrtune {

static bool window_holds(const PositionedFile *file, std::uint64_t offset, std::size_t size) {
  return offset >= file->window_start && offset - file->window_start <= file->window_length &&
         size <= file->window_length - (offset - file->window_start);
}

// Reads until size bytes came, the file ended, or a read failed (-1).
static ssize_t read_fully(int fd, unsigned char *buffer, std::size_t size, std::uint64_t offset) {
  std::size_t done = 0;
  while (done < size) {
    ssize_t n = pread(fd, buffer + done, size - done, static_cast<off_t>(offset + done));
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) return -1;
    if (n == 0) break;
    done += static_cast<std::size_t>(n);
  }
  return static_cast<ssize_t>(done);
}

// How many bytes a refill at offset asks for: the whole window, but never
// past the largest offset, since the kernel refuses a read whose end lies
// beyond it.
static std::size_t window_fill_size(const PositionedFile *file, std::uint64_t offset) {
  std::uint64_t room = largest_file_offset - offset;
  return file->window_capacity < room ? file->window_capacity : static_cast<std::size_t>(room);
}

// One pread fills the window from offset; it is followed by another only
// when it came back short of the size bytes asked for. False when a read
// failed, with the window emptied.
static bool refill_window(PositionedFile *file, std::uint64_t offset, std::size_t size) {
  file->window_length = 0;
  std::size_t fill = window_fill_size(file, offset);
  ssize_t n;
  do n = pread(file->fd, file->window, fill, static_cast<off_t>(offset));
  while (n < 0 && errno == EINTR);
  if (n < 0) return false;
  if (static_cast<std::size_t>(n) < size) {
    ssize_t rest = read_fully(file->fd, file->window + n, size - n, offset + n);
    if (rest < 0) return false;
    n += rest;
  }
  file->window_start = offset;
  file->window_length = static_cast<std::size_t>(n);
  return true;
}

// Copies what the window holds of the size bytes at offset, which lies in it.
static ReadOutcome copy_from_window(const PositionedFile *file, std::uint64_t offset, void *buffer,
                                    std::size_t size, std::size_t *got) {
  std::size_t available = file->window_length - (offset - file->window_start);
  *got = size < available ? size : available;
  std::memcpy(buffer, file->window + (offset - file->window_start), *got);
  return *got == size ? ReadOutcome::whole : ReadOutcome::short_read;
}

// Reads the bytes straight from the file into buffer, the window untouched.
static ReadOutcome read_around_window(const PositionedFile *file, std::uint64_t offset,
                                      void *buffer, std::size_t size, std::size_t *got) {
  ssize_t n = read_fully(file->fd, static_cast<unsigned char *>(buffer), size, offset);
  if (n < 0) return ReadOutcome::failed;
  *got = static_cast<std::size_t>(n);
  return *got == size ? ReadOutcome::whole : ReadOutcome::short_read;
}

// Bytes the window does not hold: the window is refilled from offset, or,
// for a read too large for it, the bytes come straight from the file.
static ReadOutcome read_past_window(PositionedFile *file, std::uint64_t offset, void *buffer,
                                    std::size_t size, std::size_t *got) {
  if (size > file->window_capacity) return read_around_window(file, offset, buffer, size, got);
  if (!refill_window(file, offset, size)) return ReadOutcome::failed;
  return copy_from_window(file, offset, buffer, size, got);
}

static bool read_reachable(std::uint64_t offset, std::size_t size) {
  if (offset <= largest_file_offset && size <= largest_file_offset - offset) return true;
  errno = EINVAL;
  return false;
}

ReadOutcome file_read(PositionedFile *file, std::uint64_t offset, void *buffer, std::size_t size,
                      std::size_t *got) {
  *got = 0;
  if (!read_reachable(offset, size)) return ReadOutcome::failed;
  if (!window_holds(file, offset, size)) return read_past_window(file, offset, buffer, size, got);
  return copy_from_window(file, offset, buffer, size, got);
}

ReadOutcome file_read_beside_window(const PositionedFile *file, std::uint64_t offset, void *buffer,
                                    std::size_t size, std::size_t *got) {
  *got = 0;
  if (!read_reachable(offset, size)) return ReadOutcome::failed;
  if (!window_holds(file, offset, size)) return read_around_window(file, offset, buffer, size, got);
  return copy_from_window(file, offset, buffer, size, got);
}

// Copies the bytes written into the window where it holds them.
static void update_window(PositionedFile *file, std::uint64_t offset, const unsigned char *data,
                          std::size_t size) {
  std::uint64_t start = offset > file->window_start ? offset : file->window_start;
  std::uint64_t window_end = file->window_start + file->window_length;
  std::uint64_t end = offset + size < window_end ? offset + size : window_end;
  if (start < end)
    std::memcpy(file->window + (start - file->window_start), data + (start - offset), end - start);
}

int file_write(PositionedFile *file, std::uint64_t offset, const void *data, std::size_t size) {
  if (offset > largest_file_offset || size > largest_file_offset - offset) return EINVAL;
  const auto *bytes = static_cast<const unsigned char *>(data);
  std::size_t done = 0;
  int error = 0;
  while (done < size) {
    ssize_t n = pwrite(file->fd, bytes + done, size - done, static_cast<off_t>(offset + done));
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) {
      error = n < 0 ? errno : ENOSPC;
      break;
    }
    done += static_cast<std::size_t>(n);
  }
  update_window(file, offset, bytes, done);
  return error;
}

void file_set_window(PositionedFile *file, std::size_t capacity) {
  auto *window = static_cast<unsigned char *>(alloc_or_die(capacity));
  if (file->window_length > capacity) file->window_length = capacity;
  if (file->window_length > 0) std::memcpy(window, file->window, file->window_length);
  std::free(file->window);
  file->window = window;
  file->window_capacity = capacity;
}

OpenFailure open_positioned_file(PositionedFile *file, int dir_fd, const char *name,
                                 const char *path, std::size_t window_size, bool read_only) {
  // Not blocking: a path swapped for a FIFO or a device must not hang the run.
  int flags = (read_only ? O_RDONLY : O_RDWR) | O_NOCTTY | O_NONBLOCK | O_CLOEXEC;
  int fd = openat(dir_fd, name, flags);
  if (fd < 0) return errno == ENOENT ? OpenFailure::missing : OpenFailure::not_openable;
  struct stat info;
  if (fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) {
    close(fd);
    return OpenFailure::not_regular;
  }
  adopt_descriptor(file, fd, path, window_size, static_cast<std::uint64_t>(info.st_size),
                   info.st_dev, info.st_ino);
  return OpenFailure::none;
}

void adopt_descriptor(PositionedFile *file, int fd, const char *path, std::size_t window_size,
                      std::uint64_t size, dev_t device, ino_t inode) {
  file->fd = fd;
  file->size_at_open = size;
  file->device = device;
  file->inode = inode;
  file->path = strdup_or_die(path);
  file->window = nullptr;
  file_set_window(file, window_size);
}

OpenFailure open_for_update(PositionedFile *file, const char *path, std::size_t window_size,
                            bool read_only) {
  return open_positioned_file(file, AT_FDCWD, path, path, window_size, read_only);
}

OpenFailure open_member_for_update(PositionedFile *file, const char *path, std::size_t window_size,
                                   bool read_only) {
  // Opening a device can have effects of its own: look before opening.
  struct stat info;
  if (stat(path, &info) == 0 && !S_ISREG(info.st_mode)) return OpenFailure::not_regular;
  return open_for_update(file, path, window_size, read_only);
}

static bool read_size(int fd, std::uint64_t *size) {
  struct stat info;
  if (fstat(fd, &info) != 0) return false;
  *size = static_cast<std::uint64_t>(info.st_size);
  return true;
}

struct LockRequest {
  int fd;
  int operation;
};

static int wait_for_lock(void *context) {
  auto *request = static_cast<LockRequest *>(context);
  return flock(request->fd, request->operation);
}

// A file system without locks (some network and FUSE file systems) refuses
// every flock; editing there unlocked is all that can be done.
static LockOutcome lock_refused(const PositionedFile *file, int error, FailureSink &failures) {
  if (error == ENOLCK || error == EOPNOTSUPP || error == ENOTSUP) return LockOutcome::not_supported;
  fail(failures, file->path, error, "%s: cannot lock file: %s\n", file->path, std::strerror(error));
  return LockOutcome::failed;
}

LockOutcome lock_file(PositionedFile *file, const FileAccess &access, const LockWait &wait,
                      FailureSink &failures) {
  LockRequest request = {file->fd, access.exclusive_lock ? LOCK_EX : LOCK_SH};
  if (flock(request.fd, request.operation | LOCK_NB) == 0) return LockOutcome::locked;
  if (errno != EWOULDBLOCK && errno != EINTR) return lock_refused(file, errno, failures);
  if (wait.release) wait.release(wait.context);
  for (;;) {
    int result = 0;
    if (!call_unless_interrupted(wait_for_lock, &request, &result)) return LockOutcome::interrupted;
    if (result == 0) break;
    if (errno != EINTR) return lock_refused(file, errno, failures);
  }
  read_size(file->fd, &file->size_at_open);
  return LockOutcome::locked;
}

void unlock_file(PositionedFile *file) { flock(file->fd, LOCK_UN); }

bool file_size_changed(const PositionedFile *file) {
  std::uint64_t size = 0;
  return read_size(file->fd, &size) && size != file->size_at_open;
}

bool close_edited_file(PositionedFile *file, FailureSink &failures) {
  bool closed = true;
  if (close(file->fd) != 0) {
    int error = errno;
    fail(failures, file->path, error, "%s: Failed to close file: %s\n", file->path,
         std::strerror(error));
    closed = false;
  }
  std::free(file->path);
  std::free(file->window);
  *file = PositionedFile{};
  return closed;
}

}  // namespace hdrtune
