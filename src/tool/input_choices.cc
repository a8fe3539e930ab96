// SPDX-License-Identifier: MIT
// input_choices.cc - an input condition given as alternatives.
#include "tool/input_choices.h"

#include <cstring>

#include "support/diagnostics.h"

namespace hdrtune {

namespace {

// One keyword of the list, as the lookups take it: NUL-terminated. No
// keyword is this long; a longer word is cut, and so refused as unknown.
struct Word {
  char text[64];
};

Word word_at(const char *start, std::size_t length) {
  Word w = {};
  std::memcpy(w.text, start, length < sizeof w.text ? length : sizeof w.text - 1);
  return w;
}

bool lookup_one(FailureSink &failures, HeaderField field, const char *keyword, Target *target) {
  *target = {};
  switch (field) {
    case HeaderField::machine: return lookup_target(failures, keyword, target);
    case HeaderField::type: return (target->e_machine = lookup_type(failures, keyword)) != -1;
    case HeaderField::osabi: return (target->e_machine = lookup_osabi(failures, keyword)) != -1;
    case HeaderField::abi_version:
      return (target->e_machine = lookup_abi_version(failures, keyword)) != -1;
    case HeaderField::flags: break;
  }
  return false;
}

}  // namespace

bool lookup_input_choices(FailureSink &failures, HeaderField field, const char *text,
                          InputChoices *choices) {
  *choices = {};
  choices->text = text;
  for (const char *start = text;;) {
    const char *comma = std::strchr(start, ',');
    std::size_t length = comma ? static_cast<std::size_t>(comma - start) : std::strlen(start);
    if (choices->count == max_input_choices) {
      fail(failures, nullptr, 0, "Too many alternatives: %s\n", text);
      return false;
    }
    if (!lookup_one(failures, field, word_at(start, length).text,
                    &choices->targets[choices->count++]))
      return false;
    if (!comma) return true;
    start = comma + 1;
  }
}

// Only the value is compared, except that a target name also asks for the
// class and byte order it implies.
bool meets_any_choice(HeaderField field, const InputChoices &choices, const ElfHeader &header) {
  if (!choices.text) return true;
  for (int i = 0; i < choices.count; ++i) {
    const Target &t = choices.targets[i];
    if (static_cast<std::uint32_t>(t.e_machine) != header.value(field)) continue;
    if (field != HeaderField::machine) return true;
    bool class_fits = t.elf_class == either_class || t.elf_class == header.elf_class;
    bool order_fits = t.data_encoding == any_byte_order || t.data_encoding == header.data_encoding;
    if (class_fits && order_fits) return true;
  }
  return false;
}

}  // namespace hdrtune
