// SPDX-License-Identifier: MIT
// header_editor_fuzz.cc - the header editor on a file with random settings:
// it must write one whole, correctly patched header at the start, or nothing
// at all; a check writes nothing ever.
#include <fcntl.h>
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "support/files.h"
#include "tool/header_editor.h"
#include "tool/list_lines.h"

using namespace hdrtune;

namespace {

// A setting drawn from one input byte: mostly -1 or small values, sometimes
// values a header field cannot hold.
MaskedValue setting_from(std::uint8_t byte) {
  static const std::int32_t unusual[] = {-1, 0, 62, 3, 180, 65535, 65536, 256, 255, -2};
  std::int32_t value = byte < 0x80 ? (byte % 2 ? -1 : byte >> 1) : unusual[byte % 10];
  return value == -1 ? MaskedValue{} : whole_value(static_cast<std::uint32_t>(value));
}

void put_field(std::vector<std::uint8_t> &image, int offset, std::uint32_t value, bool big_endian) {
  std::uint8_t low = value & 0xff, high = (value >> 8) & 0xff;
  image[offset] = big_endian ? high : low;
  image[offset + 1] = big_endian ? low : high;
}

// The header as a successful edit must leave it.
std::vector<std::uint8_t> expected_header(const HeaderEditSettings &settings,
                                          const std::uint8_t *file, int size) {
  std::vector<std::uint8_t> image(file, file + size);
  bool big_endian = file[5] == 2;
  const MaskedValue &machine = settings.output[HeaderField::machine],
                    &type = settings.output[HeaderField::type],
                    &osabi = settings.output[HeaderField::osabi],
                    &abi_version = settings.output[HeaderField::abi_version],
                    &output_flags = settings.output[HeaderField::flags];
  if (machine.given) put_field(image, 18, machine.value, big_endian);
  if (type.given) put_field(image, 16, type.value, big_endian);
  if (osabi.given) image[7] = static_cast<std::uint8_t>(osabi.value);
  if (abi_version.given) image[8] = static_cast<std::uint8_t>(abi_version.value);
  if (output_flags.given) {
    int at = size == 52 ? 36 : 48;
    std::uint32_t flags = 0;
    for (int i = 0; i < 4; ++i)
      flags |= std::uint32_t{image[at + i]} << (big_endian ? 24 - 8 * i : 8 * i);
    flags = (flags & ~output_flags.mask) | output_flags.value;
    for (int i = 0; i < 4; ++i)
      image[at + i] = static_cast<std::uint8_t>(flags >> (big_endian ? 24 - 8 * i : 8 * i));
  }
  return image;
}

std::string scratch_path;

void write_whole(const std::uint8_t *data, std::size_t size) {
  int fd = open(scratch_path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
  if (fd < 0 || write(fd, data, size) != static_cast<ssize_t>(size)) std::abort();
  close(fd);
}

std::vector<std::uint8_t> read_whole(std::size_t size) {
  std::vector<std::uint8_t> bytes(size + 1);
  int fd = open(scratch_path.c_str(), O_RDONLY);
  if (fd < 0) std::abort();
  ssize_t n = pread(fd, bytes.data(), bytes.size(), 0);
  close(fd);
  if (n != static_cast<ssize_t>(size)) std::abort();  // the file grew or shrank
  bytes.resize(size);
  return bytes;
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int *, char ***) {
  char pattern[] = "/tmp/hdrtune-editor-fuzz.XXXXXX";
  int fd = mkstemp(pattern);
  if (fd < 0) std::abort();
  close(fd);
  scratch_path = pattern;
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size) {
  if (size < 10) return 0;
  RunOptions options;
  HeaderEditSettings &settings = options.settings;
  settings.input[HeaderField::machine] = setting_from(data[0]);
  settings.input_class = data[1] % 5 == 4 ? -1 : data[1] % 4;  // 0 never matches a class
  settings.output[HeaderField::machine] = setting_from(data[2]);
  settings.output_class = 1 + data[3] % 3;
  settings.input[HeaderField::type] = setting_from(data[4]);
  settings.output[HeaderField::type] = setting_from(data[5]);
  settings.input[HeaderField::osabi] = setting_from(data[6]);
  settings.output[HeaderField::osabi] = setting_from(data[7]);
  settings.input[HeaderField::abi_version] = setting_from(data[8]);
  settings.output[HeaderField::abi_version] = setting_from(data[9]);
  options.check = (data[3] & 0x80) != 0;
  // Flags under a mask that spreads one byte over the whole word; the value
  // never sets a bit outside it.
  auto masked_flags = [](std::uint8_t value, std::uint8_t mask) {
    std::uint32_t spread = std::uint32_t{mask} * 0x01010101u;
    return MaskedValue{true, (std::uint32_t{value} * 0x01000081u) & spread, spread};
  };
  if (data[1] & 0x40) settings.output[HeaderField::flags] = masked_flags(data[6], data[7]);
  if (data[3] & 0x40) settings.input[HeaderField::flags] = masked_flags(data[4], data[5]);
  data += 10, size -= 10;
  if (size == 0) return 0;

  write_whole(data, size);
  PositionedFile file;
  if (open_for_update(&file, scratch_path.c_str(), small_window_size, false) != OpenFailure::none)
    std::abort();
  TextReporter reporter(options.settings);
  options.reporter = &reporter;
  HeaderPlace place;
  place.file = place.display_name = "fuzz.o";
  int status = edit_object(options, place, &file);
  if (!close_edited_file(&file)) std::abort();
  std::vector<std::uint8_t> after = read_whole(size);

  if (std::memcmp(after.data(), data, size) == 0) return 0;  // nothing written
  if (options.check) std::abort();                           // a check wrote
  int header_size = data[4] == 1 ? 52 : 64;
  bool whole_header_fits =
      size >= static_cast<std::size_t>(header_size) && (data[4] == 1 || data[4] == 2);
  if (status != 0 || !whole_header_fits) std::abort();  // wrote, but reported failure
  if (std::memcmp(after.data() + header_size, data + header_size, size - header_size) != 0)
    std::abort();  // wrote past the header
  std::vector<std::uint8_t> want = expected_header(settings, data, header_size);
  if (std::memcmp(after.data(), want.data(), header_size) != 0) std::abort();  // wrong bytes
  return 0;
}
