// SPDX-License-Identifier: MIT
// file_identity.h - where a file or directory lives: device, inode and mount.
#pragma once

#include <sys/types.h>

#include <cstdint>

namespace hdrtune {

// Where a file or directory lives. The mount is known by its own number
// where the build and the kernel give one, which tells a bind mount from the
// file system it shows; else by the device, which does not.
struct Identity {
  dev_t device = 0;
  ino_t inode = 0;
  nlink_t links = 0;
  mode_t mode = 0;
  std::uint64_t size = 0;
  std::uint64_t mount = 0;
  bool has_mount = false;
};

// Fills id from the file open on fd; false when it cannot be asked.
bool identify(int fd, Identity *id);
// As identify, for `name` in the directory open on dir_fd, without
// following a symbolic link.
bool identify_at(int dir_fd, const char *name, Identity *id);

bool same_mount(const Identity &a, const Identity &b);

}  // namespace hdrtune
