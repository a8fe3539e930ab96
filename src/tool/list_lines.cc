// SPDX-License-Identifier: MIT
// list_lines.cc - the run shown as text. A value is shown by the name
// target_names gives it, or as its number when it has none; flags in
// hexadecimal.
#include "tool/list_lines.h"

#include <cstdint>
#include <cstring>
#include <initializer_list>

#include "runtime/char_class.h"
#include "runtime/json_text.h"
#include "runtime/standard_output.h"

namespace hdrtune {

namespace {

void append(JsonBuffer *line, const char *text) { json_raw(line, text, std::strlen(text)); }

void append_all(JsonBuffer *line, std::initializer_list<const char *> pieces) {
  for (const char *piece : pieces) append(line, piece);
}

// A byte a line writes as an escape: a control byte, and a backslash, so
// that the escapes can be told from the name's bytes.
bool needs_escape(char c) {
  auto byte = static_cast<unsigned char>(c);
  return byte < 0x20 || byte == 0x7f || c == '\\';
}

// True when any of the eight bytes needs an escape: one below 0x20, 0x7f
// or a backslash (a zero byte of w ^ byte marks that byte).
bool word_needs_escape(std::uint64_t w) {
  constexpr std::uint64_t ones = 0x0101010101010101, highs = 0x8080808080808080;
  std::uint64_t del = w ^ (ones * 0x7f), backslash = w ^ (ones * '\\');
  std::uint64_t below_space = (w - ones * 0x20) & ~w;
  return ((below_space | ((del - ones) & ~del) | ((backslash - ones) & ~backslash)) & highs) != 0;
}

// Names seldom need an escape: eight bytes are looked at in one step.
bool name_needs_escape(const char *name, std::size_t length) {
  std::size_t at = 0;
  for (; at + 8 <= length; at += 8) {
    std::uint64_t word;
    std::memcpy(&word, name + at, 8);
    if (word_needs_escape(word)) return true;
  }
  // The last few bytes as the last eight, looked at once more in one step.
  if (at < length && length >= 8) {
    std::uint64_t word;
    std::memcpy(&word, name + length - 8, 8);
    return word_needs_escape(word);
  }
  for (; at < length; ++at)
    if (needs_escape(name[at])) return true;
  return false;
}

bool starts_with(const char *name, std::size_t length, const char *prefix,
                 std::size_t prefix_length) {
  return prefix_length <= length && std::memcmp(name, prefix, prefix_length) == 0;
}

// How many leading bytes of the name are known to need no escape: those of
// its archive's path, looked at when the path differs from the last one kept.
std::size_t clean_prefix_length(KnownPrefix *known, const HeaderPlace &place, const char *name,
                                std::size_t length) {
  if (!place.archive) return 0;
  JsonBuffer &text = known->text;
  if (text.length == 0 || !starts_with(name, length, text.data, text.length)) {
    std::size_t archive_length = std::strlen(place.archive);
    if (!starts_with(name, length, place.archive, archive_length)) return 0;
    text.length = 0;
    json_raw(&text, place.archive, archive_length);
    known->needs_escape = name_needs_escape(place.archive, archive_length);
  }
  return known->needs_escape ? 0 : text.length;
}

// Writes the name with each byte that needs it as an escape.
void append_escaped(JsonBuffer *line, const char *name) {
  const char *plain = name;
  for (const char *c = name; *c; ++c) {
    if (!needs_escape(*c)) continue;
    json_raw(line, plain, static_cast<std::size_t>(c - plain));
    append(line, *c == '\\' ? "\\\\" : control_byte_escape(*c).text);
    plain = c + 1;
  }
  append(line, plain);
}

// Ends the line and hands it to the standard output in one piece.
void end_line(JsonBuffer *line) {
  json_raw(line, "\n", 1);
  out_write(line->data, line->length);
}

// A value as a line shows it; every line shows a value through this. A
// flags word under a mask is a part of one, shown as a number alone.
void append_value(JsonBuffer *line, ListField field, std::int64_t value, std::int32_t machine,
                  std::uint32_t mask = UINT32_MAX) {
  const char *name = value_name(field, value, machine);
  append(line, name ? name : value_text(field, value, machine, mask).text);
}

// The settings the header was judged by: its own where flags given by name
// were resolved for its machine.
const HeaderEditSettings &settings_for(const HeaderPlace &place, const HeaderEditSettings &run) {
  return place.settings ? *place.settings : run;
}

// ", mask MASK" after flags compared under a mask that leaves bits out.
void append_mask(JsonBuffer *line, ListField field, std::uint32_t mask, const char *before,
                 const char *after) {
  if (field != ListField::flags || mask == UINT32_MAX) return;
  append_all(line, {before, "mask "});
  append_value(line, ListField::flags, mask, 0);
  append(line, after);
}

// Ends the line with the tail kept for the same values, if there is one.
bool reuse_tail(JsonBuffer *line, const LineTail &tail, const ElfHeader &before,
                const ElfHeader &after) {
  if (!tail.valid || !same_output_fields(tail.before, before) ||
      !same_output_fields(tail.after, after))
    return false;
  json_raw(line, tail.text.data, tail.text.length);
  end_line(line);
  return true;
}

// Keeps what the line holds from `start` on as the tail for these values,
// and ends the line.
void keep_tail(JsonBuffer *line, std::size_t start, LineTail *tail, const ElfHeader &before,
               const ElfHeader &after) {
  tail->text.length = 0;
  json_raw(&tail->text, line->data + start, line->length - start);
  tail->before = before;
  tail->after = after;
  tail->valid = true;
  end_line(line);
}

}  // namespace

TextReporter::~TextReporter() {
  json_release(&line_);
  for (LineTail *tail : {&listed_tail_, &changed_tail_, &checked_tail_}) json_release(&tail->text);
  json_release(&archive_prefix_.text);
}

// Starts the line with the name and ": ". One line per header, and nothing
// a terminal acts on: each byte that needs it is written as an escape.
void TextReporter::start_line(const HeaderPlace &place) {
  const char *name = place.display_name;
  line_.length = 0;
  // An empty piece is copied to the buffer as well: it must have one.
  if (!line_.data) json_grow(&line_, 256);
  std::size_t length = std::strlen(name);
  std::size_t known = clean_prefix_length(&archive_prefix_, place, name, length);
  if (name_needs_escape(name + known, length - known))
    append_escaped(&line_, name);
  else
    json_raw(&line_, name, length);
  json_literal(&line_, ": ");
}

void TextReporter::unchanged(const HeaderPlace &place) {
  start_line(place);
  append(&line_, "unchanged");
  end_line(&line_);
}

void TextReporter::passed_over(const HeaderPlace &place, const char *why) {
  start_line(place);
  append_all(&line_, {"passed over (", why, ")"});
  end_line(&line_);
}

void TextReporter::skipped(const HeaderPlace &place, const SkipCondition &skip) {
  std::int32_t machine = place.header->e_machine();
  start_line(place);
  if (skip.why) {
    append_all(&line_, {"skipped (", skip.why, ")"});
    return end_line(&line_);
  }
  append_all(&line_, {"skipped (", field_text_name(skip.field), " "});
  append_value(&line_, skip.field, skip.found, machine);
  append(&line_, ", wanted ");
  append_value(&line_, skip.field, skip.wanted, machine, skip.mask);
  append_mask(&line_, skip.field, skip.mask, ", ", "");
  append(&line_, ")");
  end_line(&line_);
}

// The ABI version and, on most machines, the flags are 0 in nearly every
// object: a listing names them only where they are not, so that the lines of
// ordinary files stay short.
void TextReporter::listed(const HeaderPlace &place) {
  const ElfHeader &header = *place.header;
  start_line(place);
  if (reuse_tail(&line_, listed_tail_, header, header)) return;
  std::size_t start = line_.length;
  const char *separator = "";
  for (ListField field : output_field_order) {
    std::int64_t value = field_value(header, field);
    bool always = field != ListField::abi_version && field != ListField::flags;
    if (!always && value == 0) continue;
    append_all(&line_, {separator, field_text_name(field), " "});
    append_value(&line_, field, value, header.e_machine());
    separator = ", ";
  }
  keep_tail(&line_, start, &listed_tail_, header, header);
}

void TextReporter::changed(const HeaderPlace &place, const ElfHeader &after) {
  const ElfHeader &before = *place.header;
  start_line(place);
  if (reuse_tail(&line_, changed_tail_, before, after)) return;
  std::size_t start = line_.length;
  const char *separator = "";
  const HeaderEditSettings &s = settings_for(place, settings_);
  for (ListField field : output_field_order) {
    if (!output_asked(s, field)) continue;
    append_all(&line_, {separator, field_text_name(field), " "});
    append_value(&line_, field, field_value(before, field), before.e_machine());
    append(&line_, " -> ");
    append_value(&line_, field, field_value(after, field), after.e_machine());
    separator = ", ";
  }
  keep_tail(&line_, start, &changed_tail_, before, after);
}

void TextReporter::checked(const HeaderPlace &place, const ElfHeader &after, bool differs) {
  start_line(place);
  if (!differs) {
    append(&line_, "as wanted");
    return end_line(&line_);
  }
  const ElfHeader &found = *place.header;
  if (reuse_tail(&line_, checked_tail_, found, after)) return;
  std::size_t start = line_.length;
  const char *separator = "";
  const HeaderEditSettings &s = settings_for(place, settings_);
  for (ListField field : output_field_order) {
    if (field_value(found, field) == field_value(after, field)) continue;
    // A flags value asked under a mask is shown as asked, with its mask;
    // one asked by name as the whole word it would make, decoded.
    bool as_asked = field == ListField::flags && !s.output_flags_names;
    std::uint32_t mask = as_asked ? s.output[HeaderField::flags].mask : UINT32_MAX;
    append_all(&line_, {separator, field_text_name(field), " "});
    append_value(&line_, field, field_value(found, field), found.e_machine());
    append(&line_, ", wanted ");
    append_value(&line_, field,
                 as_asked ? s.output[HeaderField::flags].value : field_value(after, field),
                 after.e_machine(), mask);
    append_mask(&line_, field, mask, " (", ")");
    separator = "; ";
  }
  keep_tail(&line_, start, &checked_tail_, found, after);
}

}  // namespace hdrtune
