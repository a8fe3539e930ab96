// SPDX-License-Identifier: MIT
// archive.h - read ar archives: member headers, index, long names, member names.
#pragma once

#include <cstddef>
#include <cstdint>

#include "support/files.h"
#include "support/long_names.h"

namespace hdrtune {

// The member header: space-padded text fields, numbers in decimal.
struct ArHeader {
  char ar_name[16];
  char ar_date[12];
  char ar_uid[6];
  char ar_gid[6];
  char ar_mode[8];
  char ar_size[10];
  char ar_fmag[2];  // "`\n"
};
static_assert(sizeof(ArHeader) == 60, "an ar member header is 60 bytes");

constexpr int ar_header_size = sizeof(ArHeader);
constexpr std::uint64_t first_header_offset = 8;  // just past the magic
constexpr int ar_name_size = sizeof(ArHeader::ar_name);
constexpr int ar_name_offset = offsetof(ArHeader, ar_name);
constexpr int ar_size_offset = offsetof(ArHeader, ar_size);
constexpr int ar_fmag_offset = offsetof(ArHeader, ar_fmag);

// The header's 60 bytes, for numbers that may run on across its fields.
inline const char *header_bytes(const ArHeader *header) {
  return reinterpret_cast<const char *>(header);
}

// A buffer that grows to hold the longest name read into it.
struct NameBuffer {
  char *bytes = nullptr;  // owned
  std::size_t capacity = 0;
};

// The reader of one archive, opaque to its users: the cursor that moves
// from member to member, the buffers and the tables are its own, reached
// through the functions below and the member values archive_next_member
// hands out (member_names.h). Made empty by archive_create, filled by
// archive_start or archive_open, freed by archive_destroy.
struct ArchiveState;

// Converts the decimal number that starts at header[offset] as strtoul does
// (white space, sign, digits; saturating), but never reads past the header's
// 60 bytes. When end_offset is non-null it receives the offset where the
// conversion stopped.
std::uint64_t header_number(const char *header, int offset, int *end_offset);
std::uint64_t member_size(const ArHeader *header);
// A size made even, as member data is padded; saturates rather than wrap.
std::uint64_t padded_size(std::uint64_t size);
bool has_valid_fmag(const ArHeader *header);
// An ar_name of "#1/" followed by decimal digits N and then only spaces: a
// BSD long name, held by the first N bytes of the member's data. True with N
// in *name_size.
bool is_bsd_long_name(const ArHeader *header, std::uint64_t *name_size);
// The four names of a BSD archive's index: "__.SYMDEF", "__.SYMDEF SORTED",
// "__.SYMDEF_64" and "__.SYMDEF_64 SORTED".
bool is_bsd_index_name(const char *name, std::size_t length);

// What a file's first bytes (up to 8 of them, `got` in all) say it is.
enum class FileKind { elf, archive, thin_archive, other };
FileKind file_kind(const char *start, std::size_t got);
constexpr std::size_t file_magic_size = 8;

enum class HeaderRead {
  whole,
  nothing,          // the file ends right there
  short_or_failed,  // part of a header, or a read error
};
HeaderRead read_member_header(PositionedFile *file, std::uint64_t offset, ArHeader *header);

// Sets the state up to read the archive's members from its first header on;
// the reader takes the index and the long-name table as it meets them.
bool archive_start(ArchiveState *state, const char *path, PositionedFile *file, int is_thin);
// Starts the archive and takes the special members at its start, leaving
// the cursor at the first other member.
bool archive_open(ArchiveState *state, const char *path, PositionedFile *file, int is_thin,
                  int read_index);
// Makes the nested state the archive at path, opened for update (for
// reading only, as the access says) and locked, unless it is open already;
// the archive left behind is closed. Only a regular archive ("!<arch>\n")
// can be nested: any other file gives not_an_archive and leaves the state
// empty. failed: the file could not be opened, or the reader has said what
// is wrong with the archive (archive_is_open then tells it holds the file).
enum class NestedOpen { opened, failed, not_an_archive };
NestedOpen archive_switch_nested(ArchiveState *nested, const char *path, const FileAccess &access);
// Closes the archive open in the nested state and empties it; a later
// switch opens it again. False when this or any archive the state was
// switched away from did not close cleanly.
bool archive_close_nested(ArchiveState *nested);
// Another program changed an archive's size while it was being edited.
void report_archive_changed(FailureSink &failures, const char *path);
void archive_release(ArchiveState *state);

// An empty state whose failures go to `failures`; null after reporting that
// memory ran out.
ArchiveState *archive_create(FailureSink &failures);
// Releases the state and frees it. It closes no file: a nested state is
// closed with archive_close_nested first.
void archive_destroy(ArchiveState *state);
// The archive's path as opened; null while the state is empty.
const char *archive_path(const ArchiveState *state);
bool archive_is_thin(const ArchiveState *state);
// True while the state holds an open file.
bool archive_is_open(const ArchiveState *state);

}  // namespace hdrtune
