// SPDX-License-Identifier: MIT
// elf_header.h - the ELF file header as a value: its bytes as stored, and
// the fields this tool reads, checks and writes, under their ELF names.
#pragma once

#include <cstdint>

namespace hdrtune {

// Identification: the first 16 bytes of every header.
constexpr int EI_NIDENT = 16;
constexpr int EI_CLASS = 4, EI_DATA = 5, EI_VERSION = 6, EI_OSABI = 7, EI_ABIVERSION = 8;
constexpr char ELFMAG[] = "\177ELF";
constexpr int SELFMAG = 4;

constexpr int ELFCLASS32 = 1, ELFCLASS64 = 2;
constexpr int ELFDATA2LSB = 1, ELFDATA2MSB = 2;
constexpr int EV_CURRENT = 1;

// The whole header, and where the fields this tool edits or decodes lie.
constexpr int ELF32_HEADER_SIZE = 52, ELF64_HEADER_SIZE = 64;
constexpr int E_TYPE_OFFSET = 16, E_MACHINE_OFFSET = 18, E_VERSION_OFFSET = 20;
constexpr int E_FLAGS_OFFSET32 = 36, E_FLAGS_OFFSET64 = 48;

constexpr int EM_NONE = 0, EM_386 = 3, EM_IAMCU = 6, EM_X86_64 = 62, EM_L1OM = 180, EM_K1OM = 181;
constexpr int ET_NONE = 0, ET_REL = 1, ET_EXEC = 2, ET_DYN = 3;
constexpr int ELFOSABI_NONE = 0, ELFOSABI_HPUX = 1, ELFOSABI_NETBSD = 2, ELFOSABI_LINUX = 3,
              ELFOSABI_SOLARIS = 6, ELFOSABI_AIX = 7, ELFOSABI_IRIX = 8, ELFOSABI_FREEBSD = 9,
              ELFOSABI_TRU64 = 10, ELFOSABI_MODESTO = 11, ELFOSABI_OPENBSD = 12,
              ELFOSABI_OPENVMS = 13, ELFOSABI_NSK = 14, ELFOSABI_AROS = 15, ELFOSABI_FENIXOS = 16;

// The five fields this tool writes, in the order lines and records show
// them.
enum class HeaderField { machine, type, osabi, abi_version, flags };
constexpr int header_field_count = 5;

// Where a field lies in the header of each class, and how many bytes it
// takes. e_flags follows the entry point and two file offsets, which are 4
// bytes wide in ELF32 and 8 in ELF64; the others lie at the same place in both.
struct FieldPlace {
  int offset32;
  int offset64;
  int width;
};
constexpr FieldPlace field_places[header_field_count] = {
    {E_MACHINE_OFFSET, E_MACHINE_OFFSET, 2},
    {E_TYPE_OFFSET, E_TYPE_OFFSET, 2},
    {EI_OSABI, EI_OSABI, 1},
    {EI_ABIVERSION, EI_ABIVERSION, 1},
    {E_FLAGS_OFFSET32, E_FLAGS_OFFSET64, 4},
};

constexpr int field_index(HeaderField field) { return static_cast<int>(field); }

// Where the field lies in a header of this size.
constexpr int field_offset(HeaderField field, int size) {
  const FieldPlace &place = field_places[field_index(field)];
  return size == ELF32_HEADER_SIZE ? place.offset32 : place.offset64;
}

// The header's bytes and the fields decoded from them. e_ident has the same
// layout in both classes, so the class and byte order are known from the
// first 16 bytes, before the rest of the header is read.
struct ElfHeader {
  unsigned char bytes[ELF64_HEADER_SIZE];    // the first `size` bytes are the header
  int size;                                  // ELF32_HEADER_SIZE or ELF64_HEADER_SIZE
  int elf_class;                             // EI_CLASS
  int data_encoding;                         // EI_DATA
  int version;                               // EI_VERSION
  std::uint32_t fields[header_field_count];  // the five fields, by HeaderField

  std::uint32_t value(HeaderField field) const { return fields[field_index(field)]; }
  std::int32_t e_machine() const { return static_cast<std::int32_t>(value(HeaderField::machine)); }
};

// A value as asked: the bits under `mask` are to be `value` (which has no
// bit outside the mask), the others are left alone. Only a flags word is
// ever given a mask that leaves bits out.
struct MaskedValue {
  bool given = false;
  std::uint32_t value = 0;
  std::uint32_t mask = UINT32_MAX;
};

// The whole field set to `value`.
constexpr MaskedValue whole_value(std::uint32_t value) { return {true, value, UINT32_MAX}; }

// One value, given or not, for each of the five fields.
struct FieldValues {
  MaskedValue values[header_field_count];

  MaskedValue &operator[](HeaderField field) { return values[field_index(field)]; }
  const MaskedValue &operator[](HeaderField field) const { return values[field_index(field)]; }
};

// The header size EI_CLASS stands for, or 0 for a class this tool can't edit.
int elf_header_size(int elf_class);

// Decodes a header whose `size` bytes (16 identification bytes and the rest
// its class implies) are in `bytes`.
ElfHeader decode_elf_header(const unsigned char *bytes, int size);

// Decodes the fields of a header whose bytes and size are already in place.
void decode_elf_fields(ElfHeader *header);

// Writes the bits under their mask of each output value given into
// header->bytes, in the header's own byte order; the decoded fields keep the
// values read.
void encode_output_fields(ElfHeader *header, const FieldValues &output);

}  // namespace hdrtune
