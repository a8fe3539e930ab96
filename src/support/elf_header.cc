// SPDX-License-Identifier: MIT
// elf_header.cc - the ELF file header as a value.
#include "support/elf_header.h"

#include <cstring>

#include "support/byte_codec.h"

namespace hdrtune {

int elf_header_size(int elf_class) {
  if (elf_class == ELFCLASS32) return ELF32_HEADER_SIZE;
  if (elf_class == ELFCLASS64) return ELF64_HEADER_SIZE;
  return 0;
}

int e_flags_offset(int size) {
  return size == ELF32_HEADER_SIZE ? E_FLAGS_OFFSET32 : E_FLAGS_OFFSET64;
}

void decode_elf_fields(ElfHeader *header) {
  const unsigned char *bytes = header->bytes;
  header->elf_class = bytes[EI_CLASS];
  header->data_encoding = bytes[EI_DATA];
  header->version = bytes[EI_VERSION];
  header->osabi = bytes[EI_OSABI];
  header->abi_version = bytes[EI_ABIVERSION];
  select_byte_order(bytes[EI_DATA]);
  header->e_type = static_cast<std::uint16_t>(field_get(bytes + E_TYPE_OFFSET, 2));
  header->e_machine = static_cast<std::uint16_t>(field_get(bytes + E_MACHINE_OFFSET, 2));
  header->e_flags = static_cast<std::uint32_t>(field_get(bytes + e_flags_offset(header->size), 4));
}

ElfHeader decode_elf_header(const unsigned char *bytes, int size) {
  ElfHeader header = {};
  std::memcpy(header.bytes, bytes, size);
  header.size = size;
  decode_elf_fields(&header);
  return header;
}

void encode_output_fields(ElfHeader *header, std::int32_t e_machine, std::int32_t e_type,
                          std::int32_t osabi, std::int32_t abi_version, const MaskedFlags &flags) {
  select_byte_order(static_cast<unsigned char>(header->data_encoding));
  if (e_machine != -1)
    field_put(header->bytes + E_MACHINE_OFFSET, static_cast<std::uint16_t>(e_machine), 2);
  if (e_type != -1) field_put(header->bytes + E_TYPE_OFFSET, static_cast<std::uint16_t>(e_type), 2);
  if (osabi != -1) header->bytes[EI_OSABI] = static_cast<unsigned char>(osabi);
  if (abi_version != -1) header->bytes[EI_ABIVERSION] = static_cast<unsigned char>(abi_version);
  if (flags.given) {
    unsigned char *field = header->bytes + e_flags_offset(header->size);
    auto old_flags = static_cast<std::uint32_t>(field_get(field, 4));
    field_put(field, (old_flags & ~flags.mask) | flags.value, 4);
  }
}

}  // namespace hdrtune
