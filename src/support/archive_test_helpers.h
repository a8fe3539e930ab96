// SPDX-License-Identifier: MIT
// archive_test_helpers.h - build archive bytes for the reader's unit tests.
#pragma once

#include <unistd.h>

#include <cstdlib>
#include <string>

#include "support/files.h"

namespace hdrtune {

inline std::string padded_field(std::string text, std::size_t width) {
  text.resize(width, ' ');
  return text;
}

// A 60-byte member header with the given name and size fields.
inline std::string ar_header(const std::string &name, const std::string &size) {
  return padded_field(name, 16) + padded_field("0", 12) + padded_field("0", 6) +
         padded_field("0", 6) + padded_field("644", 8) + padded_field(size, 10) + "`\n";
}

// A member with its data and, for odd sizes, the pad byte.
inline std::string ar_member(const std::string &name, const std::string &data) {
  std::string member = ar_header(name, std::to_string(data.size())) + data;
  if (data.size() % 2) member += '\n';
  return member;
}

// Opens a fresh temporary file holding bytes, as the tool opens the files it
// edits. The file is unlinked at once; closing it is the caller's.
inline bool open_temp_file(PositionedFile *file, const std::string &bytes,
                           std::size_t window_size = small_window_size) {
  std::string path = "/tmp/hdrtune_test.XXXXXX";
  int fd = mkstemp(path.data());
  if (fd < 0) return false;
  bool written = write(fd, bytes.data(), bytes.size()) == static_cast<ssize_t>(bytes.size());
  close(fd);
  bool opened =
      written && open_for_update(file, path.c_str(), window_size, false) == OpenFailure::none;
  unlink(path.c_str());
  return opened;
}

}  // namespace hdrtune
