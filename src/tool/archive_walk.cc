// archive_walk.cc - edit the ELF header of every member of an ar archive where it stands.
#include "tool/archive_walk.h"

#include <climits>
#include <cstdint>
#include <cstdlib>
#include <cstring>

#include "support/archive.h"
#include "support/diagnostics.h"
#include "support/files.h"
#include "tool/header_editor.h"

namespace hdrtune {

// A member result that stops the walk; 0 and 1 are the member's own status.
constexpr int walk_ends = -1;

static bool seek_to(std::FILE *stream, std::uint64_t offset) {
  return offset <= LONG_MAX && std::fseek(stream, static_cast<long>(offset), SEEK_SET) == 0;
}

// Every seek costs a system call, even within the stream's buffer. Where only
// reads have moved the stream (the archive's own stream in a thin archive, a
// nested archive after its member's header), it often stands at the offset
// already, and asking is free.
static bool seek_unless_there(std::FILE *stream, std::uint64_t offset) {
  return (offset <= LONG_MAX && std::ftell(stream) == static_cast<long>(offset)) ||
         seek_to(stream, offset);
}

// Sizes come from the file and can be anything: "-60" would take the walk
// back to the header it just read, round and round. Saturating keeps every
// step forward; an offset past the end of any file then fails its seek.
static std::uint64_t add_saturating(std::uint64_t a, std::uint64_t b) {
  return a + b < a ? UINT64_MAX : a + b;
}

static std::uint64_t padded_member_size(const char *header) {
  std::uint64_t size = header_number(header, ar_size_offset, nullptr);
  return add_saturating(size, size & 1);
}

static int edit_regular_member(ArchiveState *outer, const char *display_name,
                               std::uint64_t current_member_size) {
  outer->next_header_offset = add_saturating(outer->next_header_offset, current_member_size);
  // The header must not run over the next member's header.
  return edit_object_within(display_name, outer->stream, current_member_size);
}

static int edit_member_file(const char *path, const char *name, const char *display_name) {
  char *member_path = thin_member_path(path, name, std::strlen(name));
  if (!member_path) return walk_ends;
  OpenFailure failure;
  std::FILE *member = open_member_for_update(member_path, &failure);
  if (!member) {
    report_open_failure(member_path, failure);
    std::free(member_path);
    return walk_ends;
  }
  int status = edit_object(display_name, member);
  status |= close_edited_file(member_path, member);
  std::free(member_path);
  return status;
}

// When the member's header could not be read from the nested archive, its
// name is the nested archive's path from the thin archive's own table.
static bool nested_lookup_failed(const ArchiveState *outer, const char *name) {
  return outer->long_names && name >= outer->long_names &&
         name <= outer->long_names + outer->long_names_size;
}

// Names the reference that was left alone, with its offset, so that two
// failing references into one archive can be told apart.
static void report_nested_not_edited(const char *display_name, std::uint64_t offset,
                                     const char *reason) {
  report_error("%s: member at offset %llu not edited: %s\n", display_name,
               static_cast<unsigned long long>(offset), reason);
}

static void report_member_out_of_reach(const ArchiveState *nested) {
  report_error("%s: failed to seek to archive member\n",
               nested->file_name ? nested->file_name : "<corrupt>");
}

// Without the member's own header there is no telling what lies at its
// offset, so nothing is written there; the thin archive's own position is
// intact, so the walk goes on with its next member.
static int edit_nested_member(const char *path, const ArchiveState *outer,
                              ArchiveState *nested, const char *name,
                              const char *display_name) {
  std::uint64_t offset = outer->nested_member_offset;
  std::uint64_t data_offset = add_saturating(offset, ar_header_size);
  if (nested_lookup_failed(outer, name)) {
    if (!nested->stream) {
      char *nested_path = thin_member_path(path, name, std::strlen(name));
      if (nested_path)
        report_error("%s: member at offset %llu not edited: nested archive '%s' is not readable\n",
                     display_name, static_cast<unsigned long long>(offset), nested_path);
      std::free(nested_path);
      return 1;
    }
    // The reader has said why the header could not be read; when even its
    // offset was out of reach, so is the member's data.
    if (data_offset > LONG_MAX) report_member_out_of_reach(nested);
    report_nested_not_edited(display_name, offset, "no valid member header there");
    return 1;
  }
  if (!seek_unless_there(nested->stream, data_offset)) {
    report_member_out_of_reach(nested);
    report_nested_not_edited(display_name, offset, "its data is out of reach");
    return 1;
  }
  return edit_object_within(display_name, nested->stream, padded_member_size(nested->header));
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
    // In a regular archive the editor has just moved the stream; in a thin
    // one only the walk reads it.
    std::uint64_t next = outer->next_header_offset;
    if (!(is_thin ? seek_unless_there(stream, next) : seek_to(stream, next))) {
      report_error("%s: failed to seek to next archive header\n", path);
      return 1;
    }
    // A failed header write leaves the stream's error flag set; only this
    // read's own error may count below.
    std::clearerr(stream);
    std::size_t got = std::fread(outer->header, 1, ar_header_size, stream);
    // The end of the archive, unless the read failed: members after a read
    // error were never edited.
    if (got == 0 && !std::ferror(stream)) return status;
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
  if (nested.stream) status |= close_edited_file(nested.file_name, nested.stream);
  status |= nested.close_failed;
  archive_release(&nested);
  archive_release(&outer);
  return status;
}

}  // namespace hdrtune
