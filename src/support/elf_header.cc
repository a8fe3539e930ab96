// SPDX-License-Identifier: MIT
// elf_header.cc - the ELF file header as a value.
#include "support/elf_header.h"

#include <cstring>
#include <utility>

#include "support/byte_codec.h"

namespace hdrtune {

int elf_header_size(int elf_class) {
  if (elf_class == ELFCLASS32) return ELF32_HEADER_SIZE;
  if (elf_class == ELFCLASS64) return ELF64_HEADER_SIZE;
  return 0;
}

// A field one byte wide reads the same in either byte order.
static std::uint32_t get_field(const unsigned char *field, int width) {
  return width == 1 ? field[0] : static_cast<std::uint32_t>(field_get(field, width));
}

// Reads every field at its place in a header of this size. The fields are
// spelled out at compile time, so that each read is one load of a constant
// offset and width, as in a decoder written by hand: every header read
// passes through here.
template <std::size_t... I>
void decode_fields(ElfHeader *header, const unsigned char *bytes, int size,
                   std::index_sequence<I...>) {
  ((header->fields[I] =
        get_field(bytes + field_offset(HeaderField(I), size), field_places[I].width)),
   ...);
}

void decode_elf_fields(ElfHeader *header) {
  const unsigned char *bytes = header->bytes;
  header->elf_class = bytes[EI_CLASS];
  header->data_encoding = bytes[EI_DATA];
  header->version = bytes[EI_VERSION];
  select_byte_order(bytes[EI_DATA]);
  decode_fields(header, bytes, header->size, std::make_index_sequence<header_field_count>());
}

ElfHeader decode_elf_header(const unsigned char *bytes, int size) {
  ElfHeader header = {};
  std::memcpy(header.bytes, bytes, size);
  header.size = size;
  decode_elf_fields(&header);
  return header;
}

// Writes one field's bits under their mask; the word is read first only
// when the mask keeps some of its bits.
template <std::size_t I>
void encode_field(ElfHeader *header, const MaskedValue &v) {
  constexpr int width = field_places[I].width;
  unsigned char *field = header->bytes + field_offset(HeaderField(I), header->size);
  std::uint32_t value = v.value;
  if (v.mask != UINT32_MAX) value |= get_field(field, width) & ~v.mask;
  if (width == 1)
    *field = static_cast<unsigned char>(value);
  else
    field_put(field, value, width);
}

template <std::size_t... I>
void encode_fields(ElfHeader *header, const FieldValues &output, std::index_sequence<I...>) {
  ((output.values[I].given ? encode_field<I>(header, output.values[I]) : void()), ...);
}

void encode_output_fields(ElfHeader *header, const FieldValues &output) {
  select_byte_order(static_cast<unsigned char>(header->data_encoding));
  encode_fields(header, output, std::make_index_sequence<header_field_count>());
}

}  // namespace hdrtune
