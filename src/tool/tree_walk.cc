// tree_walk.cc - edit the ELF files and archives found under a directory.
//
// Directories are read and files opened relative to their parent's
// descriptor, with O_NOFOLLOW, so a name swapped for a symbolic link during
// the walk is never followed out of the tree. A file is first looked at
// read-only and unlocked; only an ELF file or a regular archive is then
// opened for update, locked and edited.
#include "tool/tree_walk.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "runtime/process.h"
#include "support/diagnostics.h"
#include "support/elf_header.h"
#include "tool/list_lines.h"
#include "tool/open_and_edit.h"

namespace hdrtune {

namespace {

// Where a file or directory lives. The mount is known by its own number
// where the kernel gives one, which tells a bind mount from the file system
// it shows; else by the device.
struct Identity {
  dev_t device = 0;
  ino_t inode = 0;
  nlink_t links = 0;
  mode_t mode = 0;
  std::uint64_t mount = 0;
  bool has_mount = false;
};

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

struct TreeWalk {
  const RunOptions &options;
  std::string path;  // the name of what the walk is at; grows and shrinks with it
  Identity top;      // the operand's directory
  std::set<std::pair<dev_t, ino_t>> linked_files;  // edited files with more than one name
  int status = 0;
};

struct Entry {
  std::string name;
  unsigned char type;  // d_type
};

bool by_name(const Entry &a, const Entry &b) {
  return std::strcmp(a.name.c_str(), b.name.c_str()) < 0;
}

// A mount inside the tree (a file system, or a bind mount of a folder or a
// file) belongs to someone else: passed over, with a warning.
void report_other_mount(const std::string &path) {
  warn("%s: not entered: another file system is mounted there\n", path.c_str());
}

void report_unreadable_directory(TreeWalk *walk, const std::string &path) {
  report_error("%s: cannot read directory: %s\n", path.c_str(), std::strerror(errno));
  walk->status = 1;
}

// The entries of the directory open on fd, sorted; false when it can't be read.
bool read_entries(int fd, std::vector<Entry> *entries) {
  int own = dup(fd);
  DIR *dir = own < 0 ? nullptr : fdopendir(own);
  if (!dir) {
    if (own >= 0) close(own);
    return false;
  }
  errno = 0;
  while (struct dirent *d = readdir(dir)) {
    if (std::strcmp(d->d_name, ".") != 0 && std::strcmp(d->d_name, "..") != 0)
      entries->push_back({d->d_name, d->d_type});
    errno = 0;
  }
  int error = errno;
  closedir(dir);
  errno = error;
  if (error != 0) return false;
  std::sort(entries->begin(), entries->end(), by_name);
  return true;
}

// The entry's type without following a link, where readdir did not tell.
unsigned char entry_type(int dir_fd, const Entry &entry) {
  if (entry.type != DT_UNKNOWN) return entry.type;
  struct stat info;
  if (fstatat(dir_fd, entry.name.c_str(), &info, AT_SYMLINK_NOFOLLOW) != 0) return DT_UNKNOWN;
  if (S_ISDIR(info.st_mode)) return DT_DIR;
  if (S_ISREG(info.st_mode)) return DT_REG;
  return DT_UNKNOWN;  // links, FIFOs, devices and sockets alike: never opened
}

enum class Content { elf, archive, thin_archive, other };

Content content_of(int fd) {
  char magic[8];
  ssize_t got = pread(fd, magic, sizeof magic, 0);
  if (got >= SELFMAG && std::memcmp(magic, ELFMAG, SELFMAG) == 0) return Content::elf;
  if (got == sizeof magic && std::memcmp(magic, "!<arch>\n", sizeof magic) == 0)
    return Content::archive;
  if (got == sizeof magic && std::memcmp(magic, "!<thin>\n", sizeof magic) == 0)
    return Content::thin_archive;
  return Content::other;
}

// A file with more than one name is edited once, under the first name the
// walk reaches; only such files are remembered.
bool reached_before(TreeWalk *walk, const Identity &id) {
  if (id.links <= 1) return false;
  return !walk->linked_files.insert({id.device, id.inode}).second;
}

void edit_found_file(TreeWalk *walk, int dir_fd, const char *name, const std::string &path,
                     const Identity &id) {
  PathToEdit target;
  target.dir_fd = dir_fd;
  target.name = name;
  target.path = target.display_name = path.c_str();
  target.role = PathRole::tree_file;
  target.device = id.device;
  target.inode = id.inode;
  if (open_and_edit(walk->options, target) != EditOutcome::edited) walk->status = 1;
}

// Looks at a regular file read-only, without a lock, and edits it only if it
// is an ELF file or a regular archive.
void visit_file(TreeWalk *walk, int dir_fd, const char *name, const std::string &path) {
  int fd = openat(dir_fd, name, O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
  if (fd < 0) {
    // A name swapped for a link in the meantime is passed over like any link.
    if (errno == ELOOP) return;
    report_error("Input file '%s' is not readable\n", path.c_str());
    walk->status = 1;
    return;
  }
  // The directory listed it as a regular file; only what starts like an ELF
  // file or an archive is asked where it lives and what it is.
  Identity id;
  Content content = content_of(fd);
  bool regular = content != Content::other && identify(fd, &id) && S_ISREG(id.mode);
  close(fd);
  if (!regular) return;
  if (!same_mount(id, walk->top)) {
    report_other_mount(path);
    return;
  }
  if (content == Content::thin_archive) {
    // Its member files may lie anywhere; those inside the tree are reached anyway.
    if (walk->options.list) list_passed_over(path.c_str(), "thin archive");
    return;
  }
  if (reached_before(walk, id)) return;
  edit_found_file(walk, dir_fd, name, path, id);
}

void walk_directory(TreeWalk *walk, int dir_fd);

void enter_directory(TreeWalk *walk, int dir_fd, const char *name) {
  const std::string &path = walk->path;
  int fd = openat(dir_fd, name, O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
  if (fd < 0) {
    // Swapped for a link or a file since it was listed: not ours to follow.
    if (errno != ELOOP && errno != ENOTDIR) report_unreadable_directory(walk, path);
    return;
  }
  Identity id;
  if (!identify(fd, &id)) {
    report_unreadable_directory(walk, path);
  } else if (!same_mount(id, walk->top)) {
    report_other_mount(path);
  } else {
    walk_directory(walk, fd);
  }
  close(fd);
}

// Reads the directory open on dir_fd, whose name walk->path holds, and
// handles its entries in byte order of their names.
void walk_directory(TreeWalk *walk, int dir_fd) {
  std::vector<Entry> entries;
  if (!read_entries(dir_fd, &entries)) {
    report_unreadable_directory(walk, walk->path);
    return;
  }
  std::size_t length = walk->path.size();
  if (walk->path.back() != '/') walk->path += '/';
  std::size_t below = walk->path.size();
  for (const Entry &entry : entries) {
    if (pending_interrupt()) break;
    walk->path.resize(below);
    walk->path += entry.name;
    switch (entry_type(dir_fd, entry)) {
      case DT_DIR: enter_directory(walk, dir_fd, entry.name.c_str()); break;
      case DT_REG: visit_file(walk, dir_fd, entry.name.c_str(), walk->path); break;
      default: break;  // links are never followed; nothing else is opened
    }
  }
  walk->path.resize(length);
}

}  // namespace

bool is_directory(const char *path) {
  struct stat info;
  return stat(path, &info) == 0 && S_ISDIR(info.st_mode);
}

int edit_tree(const RunOptions &options, const char *path) {
  TreeWalk walk{options, path, {}, {}, 0};
  int fd = open(path, O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd < 0 || !identify(fd, &walk.top)) {
    report_unreadable_directory(&walk, path);
  } else {
    walk_directory(&walk, fd);
  }
  if (fd >= 0) close(fd);
  return walk.status;
}

}  // namespace hdrtune
