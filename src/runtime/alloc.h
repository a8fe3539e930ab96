// SPDX-License-Identifier: MIT
// alloc.h - allocation that never returns null, and exit with a cleanup hook.
#pragma once

#include <cstddef>
#include <cstdint>

namespace hdrtune {

// Run by exit_with_cleanup before the process ends; it must return.
using ExitCleanupHook = void (*)();
extern ExitCleanupHook exit_cleanup_hook;

// Each returns usable memory or reports the shortage and exits with status 1.
// A request for zero bytes yields a one-byte block.
void *alloc_or_die(std::size_t size);
void *realloc_or_die(void *old_block, std::size_t size);
char *strdup_or_die(const char *text);
void *calloc_or_die(std::size_t count, std::size_t size);

// Names the program in the out-of-memory line and records the program break
// from which the memory in use is measured.
void alloc_register_name(const char *name);

// Plain malloc for a byte count read from a file: null, as when memory runs
// out, for a count this machine's address space cannot hold, so that a
// 32-bit host never gets a smaller block than the count says.
void *malloc_bytes(std::uint64_t size);

[[noreturn]] void report_out_of_memory(std::size_t size);
[[noreturn]] void exit_with_cleanup(int status);

}  // namespace hdrtune
