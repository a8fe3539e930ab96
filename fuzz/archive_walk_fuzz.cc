// SPDX-License-Identifier: MIT
// archive_walk_fuzz.cc - the archive walk on regular, thin and nested archives
// written from the input into a private directory. Every byte the walk changes
// must be an edited field of an ELF header that stands where a member's data
// starts (or just after the name a BSD member keeps there); nothing else in
// any file may change. Member data lies inside a
// regular archive, or at the start of a thin archive's member file: a file
// that is not a regular archive, reached through a nested reference, must
// stay as it was.
//
// With bit 32 of the first byte, the walk is a dry run that lists its
// headers, first as text and then as JSON lines: every line must be one
// strict JSON object, and every header record must name its header with the
// exact bytes of the text line (from its _hex field where it is not UTF-8).
//
// The harness confines the tool: its open refuses any path outside the
// private directory, since a thin archive may name any file as a member.
#include <dlfcn.h>
#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstdarg>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "json_check.h"
#include "runtime/char_class.h"
#include "runtime/standard_output.h"
#include "tool/driver.h"
#include "tool/header_editor.h"
#include "tool/json_records.h"
#include "tool/list_lines.h"

using namespace hdrtune;

namespace {

std::string sandbox;    // the private directory, without a trailing '/'
bool confined = false;  // only the tool's own opens are checked

bool inside_sandbox(const char *path) {
  std::string p = path;
  if (p.compare(0, sandbox.size() + 1, sandbox + "/") != 0) return false;
  return p.find("/..") == std::string::npos;
}

// The files of one run: the operand, two member files and a nested archive.
const char *const file_names[] = {"a.a", "m.o", "n.a", "x.o"};
constexpr int file_count = 4;
const char separator[] = "\377FZ\377";

std::vector<std::string> split_input(const std::uint8_t *data, std::size_t size) {
  std::string input(reinterpret_cast<const char *>(data), size);
  std::vector<std::string> chunks;
  std::size_t start = 0;
  while (chunks.size() + 1 < file_count) {
    std::size_t at = input.find(separator, start);
    if (at == std::string::npos) break;
    chunks.push_back(input.substr(start, at - start));
    start = at + 4;
  }
  chunks.push_back(input.substr(start));
  chunks.resize(file_count);
  return chunks;
}

std::string path_of(int i) { return sandbox + "/" + file_names[i]; }

void write_file(const std::string &path, const std::string &content) {
  std::FILE *f = std::fopen(path.c_str(), "wb");
  if (!f) std::abort();
  std::fwrite(content.data(), 1, content.size(), f);
  std::fclose(f);
}

std::string read_file(const std::string &path) {
  std::string content;
  std::FILE *f = std::fopen(path.c_str(), "rb");
  if (!f) std::abort();
  char buffer[4096];
  for (std::size_t n; (n = std::fread(buffer, 1, sizeof buffer, f)) > 0;) content.append(buffer, n);
  std::fclose(f);
  return content;
}

RunOptions options;  // the run's options, chosen afresh for each input

// The header offsets an edit with the current settings may change.
bool is_edited_field(std::size_t offset_in_header) {
  switch (offset_in_header) {
    case 7: return options.settings.output[HeaderField::osabi].given;
    case 8: return options.settings.output[HeaderField::abi_version].given;
    case 16:
    case 17: return options.settings.output[HeaderField::type].given;
    case 18:
    case 19: return options.settings.output[HeaderField::machine].given;
    default: return false;
  }
}

// True when a member header named "#1/N" (the BSD way, ending in "`\n")
// ends N bytes before start: the N bytes hold the member's name.
bool follows_bsd_name(const std::string &after, std::size_t start) {
  for (std::size_t end = 68; end <= start; ++end) {
    if (after[end - 2] != '`' || after[end - 1] != '\n') continue;
    std::size_t header = end - 60;
    if (after.compare(header, 3, "#1/") != 0) continue;
    if (end + std::strtoull(after.c_str() + header + 3, nullptr, 10) == start) return true;
  }
  return false;
}

// A header may start at offset 0 of a member file, or just after a member
// header (ending in "`\n") in an archive, or after the name that follows a
// member header named "#1/N".
bool is_header_start(const std::string &after, std::size_t start, bool in_archive) {
  if (after.compare(start, 4, "\177ELF") != 0) return false;
  if (!in_archive) return start == 0;
  if (start >= 68 && after[start - 2] == '`' && after[start - 1] == '\n') return true;
  return follows_bsd_name(after, start);
}

void check_changes(const std::string &before, const std::string &after, bool in_archive) {
  if (before.size() != after.size()) std::abort();
  for (std::size_t p = 0; p < after.size(); ++p) {
    if (before[p] == after[p]) continue;
    bool explained = false;
    for (std::size_t field = 7; field <= 19 && !explained; ++field) {
      if (p < field || !is_edited_field(field)) continue;
      explained = is_header_start(after, p - field, in_archive);
    }
    if (!explained) std::abort();  // a byte outside an edited header changed
  }
}

// Each input's files go when its check is done, the directory when the
// process ends; fuzz/run removes what a crash leaves behind.
void remove_files() {
  for (int i = 0; i < file_count; ++i) unlink(path_of(i).c_str());
  unlink((sandbox + "/records").c_str());
}

// The exact bytes of a name in a record: its _hex field, where there is one,
// must give back the string with each byte that is not UTF-8 as U+FFFD.
bool name_bytes(const std::map<std::string, std::string> &fields, const std::string &key,
                std::string *bytes) {
  auto text = fields.find(key);
  auto hex = fields.find(key + "_hex");
  if (text == fields.end()) return hex == fields.end();
  if (hex == fields.end()) {
    *bytes = text->second;
    return true;
  }
  return json_check::from_hex(hex->second, bytes) &&
         json_check::with_replacements(*bytes) == text->second && *bytes != text->second;
}

// A text line names its header as the bytes are, but for a backslash and
// the control bytes, which it writes as escapes.
std::string escaped(const std::string &name) {
  std::string out;
  for (char c : name)
    out += c == '\\'            ? "\\\\"
           : is_control_byte(c) ? control_byte_escape(c).text
                                : std::string(1, c);
  return out;
}

void check_records(const std::string &records, const std::string &text) {
  std::size_t start = 0, text_start = 0;
  while (start < records.size()) {
    std::size_t end = records.find('\n', start);
    if (end == std::string::npos) std::abort();  // a record cut short
    std::map<std::string, std::string> fields;
    if (!json_check::read_object(records.substr(start, end - start), &fields)) std::abort();
    start = end + 1;
    std::string bytes[7];
    const char *keys[] = {"name",   "operand",        "file",   "archive",
                          "member", "nested_archive", "message"};
    for (int i = 0; i < 7; ++i)
      if (!name_bytes(fields, keys[i], &bytes[i])) std::abort();
    if (fields["record"] == "header") {
      // Every header is the operand's or one of its members'.
      if (bytes[1] != path_of(0) || bytes[0].compare(0, bytes[1].size(), bytes[1]) != 0)
        std::abort();
      if (bytes[0].find(bytes[4]) == std::string::npos) std::abort();
      // The same header as the text listing's next line.
      std::size_t text_end = text.find('\n', text_start);
      if (text_end == std::string::npos) std::abort();
      std::string line = text.substr(text_start, text_end - text_start);
      text_start = text_end + 1;
      if (line.compare(0, escaped(bytes[0]).size() + 2, escaped(bytes[0]) + ": ") != 0)
        std::abort();
    } else if (fields["record"] != "error" || bytes[6].compare(0, 16, "hdrtune: Error: ") != 0) {
      std::abort();
    }
  }
  if (text_start != text.size()) std::abort();  // a text line with no record
}

// Runs the walk with its standard output in a file of the sandbox, and
// returns what it wrote there.
std::string listing(bool as_json) {
  std::string path = sandbox + "/records";
  int capture = ::open(path.c_str(), O_RDWR | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
  int saved = dup(STDOUT_FILENO);
  if (capture < 0 || saved < 0 || dup2(capture, STDOUT_FILENO) < 0) std::abort();
  close(capture);
  options.json = as_json;
  TextReporter text(options.settings);
  JsonReporter json(options.settings, options.dry_run);
  if (as_json)
    options.reporter = &json;
  else
    options.reporter = &text;
  confined = true;
  edit_file(options, path_of(0).c_str());
  confined = false;
  out_flush();
  options.reporter = nullptr;
  if (dup2(saved, STDOUT_FILENO) < 0) std::abort();
  close(saved);
  return read_file(path);
}

void list_both_ways() {
  options.list = options.dry_run = true;
  std::string text = listing(false);
  check_records(listing(true), text);
}

void remove_sandbox() {
  remove_files();
  rmdir(sandbox.c_str());
}

}  // namespace

extern "C" int open(const char *path, int flags, ...) {
  using Open = int (*)(const char *, int, ...);
  static Open real_open = reinterpret_cast<Open>(dlsym(RTLD_NEXT, "open"));
  mode_t mode = 0;
  if (flags & O_CREAT) {
    std::va_list args;
    va_start(args, flags);
    mode = va_arg(args, mode_t);
    va_end(args);
  }
  if (confined && !inside_sandbox(path)) {
    errno = EACCES;
    return -1;
  }
  return real_open(path, flags, mode);
}

extern "C" int LLVMFuzzerInitialize(int *, char ***) {
  const char *tmpdir = std::getenv("TMPDIR");
  std::string pattern = tmpdir && *tmpdir ? tmpdir : "/tmp";
  pattern += "/hdrtune-walk-fuzz.XXXXXX";
  if (!mkdtemp(pattern.data())) std::abort();
  sandbox = pattern;
  std::atexit(remove_sandbox);
  return 0;
}

// Input: one byte choosing the settings, then the four files separated by
// the bytes FF 'F' 'Z' FF.
extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size) {
  if (size < 1) return 0;
  options = RunOptions{};
  HeaderEditSettings &settings = options.settings;
  MaskedValue &osabi = settings.output[HeaderField::osabi],
              &type = settings.output[HeaderField::type];
  if (data[0] & 1) osabi = whole_value(9);
  if (data[0] & 2) type = whole_value(2);
  if (data[0] & 4) settings.output[HeaderField::machine] = whole_value(62);
  if (data[0] & 8) settings.input[HeaderField::type] = whole_value(1);
  if (data[0] & 16) settings.output[HeaderField::abi_version] = whole_value(7);
  if (!osabi.given && !type.given) osabi = whole_value(3);

  std::vector<std::string> files = split_input(data + 1, size - 1);
  for (int i = 0; i < file_count; ++i) write_file(path_of(i), files[i]);
  if (data[0] & 32) {
    list_both_ways();
  } else {
    TextReporter text(options.settings);
    options.reporter = &text;
    confined = true;
    edit_file(options, path_of(0).c_str());
    confined = false;
    options.reporter = nullptr;
  }
  for (int i = 0; i < file_count; ++i) {
    // A thin archive holds no member data: none of its bytes may change.
    bool is_regular_archive = files[i].compare(0, 8, "!<arch>\n") == 0;
    check_changes(files[i], read_file(path_of(i)), is_regular_archive);
  }
  remove_files();
  return 0;
}
