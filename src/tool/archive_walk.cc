// archive_walk.cc - edit the ELF header of every member of an ar archive where it stands.
#include "tool/archive_walk.h"

#include <climits>
#include <cstdint>
#include <cstdlib>
#include <cstring>

#include "support/archive.h"
#include "support/diagnostics.h"
#include "tool/header_editor.h"

namespace hdrtune {

// A member result that stops the walk; 0 and 1 are the member's own status.
constexpr int walk_ends = -1;

constexpr int ei_class = 4;
constexpr unsigned char elfclass32 = 1, elfclass64 = 2;

static bool seek_to(std::FILE *stream, std::uint64_t offset) {
  return offset <= LONG_MAX && std::fseek(stream, static_cast<long>(offset), SEEK_SET) == 0;
}

static std::uint64_t padded_member_size(const char *header) {
  std::uint64_t size = header_number(header, ar_size_offset, nullptr);
  return size + (size & 1);
}

// The editor rewrites 52 or 64 bytes from the member's start; in a member
// shorter than that, the write would run over the next member's header.
// Members of 64 bytes or more hold either header; a shorter one is judged by
// its class byte. A member without a class byte of 1 or 2 is left to the
// editor, which refuses it without writing.
static bool member_holds_header(std::FILE *stream, std::uint64_t data_offset,
                                std::uint64_t member_size) {
  if (member_size >= elf64_header_size) return true;
  if (member_size <= ei_class) return false;
  unsigned char ident[ei_class + 1];
  std::size_t got = std::fread(ident, 1, sizeof ident, stream);
  if (!seek_to(stream, data_offset)) return false;
  // Data cut short by the archive's end: the editor's own read fails.
  if (got < sizeof ident) return true;
  if (ident[ei_class] == elfclass32) return member_size >= elf32_header_size;
  return ident[ei_class] != elfclass64;
}

static int edit_member_in_archive(const char *display_name, std::FILE *stream,
                                  std::uint64_t data_offset, std::uint64_t member_size) {
  if (!member_holds_header(stream, data_offset, member_size)) {
    report_error("%s: member is too small to hold an ELF header\n", display_name);
    return 1;
  }
  return edit_object(display_name, stream);
}

static int edit_regular_member(ArchiveState *outer, const char *display_name,
                               std::uint64_t current_member_size) {
  std::uint64_t data_offset = outer->next_header_offset;
  outer->next_header_offset += current_member_size;
  return edit_member_in_archive(display_name, outer->stream, data_offset,
                                current_member_size);
}

static int edit_member_file(const char *path, const char *name, const char *display_name) {
  char *member_path = thin_member_path(path, name, std::strlen(name));
  if (!member_path) return walk_ends;
  std::FILE *member = std::fopen(member_path, "r+b");
  if (!member) {
    report_error("Input file '%s' is not readable\n", member_path);
    std::free(member_path);
    return walk_ends;
  }
  int status = edit_object(display_name, member);
  std::fclose(member);
  std::free(member_path);
  return status;
}

// When the member's header could not be read from the nested archive, its
// name is the nested archive's path from the thin archive's own table.
static bool nested_lookup_failed(const ArchiveState *outer, const char *name) {
  return outer->long_names && name >= outer->long_names &&
         name <= outer->long_names + outer->long_names_size;
}

static void report_unreadable_nested(const char *path, const char *name,
                                     const char *display_name) {
  char *nested_path = thin_member_path(path, name, std::strlen(name));
  if (!nested_path) return;
  report_error("%s: nested archive '%s' is not readable\n", display_name, nested_path);
  std::free(nested_path);
}

static int edit_nested_member(const char *path, const ArchiveState *outer,
                              ArchiveState *nested, const char *name,
                              const char *display_name) {
  // Without the member's own header there is no telling what lies at its
  // offset, so nothing is written there. The reader has reported why, except
  // when the nested archive could not be opened at all.
  if (nested_lookup_failed(outer, name)) {
    if (!nested->stream) report_unreadable_nested(path, name, display_name);
    return 1;
  }
  std::uint64_t data_offset = outer->nested_member_offset + ar_header_size;
  if (!seek_to(nested->stream, data_offset)) {
    report_error("%s: failed to seek to archive member\n", nested->file_name);
    return walk_ends;
  }
  return edit_member_in_archive(display_name, nested->stream, data_offset,
                                padded_member_size(nested->header));
}

// The header just read stands in outer->header and the stream behind it.
static int edit_member(const char *path, ArchiveState *outer, ArchiveState *nested) {
  std::uint64_t current_member_size = padded_member_size(outer->header);
  const char *name = archive_member_name(outer, nested);
  char *display_name = name ? archive_display_name(outer, nested, name) : nullptr;
  if (!display_name) {
    report_error("%s: bad archive file name\n", path);
    return walk_ends;
  }
  int status;
  if (!outer->is_thin)
    status = edit_regular_member(outer, display_name, current_member_size);
  else if (outer->nested_member_offset == 0)
    status = edit_member_file(path, name, display_name);
  else
    status = edit_nested_member(path, outer, nested, name, display_name);
  std::free(display_name);
  return status;
}

static int walk_members(const char *path, std::FILE *stream, int is_thin,
                        ArchiveState *outer, ArchiveState *nested) {
  if (archive_open(outer, path, stream, is_thin, 0) != 0) return 1;
  int status = 0;
  for (;;) {
    // The editor and the name lookups move the streams: always seek first.
    if (!seek_to(stream, outer->next_header_offset)) {
      report_error("%s: failed to seek to next archive header\n", path);
      return 1;
    }
    std::size_t got = std::fread(outer->header, 1, ar_header_size, stream);
    if (got == 0) return status;
    if (got < ar_header_size) {
      report_error("%s: failed to read archive header\n", path);
      return 1;
    }
    if (!has_valid_fmag(outer->header)) {
      report_error("%s: did not find a valid archive header\n", outer->file_name);
      return 1;
    }
    outer->next_header_offset += ar_header_size;
    int member_status = edit_member(path, outer, nested);
    if (member_status == walk_ends) return 1;
    status |= member_status;
  }
}

int edit_archive(const char *path, std::FILE *stream, int is_thin) {
  ArchiveState outer;
  ArchiveState nested;
  int status = walk_members(path, stream, is_thin, &outer, &nested);
  if (nested.stream) std::fclose(nested.stream);
  archive_release(&nested);
  archive_release(&outer);
  return status;
}

}  // namespace hdrtune
