// SPDX-License-Identifier: MIT
// file_identity.cc - where a file or directory lives: device, inode and mount.
//
// The mount id comes from statx where the build found it; otherwise, and
// where the kernel refuses statx, fstat gives device and inode alone.
#include "support/file_identity.h"

#include <fcntl.h>
#include <sys/stat.h>

#include <cerrno>

#include "platform_config.h"

#if HDRTUNE_HAVE_SYS_SYSMACROS_H
#include <sys/sysmacros.h>
#endif

namespace hdrtune {

namespace {

// An empty name asks about dir_fd itself.
bool identify_by_fstat(int dir_fd, const char *name, Identity *id) {
  struct stat info;
  int result = *name ? fstatat(dir_fd, name, &info, AT_SYMLINK_NOFOLLOW) : fstat(dir_fd, &info);
  if (result != 0) return false;
  id->device = info.st_dev;
  id->inode = info.st_ino;
  id->links = info.st_nlink;
  id->mode = info.st_mode;
  id->size = static_cast<std::uint64_t>(info.st_size);
  id->has_mount = false;
  id->mount = 0;
  return true;
}

#if HDRTUNE_HAVE_STATX_MOUNT_ID
// A static binary may meet a kernel older than statx, or a sandbox that
// refuses it: fstat answers then.
bool identify_by_statx(int dir_fd, const char *name, Identity *id) {
  struct statx info;
  int flags = *name ? AT_SYMLINK_NOFOLLOW : AT_EMPTY_PATH;
  unsigned mask = STATX_TYPE | STATX_INO | STATX_NLINK | STATX_SIZE | STATX_MNT_ID;
  if (statx(dir_fd, name, flags, mask, &info) != 0)
    return (errno == ENOSYS || errno == EPERM) && identify_by_fstat(dir_fd, name, id);
  id->device = makedev(info.stx_dev_major, info.stx_dev_minor);
  id->inode = info.stx_ino;
  id->links = info.stx_nlink;
  id->mode = info.stx_mode;
  id->size = info.stx_size;
  // qemu-user sets the mask bit but gives every file the mount id 0; the
  // device still tells its mounts apart, as it does where statx is missing.
  id->has_mount = (info.stx_mask & STATX_MNT_ID) != 0 && info.stx_mnt_id != 0;
  id->mount = info.stx_mnt_id;
  return true;
}
#endif

}  // namespace

bool identify_at(int dir_fd, const char *name, Identity *id) {
#if HDRTUNE_HAVE_STATX_MOUNT_ID
  return identify_by_statx(dir_fd, name, id);
#else
  return identify_by_fstat(dir_fd, name, id);
#endif
}

bool identify(int fd, Identity *id) { return identify_at(fd, "", id); }

bool same_mount(const Identity &a, const Identity &b) {
  if (a.has_mount && b.has_mount) return a.mount == b.mount;
  return a.device == b.device;
}

}  // namespace hdrtune
