// SPDX-License-Identifier: MIT
// alloc.cc - allocation that ends the process on failure, and exit with a cleanup hook.
#include "runtime/alloc.h"

#include <unistd.h>

#include <cinttypes>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>

extern char **environ;

namespace hdrtune {

ExitCleanupHook exit_cleanup_hook = nullptr;

namespace {

const char *alloc_name = "";
void *initial_break = nullptr;

// Measured from the recorded break; without one, the address of environ
// stands in for the start of the heap.
std::uint64_t memory_in_use() {
  const void *base = initial_break ? initial_break : static_cast<void *>(&environ);
  return reinterpret_cast<std::uintptr_t>(sbrk(0)) - reinterpret_cast<std::uintptr_t>(base);
}

}  // namespace

void *alloc_or_die(std::size_t size) {
  if (size == 0) size = 1;
  void *block = std::malloc(size);
  if (!block) report_out_of_memory(size);
  return block;
}

void *realloc_or_die(void *old_block, std::size_t size) {
  if (size == 0) size = 1;
  void *block = old_block ? std::realloc(old_block, size) : std::malloc(size);
  if (!block) report_out_of_memory(size);
  return block;
}

char *strdup_or_die(const char *text) {
  std::size_t size = std::strlen(text) + 1;
  return static_cast<char *>(std::memcpy(alloc_or_die(size), text, size));
}

void *calloc_or_die(std::size_t count, std::size_t size) {
  if (count == 0 || size == 0) count = size = 1;
  void *block = std::calloc(count, size);
  // The product only names the request; calloc itself refuses an overflow.
  if (!block) report_out_of_memory(count * size);
  return block;
}

void *malloc_bytes(std::uint64_t size) {
  if (static_cast<std::size_t>(size) != size) return nullptr;
  return std::malloc(static_cast<std::size_t>(size));
}

void alloc_register_name(const char *name) {
  alloc_name = name;
  if (!initial_break) initial_break = sbrk(0);
}

void report_out_of_memory(std::size_t size) {
  std::fprintf(
      stderr,
      "\n%s%sout of memory allocating %" PRIu64 " bytes after a total of %" PRIu64 " bytes\n",
      alloc_name, *alloc_name ? ": " : "", static_cast<std::uint64_t>(size), memory_in_use());
  exit_with_cleanup(1);
}

void exit_with_cleanup(int status) {
  if (exit_cleanup_hook) exit_cleanup_hook();
  std::exit(status);
}

}  // namespace hdrtune
