// SPDX-License-Identifier: MIT
// json_records.cc - the run shown as JSON lines.
//
// Each record is one object on one line, built whole in a buffer and handed
// to the list's stream in one piece, so a signal never leaves half of one.
// Every text from a file system or an archive may hold any bytes: a string
// holds each byte that is not UTF-8 as U+FFFD, and then "KEY_hex" beside it
// gives the exact bytes.
#include "tool/json_records.h"

#include <cstring>
#include <initializer_list>

#include "runtime/process.h"
#include "runtime/standard_output.h"
#include "tool/flags_names.h"

namespace hdrtune {

namespace {

// Every name and key below is a literal: its length is known where it is
// written, and no byte of it needs an escape.
template <std::size_t N>
void raw_literal(JsonBuffer *record, const char (&text)[N]) {
  json_raw(record, text, N - 1);
}

static_assert(json_format_version == 1, "the records' opening names the format");

template <std::size_t N>
void begin_record(JsonBuffer *record, const char (&kind)[N]) {
  record->length = 0;
  raw_literal(record, "{\"format\":1,\"record\":\"");
  raw_literal(record, kind);
  raw_literal(record, "\"");
}

void end_record(JsonBuffer *record) {
  raw_literal(record, "}\n");
  out_write(record->data, record->length);
}

// ,"NAME": written as one piece: every record has a dozen keys.
template <std::size_t N>
void key(JsonBuffer *record, const char (&name)[N]) {
  constexpr std::size_t length = N - 1 + 4;
  if (record->capacity - record->length < length) json_grow(record, length);
  char *at = record->data + record->length;
  at[0] = ',';
  at[1] = '"';
  std::memcpy(at + 2, name, N - 1);
  at[N + 1] = '"';
  at[N + 2] = ':';
  record->length += length;
}

template <std::size_t N>
void string_field(JsonBuffer *record, const char (&name)[N], const char *bytes,
                  std::size_t length) {
  key(record, name);
  if (!bytes) return raw_literal(record, "null");
  if (json_string(record, bytes, length)) return;
  raw_literal(record, ",\"");
  raw_literal(record, name);
  raw_literal(record, "_hex\":");
  json_hex_string(record, bytes, length);
}

template <std::size_t N>
void string_field(JsonBuffer *record, const char (&name)[N], const char *text) {
  string_field(record, name, text, text ? std::strlen(text) : 0);
}

std::size_t length_of(const char *text) { return text ? std::strlen(text) : 0; }

// True when the cache was last given these bytes, or null as now.
bool cache_holds(const JsonFieldCache &cache, const char *bytes, std::size_t length) {
  return cache.valid && cache.is_null == !bytes && cache.bytes.length == length &&
         (length == 0 || std::memcmp(cache.bytes.data, bytes, length) == 0);
}

// cache_holds for a string whose length is not known: measured only as far
// as the one the cache holds.
bool cache_holds_string(const JsonFieldCache &cache, const char *text) {
  if (!cache.valid || cache.is_null != !text) return false;
  if (!text) return true;
  std::size_t length = cache.bytes.length;
  return (length == 0 || std::strncmp(cache.bytes.data, text, length) == 0) && text[length] == '\0';
}

// The field from the cache when it holds these bytes (`held`, as
// cache_holds found), else written and kept in the cache.
template <std::size_t N>
void cached_string_field(JsonBuffer *record, JsonFieldCache *cache, const char (&name)[N],
                         const char *bytes, std::size_t length, bool held) {
  if (held) return json_raw(record, cache->text.data, cache->text.length);
  std::size_t start = record->length;
  string_field(record, name, bytes, length);
  cache->valid = true;
  cache->is_null = !bytes;
  cache->bytes.length = cache->text.length = 0;
  if (bytes) json_raw(&cache->bytes, bytes, length);
  json_raw(&cache->text, record->data + start, record->length - start);
}

template <std::size_t N>
void cached_string_field(JsonBuffer *record, JsonFieldCache *cache, const char (&name)[N],
                         const char *bytes) {
  bool held = cache_holds_string(*cache, bytes);
  cached_string_field(record, cache, name, bytes, held ? 0 : length_of(bytes), held);
}

template <std::size_t N>
void number_field(JsonBuffer *record, const char (&name)[N], std::uint64_t value) {
  key(record, name);
  json_number(record, value);
}

// ,"fields":{"rvc":true,"float-abi":"double"},"other_bits":N: the names a
// whole flags word holds on e_machine. Neither key is there for a machine
// without named fields or for a part of a word compared under a mask, so
// that the records of such headers read as they always have.
void flags_fields(JsonBuffer *record, std::uint32_t flags, std::int32_t e_machine,
                  std::uint32_t mask) {
  DecodedFlags decoded;
  if (mask != UINT32_MAX || !decode_flags(flags, e_machine, &decoded)) return;
  json_literal(record, ",\"fields\":{");
  for (int i = 0; i < decoded.count; ++i) {
    json_raw(record, i > 0 ? ",\"" : "\"");
    json_raw(record, decoded.names[i].field);
    json_literal(record, "\":");
    if (!decoded.names[i].value) {
      json_literal(record, "true");
      continue;
    }
    json_literal(record, "\"");
    json_raw(record, decoded.names[i].value);
    json_literal(record, "\"");
  }
  json_literal(record, "},\"other_bits\":");
  json_number(record, decoded.other_bits);
}

// {"number":N,"name":"KEYWORD"}, the name null where the value has none;
// an OSABI is named as it is on e_machine, and flags get their fields.
void value_object(JsonBuffer *record, ListField field, std::int64_t value, std::int32_t e_machine,
                  std::uint32_t mask = UINT32_MAX) {
  json_literal(record, "{\"number\":");
  json_number(record, static_cast<std::uint64_t>(value));
  json_literal(record, ",\"name\":");
  const char *name = value_name(field, value, e_machine);
  if (name) {
    json_literal(record, "\"");
    json_raw(record, name);
    json_literal(record, "\"");
  } else {
    json_literal(record, "null");
  }
  if (field == ListField::flags)
    flags_fields(record, static_cast<std::uint32_t>(value), e_machine, mask);
  json_literal(record, "}");
}

// The five output fields of a header, as keys of the record or of an object.
void field_values(JsonBuffer *record, const ElfHeader &header, bool as_object) {
  bool first = as_object;
  for (ListField field : output_field_order) {
    json_raw(record, first ? "{\"" : ",\"");
    first = false;
    json_raw(record, field_key(field));
    json_literal(record, "\":");
    value_object(record, field, field_value(header, field), header.e_machine());
  }
  if (as_object) json_literal(record, "}");
}

bool same_fields(const ElfHeader &a, const ElfHeader &b) {
  return a.elf_class == b.elf_class && a.data_encoding == b.data_encoding &&
         same_output_fields(a, b);
}

// The output values the header does not hold, as a check names them.
void differ_field(JsonBuffer *record, const ElfHeader &found, const ElfHeader &after) {
  json_literal(record, ",\"differ\":[");
  const char *separator = "\"";
  for (ListField field : output_field_order) {
    if (field_value(found, field) == field_value(after, field)) continue;
    json_raw(record, separator);
    json_raw(record, field_key(field));
    json_literal(record, "\"");
    separator = ",\"";
  }
  json_literal(record, "]");
}

// A result's name and its length, so that a record copies it without a
// look for its end.
struct ResultName {
  const char *text;
  std::size_t length;
};

template <std::size_t N>
constexpr ResultName result_name(const char (&text)[N]) {
  return {text, N - 1};
}

ResultName result_text(HeaderResult result) {
  switch (result) {
    case HeaderResult::written: return result_name("written");
    case HeaderResult::not_written: return result_name("not_written");
    case HeaderResult::unchanged: return result_name("unchanged");
    case HeaderResult::listed: return result_name("listed");
    case HeaderResult::as_wanted: return result_name("as_wanted");
    case HeaderResult::differs: return result_name("differs");
    case HeaderResult::skipped: return result_name("skipped");
    case HeaderResult::passed_over: return result_name("passed_over");
  }
  return result_name("");
}

}  // namespace

JsonReporter::~JsonReporter() {
  JsonPathsCache &paths = paths_cache_;
  for (JsonFieldCache *c : {&paths.operand, &paths.file, &paths.archive, &nested_cache_}) {
    json_release(&c->bytes);
    json_release(&c->text);
  }
  json_release(&paths.text);
  json_release(&archive_text_.bytes);
  json_release(&archive_text_.text);
  json_release(&member_text_);
  json_release(&header_cache_.text);
  json_release(&record_);
}

// The operand, the file and the archive, from the text kept for the three
// when each is what it was the last time: the same over an archive's members.
void JsonReporter::path_fields(const HeaderPlace &p) {
  JsonPathsCache &c = paths_cache_;
  bool operand_held = cache_holds_string(c.operand, p.operand);
  // The file is most often the operand itself: then it is held where the
  // operand is, when the two kept were the same.
  bool file_is_operand = p.file == p.operand && c.file_is_operand;
  bool file_held = file_is_operand ? operand_held : cache_holds_string(c.file, p.file);
  bool archive_held = cache_holds_string(c.archive, p.archive);
  // The three fields' caches change only together with the text.
  if (operand_held && file_held && archive_held)
    return json_raw(&record_, c.text.data, c.text.length);
  std::size_t start = record_.length;
  cached_string_field(&record_, &c.operand, "operand", p.operand, length_of(p.operand),
                      operand_held);
  cached_string_field(&record_, &c.file, "file", p.file, length_of(p.file), file_held);
  cached_string_field(&record_, &c.archive, "archive", p.archive, length_of(p.archive),
                      archive_held);
  c.file_is_operand = cache_holds(c.file, c.operand.is_null ? nullptr : c.operand.bytes.data,
                                  c.operand.bytes.length);
  c.text.length = 0;
  json_raw(&c.text, record_.data + start, record_.length - start);
}

// The length of the archive's path in a member's name "ARCHIVE(MEMBER)",
// or 0 when the name is not of that form.
std::size_t archive_part(const char *name, std::size_t length, const HeaderPlace &p) {
  std::size_t member = p.member_length;
  if (!p.member || length < member + 3 || name[length - 1] != ')') return 0;
  std::size_t archive = length - member - 2;
  if (name[archive] != '(' || std::memcmp(name + archive + 1, p.member, member) != 0) return 0;
  return archive;
}

// The archive's path as a JSON string, kept while the names start with it;
// a path that is not UTF-8 is not kept.
bool keep_archive_text(JsonFieldCache *cache, const char *name, std::size_t length,
                       const char *archive) {
  if (cache->valid && cache->bytes.length == length &&
      std::memcmp(cache->bytes.data, name, length) == 0)
    return true;
  if (!archive || std::strlen(archive) != length || std::memcmp(archive, name, length) != 0)
    return false;
  cache->bytes.length = cache->text.length = 0;
  json_raw(&cache->bytes, archive, length);
  cache->valid = json_string(&cache->text, archive, length);
  return cache->valid;
}

// A member's name made from its archive's text and its own: the same text
// as the name's own, without looking at the archive's bytes again.
bool JsonReporter::name_from_parts(const HeaderPlace &p, bool member_exact) {
  if (!member_exact || !p.display_name) return false;
  std::size_t length = std::strlen(p.display_name);
  std::size_t archive = archive_part(p.display_name, length, p);
  if (archive == 0 || !keep_archive_text(&archive_text_, p.display_name, archive, p.archive))
    return false;
  const JsonBuffer &text = archive_text_.text, &member = member_text_;
  key(&record_, "name");
  json_raw(&record_, text.data, text.length - 1);
  json_literal(&record_, "(");
  json_raw(&record_, member.data + 1, member.length - 2);
  json_literal(&record_, ")\"");
  return true;
}

void JsonReporter::place_fields(const HeaderPlace &p) {
  member_text_.length = 0;
  bool member_exact = p.member && json_string(&member_text_, p.member, p.member_length);
  if (!name_from_parts(p, member_exact)) string_field(&record_, "name", p.display_name);
  path_fields(p);
  if (member_exact) {
    key(&record_, "member");
    json_raw(&record_, member_text_.data, member_text_.length);
  } else {
    string_field(&record_, "member", p.member, p.member_length);
  }
  // Only a member of a thin archive's nested archive has one.
  if (!p.nested_archive) return raw_literal(&record_, ",\"nested_archive\":null");
  cached_string_field(&record_, &nested_cache_, "nested_archive", p.nested_archive);
}

void JsonReporter::header_fields(const ElfHeader &header, const ElfHeader *after) {
  JsonHeaderCache &c = header_cache_;
  bool with_after = after != nullptr;
  const ElfHeader &shown_after = with_after ? *after : header;
  if (c.valid && c.with_after == with_after && same_fields(c.before, header) &&
      same_fields(c.after, shown_after)) {
    json_raw(&record_, c.text.data, c.text.length);
    return;
  }
  std::size_t start = record_.length;
  json_literal(&record_, ",\"class\":");
  json_number(&record_, header.elf_class == ELFCLASS64 ? 64 : 32);
  if (header.data_encoding == ELFDATA2MSB)
    json_literal(&record_, ",\"byte_order\":\"big\"");
  else
    json_literal(&record_, ",\"byte_order\":\"little\"");
  field_values(&record_, header, false);
  json_literal(&record_, ",\"after\":");
  if (with_after)
    field_values(&record_, *after, true);
  else
    json_literal(&record_, "null");
  c = {header, shown_after, with_after, true, c.text};
  c.text.length = 0;
  json_raw(&c.text, record_.data + start, record_.length - start);
}

void JsonReporter::skip_field(const SkipCondition *skip, std::int32_t machine) {
  json_literal(&record_, ",\"skipped\":");
  if (!skip) return json_literal(&record_, "null");
  json_literal(&record_, "{\"field\":\"");
  json_raw(&record_, field_key(skip->field));
  json_literal(&record_, "\",\"found\":");
  value_object(&record_, skip->field, skip->found, machine);
  json_literal(&record_, ",\"wanted\":");
  value_object(&record_, skip->field, skip->wanted, machine, skip->mask);
  json_literal(&record_, ",\"mask\":");
  if (skip->field == ListField::flags && skip->mask != UINT32_MAX)
    json_number(&record_, skip->mask);
  else
    json_literal(&record_, "null");
  json_literal(&record_, "}");
}

// A record of the place's header; after, skip and reason where the result
// has them.
void JsonReporter::header_record(HeaderResult result, const HeaderPlace &place,
                                 const ElfHeader *after, const SkipCondition *skip,
                                 const char *reason) {
  begin_record(&record_, "header\",\"result\":");
  ResultName name = result_text(result);
  json_raw(&record_, name.text, name.length);
  json_literal(&record_, "\"");
  place_fields(place);
  const ElfHeader *header = place.header;
  if (header) {
    number_field(&record_, "offset", place.offset);
    header_fields(*header, after);
  } else {
    json_literal(&record_,
                 ",\"offset\":null,\"class\":null,\"byte_order\":null,\"machine\":null,"
                 "\"type\":null,\"osabi\":null,\"abi_version\":null,\"flags\":null,"
                 "\"after\":null");
  }
  bool with_differ =
      header && (result == HeaderResult::as_wanted || result == HeaderResult::differs);
  // Most records end with none of the three: their end is one literal.
  if (!with_differ && !skip && !reason) {
    json_literal(&record_, ",\"differ\":null,\"skipped\":null,\"reason\":null");
    return end_record(&record_);
  }
  if (with_differ)
    differ_field(&record_, *header, *after);
  else
    json_literal(&record_, ",\"differ\":null");
  skip_field(skip, header ? header->e_machine() : 0);
  string_field(&record_, "reason", reason);
  end_record(&record_);
}

// Where output values were asked, an unchanged header's record shows them
// as already held.
void JsonReporter::unchanged(const HeaderPlace &place) {
  bool with_after = has_output_value(settings_);
  header_record(HeaderResult::unchanged, place, with_after ? place.header : nullptr);
}

void JsonReporter::passed_over(const HeaderPlace &place, const char *why) {
  header_record(HeaderResult::passed_over, place, nullptr, nullptr, why);
}

// A condition no single value states is said in words, as the reason.
void JsonReporter::skipped(const HeaderPlace &place, const SkipCondition &skip) {
  if (skip.why) return header_record(HeaderResult::skipped, place, nullptr, nullptr, skip.why);
  header_record(HeaderResult::skipped, place, nullptr, &skip);
}

void JsonReporter::listed(const HeaderPlace &place) {
  header_record(HeaderResult::listed, place, nullptr);
}

void JsonReporter::changed(const HeaderPlace &place, const ElfHeader &after) {
  header_record(dry_run_ ? HeaderResult::not_written : HeaderResult::written, place, &after);
}

void JsonReporter::checked(const HeaderPlace &place, const ElfHeader &after, bool differs) {
  header_record(differs ? HeaderResult::differs : HeaderResult::as_wanted, place, &after);
}

void JsonReporter::failure_written(const Failure &failure, const char *line, std::size_t length) {
  std::size_t text_length = length > 0 && line[length - 1] == '\n' ? length - 1 : length;
  begin_record(&record_, "error");
  string_field(&record_, "name", failure.subject, failure.subject_length);
  string_field(&record_, "message", line, text_length);
  string_field(&record_, "reason", failure.cause ? std::strerror(failure.cause) : nullptr);
  end_record(&record_);
}

void JsonReporter::summary(int exit_status, int signal) {
  const RunCounts &c = counts;
  begin_record(&record_, "summary");
  number_field(&record_, "files", c.files);
  number_field(&record_, "archives", c.archives);
  number_field(&record_, "members", c.members);
  number_field(&record_, "headers", c.headers);
  number_field(&record_, "edited", c.edited);
  number_field(&record_, "listed", c.listed);
  number_field(&record_, "checked", c.checked);
  number_field(&record_, "differing", c.differing);
  number_field(&record_, "skipped", c.skipped);
  number_field(&record_, "passed_over",
               c.files_passed_over + c.thin_passed_over + c.members_passed_over);
  number_field(&record_, "errors", c.errors);
  key(&record_, "exit_status");
  if (signal)
    json_literal(&record_, "null");
  else
    json_number(&record_, static_cast<std::uint64_t>(exit_status));
  string_field(&record_, "signal", signal ? interrupt_name(signal) : nullptr);
  end_record(&record_);
}

}  // namespace hdrtune
