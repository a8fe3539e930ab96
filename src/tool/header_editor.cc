// header_editor.cc - check and rewrite one ELF file header in place.
//
// The header is read whole (16 identification bytes, then 36 or 48 more),
// checked against the settings, patched in its stored image and written back
// over itself; nothing else of the file is read or written.
#include "tool/header_editor.h"

#include <cstdio>
#include <cstring>

#include "support/byte_codec.h"
#include "support/diagnostics.h"
#include "tool/target_names.h"

namespace hdrtune {

HeaderEditSettings settings;
PreviewSettings preview;

bool has_output_value(const HeaderEditSettings &s) {
  return s.output_machine != -1 || s.output_type != -1 || s.output_osabi != -1;
}
unsigned char header_image32[ELF32_HEADER_SIZE];
unsigned char header_image64[ELF64_HEADER_SIZE];
DecodedElfHeader decoded_header;

namespace {

// Where each field after e_ident lies in the stored header, per class.
struct FieldLayout {
  int entry, phoff, shoff, flags, ehsize;  // e_ehsize and the five after it are 2 bytes
  int address_width;
};
constexpr FieldLayout layout32 = {24, 28, 32, 36, 40, 4};
constexpr FieldLayout layout64 = {24, 32, 40, 48, 52, 8};

void decode_header(const unsigned char *image, const FieldLayout &at) {
  DecodedElfHeader &h = decoded_header;
  h.e_type = static_cast<std::uint16_t>(field_get(image + E_TYPE_OFFSET, 2));
  h.e_machine = static_cast<std::uint16_t>(field_get(image + E_MACHINE_OFFSET, 2));
  h.e_version = field_get(image + E_VERSION_OFFSET, 4);
  h.e_entry = field_get(image + at.entry, at.address_width);
  h.e_phoff = field_get(image + at.phoff, at.address_width);
  h.e_shoff = field_get(image + at.shoff, at.address_width);
  h.e_flags = field_get(image + at.flags, 4);
  std::uint32_t *halves[] = {&h.e_ehsize, &h.e_phentsize, &h.e_phnum,
                             &h.e_shentsize, &h.e_shnum, &h.e_shstrndx};
  for (int i = 0; i < 6; ++i)
    *halves[i] = static_cast<std::uint32_t>(field_get(image + at.ehsize + 2 * i, 2));
}

void report_too_small(const char *display_name) {
  report_error("%s: member is too small to hold an ELF header\n", display_name);
}

// Reads the rest of the header into the class's image and decodes it.
// Returns the image, or null when the class is unsupported or the read fails.
unsigned char *read_header(const char *display_name, PositionedFile *stream,
                           std::uint64_t offset, std::uint64_t size_limit, int *header_size) {
  int elf_class = decoded_header.e_ident[EI_CLASS];
  unsigned char *image;
  const FieldLayout *layout;
  if (elf_class == ELFCLASS32) {
    image = header_image32, layout = &layout32, *header_size = ELF32_HEADER_SIZE;
  } else if (elf_class == ELFCLASS64) {
    image = header_image64, layout = &layout64, *header_size = ELF64_HEADER_SIZE;
  } else {
    report_error("Unsupported EI_CLASS: %d\n", elf_class);
    report_error("%s: Failed to read ELF header\n", display_name);
    return nullptr;
  }
  if (static_cast<std::uint64_t>(*header_size) > size_limit) {
    report_too_small(display_name);
    return nullptr;
  }
  std::size_t got = 0;
  if (file_read(stream, offset + EI_NIDENT, image + EI_NIDENT, *header_size - EI_NIDENT, &got) !=
      ReadOutcome::whole) {
    report_error("%s: Failed to read ELF header\n", display_name);
    return nullptr;
  }
  decode_header(image, *layout);
  std::memcpy(image, decoded_header.e_ident, EI_NIDENT);
  return image;
}

// A check passes when the setting is -1 (not given) or equals the header's value.
bool matches(std::int32_t setting, int header_value) {
  return setting == -1 || setting == header_value;
}

bool class_matches(std::int32_t selector, int elf_class) {
  return selector == either_class || selector == elf_class;
}

// A value as the list lines write it: its first keyword, or its number.
struct ValueText {
  char text[24];
};

ValueText value_text(const char *keyword, unsigned value) {
  ValueText v;
  if (keyword)
    std::snprintf(v.text, sizeof v.text, "%s", keyword);
  else
    std::snprintf(v.text, sizeof v.text, "%u", value);
  return v;
}

ValueText machine_text(unsigned value) { return value_text(machine_keyword(value), value); }
ValueText type_text(unsigned value) { return value_text(type_keyword(value), value); }
ValueText osabi_text(unsigned value) { return value_text(osabi_keyword(value), value); }
ValueText class_text(unsigned value) {
  return value_text(value == ELFCLASS32 ? "ELFCLASS32" : value == ELFCLASS64 ? "ELFCLASS64" : nullptr,
                    value);
}

// Starts a list line with the name and ": ". One line per header: a newline,
// a carriage return or a backslash in the name is written as an escape.
void print_list_name(const char *name) {
  if (!std::strpbrk(name, "\n\r\\")) {
    std::fputs(name, stdout);
  } else {
    for (const char *c = name; *c; ++c) {
      if (*c == '\n')
        std::fputs("\\n", stdout);
      else if (*c == '\r')
        std::fputs("\\r", stdout);
      else if (*c == '\\')
        std::fputs("\\\\", stdout);
      else
        std::putchar(*c);
    }
  }
  std::fputs(": ", stdout);
}

enum class CheckResult { passed, refused, skipped };

// With --skip-unmatched, a header that an input condition the user gave
// refuses is left as it is: no error, only a line in the list.
CheckResult skip(const char *display_name, const char *field, const ValueText &found,
                 const ValueText &wanted) {
  if (preview.list) {
    print_list_name(display_name);
    std::printf("skipped (%s %s, wanted %s)\n", field, found.text, wanted.text);
  }
  return CheckResult::skipped;
}

// The input conditions, in their fixed order; reports the first that fails.
CheckResult check_header(const char *display_name) {
  const unsigned char *ident = decoded_header.e_ident;
  int e_machine = decoded_header.e_machine, e_type = decoded_header.e_type;
  int elf_class = ident[EI_CLASS];
  bool skip_unmatched = preview.skip_unmatched;
  // Without --input-mach each header is judged by the class its own machine
  // implies: a header that does not fit it is malformed, never skipped.
  bool class_given = settings.input_class != -1;
  std::int32_t input_class = class_given ? settings.input_class : class_for_machine(e_machine);
  if (!class_matches(input_class, elf_class)) {
    if (skip_unmatched && class_given)
      return skip(display_name, "class", class_text(elf_class), class_text(input_class));
    report_error("%s: Unmatched input EI_CLASS: %d is not %d\n", display_name, elf_class,
                 input_class);
    return CheckResult::refused;
  }
  if (!class_matches(settings.output_class, elf_class)) {
    report_error("%s: Unmatched output EI_CLASS: %d is not %d\n", display_name, elf_class,
                 settings.output_class);
    return CheckResult::refused;
  }
  if (!matches(settings.input_machine, e_machine)) {
    if (skip_unmatched)
      return skip(display_name, "machine", machine_text(e_machine),
                  machine_text(settings.input_machine));
    report_error("%s: Unmatched e_machine: %d is not %d\n", display_name, e_machine,
                 settings.input_machine);
    return CheckResult::refused;
  }
  if (!matches(settings.input_type, e_type)) {
    if (skip_unmatched)
      return skip(display_name, "type", type_text(e_type), type_text(settings.input_type));
    report_error("%s: Unmatched e_type: %d is not %d\n", display_name, e_type,
                 settings.input_type);
    return CheckResult::refused;
  }
  if (!matches(settings.input_osabi, ident[EI_OSABI])) {
    if (skip_unmatched)
      return skip(display_name, "OSABI", osabi_text(ident[EI_OSABI]),
                  osabi_text(settings.input_osabi));
    report_error("%s: Unmatched EI_OSABI: %d is not %d\n", display_name, ident[EI_OSABI],
                 settings.input_osabi);
    return CheckResult::refused;
  }
  return CheckResult::passed;
}

// NAME: machine M, type T, OSABI O
void list_current_values(const char *display_name) {
  const DecodedElfHeader &h = decoded_header;
  print_list_name(display_name);
  std::printf("machine %s, type %s, OSABI %s\n", machine_text(h.e_machine).text,
              type_text(h.e_type).text, osabi_text(h.e_ident[EI_OSABI]).text);
}

// NAME: machine OLD -> NEW, type OLD -> NEW, OSABI OLD -> NEW, each as asked.
void list_changes(const char *display_name) {
  const DecodedElfHeader &h = decoded_header;
  const char *separator = "";
  print_list_name(display_name);
  if (settings.output_machine != -1) {
    std::printf("machine %s -> %s", machine_text(h.e_machine).text,
                machine_text(static_cast<std::uint16_t>(settings.output_machine)).text);
    separator = ", ";
  }
  if (settings.output_type != -1) {
    std::printf("%stype %s -> %s", separator, type_text(h.e_type).text,
                type_text(static_cast<std::uint16_t>(settings.output_type)).text);
    separator = ", ";
  }
  if (settings.output_osabi != -1)
    std::printf("%sOSABI %s -> %s", separator, osabi_text(h.e_ident[EI_OSABI]).text,
                osabi_text(static_cast<unsigned char>(settings.output_osabi)).text);
  std::printf("\n");
}

void patch_image(unsigned char *image) {
  if (settings.output_machine != -1)
    field_put(image + E_MACHINE_OFFSET, static_cast<std::uint16_t>(settings.output_machine), 2);
  if (settings.output_type != -1)
    field_put(image + E_TYPE_OFFSET, static_cast<std::uint16_t>(settings.output_type), 2);
  if (settings.output_osabi != -1)
    image[EI_OSABI] = static_cast<unsigned char>(settings.output_osabi);
}

int write_image(const char *display_name, PositionedFile *stream, std::uint64_t offset,
                const unsigned char *image, int header_size) {
  int error = file_write(stream, offset, image, header_size);
  if (error == 0) return 0;
  report_error("%s: Failed to update ELF header: %s\n", display_name, std::strerror(error));
  return 1;
}

}  // namespace

int edit_object(const char *display_name, PositionedFile *stream, std::uint64_t offset) {
  return edit_object_within(display_name, stream, offset, UINT64_MAX);
}

int edit_object_within(const char *display_name, PositionedFile *stream, std::uint64_t offset,
                       std::uint64_t size_limit) {
  // Not even the identification fits: whatever follows belongs to someone else.
  if (size_limit < EI_NIDENT) {
    report_too_small(display_name);
    return 1;
  }
  std::size_t got = 0;
  if (file_read(stream, offset, decoded_header.e_ident, EI_NIDENT, &got) != ReadOutcome::whole) {
    report_error("%s: Failed to read ELF header\n", display_name);
    return 1;
  }
  select_byte_order(decoded_header.e_ident[EI_DATA]);

  int header_size = 0;
  unsigned char *image = read_header(display_name, stream, offset, size_limit, &header_size);
  if (!image) return 1;

  const unsigned char *ident = decoded_header.e_ident;
  if (std::memcmp(ident, ELFMAG, SELFMAG) != 0) {
    report_error("%s: Not an ELF file - wrong magic bytes at the start\n", display_name);
    return 1;
  }
  if (ident[EI_VERSION] != EV_CURRENT) {
    report_error("%s: Unsupported EI_VERSION: %d is not %d\n", display_name, ident[EI_VERSION],
                 EV_CURRENT);
    return 1;
  }
  // Retargeting to the machine the header already has is a no-op, unless a
  // type or OSABI change was asked for as well.
  bool machine_already_set =
      settings.output_machine == static_cast<std::int32_t>(decoded_header.e_machine);
  if (machine_already_set && settings.output_type == -1 && settings.output_osabi == -1) {
    if (preview.list) {
      print_list_name(display_name);
      std::fputs("unchanged\n", stdout);
    }
    return 0;
  }
  switch (check_header(display_name)) {
    case CheckResult::passed: break;
    case CheckResult::refused: return 1;
    case CheckResult::skipped: return 0;
  }
  if (preview.list && !has_output_value(settings)) {
    list_current_values(display_name);
    return 0;
  }
  patch_image(image);
  if (!preview.dry_run && write_image(display_name, stream, offset, image, header_size) != 0)
    return 1;
  if (preview.list) list_changes(display_name);
  return 0;
}

}  // namespace hdrtune
