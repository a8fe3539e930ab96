// file_identity.cc - where a file or directory lives: device, inode and mount.
#include "support/file_identity.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>

namespace hdrtune {

bool identify(int fd, Identity *id) {
  struct statx info;
  if (statx(fd, "", AT_EMPTY_PATH, STATX_TYPE | STATX_INO | STATX_NLINK | STATX_MNT_ID, &info) != 0)
    return false;
  id->device = makedev(info.stx_dev_major, info.stx_dev_minor);
  id->inode = info.stx_ino;
  id->links = info.stx_nlink;
  id->mode = info.stx_mode;
  id->has_mount = (info.stx_mask & STATX_MNT_ID) != 0;
  id->mount = info.stx_mnt_id;
  return true;
}

bool same_mount(const Identity &a, const Identity &b) {
  if (a.has_mount && b.has_mount) return a.mount == b.mount;
  return a.device == b.device;
}

}  // namespace hdrtune
