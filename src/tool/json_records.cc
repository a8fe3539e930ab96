// SPDX-License-Identifier: MIT
// json_records.cc - what a run shows, as JSON lines.
//
// Each record is one object on one line, built whole in a buffer and handed
// to the list's stream in one piece, so a signal never leaves half of one.
// Every text from a file system or an archive may hold any bytes: a string
// holds each byte that is not UTF-8 as U+FFFD, and then "KEY_hex" beside it
// gives the exact bytes.
#include "tool/json_records.h"

#include <cinttypes>
#include <cstdio>
#include <cstring>

#include "runtime/json_text.h"
#include "runtime/process.h"
#include "runtime/standard_output.h"
#include "support/diagnostics.h"
#include "tool/flags_names.h"

namespace hdrtune {

HeaderPlace current_place;
RunCounts run_counts;

namespace {

const RunOptions *json_options = nullptr;
JsonBuffer record;

void begin_record(const char *kind) {
  record.length = 0;
  json_literal(&record, "{\"format\":");
  json_number(&record, json_format_version);
  json_literal(&record, ",\"record\":\"");
  json_raw(&record, kind);
  json_literal(&record, "\"");
}

void end_record() {
  json_literal(&record, "}\n");
  out_write(record.data, record.length);
}

void key(const char *name) {
  json_literal(&record, ",\"");
  json_raw(&record, name);
  json_literal(&record, "\":");
}

void null_value() { json_literal(&record, "null"); }

void string_field(const char *name, const char *bytes, std::size_t length) {
  key(name);
  if (!bytes) return null_value();
  if (json_string(&record, bytes, length)) return;
  json_literal(&record, ",\"");
  json_raw(&record, name);
  json_literal(&record, "_hex\":");
  json_hex_string(&record, bytes, length);
}

void string_field(const char *name, const char *text) {
  string_field(name, text, text ? std::strlen(text) : 0);
}

// The archive's path and the like repeat from member to member: the text
// last written for a field is kept beside its bytes and copied when they
// are the same.
struct FieldCache {
  JsonBuffer bytes;
  JsonBuffer text;
  bool is_null = true;
  bool valid = false;
};

void cached_string_field(FieldCache *cache, const char *name, const char *bytes) {
  std::size_t length = bytes ? std::strlen(bytes) : 0;
  if (cache->valid && cache->is_null == !bytes && cache->bytes.length == length &&
      (length == 0 || std::memcmp(cache->bytes.data, bytes, length) == 0)) {
    json_raw(&record, cache->text.data, cache->text.length);
    return;
  }
  std::size_t start = record.length;
  string_field(name, bytes, length);
  cache->valid = true;
  cache->is_null = !bytes;
  cache->bytes.length = cache->text.length = 0;
  if (bytes) json_raw(&cache->bytes, bytes, length);
  json_raw(&cache->text, record.data + start, record.length - start);
}

void number_field(const char *name, std::uint64_t value) {
  key(name);
  json_number(&record, value);
}

const char *field_key(ListField field) {
  switch (field) {
    case ListField::elf_class: return "class";
    case ListField::data_encoding: return "byte_order";
    case ListField::machine: return "machine";
    case ListField::type: return "type";
    case ListField::osabi: return "osabi";
    case ListField::abi_version: return "abi_version";
    case ListField::flags: return "flags";
  }
  return "";
}

// ,"fields":{"rvc":true,"float-abi":"double"},"other_bits":N: the names a
// whole flags word holds on e_machine. Neither key is there for a machine
// without named fields or for a part of a word compared under a mask, so
// that the records of such headers read as they always have.
void flags_fields(std::uint32_t flags, std::int32_t e_machine, std::uint32_t mask) {
  DecodedFlags decoded;
  if (mask != UINT32_MAX || !decode_flags(flags, e_machine, &decoded)) return;
  json_literal(&record, ",\"fields\":{");
  for (int i = 0; i < decoded.count; ++i) {
    if (i > 0) json_literal(&record, ",");
    json_literal(&record, "\"");
    json_raw(&record, decoded.names[i].field);
    json_literal(&record, "\":");
    if (!decoded.names[i].value) {
      json_literal(&record, "true");
      continue;
    }
    json_literal(&record, "\"");
    json_raw(&record, decoded.names[i].value);
    json_literal(&record, "\"");
  }
  json_literal(&record, "},\"other_bits\":");
  json_number(&record, decoded.other_bits);
}

// {"number":N,"name":"KEYWORD"}, the name null where the value has none;
// an OSABI is named as it is on e_machine, and flags get their fields.
void value_object(ListField field, std::int64_t value, std::int32_t e_machine,
                  std::uint32_t mask = UINT32_MAX) {
  json_literal(&record, "{\"number\":");
  json_number(&record, static_cast<std::uint64_t>(value));
  json_literal(&record, ",\"name\":");
  const char *name = value_name(field, value, e_machine);
  if (name) {
    json_literal(&record, "\"");
    json_raw(&record, name);
    json_literal(&record, "\"");
  } else {
    null_value();
  }
  if (field == ListField::flags) flags_fields(static_cast<std::uint32_t>(value), e_machine, mask);
  json_literal(&record, "}");
}

// The values of the fields a header record shows, read or as an edit
// makes them.
struct FieldValues {
  int machine, type, osabi, abi_version;
  std::uint32_t flags;
  bool operator==(const FieldValues &) const = default;
};

const HeaderEditSettings &header_settings() {
  return current_place.settings ? *current_place.settings : json_options->settings;
}

FieldValues values_of(const ElfHeader &header) {
  return {header.e_machine, header.e_type, header.osabi, header.abi_version, header.e_flags};
}

// The values as the edit leaves them: each output value asked, as the
// listing's lines show it written, in place of the header's own.
FieldValues values_after(const ElfHeader &header, const HeaderEditSettings &s) {
  const OutputFields fields = output_fields(header, s);
  std::int64_t after[5];
  for (int i = 0; i < 5; ++i) {
    const OutputField &f = fields.rows[i];
    after[i] = f.wanted == -1 ? f.found : f.wanted;
  }
  return {static_cast<int>(after[0]), static_cast<int>(after[1]), static_cast<int>(after[2]),
          static_cast<int>(after[3]), static_cast<std::uint32_t>(after[4])};
}

void field_values(const FieldValues &v, bool as_object) {
  const struct {
    ListField field;
    std::int64_t value;
  } rows[] = {{ListField::machine, v.machine},
              {ListField::type, v.type},
              {ListField::osabi, v.osabi},
              {ListField::abi_version, v.abi_version},
              {ListField::flags, v.flags}};
  bool first = as_object;
  for (const auto &row : rows) {
    if (first)
      json_literal(&record, "{\"");
    else
      json_literal(&record, ",\"");
    first = false;
    json_raw(&record, field_key(row.field));
    json_literal(&record, "\":");
    value_object(row.field, row.value, v.machine);
  }
  if (as_object) json_literal(&record, "}");
}

const char *result_text(HeaderResult result) {
  switch (result) {
    case HeaderResult::written: return "written";
    case HeaderResult::not_written: return "not_written";
    case HeaderResult::unchanged: return "unchanged";
    case HeaderResult::listed: return "listed";
    case HeaderResult::as_wanted: return "as_wanted";
    case HeaderResult::differs: return "differs";
    case HeaderResult::skipped: return "skipped";
    case HeaderResult::passed_over: return "passed_over";
  }
  return "";
}

FieldCache operand_cache, file_cache, archive_cache, nested_cache;

void place_fields(const char *display_name) {
  const HeaderPlace &p = current_place;
  string_field("name", display_name);
  cached_string_field(&operand_cache, "operand", p.operand);
  cached_string_field(&file_cache, "file", p.file);
  cached_string_field(&archive_cache, "archive", p.archive);
  string_field("member", p.member, p.member_length);
  cached_string_field(&nested_cache, "nested_archive", p.nested_archive);
}

// What the fields of the last header written looked like: the members of
// an archive mostly have the same values.
struct HeaderFieldsCache {
  int elf_class = -1, data_encoding = -1;
  FieldValues before = {}, after = {};
  bool with_after = false;
  JsonBuffer text;
};

HeaderFieldsCache fields_cache;

void header_fields(const ElfHeader &header, bool with_after) {
  number_field("offset", current_place.offset);
  FieldValues before = values_of(header);
  FieldValues after = with_after ? values_after(header, header_settings()) : before;
  HeaderFieldsCache &c = fields_cache;
  if (c.elf_class == header.elf_class && c.data_encoding == header.data_encoding &&
      c.before == before && c.after == after && c.with_after == with_after) {
    json_raw(&record, c.text.data, c.text.length);
    return;
  }
  std::size_t start = record.length;
  json_literal(&record, ",\"class\":");
  json_number(&record, header.elf_class == ELFCLASS64 ? 64 : 32);
  json_literal(&record, ",\"byte_order\":");
  if (header.data_encoding == ELFDATA2MSB)
    json_literal(&record, "\"big\"");
  else
    json_literal(&record, "\"little\"");
  field_values(before, false);
  json_literal(&record, ",\"after\":");
  if (with_after)
    field_values(after, true);
  else
    null_value();
  c.elf_class = header.elf_class;
  c.data_encoding = header.data_encoding;
  c.before = before;
  c.after = after;
  c.with_after = with_after;
  c.text.length = 0;
  json_raw(&c.text, record.data + start, record.length - start);
}

// The output values the header does not hold, as a check names them.
void differ_field(const ElfHeader &header) {
  FieldValues found = values_of(header);
  FieldValues wanted = values_after(header, header_settings());
  const struct {
    const char *name;
    bool differs;
  } rows[] = {{"machine", found.machine != wanted.machine},
              {"type", found.type != wanted.type},
              {"osabi", found.osabi != wanted.osabi},
              {"abi_version", found.abi_version != wanted.abi_version},
              {"flags", found.flags != wanted.flags}};
  json_literal(&record, ",\"differ\":[");
  bool first = true;
  for (const auto &row : rows) {
    if (!row.differs) continue;
    if (!first) json_literal(&record, ",");
    first = false;
    json_literal(&record, "\"");
    json_raw(&record, row.name);
    json_literal(&record, "\"");
  }
  json_literal(&record, "]");
}

// The name an error line is about: the quoted path of an operand's
// messages, or the longest name of the current place the message starts
// with; otherwise the header being worked on, if any.
struct Subject {
  const char *text = nullptr;
  std::size_t length = 0;
};

bool ends_with(const char *text, std::size_t length, const char *suffix) {
  std::size_t n = std::strlen(suffix);
  return length >= n && std::memcmp(text + length - n, suffix, n) == 0;
}

Subject quoted_subject(const char *message, std::size_t length) {
  static const struct {
    const char *prefix, *suffix;
  } forms[] = {{"'", "': No such file\n"},
               {"'", "' is not an ordinary file\n"},
               {"Input file '", "' is not readable\n"}};
  for (const auto &form : forms) {
    std::size_t p = std::strlen(form.prefix), s = std::strlen(form.suffix);
    if (length >= p + s && std::strncmp(message, form.prefix, p) == 0 &&
        ends_with(message, length, form.suffix))
      return {message + p, length - p - s};
  }
  const char locate[] = "Could not locate '", reason[] = "'.  System error message: ";
  if (std::strncmp(message, locate, sizeof locate - 1) == 0) {
    const char *end = nullptr;
    for (const char *at = message; (at = std::strstr(at, reason)) != nullptr; ++at) end = at;
    if (end)
      return {message + sizeof locate - 1,
              static_cast<std::size_t>(end - message) - (sizeof locate - 1)};
  }
  return {};
}

Subject error_subject(const char *message, std::size_t length) {
  Subject subject = quoted_subject(message, length);
  if (subject.text) return subject;
  const HeaderPlace &p = current_place;
  const char *names[] = {p.display_name, p.file, p.archive, p.nested_archive, p.operand};
  for (const char *name : names) {
    if (!name) continue;
    std::size_t n = std::strlen(name);
    if (n <= subject.length || n + 2 > length || std::memcmp(message, name, n) != 0 ||
        message[n] != ':' || message[n + 1] != ' ')
      continue;
    subject = {name, n};
  }
  if (!subject.text && p.display_name) subject = {p.display_name, std::strlen(p.display_name)};
  return subject;
}

void write_error_record(const char *line, std::size_t length, const char *message, int cause) {
  std::size_t text_length = length > 0 && line[length - 1] == '\n' ? length - 1 : length;
  Subject subject = error_subject(message, std::strlen(message));
  begin_record("error");
  string_field("name", subject.text, subject.length);
  string_field("message", line, text_length);
  string_field("reason", cause ? std::strerror(cause) : nullptr);
  end_record();
}

// "1 file", "2 files".
struct Counted {
  char text[48];
};

Counted counted(std::uint64_t count, const char *noun) {
  Counted c;
  std::snprintf(c.text, sizeof c.text, "%" PRIu64 " %s%s", count, noun, count == 1 ? "" : "s");
  return c;
}

}  // namespace

void start_json_records(const RunOptions &options) {
  json_options = &options;
  set_error_observer(write_error_record);
}

void stop_json_records() {
  json_options = nullptr;
  set_error_observer(nullptr);
}

bool json_records_on() { return json_options != nullptr; }

bool json_records_dry_run() { return json_options && json_options->dry_run; }

void json_header_record(HeaderResult result, const char *display_name, const SkipCondition *skip,
                        const char *reason) {
  begin_record("header");
  json_literal(&record, ",\"result\":\"");
  json_raw(&record, result_text(result));
  json_literal(&record, "\"");
  place_fields(display_name);
  const ElfHeader *header = current_place.header;
  if (header) {
    bool with_after = has_output_value(json_options->settings) && result != HeaderResult::skipped &&
                      result != HeaderResult::listed;
    header_fields(*header, with_after);
  } else {
    json_literal(&record,
                 ",\"offset\":null,\"class\":null,\"byte_order\":null,\"machine\":null,"
                 "\"type\":null,\"osabi\":null,\"abi_version\":null,\"flags\":null,"
                 "\"after\":null");
  }
  if (header && (result == HeaderResult::as_wanted || result == HeaderResult::differs))
    differ_field(*header);
  else
    json_literal(&record, ",\"differ\":null");
  json_literal(&record, ",\"skipped\":");
  if (skip) {
    json_literal(&record, "{\"field\":\"");
    json_raw(&record, field_key(skip->field));
    json_literal(&record, "\",\"found\":");
    std::int32_t machine = header ? header->e_machine : 0;
    value_object(skip->field, skip->found, machine);
    json_literal(&record, ",\"wanted\":");
    value_object(skip->field, skip->wanted, machine, skip->mask);
    json_literal(&record, ",\"mask\":");
    if (skip->field == ListField::flags && skip->mask != UINT32_MAX)
      json_number(&record, skip->mask);
    else
      null_value();
    json_literal(&record, "}");
  } else {
    null_value();
  }
  string_field("reason", reason);
  end_record();
}

void json_summary_record(int exit_status, int signal) {
  const RunCounts &c = run_counts;
  begin_record("summary");
  number_field("files", c.files);
  number_field("archives", c.archives);
  number_field("members", c.members);
  number_field("headers", c.headers);
  number_field("edited", c.edited);
  number_field("listed", c.listed);
  number_field("checked", c.checked);
  number_field("differing", c.differing);
  number_field("skipped", c.skipped);
  number_field("passed_over", c.files_passed_over + c.thin_passed_over + c.members_passed_over);
  number_field("errors", error_count());
  key("exit_status");
  if (signal)
    null_value();
  else
    json_number(&record, static_cast<std::uint64_t>(exit_status));
  string_field("signal", signal ? interrupt_name(signal) : nullptr);
  end_record();
}

void print_check_count() {
  const RunCounts &c = run_counts;
  out_flush();
  std::fprintf(stderr, "%s: checked ", program_name);
  if (c.checked > 0) {
    std::fprintf(stderr, "%s in %s", counted(c.checked, "header").text,
                 counted(c.files_checked, "file").text);
    // Files that held no header checked (not ELF, skipped) are counted apart.
    if (c.files != c.files_checked) std::fprintf(stderr, " of %" PRIu64 " looked at", c.files);
    std::fprintf(stderr, ": %" PRIu64 " %s, %s\n", c.differing,
                 c.differing == 1 ? "differs" : "differ", counted(error_count(), "error").text);
    return;
  }
  // A check that checked nothing must not pass unnoticed: say what was met.
  std::fprintf(stderr,
               "no header in %s: passed over %s not ELF, %s, %s not ELF; %" PRIu64
               " skipped by an input condition; %s\n",
               counted(c.files, "file").text, counted(c.files_passed_over, "file").text,
               counted(c.thin_passed_over, "thin archive").text,
               counted(c.members_passed_over, "archive member").text, c.skipped,
               counted(error_count(), "error").text);
}

}  // namespace hdrtune
