// SPDX-License-Identifier: MIT
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
#include <unistd.h>

#include <cerrno>
#include <cstdint>
#include <cstdlib>
#include <cstring>

#include "runtime/alloc.h"
#include "runtime/process.h"
#include "support/archive.h"
#include "support/diagnostics.h"
#include "support/file_identity.h"
#include "tool/json_records.h"
#include "tool/list_lines.h"
#include "tool/open_and_edit.h"

namespace hdrtune {

namespace {

// The files with more than one name that the walk has edited: a set of
// (device, inode), open addressing, grown as it fills. Only such files are
// remembered, so memory stays flat on an ordinary tree.
struct LinkedFiles {
  struct Slot {
    dev_t device;
    ino_t inode;
    bool used;
  };
  Slot *slots = nullptr;
  std::size_t capacity = 0;  // a power of two, or 0
  std::size_t count = 0;
};

std::size_t slot_of(const LinkedFiles &set, dev_t device, ino_t inode) {
  std::uint64_t hash =
      (static_cast<std::uint64_t>(inode) ^ (static_cast<std::uint64_t>(device) << 32)) *
      0x9e3779b97f4a7c15u;
  std::size_t at = static_cast<std::size_t>(hash >> 20) & (set.capacity - 1);
  while (set.slots[at].used && (set.slots[at].device != device || set.slots[at].inode != inode))
    at = (at + 1) & (set.capacity - 1);
  return at;
}

void grow(LinkedFiles *set) {
  LinkedFiles bigger;
  bigger.capacity = set->capacity ? set->capacity * 2 : 64;
  bigger.slots =
      static_cast<LinkedFiles::Slot *>(calloc_or_die(bigger.capacity, sizeof(LinkedFiles::Slot)));
  for (std::size_t i = 0; i < set->capacity; ++i)
    if (set->slots[i].used)
      bigger.slots[slot_of(bigger, set->slots[i].device, set->slots[i].inode)] = set->slots[i];
  bigger.count = set->count;
  std::free(set->slots);
  *set = bigger;
}

// True when the file was in the set already; adds it otherwise.
bool insert_linked_file(LinkedFiles *set, dev_t device, ino_t inode) {
  if ((set->count + 1) * 2 > set->capacity) grow(set);
  LinkedFiles::Slot &slot = set->slots[slot_of(*set, device, inode)];
  if (slot.used) return true;
  slot = {device, inode, true};
  ++set->count;
  return false;
}

// The name of what the walk is at; grows and shrinks with it.
struct PathBuffer {
  char *text = nullptr;
  std::size_t length = 0;
  std::size_t capacity = 0;
};

void append(PathBuffer *path, const char *text) {
  std::size_t size = std::strlen(text);
  if (path->length + size + 1 > path->capacity) {
    path->capacity = (path->length + size + 1) * 2;
    path->text = static_cast<char *>(realloc_or_die(path->text, path->capacity));
  }
  std::memcpy(path->text + path->length, text, size + 1);
  path->length += size;
}

void truncate_to(PathBuffer *path, std::size_t length) {
  path->length = length;
  path->text[length] = '\0';
}

struct TreeWalk {
  const RunOptions &options;
  PathBuffer path;
  Identity top;  // the operand's directory
  LinkedFiles linked_files;
  int status = 0;
};

// A mount inside the tree (a file system, or a bind mount of a folder or a
// file) belongs to someone else: passed over, with a warning.
void report_other_mount(const char *path) {
  warn("%s: not entered: another file system is mounted there\n", path);
}

void report_unreadable_directory(TreeWalk *walk, const char *path) {
  int error = errno;
  PlaceScope place;
  current_place.file = path;
  report_error_with_cause(error, "%s: cannot read directory: %s\n", path, std::strerror(error));
  walk->status = 1;
}

// A directory's entries: their names one after another in one block, each
// ended by a NUL, and the entries pointing into it, sorted by name.
struct Entry {
  std::size_t name_at;  // where the name stands in the block
  const char *name;     // set once the block is complete
  unsigned char type;   // d_type
};

struct Entries {
  char *names = nullptr;
  std::size_t names_length = 0, names_capacity = 0;
  Entry *list = nullptr;
  std::size_t count = 0, capacity = 0;
};

void add_entry(Entries *entries, const char *name, unsigned char type) {
  std::size_t size = std::strlen(name) + 1;
  if (entries->names_length + size > entries->names_capacity) {
    entries->names_capacity = (entries->names_length + size) * 2;
    entries->names = static_cast<char *>(realloc_or_die(entries->names, entries->names_capacity));
  }
  if (entries->count == entries->capacity) {
    entries->capacity = entries->capacity ? entries->capacity * 2 : 16;
    entries->list =
        static_cast<Entry *>(realloc_or_die(entries->list, entries->capacity * sizeof(Entry)));
  }
  std::memcpy(entries->names + entries->names_length, name, size);
  // The block may still move while it grows: the name is found by offset.
  entries->list[entries->count++] = {entries->names_length, nullptr, type};
  entries->names_length += size;
}

int by_name(const void *a, const void *b) {
  return std::strcmp(static_cast<const Entry *>(a)->name, static_cast<const Entry *>(b)->name);
}

void sort_entries(Entries *entries) {
  for (std::size_t i = 0; i < entries->count; ++i)
    entries->list[i].name = entries->names + entries->list[i].name_at;
  if (entries->count > 1) std::qsort(entries->list, entries->count, sizeof(Entry), by_name);
}

void release(Entries *entries) {
  std::free(entries->names);
  std::free(entries->list);
}

// The entries of the directory open on fd, sorted; false when it can't be read.
bool read_entries(int fd, Entries *entries) {
  int own = dup(fd);
  DIR *dir = own < 0 ? nullptr : fdopendir(own);
  if (!dir) {
    if (own >= 0) close(own);
    return false;
  }
  errno = 0;
  while (struct dirent *d = readdir(dir)) {
    if (std::strcmp(d->d_name, ".") != 0 && std::strcmp(d->d_name, "..") != 0)
      add_entry(entries, d->d_name, d->d_type);
    errno = 0;
  }
  int error = errno;
  closedir(dir);
  errno = error;
  if (error != 0) return false;
  sort_entries(entries);
  return true;
}

// The entry's type without following a link, where readdir did not tell.
unsigned char entry_type(int dir_fd, const Entry &entry) {
  if (entry.type != DT_UNKNOWN) return entry.type;
  struct stat info;
  if (fstatat(dir_fd, entry.name, &info, AT_SYMLINK_NOFOLLOW) != 0) return DT_UNKNOWN;
  if (S_ISDIR(info.st_mode)) return DT_DIR;
  if (S_ISREG(info.st_mode)) return DT_REG;
  return DT_UNKNOWN;  // links, FIFOs, devices and sockets alike: never opened
}

// The file's first bytes say what it is; false when they can't be read.
bool read_content(int fd, FileKind *kind) {
  char magic[file_magic_size];
  ssize_t got = pread(fd, magic, sizeof magic, 0);
  if (got < 0) return false;
  *kind = file_kind(magic, static_cast<std::size_t>(got));
  return true;
}

// A file with more than one name is edited once, under the first name the
// walk reaches; only such files are remembered.
bool reached_before(TreeWalk *walk, const Identity &id) {
  if (id.links <= 1) return false;
  return insert_linked_file(&walk->linked_files, id.device, id.inode);
}

// A file the walk could not look at is named, unless an interrupt cut the
// look short (the run is ending) or what was opened is no longer a regular
// file: a FIFO or device put in its place since the directory was read,
// which is passed over like any other.
void report_failed_look(TreeWalk *walk, int fd, const char *what, int error) {
  Identity id;
  if (pending_interrupt() || (identify(fd, &id) && !S_ISREG(id.mode))) return;
  PlaceScope place;
  current_place.file = walk->path.text;
  report_error_with_cause(error, "%s: cannot %s file: %s\n", walk->path.text, what,
                          std::strerror(error));
  walk->status = 1;
}

constexpr int file_open_flags = O_NOFOLLOW | O_NONBLOCK | O_NOCTTY | O_CLOEXEC;

// The descriptor a file of the tree is edited through. A run that writes
// opens the file again for update, now that its first bytes show it is an
// ELF file or a regular archive (a file that is not is never opened for
// writing); the look is closed first, so that a file costs one descriptor
// at a time. The look's descriptor serves a run that only reads. Returns
// -1, with the look closed, when the file is to be left alone.
int descriptor_to_edit(TreeWalk *walk, int dir_fd, const char *name, int look) {
  if (walk->options.read_only) return look;
  close(look);
  int fd = openat(dir_fd, name, O_RDWR | file_open_flags);
  if (fd >= 0) return fd;
  int error = errno;
  // Swapped for a link or removed meantime: no longer a file of the tree.
  // One on another mount (mounted read-only, say) is that mount's.
  if (error == ELOOP || error == ENOENT) return -1;
  Identity id;
  if (identify_at(dir_fd, name, &id) && !same_mount(id, walk->top)) {
    report_other_mount(walk->path.text);
  } else {
    report_error_with_cause(error, "Input file '%s' is not readable\n", walk->path.text);
    walk->status = 1;
  }
  return -1;
}

// What the walk does with a file that starts like an ELF file or an
// archive, once it knows where the file lives.
bool is_to_edit(TreeWalk *walk, const Identity &id, FileKind content) {
  const char *path = walk->path.text;
  if (!S_ISREG(id.mode)) return false;
  if (!same_mount(id, walk->top)) {
    report_other_mount(path);
    return false;
  }
  if (content == FileKind::thin_archive) {
    // Its member files may lie anywhere; those inside the tree are reached anyway.
    ++run_counts.thin_passed_over;
    PlaceScope place;
    current_place.file = path;
    if (walk->options.list) list_passed_over(path, "thin archive");
    return false;
  }
  return !reached_before(walk, id);
}

// Looks at a regular file read-only, without a lock, and edits it only if it
// is an ELF file or a regular archive. The descriptor that is edited is the
// one asked where the file lives and what it is, so that nothing can stand
// in for the file between the question and the edit.
void visit_file(TreeWalk *walk, int dir_fd, const char *name) {
  const char *path = walk->path.text;
  int fd = openat(dir_fd, name, O_RDONLY | file_open_flags);
  if (fd < 0) {
    // A name swapped for a link in the meantime is passed over like any
    // link, and one removed meantime is no longer part of the tree.
    if (errno == ELOOP || errno == ENOENT) return;
    report_error_with_cause(errno, "Input file '%s' is not readable\n", path);
    walk->status = 1;
    return;
  }
  ++run_counts.files;
  FileKind content = FileKind::other;
  bool was_read = read_content(fd, &content);
  if (!was_read) report_failed_look(walk, fd, "read", errno);
  if (content == FileKind::other) {
    if (was_read) ++run_counts.files_passed_over;
    close(fd);
    return;
  }
  // A thin archive is never written.
  if (content != FileKind::thin_archive && (fd = descriptor_to_edit(walk, dir_fd, name, fd)) < 0)
    return;
  Identity id;
  if (!identify(fd, &id)) {
    report_failed_look(walk, fd, "examine", errno);
    close(fd);
    return;
  }
  if (!is_to_edit(walk, id, content)) {
    close(fd);
    return;
  }
  PositionedFile file;
  adopt_descriptor(&file, fd, path, small_window_size, id.size, id.device, id.inode);
  if (edit_tree_file(walk->options, path, &file) != 0) walk->status = 1;
}

// The directories from the operand down to the one being read, each with its
// entries and the next one to handle. Kept in allocated memory, so that the
// depth of a tree costs no stack.
struct Directory {
  int fd;
  Entries entries;
  std::size_t next;         // the entry to handle next
  std::size_t path_length;  // walk->path's length with this directory's name and '/'
};

struct DirectoryStack {
  Directory *list = nullptr;
  std::size_t count = 0, capacity = 0;
};

// Reads the directory open on fd, whose name walk->path holds, and puts it
// on the stack; closes fd after reporting a directory that can't be read.
void push_directory(TreeWalk *walk, DirectoryStack *stack, int fd) {
  Entries entries;
  if (!read_entries(fd, &entries)) {
    report_unreadable_directory(walk, walk->path.text);
    release(&entries);
    close(fd);
    return;
  }
  if (stack->count == stack->capacity) {
    stack->capacity = stack->capacity ? stack->capacity * 2 : 16;
    stack->list =
        static_cast<Directory *>(realloc_or_die(stack->list, stack->capacity * sizeof(Directory)));
  }
  std::size_t length = walk->path.length;
  if (length == 0 || walk->path.text[length - 1] != '/') append(&walk->path, "/");
  stack->list[stack->count++] = {fd, entries, 0, walk->path.length};
}

void pop_directory(DirectoryStack *stack) {
  Directory &top = stack->list[--stack->count];
  close(top.fd);
  release(&top.entries);
}

void enter_directory(TreeWalk *walk, DirectoryStack *stack, int dir_fd, const char *name) {
  const char *path = walk->path.text;
  int fd = openat(dir_fd, name, O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
  if (fd < 0) {
    // Swapped for a link or a file, or removed, since it was listed.
    if (errno != ELOOP && errno != ENOTDIR && errno != ENOENT)
      report_unreadable_directory(walk, path);
    return;
  }
  Identity id;
  if (!identify(fd, &id)) {
    report_unreadable_directory(walk, path);
  } else if (!same_mount(id, walk->top)) {
    report_other_mount(path);
  } else {
    push_directory(walk, stack, fd);
    return;
  }
  close(fd);
}

// Handles the entries of every directory on the stack, depth first and in
// byte order of their names, until the stack is empty or an interrupt came.
void walk_directories(TreeWalk *walk, DirectoryStack *stack) {
  while (stack->count > 0 && !pending_interrupt()) {
    Directory &top = stack->list[stack->count - 1];
    if (top.next == top.entries.count) {
      pop_directory(stack);
      continue;
    }
    const Entry &entry = top.entries.list[top.next++];
    int dir_fd = top.fd;  // `top` may move when a directory is pushed
    truncate_to(&walk->path, top.path_length);
    append(&walk->path, entry.name);
    switch (entry_type(dir_fd, entry)) {
      case DT_DIR: enter_directory(walk, stack, dir_fd, entry.name); break;
      case DT_REG: visit_file(walk, dir_fd, entry.name); break;
      default: break;  // links are never followed; nothing else is opened
    }
  }
  while (stack->count > 0) pop_directory(stack);
  std::free(stack->list);
}

}  // namespace

bool is_directory(const char *path) {
  struct stat info;
  return stat(path, &info) == 0 && S_ISDIR(info.st_mode);
}

int edit_tree(const RunOptions &options, const char *path) {
  TreeWalk walk{options, {}, {}, {}, 0};
  append(&walk.path, path);
  DirectoryStack stack;
  int fd = open(path, O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd < 0 || !identify(fd, &walk.top)) {
    report_unreadable_directory(&walk, path);
    if (fd >= 0) close(fd);
  } else {
    push_directory(&walk, &stack, fd);
  }
  walk_directories(&walk, &stack);
  std::free(walk.path.text);
  std::free(walk.linked_files.slots);
  return walk.status;
}

}  // namespace hdrtune
