// elf_numbers.h - the numbers of the ELF file header that this tool reads,
// checks and writes, under their ELF names.
#pragma once

namespace hdrtune {

// Identification: the first 16 bytes of every header.
constexpr int EI_NIDENT = 16;
constexpr int EI_CLASS = 4, EI_DATA = 5, EI_VERSION = 6, EI_OSABI = 7;
constexpr char ELFMAG[] = "\x7f" "ELF";
constexpr int SELFMAG = 4;

constexpr int ELFCLASS32 = 1, ELFCLASS64 = 2;
constexpr int ELFDATA2LSB = 1, ELFDATA2MSB = 2;
constexpr int EV_CURRENT = 1;

// The whole header, and where the fields this tool edits or decodes lie.
constexpr int ELF32_HEADER_SIZE = 52, ELF64_HEADER_SIZE = 64;
constexpr int E_TYPE_OFFSET = 16, E_MACHINE_OFFSET = 18, E_VERSION_OFFSET = 20;

constexpr int EM_NONE = 0, EM_386 = 3, EM_IAMCU = 6, EM_X86_64 = 62, EM_L1OM = 180,
              EM_K1OM = 181;
constexpr int ET_NONE = 0, ET_REL = 1, ET_EXEC = 2, ET_DYN = 3;
constexpr int ELFOSABI_NONE = 0, ELFOSABI_HPUX = 1, ELFOSABI_NETBSD = 2, ELFOSABI_LINUX = 3,
              ELFOSABI_SOLARIS = 6, ELFOSABI_AIX = 7, ELFOSABI_IRIX = 8, ELFOSABI_FREEBSD = 9,
              ELFOSABI_TRU64 = 10, ELFOSABI_MODESTO = 11, ELFOSABI_OPENBSD = 12,
              ELFOSABI_OPENVMS = 13, ELFOSABI_NSK = 14, ELFOSABI_AROS = 15,
              ELFOSABI_FENIXOS = 16;

}  // namespace hdrtune
