// SPDX-License-Identifier: MIT
// floor.cc - the least I/O an OSABI edit needs: the benchmark's yardstick.
//
// Usage: floor [--windowed] file... @listfile   (sets EI_OSABI to 9 in every ELF header)
// Plain files: one pread of 64 bytes (ELF header or archive magic), one pwrite.
// Archives: one pread per member header and per ELF header, one pwrite per
// edited header; the index is skipped by its size and the long-name table is
// read once. Thin members are opened by their path relative to the archive's
// directory. A member named "#1/N" (the BSD way) has its name in the first N
// bytes of its data: one pread brings the name and the ELF header after it,
// and a name starting "__.SYMDEF" is the index.
//
// --windowed changes how regular archives are read: in 64 KiB pread windows,
// the first at offset 0 (it holds the magic too). Member headers and ELF
// headers are taken from the window; a member that runs past the window's end
// is skipped by its offset, never read through, and the next window starts at
// the next member header (or at the current one, if its ELF header is cut off
// by the window's end). Writes are the same as without --windowed: one pwrite
// of the whole ELF header per member. The long-name table is not read: members
// of a regular archive are edited by offset, not by name. Plain files and thin
// archives are handled as without --windowed, from the first window.
//
// Happy path only: any error ends the program. No C++ library, so that it
// loads as little as the tool does.
#include <fcntl.h>
#include <unistd.h>

#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>

static bool windowed = false;
static constexpr ssize_t kWindow = 64 * 1024;
static unsigned char window[kWindow];

static void fail(const char *what, const char *path) {
  std::fprintf(stderr, "floor: %s: %s\n", path, what);
  std::exit(1);
}

// Edits the ELF header already read into h, stored at offset `at` of fd.
static void edit_header(int fd, unsigned char *h, off_t at, const char *path) {
  if (std::memcmp(h, "\177ELF", 4) != 0) fail("not ELF", path);
  h[7] = 9;
  ssize_t size = h[4] == 2 ? 64 : 52;
  if (pwrite(fd, h, size, at) != size) fail("pwrite", path);
}

static void edit_at(int fd, off_t at, const char *path) {
  unsigned char h[64];
  if (pread(fd, h, sizeof h, at) < 52) fail("short ELF header", path);
  edit_header(fd, h, at, path);
}

// Opens the directory that holds `path`, against which thin member paths resolve.
static int open_parent(const char *path) {
  char dir[PATH_MAX];
  const char *slash = std::strrchr(path, '/');
  if (!slash) return open(".", O_RDONLY | O_DIRECTORY);
  std::snprintf(dir, sizeof dir, "%.*s", static_cast<int>(slash - path + 1), path);
  return open(dir, O_RDONLY | O_DIRECTORY);
}

static bool is_index(const char *m) {
  return (m[0] == '/' && (m[1] == ' ' || !std::memcmp(m, "/SYM64/ ", 8))) ||
         (m[0] == '_' && !std::memcmp(m, "__.SYMDEF", 9));
}

// N for a member named "#1/N", else 0.
static off_t bsd_name_size(const char *m) {
  return m[0] != '#' || std::memcmp(m, "#1/", 3) ? 0 : std::strtoll(m + 3, nullptr, 10);
}

static void edit_bsd_at(int fd, off_t at, off_t name_size, const char *path) {
  unsigned char h[256 + 64];
  if (name_size > 256) fail("long BSD name", path);
  if (pread(fd, h, name_size + 64, at) < name_size + 52) fail("short ELF header", path);
  if (!std::memcmp(h, "__.SYMDEF", 9)) return;  // the index
  edit_header(fd, h + name_size, at + name_size, path);
}

static void edit_archive(int fd, bool thin, const char *path) {
  int dir = thin ? open_parent(path) : -1;
  if (thin && dir < 0) fail("open directory", path);
  char *names = nullptr, m[60], name[PATH_MAX];
  for (off_t at = 8; pread(fd, m, sizeof m, at) == sizeof m;) {
    off_t size = std::strtoll(m + 48, nullptr, 10), data = at + 60;
    at = data + size + (size & 1);
    if (is_index(m)) continue;
    if (!std::memcmp(m, "// ", 3)) {  // the long-name table
      names = static_cast<char *>(std::malloc(size + 1));
      if (!names || pread(fd, names, size, data) != size) fail("long names", path);
      names[size] = '\0';
      continue;
    }
    if (!thin) {
      off_t name_size = bsd_name_size(m);
      if (name_size)
        edit_bsd_at(fd, data, name_size, path);
      else
        edit_at(fd, data, path);
      continue;
    }
    at = data;  // a thin archive holds no member data
    // A long name ends in "/\n" in the table, a short one in '/' in the header.
    const char *start = m[0] == '/' && names ? names + std::strtol(m + 1, nullptr, 10) : m;
    const char *end =
        start == m ? static_cast<const char *>(std::memchr(m, '/', 16)) : std::strstr(start, "/\n");
    if (!end || end - start >= PATH_MAX) fail("bad member name", path);
    std::memcpy(name, start, end - start);
    name[end - start] = '\0';
    int member = openat(dir, name, O_RDWR);
    if (member < 0) fail("open thin member", name);
    edit_at(member, 0, name);
    close(member);
  }
  std::free(names);
  if (dir >= 0) close(dir);
}

// Walks a regular archive through `window`, which holds `filled` bytes read
// from offset 0. `base` is the file offset of window[0]; the window reaches
// the end of the file when a read returned less than kWindow.
static void edit_archive_windowed(int fd, ssize_t filled, const char *path) {
  off_t base = 0;
  for (off_t at = 8;;) {
    // A member header, its BSD name and the ELF header after them must all be
    // in the window, unless the file ends first.
    off_t need = 60 + 64;
    if (at + 60 <= base + filled)
      need += bsd_name_size(reinterpret_cast<char *>(window + (at - base)));
    if (at + need > base + filled && filled == kWindow) {
      filled = pread(fd, window, kWindow, at);
      if (filled < 0) fail("pread", path);
      base = at;
    }
    if (at + 60 > base + filled) break;  // end of the archive
    const char *m = reinterpret_cast<const char *>(window + (at - base));
    off_t size = std::strtoll(m + 48, nullptr, 10), data = at + 60;
    off_t name_size = bsd_name_size(m);
    at = data + size + (size & 1);
    if (is_index(m) || !std::memcmp(m, "// ", 3)) continue;
    if (name_size && !std::memcmp(window + (data - base), "__.SYMDEF", 9)) continue;
    data += name_size;
    if (data + 52 > base + filled) fail("short ELF header", path);
    edit_header(fd, window + (data - base), data, path);
  }
}

static void edit_file(const char *path) {
  int fd = open(path, O_RDWR);
  if (fd < 0) fail("open", path);
  unsigned char h[64], *first = windowed ? window : h;
  ssize_t filled = pread(fd, first, windowed ? kWindow : sizeof h, 0);
  if (filled < 8) fail("short file", path);
  if (windowed && !std::memcmp(first, "!<arch>\n", 8))
    edit_archive_windowed(fd, filled, path);
  else if (!std::memcmp(first, "!<arch>\n", 8) || !std::memcmp(first, "!<thin>\n", 8))
    edit_archive(fd, first[2] == 't', path);
  else
    edit_header(fd, first, 0, path);
  close(fd);
}

int main(int argc, char **argv) {
  int i = 1;
  if (i < argc && !std::strcmp(argv[i], "--windowed")) {
    windowed = true;
    ++i;
  }
  for (; i < argc; ++i) {
    if (argv[i][0] != '@') {
      edit_file(argv[i]);
      continue;
    }
    std::FILE *list = std::fopen(argv[i] + 1, "r");
    if (!list) fail("open list", argv[i] + 1);
    char line[PATH_MAX + 2];
    while (std::fgets(line, sizeof line, list)) {
      line[std::strcspn(line, "\r\n")] = '\0';
      if (line[0]) edit_file(line);
    }
    std::fclose(list);
  }
}
