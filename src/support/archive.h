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

// The reader of one archive. Its cursor, next_header_offset, is moved only
// by the reader, one member at a time.
struct ArchiveState {
  char *file_name = nullptr;       // owned copy of the archive's path
  PositionedFile *file = nullptr;  // the archive's open file
  std::uint64_t index_count = 0;
  std::uint64_t *index_offsets = nullptr;  // owned; only when the index was read
  unsigned char *symbol_names = nullptr;   // owned; only when the index was read
  std::uint64_t symbol_names_size = 0;
  LongNameTable long_names;  // present only when the archive has one
  std::uint64_t next_header_offset = 0;
  std::uint64_t after_index_offset = 0;  // where the header after a System V index stands
  int is_thin = 0;
  int index_is_64bit = 0;
  ArHeader header = {};
  // The archive's first member is named the BSD way ("#1/N" or a "__.SYMDEF"
  // index); that member, when named "__.SYMDEF", is the archive's index.
  int is_bsd = 0;
  NameBuffer bsd_name;  // the last "#1/N" name read from a member's data
  // Where the reader hands the failures it finds, each about the archive.
  FailureSink *failures = &stderr_failures();
};

// The archive that a thin archive's members refer into, kept open while
// consecutive members refer to it.
struct NestedArchive {
  ArchiveState state;
  PositionedFile file;     // the archive's file; state.file points here while open
  int close_failed = 0;    // an archive switched away from did not close cleanly
  int not_an_archive = 0;  // the last switch found no "!<arch>\n" at the file's start
};

// Converts the decimal number that starts at header[offset] as strtoul does
// (white space, sign, digits; saturating), but never reads past the header's
// 60 bytes. When end_offset is non-null it receives the offset where the
// conversion stopped.
std::uint64_t header_number(const char *header, int offset, int *end_offset);
std::uint64_t member_size(const ArHeader *header);
// A size made even, as member data is padded; saturates rather than wrap.
std::uint64_t padded_size(std::uint64_t size);
bool has_valid_fmag(const ArHeader *header);
// True when the size bytes from offset on lie within the archive, as large as
// it was when it was opened.
bool archive_holds(const ArchiveState *state, std::uint64_t offset, std::uint64_t size);

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
// Reads the header at offset into `header`: whole, nothing at the archive's
// end, or short_or_failed after handing the failure on.
HeaderRead archive_read_header(ArchiveState *state, std::uint64_t offset);

// The members the reader deals with itself, by their place and name: the
// System V index ("/" or "/SYM64/", only as the first member) and the
// long-name table ("//", first or right after that index).
enum class SpecialMember { none, index, long_names, damage };
// With the header at offset in `header`: steps the cursor past such a
// member (reading the index when read_index is set, loading the table), or
// leaves everything as it is for any other member. damage is reported.
SpecialMember archive_take_special(ArchiveState *state, std::uint64_t offset, int read_index);

// Starts the archive and takes the special members at its start, leaving
// the cursor at the first other member (with its header in `header`).
bool archive_open(ArchiveState *state, const char *path, PositionedFile *file, int is_thin,
                  int read_index);
bool archive_read_index(ArchiveState *state, unsigned entry_width, int read_index);
// Makes `nested` the archive at path, opened for update (for reading only,
// as the access says) and locked, unless it is open already; the archive
// left behind is closed. Only a regular archive ("!<arch>\n") can be nested:
// for any other file the switch fails with not_an_archive set, and the
// state stays empty.
bool archive_switch_nested(NestedArchive *nested, const char *path, const FileAccess &access);
// Closes the archive open in `nested` and empties its state; a later switch
// opens it again.
void archive_close_nested(NestedArchive *nested);
// Another program changed an archive's size while it was being edited.
void report_archive_changed(FailureSink &failures, const char *path);
void archive_release(ArchiveState *state);

}  // namespace hdrtune
