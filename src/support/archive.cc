// SPDX-License-Identifier: MIT
// archive.cc - open an ar archive: step over or read its index, load its long names.
//
// An archive is an 8-byte magic followed by members. Each member is a 60-byte
// header of space-padded decimal text fields and its data, padded to an even
// length. The first member may be the archive index ("/" with 4-byte entries,
// "/SYM64/" with 8-byte ones); the long-name table "//" stands first or right
// after the index. A thin archive keeps only those two special members' data.
#include "support/archive.h"

#include <bit>
#include <cinttypes>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <new>

#include "runtime/alloc.h"
#include "runtime/char_class.h"
#include "runtime/standard_output.h"
#include "support/archive_state.h"
#include "support/byte_codec.h"
#include "support/diagnostics.h"
#include "support/elf_header.h"
#include "support/files.h"

namespace hdrtune {

static const char index32_name[] = "/               ";
static const char index64_name[] = "/SYM64/         ";
static const char long_names_name[] = "//              ";

static bool is_decimal_digit(char c) { return c >= '0' && c <= '9'; }

// Eight bytes as a number whose lowest byte is the first of them.
static std::uint64_t first_eight(const char *bytes) {
  std::uint64_t word;
  std::memcpy(&word, bytes, 8);
  if constexpr (std::endian::native == std::endian::big) word = __builtin_bswap64(word);
  return word;
}

// How many of the eight bytes, from the first on, are decimal digits. A
// digit's high half is 3 and stays 3 when 6 is added (a low half above 9
// carries); a carry out of one byte reaches only the bytes after it.
static int leading_digits(std::uint64_t word) {
  constexpr std::uint64_t highs = 0xf0f0f0f0f0f0f0f0, threes = 0x3030303030303030;
  constexpr std::uint64_t sixes = 0x0606060606060606;
  std::uint64_t not_digit = ((word & highs) ^ threes) | (((word + sixes) & highs) ^ threes);
  return not_digit ? std::countr_zero(not_digit) / 8 : 8;
}

// The value of the first `count` (1 to 8) digits of the eight bytes: moved
// to the top, the bytes are joined in pairs, then fours, then eights.
static std::uint64_t digits_value(std::uint64_t word, int count) {
  std::uint64_t d = (word & 0x0f0f0f0f0f0f0f0f) << (8 * (8 - count));
  d = (d * 10 + (d >> 8)) & 0x00ff00ff00ff00ff;
  d = (d * 100 + (d >> 16)) & 0x0000ffff0000ffff;
  return (d * 10000 + (d >> 32)) & 0xffffffff;
}

// The digits from *pos on added to value, one at a time; *pos ends past
// them. Nineteen digits always fit; from the twentieth on, value * 10 +
// digit > UINT64_MAX is tested, without a division for every digit.
static std::uint64_t add_digits(const char *header, int digits_start, int *pos, std::uint64_t value,
                                bool *overflow) {
  for (; *pos < ar_header_size; ++*pos) {
    // Any byte below '0' wraps to a large number: one test finds the end.
    unsigned digit = static_cast<unsigned char>(header[*pos]) - unsigned{'0'};
    if (digit > 9) break;
    if (*pos - digits_start >= 19 && value >= UINT64_MAX / 10 &&
        (value > UINT64_MAX / 10 || digit > UINT64_MAX % 10))
      *overflow = true;
    value = value * 10 + digit;
  }
  return value;
}

// The digits from *pos on, and *pos past them: most numbers are read
// eight bytes at a time, where eight are left in the header.
static std::uint64_t read_digits(const char *header, int *pos, bool *overflow) {
  int start = *pos;
  if (start + 8 > ar_header_size) return add_digits(header, start, pos, 0, overflow);
  std::uint64_t word = first_eight(header + start);
  int count = leading_digits(word);
  if (count == 0) return 0;
  *pos += count;
  std::uint64_t value = digits_value(word, count);
  if (count < 8) return value;
  return add_digits(header, start, pos, value, overflow);
}

std::uint64_t header_number(const char *header, int offset, int *end_offset) {
  int pos = offset;
  bool negative = false;
  // Most fields start with their first digit: spaces and a sign are rare.
  if (pos >= ar_header_size || !is_decimal_digit(header[pos])) {
    while (pos < ar_header_size && is_space(header[pos])) ++pos;
    if (pos < ar_header_size && (header[pos] == '+' || header[pos] == '-')) {
      negative = header[pos] == '-';
      ++pos;
    }
  }
  int digits_start = pos;
  bool overflow = false;
  std::uint64_t value = read_digits(header, &pos, &overflow);
  if (pos == digits_start) {
    // No digits: nothing was converted, and the end is where we started.
    if (end_offset) *end_offset = offset;
    return 0;
  }
  if (end_offset) *end_offset = pos;
  if (overflow) return UINT64_MAX;
  return negative ? 0 - value : value;
}

std::uint64_t member_size(const ArHeader *header) {
  return header_number(header_bytes(header), ar_size_offset, nullptr);
}

FileKind file_kind(const char *start, std::size_t got) {
  if (got >= SELFMAG && std::memcmp(start, ELFMAG, SELFMAG) == 0) return FileKind::elf;
  if (got < file_magic_size) return FileKind::other;
  if (std::memcmp(start, "!<arch>\n", file_magic_size) == 0) return FileKind::archive;
  if (std::memcmp(start, "!<thin>\n", file_magic_size) == 0) return FileKind::thin_archive;
  return FileKind::other;
}

bool has_valid_fmag(const ArHeader *header) {
  return header->ar_fmag[0] == '`' && header->ar_fmag[1] == '\n';
}

HeaderRead read_member_header(PositionedFile *file, std::uint64_t offset, ArHeader *header) {
  std::size_t got = 0;
  ReadOutcome outcome = file_read(file, offset, header, ar_header_size, &got);
  if (outcome == ReadOutcome::whole) return HeaderRead::whole;
  if (outcome == ReadOutcome::short_read && got == 0) return HeaderRead::nothing;
  return HeaderRead::short_or_failed;
}

static bool name_is(const ArchiveState *state, const char *special_name) {
  return std::memcmp(state->header.ar_name, special_name, ar_name_size) == 0;
}

bool is_bsd_long_name(const ArHeader *header, std::uint64_t *name_size) {
  const char *name = header->ar_name;
  if (std::memcmp(name, "#1/", 3) != 0 || !is_decimal_digit(name[3])) return false;
  int end = 3;
  std::uint64_t size = 0;
  for (; end < ar_name_size && is_decimal_digit(name[end]); ++end)
    size = size * 10 + (name[end] - '0');
  for (int pos = end; pos < ar_name_size; ++pos)
    if (name[pos] != ' ') return false;
  *name_size = size;
  return true;
}

bool is_bsd_index_name(const char *name, std::size_t length) {
  static const char *const names[] = {"__.SYMDEF", "__.SYMDEF SORTED", "__.SYMDEF_64",
                                      "__.SYMDEF_64 SORTED"};
  for (const char *index_name : names)
    if (length == std::strlen(index_name) && std::memcmp(name, index_name, length) == 0)
      return true;
  return false;
}

// An archive is taken for one written the BSD way when its first member has
// a "#1/N" name or is a BSD index under a short name.
static bool names_bsd_archive(const ArHeader *first) {
  std::uint64_t name_size = 0;
  if (is_bsd_long_name(first, &name_size)) return true;
  std::size_t length = ar_name_size;
  while (length > 0 && first->ar_name[length - 1] == ' ') --length;
  return is_bsd_index_name(first->ar_name, length);
}

std::uint64_t padded_size(std::uint64_t size) {
  return size == UINT64_MAX ? size : size + (size & 1);
}

static bool read_whole(PositionedFile *file, std::uint64_t offset, void *buffer,
                       std::uint64_t size) {
  std::size_t got = 0;
  return file_read(file, offset, buffer, size, &got) == ReadOutcome::whole;
}

static bool read_index_entries(ArchiveState *state, unsigned width, std::uint64_t offset,
                               std::uint64_t count) {
  std::uint64_t bytes = count * width;
  if (!archive_holds(state, offset, bytes)) {
    fail(*state->failures, state->file_name, 0, "%s: failed to read archive index\n",
         state->file_name);
    return false;
  }
  auto *raw = static_cast<unsigned char *>(malloc_bytes(bytes ? bytes : 1));
  if (!raw) {
    fail(*state->failures, state->file_name, 0,
         "Out of memory whilst trying to read archive symbol index\n");
    return false;
  }
  if (!read_whole(state->file, offset, raw, bytes)) {
    std::free(raw);
    fail(*state->failures, state->file_name, 0, "%s: failed to read archive index\n",
         state->file_name);
    return false;
  }
  state->index_offsets =
      static_cast<std::uint64_t *>(malloc_bytes(count ? count * sizeof(std::uint64_t) : 1));
  if (!state->index_offsets) {
    std::free(raw);
    fail(*state->failures, state->file_name, 0,
         "Out of memory whilst trying to convert the archive symbol index\n");
    return false;
  }
  for (std::uint64_t i = 0; i < count; ++i)
    state->index_offsets[i] = get_be(raw + i * width, static_cast<int>(width));
  std::free(raw);
  return true;
}

static bool read_symbol_names(ArchiveState *state, std::uint64_t offset, std::uint64_t size) {
  if (size == 0) {
    fail(*state->failures, state->file_name, 0, "%s: the archive has an index but no symbols\n",
         state->file_name);
    return false;
  }
  if (!archive_holds(state, offset, size)) {
    fail(*state->failures, state->file_name, 0, "%s: failed to read archive index symbol table\n",
         state->file_name);
    return false;
  }
  state->symbol_names = static_cast<unsigned char *>(malloc_bytes(size));
  if (!state->symbol_names) {
    fail(*state->failures, state->file_name, 0,
         "Out of memory whilst trying to read archive index symbol table\n");
    return false;
  }
  state->symbol_names_size = size;
  if (!read_whole(state->file, offset, state->symbol_names, size)) {
    fail(*state->failures, state->file_name, 0, "%s: failed to read archive index symbol table\n",
         state->file_name);
    return false;
  }
  return true;
}

// Index data at offset: a count N, N header offsets and the symbol-name
// table, which takes the rest of the padded size.
static bool read_index_data(ArchiveState *state, unsigned width, std::uint64_t offset,
                            std::uint64_t size) {
  if (size < width) {
    fail(*state->failures, state->file_name, 0, "%s: the archive index is empty\n",
         state->file_name);
    return false;
  }
  std::uint64_t rest = size - width;
  unsigned char count_bytes[8];
  if (!read_whole(state->file, offset, count_bytes, width)) {
    fail(*state->failures, state->file_name, 0, "%s: failed to read archive index\n",
         state->file_name);
    return false;
  }
  std::uint64_t count = get_be(count_bytes, static_cast<int>(width));
  state->index_count = count;
  if (rest < count * width || rest < count) {
    fail(*state->failures, state->file_name, 0,
         "%s: the archive index is supposed to have 0x%" PRIx64
         " entries of %d bytes, "
         "but the size is only 0x%" PRIx64 "\n",
         state->file_name, count, static_cast<int>(width), rest);
    return false;
  }
  if (!read_index_entries(state, width, offset + width, count)) return false;
  return read_symbol_names(state, offset + width + count * width, rest - count * width);
}

// The index's header stands in `header`, at next_header_offset.
bool archive_read_index(ArchiveState *state, unsigned entry_width, int read_index) {
  std::uint64_t size = member_size(&state->header);
  if (static_cast<std::int64_t>(size) < 0) {
    fail(*state->failures, state->file_name, 0, "%s: invalid archive header size: %" PRId64 "\n",
         state->file_name, static_cast<std::int64_t>(size));
    return false;
  }
  std::uint64_t data_size = padded_size(size);
  std::uint64_t data_offset = state->next_header_offset + ar_header_size;
  state->next_header_offset = data_offset + data_size;
  state->after_index_offset = state->next_header_offset;
  if (!read_index) {
    if (!offset_reachable(state->next_header_offset)) {
      fail(*state->failures, state->file_name, 0, "%s: failed to skip archive symbol table\n",
           state->file_name);
      return false;
    }
    // Stepped over, an index cut short would look like the archive's end.
    if (!archive_holds(state, data_offset, size)) {
      fail(*state->failures, state->file_name, 0,
           "%s: archive index runs past the end of the archive\n", state->file_name);
      return false;
    }
  } else if (!read_index_data(state, entry_width, data_offset, data_size)) {
    return false;
  }
  return true;
}

// The table's header stands in `header`, at next_header_offset. Its names
// are read from the file as members need them.
static bool load_long_names(ArchiveState *state, const char *path) {
  std::uint64_t size = member_size(&state->header);
  // Every name of a thin archive stands in its table, so a table of a few
  // bytes is normal there ("a.o/\n" and its pad).
  std::uint64_t smallest = state->is_thin ? 1 : 8;
  if (size < smallest) {
    fail(*state->failures, state->file_name, 0,
         "%s: long name table is too small, (size = %" PRId64 ")\n", path,
         static_cast<std::int64_t>(size));
    return false;
  }
  if (static_cast<std::int64_t>(size) < 0) {
    fail(*state->failures, state->file_name, 0,
         "%s: long name table is too big, (size = 0x%" PRIx64 ")\n", path, size);
    return false;
  }
  std::uint64_t data_offset = state->next_header_offset + ar_header_size;
  state->next_header_offset = data_offset + padded_size(size);
  // A table larger than what is left of the file could never be read whole.
  LongNameStatus status = LongNameStatus::unreadable;
  if (archive_holds(state, data_offset, size))
    status = long_names_open(&state->long_names, state->file, data_offset, size);
  if (status == LongNameStatus::found) return true;
  long_names_release(&state->long_names);
  if (status == LongNameStatus::no_memory)
    fail(*state->failures, state->file_name, 0,
         "Out of memory reading long symbol names in archive\n");
  else
    fail(*state->failures, state->file_name, 0,
         "%s: failed to read long symbol name string table\n", path);
  return false;
}

SpecialMember archive_take_special(ArchiveState *state, std::uint64_t offset, int read_index) {
  bool first = offset == first_header_offset;
  if (first && name_is(state, index32_name))
    return archive_read_index(state, 4, read_index) ? SpecialMember::index : SpecialMember::damage;
  if (first && name_is(state, index64_name)) {
    state->index_is_64bit = 1;
    return archive_read_index(state, 8, read_index) ? SpecialMember::index : SpecialMember::damage;
  }
  if ((first || offset == state->after_index_offset) && name_is(state, long_names_name))
    return load_long_names(state, state->file_name) ? SpecialMember::long_names
                                                    : SpecialMember::damage;
  return SpecialMember::none;
}

bool archive_start(ArchiveState *state, const char *path, PositionedFile *file, int is_thin) {
  state->file = file;
  state->file_name = strdup(path);
  if (!state->file_name) {
    // Every message and display name needs the archive's name.
    fail(*state->failures, path, 0, "Out of memory\n");
    return false;
  }
  state->index_count = 0;
  state->index_offsets = nullptr;
  state->symbol_names = nullptr;
  state->symbol_names_size = 0;
  long_names_release(&state->long_names);
  state->is_thin = is_thin;
  state->index_is_64bit = 0;
  state->next_header_offset = first_header_offset;
  state->after_index_offset = 0;
  state->is_bsd = 0;
  return true;
}

HeaderRead archive_read_header(ArchiveState *state, std::uint64_t offset) {
  switch (read_member_header(state->file, offset, &state->header)) {
    case HeaderRead::whole: break;
    case HeaderRead::nothing: return HeaderRead::nothing;  // the archive ends here
    case HeaderRead::short_or_failed:
      // A read error is not the end of the archive.
      if (offset == state->after_index_offset)
        fail(*state->failures, state->file_name, 0,
             "%s: failed to read archive header following archive index\n", state->file_name);
      else
        fail(*state->failures, state->file_name, 0, "%s: failed to read archive header\n",
             state->file_name);
      return HeaderRead::short_or_failed;
  }
  if (offset == first_header_offset)
    state->is_bsd = !state->is_thin && names_bsd_archive(&state->header);
  return HeaderRead::whole;
}

bool archive_open(ArchiveState *state, const char *path, PositionedFile *file, int is_thin,
                  int read_index) {
  if (!archive_start(state, path, file, is_thin)) return false;
  for (;;) {
    std::uint64_t offset = state->next_header_offset;
    HeaderRead read = archive_read_header(state, offset);
    if (read != HeaderRead::whole) return read == HeaderRead::nothing;
    SpecialMember special = archive_take_special(state, offset, read_index);
    if (read_index && offset == first_header_offset && special != SpecialMember::index)
      out_printf("%s has no archive index\n", path);
    if (special == SpecialMember::damage) return false;
    // The first member of any other kind is left for the walk, its header
    // in `header`.
    if (special == SpecialMember::none) {
      state->next_header_offset = offset;
      return true;
    }
  }
}

static void free_buffers(ArchiveState *state) {
  std::free(state->file_name);
  std::free(state->index_offsets);
  std::free(state->symbol_names);
  long_names_release(&state->long_names);
  std::free(state->bsd_name.bytes);
  state->file_name = nullptr;
  state->index_offsets = nullptr;
  state->symbol_names = nullptr;
  state->bsd_name = NameBuffer{};
  state->index_count = 0;
  state->symbol_names_size = 0;
}

enum class NestedStart { regular_archive, something_else, unreadable };

// A reference points at a member header of a regular archive: in any other
// file (an object, a thin archive, the thin archive itself) the bytes there
// are not a member header, and writing at its offset would damage the file.
static NestedStart nested_start(PositionedFile *file) {
  char magic[file_magic_size];
  std::size_t got = 0;
  if (file_read(file, 0, magic, sizeof magic, &got) == ReadOutcome::failed)
    return NestedStart::unreadable;
  if (file_kind(magic, got) == FileKind::archive) return NestedStart::regular_archive;
  return NestedStart::something_else;
}

// Headers were written through the archive left behind: its close counts,
// and so does a change of its size that another program made meanwhile.
bool archive_close_nested(ArchiveState *state) {
  if (state->file) {
    if (file_size_changed(state->file)) {
      report_archive_changed(*state->failures, state->file_name);
      state->close_failed = 1;
    }
    if (!close_edited_file(state->file, *state->failures)) state->close_failed = 1;
  }
  state->file = nullptr;
  free_buffers(state);
  return !state->close_failed;
}

NestedOpen archive_switch_nested(ArchiveState *state, const char *path, const FileAccess &access) {
  if (state->file_name && std::strcmp(state->file_name, path) == 0) return NestedOpen::opened;
  archive_close_nested(state);
  PositionedFile *file = &state->own_file;
  // Opened for update: the walk rewrites member headers through this file.
  if (open_member_for_update(file, path, archive_window_size, access.read_only) !=
      OpenFailure::none)
    return NestedOpen::failed;
  // The run holds no other lock here: the archive left behind is closed.
  NestedStart start = NestedStart::unreadable;
  LockOutcome lock = lock_file(file, access, {}, *state->failures);
  if (lock == LockOutcome::locked || lock == LockOutcome::not_supported) start = nested_start(file);
  if (start != NestedStart::regular_archive) {
    // The state stays empty, as after a failed open; nothing was written.
    if (!close_edited_file(file, *state->failures)) state->close_failed = 1;
    return start == NestedStart::something_else ? NestedOpen::not_an_archive : NestedOpen::failed;
  }
  return archive_open(state, path, file, 0, 0) ? NestedOpen::opened : NestedOpen::failed;
}

void report_archive_changed(FailureSink &failures, const char *path) {
  fail(failures, path, 0, "%s: the archive changed during the run and may be damaged\n", path);
}

void archive_release(ArchiveState *state) { free_buffers(state); }

// Allocated with malloc, as the reader's buffers are: the tool links no
// C++ runtime library.
ArchiveState *archive_create(FailureSink &failures) {
  void *memory = malloc_bytes(sizeof(ArchiveState));
  if (!memory) {
    fail(failures, nullptr, 0, "Out of memory\n");
    return nullptr;
  }
  auto *state = new (memory) ArchiveState;
  state->failures = &failures;
  return state;
}

void archive_destroy(ArchiveState *state) {
  if (!state) return;
  archive_release(state);
  state->~ArchiveState();
  std::free(state);
}

const char *archive_path(const ArchiveState *state) { return state->file_name; }

bool archive_is_thin(const ArchiveState *state) { return state->is_thin; }

bool archive_is_open(const ArchiveState *state) { return state->file != nullptr; }

}  // namespace hdrtune
