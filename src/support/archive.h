// archive.h - read ar archives: member headers, index, long names, member names.
#pragma once

#include <cstdint>
#include <cstdio>

namespace hdrtune {

// The 60-byte member header: space-padded text fields.
constexpr int ar_header_size = 60;
constexpr int ar_name_offset = 0, ar_name_size = 16;
constexpr int ar_size_offset = 48;
constexpr int ar_fmag_offset = 58;

struct ArchiveState {
  char *file_name = nullptr;  // owned copy of the archive's path
  std::FILE *stream = nullptr;
  std::uint64_t index_count = 0;
  std::uint64_t *index_offsets = nullptr;  // owned; only when the index was read
  unsigned char *symbol_names = nullptr;   // owned; only when the index was read
  std::uint64_t symbol_names_size = 0;
  char *long_names = nullptr;  // owned; the table plus one added NUL
  std::uint64_t long_names_size = 0;
  std::uint64_t nested_member_offset = 0;
  std::uint64_t next_header_offset = 0;
  int is_thin = 0;
  int index_is_64bit = 0;
  char header[ar_header_size] = {};
  char *short_name_copy = nullptr;  // owned; the last 16-byte short name handed out
  int close_failed = 0;  // a nested archive switched away from did not close cleanly
};

// Converts the decimal number that starts at header[offset] as strtoul does
// (white space, sign, digits; saturating), but never reads past the header.
// When end_offset is non-null it receives the offset where conversion stopped.
std::uint64_t header_number(const char *header, int offset, int *end_offset);
bool has_valid_fmag(const char *header);

int archive_open(ArchiveState *state, const char *path, std::FILE *stream,
                 int is_thin, int read_index);
int archive_read_index(ArchiveState *state, unsigned entry_width, int read_index);
int archive_switch_nested(ArchiveState *nested, const char *path);
void archive_release(ArchiveState *state);

// Member names. Results point into a state unless the table says otherwise;
// display names and paths are fresh and freed by the caller.
const char *archive_member_name(ArchiveState *state, ArchiveState *nested);
const char *archive_member_name_at(ArchiveState *state, std::uint64_t offset,
                                   ArchiveState *nested);
char *archive_display_name(const ArchiveState *state, const ArchiveState *nested,
                           const char *name);
char *thin_member_path(const char *archive_path, const char *name,
                       std::uint64_t name_length);

}  // namespace hdrtune
