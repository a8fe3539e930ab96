// archive.cc - open an ar archive: step over or read its index, load its long names.
//
// An archive is an 8-byte magic followed by members. Each member is a 60-byte
// header of space-padded decimal text fields and its data, padded to an even
// length. The first member may be the archive index ("/" with 4-byte entries,
// "/SYM64/" with 8-byte ones); the long-name table "//" stands first or right
// after the index. A thin archive keeps only those two special members' data.
#include "support/archive.h"

#include <climits>
#include <cstdlib>
#include <cstring>

#include "support/byte_codec.h"
#include "support/diagnostics.h"
#include "support/files.h"

namespace hdrtune {

static const char index32_name[] = "/               ";
static const char index64_name[] = "/SYM64/         ";
static const char long_names_name[] = "//              ";

static bool is_space(char c) {
  return c == ' ' || (c >= '\t' && c <= '\r');
}

std::uint64_t header_number(const char *header, int offset, int *end_offset) {
  int pos = offset;
  while (pos < ar_header_size && is_space(header[pos])) ++pos;
  bool negative = false;
  if (pos < ar_header_size && (header[pos] == '+' || header[pos] == '-')) {
    negative = header[pos] == '-';
    ++pos;
  }
  int digits_start = pos;
  std::uint64_t value = 0;
  bool overflow = false;
  for (; pos < ar_header_size && header[pos] >= '0' && header[pos] <= '9'; ++pos) {
    unsigned digit = header[pos] - '0';
    if (value > (UINT64_MAX - digit) / 10) overflow = true;
    value = value * 10 + digit;
  }
  if (pos == digits_start) {
    // No digits: nothing was converted, and the end is where we started.
    if (end_offset) *end_offset = offset;
    return 0;
  }
  if (end_offset) *end_offset = pos;
  if (overflow) return UINT64_MAX;
  return negative ? 0 - value : value;
}

bool has_valid_fmag(const char *header) {
  return header[ar_fmag_offset] == '`' && header[ar_fmag_offset + 1] == '\n';
}

static bool name_is(const ArchiveState *state, const char *special_name) {
  return std::memcmp(state->header + ar_name_offset, special_name, ar_name_size) == 0;
}

static std::uint64_t padded(std::uint64_t size) { return size + (size & 1); }

// Counts the bytes between the stream's position and its end, so that a size
// claimed by a header can be checked before anything that large is allocated.
static bool bytes_left(std::FILE *stream, std::uint64_t *left) {
  long here = std::ftell(stream);
  if (here < 0 || std::fseek(stream, 0, SEEK_END) != 0) return false;
  long end = std::ftell(stream);
  if (std::fseek(stream, here, SEEK_SET) != 0 || end < here) return false;
  *left = static_cast<std::uint64_t>(end - here);
  return true;
}

static bool fits_in_stream(std::FILE *stream, std::uint64_t size) {
  std::uint64_t left = 0;
  return bytes_left(stream, &left) && size <= left;
}

static bool skip_forward(std::FILE *stream, std::uint64_t distance) {
  return distance <= LONG_MAX &&
         std::fseek(stream, static_cast<long>(distance), SEEK_CUR) == 0;
}

// Reads the header after the index. No byte at all is fine: the archive ends
// with its index, and `header` keeps the index's header. A read error is not
// the end of the archive.
static int read_header_after_index(ArchiveState *state) {
  std::size_t got = std::fread(state->header, 1, ar_header_size, state->stream);
  if (got == ar_header_size || (got == 0 && !std::ferror(state->stream))) return 1;
  report_error("%s: failed to read archive header following archive index\n",
               state->file_name);
  return 0;
}

static int read_index_entries(ArchiveState *state, unsigned width,
                              std::uint64_t count) {
  std::uint64_t bytes = count * width;
  if (!fits_in_stream(state->stream, bytes)) {
    report_error("%s: failed to read archive index\n", state->file_name);
    return 0;
  }
  auto *raw = static_cast<unsigned char *>(std::malloc(bytes ? bytes : 1));
  if (!raw) {
    report_error("Out of memory whilst trying to read archive symbol index\n");
    return 0;
  }
  if (std::fread(raw, width, count, state->stream) < count) {
    std::free(raw);
    report_error("%s: failed to read archive index\n", state->file_name);
    return 0;
  }
  state->index_offsets =
      static_cast<std::uint64_t *>(std::malloc(count ? count * sizeof(std::uint64_t) : 1));
  if (!state->index_offsets) {
    std::free(raw);
    report_error("Out of memory whilst trying to convert the archive symbol index\n");
    return 0;
  }
  for (std::uint64_t i = 0; i < count; ++i)
    state->index_offsets[i] = get_be(raw + i * width, static_cast<int>(width));
  std::free(raw);
  return 1;
}

static int read_symbol_names(ArchiveState *state, std::uint64_t size) {
  if (size == 0) {
    report_error("%s: the archive has an index but no symbols\n", state->file_name);
    return 0;
  }
  if (!fits_in_stream(state->stream, size)) {
    report_error("%s: failed to read archive index symbol table\n", state->file_name);
    return 0;
  }
  state->symbol_names = static_cast<unsigned char *>(std::malloc(size));
  if (!state->symbol_names) {
    report_error("Out of memory whilst trying to read archive index symbol table\n");
    return 0;
  }
  state->symbol_names_size = size;
  if (std::fread(state->symbol_names, 1, size, state->stream) < size) {
    report_error("%s: failed to read archive index symbol table\n", state->file_name);
    return 0;
  }
  return 1;
}

// Index data: a count N, N header offsets and the symbol-name table, all
// consumed, so that the stream ends up at the next header as after a skip.
static int read_index_data(ArchiveState *state, unsigned width, std::uint64_t size) {
  if (size < width) {
    report_error("%s: the archive index is empty\n", state->file_name);
    return 0;
  }
  std::uint64_t rest = size - width;
  unsigned char count_bytes[8];
  if (std::fread(count_bytes, 1, width, state->stream) < width) {
    report_error("%s: failed to read archive index\n", state->file_name);
    return 0;
  }
  std::uint64_t count = get_be(count_bytes, static_cast<int>(width));
  state->index_count = count;
  if (rest < count * width || rest < count) {
    report_error("%s: the archive index is supposed to have 0x%lx entries of %d bytes, "
                 "but the size is only 0x%lx\n",
                 state->file_name, static_cast<unsigned long>(count),
                 static_cast<int>(width), static_cast<unsigned long>(rest));
    return 0;
  }
  if (!read_index_entries(state, width, count)) return 0;
  return read_symbol_names(state, rest - count * width);
}

int archive_read_index(ArchiveState *state, unsigned entry_width, int read_index) {
  std::uint64_t size = header_number(state->header, ar_size_offset, nullptr);
  if (static_cast<std::int64_t>(size) < 0) {
    report_error("%s: invalid archive header size: %ld\n", state->file_name,
                 static_cast<long>(size));
    return 0;
  }
  std::uint64_t data_size = padded(size);
  state->next_header_offset += data_size + ar_header_size;
  if (!read_index) {
    if (!skip_forward(state->stream, data_size)) {
      report_error("%s: failed to skip archive symbol table\n", state->file_name);
      return 0;
    }
  } else if (!read_index_data(state, entry_width, data_size)) {
    return 0;
  }
  return read_header_after_index(state);
}

// The stream stands just behind the table's header. The table keeps one
// added NUL so that a name that runs to the table's end can be terminated.
static int load_long_names(ArchiveState *state, const char *path) {
  std::uint64_t size = header_number(state->header, ar_size_offset, nullptr);
  state->long_names_size = size;
  if (size <= 7) {
    report_error("%s: long name table is too small, (size = %ld)\n", path,
                 static_cast<long>(size));
    return 1;
  }
  if (static_cast<std::int64_t>(size) < 0) {
    report_error("%s: long name table is too big, (size = 0x%lx)\n", path,
                 static_cast<unsigned long>(size));
    return 1;
  }
  state->next_header_offset += ar_header_size + padded(size);
  // A table larger than what is left of the file could never be read whole.
  if (!fits_in_stream(state->stream, size)) {
    report_error("%s: failed to read long symbol name string table\n", path);
    return 1;
  }
  state->long_names = static_cast<char *>(std::malloc(size + 1));
  if (!state->long_names) {
    report_error("Out of memory reading long symbol names in archive\n");
    return 1;
  }
  if (std::fread(state->long_names, size, 1, state->stream) != 1) {
    std::free(state->long_names);
    state->long_names = nullptr;
    report_error("%s: failed to read long symbol name string table\n", path);
    return 1;
  }
  if (size & 1) std::getc(state->stream);
  state->long_names[size] = '\0';
  return 0;
}

int archive_open(ArchiveState *state, const char *path, std::FILE *stream,
                 int is_thin, int read_index) {
  state->stream = stream;
  state->file_name = strdup(path);
  if (!state->file_name) {
    // Every message and display name needs the archive's name.
    report_error("Out of memory\n");
    return 1;
  }
  state->index_count = 0;
  state->index_offsets = nullptr;
  state->symbol_names = nullptr;
  state->symbol_names_size = 0;
  state->long_names = nullptr;
  state->long_names_size = 0;
  state->nested_member_offset = 0;
  state->is_thin = is_thin;
  state->index_is_64bit = 0;
  state->next_header_offset = 8;
  if (std::fseek(stream, 8, SEEK_SET) != 0) {
    report_error("%s: failed to seek to first archive header\n", path);
    return 1;
  }
  std::size_t got = std::fread(state->header, 1, ar_header_size, stream);
  if (got == 0 && !std::ferror(stream)) return 0;  // no members at all
  if (got < ar_header_size) {
    report_error("%s: failed to read archive header\n", path);
    return 1;
  }
  if (name_is(state, index32_name)) {
    if (!archive_read_index(state, 4, read_index)) return 1;
  } else if (name_is(state, index64_name)) {
    state->index_is_64bit = 1;
    if (!archive_read_index(state, 8, read_index)) return 1;
  } else if (read_index) {
    std::printf("%s has no archive index\n", path);
  }
  if (!name_is(state, long_names_name)) return 0;
  return load_long_names(state, path);
}

static void free_buffers(ArchiveState *state) {
  std::free(state->file_name);
  std::free(state->index_offsets);
  std::free(state->symbol_names);
  std::free(state->long_names);
  std::free(state->short_name_copy);
  state->file_name = nullptr;
  state->index_offsets = nullptr;
  state->symbol_names = nullptr;
  state->long_names = nullptr;
  state->short_name_copy = nullptr;
  state->index_count = 0;
  state->symbol_names_size = 0;
  state->long_names_size = 0;
}

int archive_switch_nested(ArchiveState *nested, const char *path) {
  if (nested->file_name && std::strcmp(nested->file_name, path) == 0) return 0;
  // Headers were written through the archive left behind: its close counts.
  if (nested->stream) nested->close_failed |= close_edited_file(nested->file_name, nested->stream);
  nested->stream = nullptr;
  free_buffers(nested);
  // Opened for update: the walk rewrites member headers through this stream.
  OpenFailure failure;
  std::FILE *stream = open_member_for_update(path, &failure);
  if (!stream) return 1;
  return archive_open(nested, path, stream, 0, 0);
}

void archive_release(ArchiveState *state) { free_buffers(state); }

}  // namespace hdrtune
