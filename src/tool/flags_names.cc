// SPDX-License-Identifier: MIT
// flags_names.cc - the flags word (e_flags) by name.
#include "tool/flags_names.h"

#include <strings.h>

#include <cstdio>
#include <cstring>
#include <iterator>

#include "support/diagnostics.h"
#include "tool/target_names.h"

namespace hdrtune {

namespace {

constexpr FlagsGuard always = FlagsGuard::always;
constexpr FlagsGuard arm_eabi5 = FlagsGuard::arm_eabi5;
constexpr FlagsGuard arm_eabi0 = FlagsGuard::arm_eabi0;

const FlagsName name_rows[] = {
#define FLAGS(e_machine, field, value, mask, bits, mask_name, bits_name, when) \
  {e_machine, field, value, mask, bits, when},
#include "tool/flags_names.def"
#undef FLAGS
};

// ARM's EABI version is the top byte; its float bits meant something else
// before version 5.
bool guard_holds(FlagsGuard when, std::uint32_t flags) {
  switch (when) {
    case FlagsGuard::always: return true;
    case FlagsGuard::arm_eabi5: return (flags & 0xff000000) == 0x05000000;
    case FlagsGuard::arm_eabi0: return (flags & 0xff000000) == 0;
  }
  return false;
}

bool is_one_bit(const FlagsName &row) { return row.value[0] == '\0'; }

// One setting of a comma-separated list, as typed.
struct Setting {
  const char *text;
  std::size_t length;
};

bool same_text(const char *name, const char *text, std::size_t length) {
  return std::strlen(name) == length && strncasecmp(name, text, length) == 0;
}

// The row a setting names on `e_machine` (any machine when -1), and whether
// the setting clears the bit; null when none.
const FlagsName *row_for(const Setting &s, std::int32_t e_machine, bool *clears) {
  const char *equals = static_cast<const char *>(std::memchr(s.text, '=', s.length));
  for (const FlagsName &row : name_rows) {
    if (e_machine != -1 && row.e_machine != e_machine) continue;
    *clears = false;
    if (equals) {
      std::size_t field_length = static_cast<std::size_t>(equals - s.text);
      if (!is_one_bit(row) && same_text(row.field, s.text, field_length) &&
          same_text(row.value, equals + 1, s.length - field_length - 1))
        return &row;
    } else if (is_one_bit(row) && same_text(row.field, s.text, s.length)) {
      return &row;
    } else if (is_one_bit(row) && s.length > 3 && strncasecmp(s.text, "no-", 3) == 0 &&
               same_text(row.field, s.text + 3, s.length - 3)) {
      *clears = true;
      return &row;
    }
  }
  return nullptr;
}

// Steps through the comma-separated settings of a list.
bool next_setting(const char **cursor, Setting *s) {
  if (!*cursor) return false;
  const char *comma = std::strchr(*cursor, ',');
  s->text = *cursor;
  s->length = comma ? static_cast<std::size_t>(comma - *cursor) : std::strlen(*cursor);
  *cursor = comma ? comma + 1 : nullptr;
  return true;
}

}  // namespace

FlagsNameRange flags_names() { return {name_rows, std::size(name_rows)}; }

bool check_flags_settings(FailureSink &failures, const char *text) {
  const char *cursor = text;
  Setting s;
  bool clears;
  while (next_setting(&cursor, &s))
    if (!row_for(s, -1, &clears)) {
      fail(failures, nullptr, 0, "Unknown flags: %.*s\n", static_cast<int>(s.length), s.text);
      return false;
    }
  return true;
}

bool lookup_flags_setting(FailureSink &failures, const char *text, MaskedValue *flags,
                          const char **names) {
  if (parse_flags_number(text, flags)) {
    *names = nullptr;
    return true;
  }
  if (!check_flags_settings(failures, text)) return false;
  *flags = {};
  *names = text;
  return true;
}

// One option's settings resolved on the header's machine; a setting the
// machine lacks is kept to be named when the header is judged.
static void resolve_for_header(const char *names, std::int32_t e_machine, MaskedValue *flags,
                               FlagsSetting *missing) {
  if (!names) return;
  if (!resolve_flags_settings(names, e_machine, flags, &missing->text, &missing->length))
    *flags = {};
}

void resolve_flags_for_machine(HeaderEditSettings *settings, std::int32_t e_machine) {
  HeaderEditSettings &s = *settings;
  resolve_for_header(s.input_flags_names, e_machine, &s.input[HeaderField::flags],
                     &s.input_flags_missing);
  resolve_for_header(s.output_flags_names, e_machine, &s.output[HeaderField::flags],
                     &s.output_flags_missing);
}

bool resolve_flags_settings(const char *text, std::int32_t e_machine, MaskedValue *flags,
                            const char **missing, std::size_t *missing_length) {
  *flags = {true, 0, 0};
  const char *cursor = text;
  Setting s;
  bool clears;
  while (next_setting(&cursor, &s)) {
    const FlagsName *row = row_for(s, e_machine, &clears);
    if (!row) {
      *missing = s.text;
      *missing_length = s.length;
      return false;
    }
    // A later setting of the same bits wins.
    flags->value = (flags->value & ~row->mask) | (clears ? 0 : row->bits);
    flags->mask |= row->mask;
  }
  return true;
}

bool decode_flags(std::uint32_t flags, std::int32_t e_machine, DecodedFlags *decoded) {
  bool named = false;
  std::uint32_t covered = 0;
  decoded->count = 0;
  for (const FlagsName &row : name_rows) {
    // A machine's rows stand together: past them, nothing more is named.
    if (row.e_machine != e_machine) {
      if (named) break;
      continue;
    }
    named = true;
    if (!guard_holds(row.when, flags) || (flags & row.mask) != row.bits) continue;
    covered |= row.mask;
    if (decoded->count < static_cast<int>(std::size(decoded->names)))
      decoded->names[decoded->count++] = {row.field, is_one_bit(row) ? nullptr : row.value};
  }
  decoded->other_bits = flags & ~covered;
  return named;
}

DecodedFlagsText decoded_flags_text(std::uint32_t flags, std::int32_t e_machine) {
  DecodedFlagsText out = {};
  DecodedFlags decoded;
  if (!decode_flags(flags, e_machine, &decoded)) return out;
  std::size_t used = 0;
  auto add = [&](const char *format, const char *a, const char *b) {
    if (used >= sizeof out.text) return;
    int n = std::snprintf(out.text + used, sizeof out.text - used, format, used == 0 ? " (" : ", ",
                          a, b);
    if (n > 0) used += static_cast<std::size_t>(n);
  };
  for (int i = 0; i < decoded.count; ++i) {
    const DecodedFlag &d = decoded.names[i];
    add(d.value ? "%s%s=%s" : "%s%s%s", d.field, d.value ? d.value : "");
  }
  char number[16];
  std::snprintf(number, sizeof number, "0x%x", decoded.other_bits);
  if (decoded.other_bits != 0) add("%s%s%s", number, "");
  if (used > 0 && used + 1 < sizeof out.text) out.text[used] = ')';
  return out;
}

}  // namespace hdrtune
