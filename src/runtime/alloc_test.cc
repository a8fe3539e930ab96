// SPDX-License-Identifier: MIT
// alloc_test.cc - checked allocation: zero-size requests, the out-of-memory line, exit.
#include "runtime/alloc.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>

// The address sanitizer would abort on a request of SIZE_MAX bytes; let its
// allocator return null as the system one does, so the failure path runs.
extern "C" const char *__asan_default_options() { return "allocator_may_return_null=1"; }

namespace hdrtune {
namespace {

TEST(CheckedAlloc, ZeroSizeRequestsGiveOneUsableByte) {
  char *a = static_cast<char *>(alloc_or_die(0));
  char *r = static_cast<char *>(realloc_or_die(nullptr, 0));
  ASSERT_NE(a, nullptr);
  ASSERT_NE(r, nullptr);
  a[0] = r[0] = 'x';
  // calloc with a zero factor gives one zero byte, not count or size bytes.
  for (auto [count, size] : {std::pair<std::size_t, std::size_t>{0, 100}, {100, 0}}) {
    char *c = static_cast<char *>(calloc_or_die(count, size));
    ASSERT_NE(c, nullptr);
    EXPECT_EQ(c[0], 0);
    std::free(c);
  }
  char *empty = strdup_or_die("");
  EXPECT_STREQ(empty, "");
  std::free(a);
  std::free(r);
  std::free(empty);
}

TEST(CheckedAlloc, ReallocKeepsContentsAndStrdupCopies) {
  const char text[] = "archive member";
  char *copy = strdup_or_die(text);
  EXPECT_NE(copy, text);
  copy = static_cast<char *>(realloc_or_die(copy, 1 << 20));
  EXPECT_STREQ(copy, text);
  std::free(copy);
}

// Under the address sanitizer its own warning line comes first.
#define LINE_START "^(==[0-9]+==WARNING: AddressSanitizer failed to allocate 0x[0-9a-f]+ bytes\n)?"

// A blank line, then the size and a break distance; no program prefix.
const char oom_line[] = LINE_START
    "\nout of memory allocating 18446744073709551615 bytes after a total of [0-9]+ bytes\n$";

TEST(CheckedAllocDeathTest, FailureWritesTheOutOfMemoryLineAndExitsWithOne) {
  EXPECT_EXIT(alloc_or_die(SIZE_MAX), testing::ExitedWithCode(1), oom_line);
  EXPECT_EXIT(realloc_or_die(alloc_or_die(16), SIZE_MAX), testing::ExitedWithCode(1), oom_line);
  // The product of the two factors wraps: SIZE_MAX * 2 names 2^64 - 2.
  EXPECT_EXIT(calloc_or_die(SIZE_MAX, 2), testing::ExitedWithCode(1),
              LINE_START "\nout of memory allocating 18446744073709551614 bytes after");
}

TEST(CheckedAllocDeathTest, RegisteredNamePrefixesTheLineAndTheHookRunsLast) {
  EXPECT_EXIT(
      {
        alloc_register_name("hdrtune");
        exit_cleanup_hook = [] { std::fputs("cleanup ran\n", stderr); };
        alloc_or_die(SIZE_MAX);
      },
      testing::ExitedWithCode(1),
      LINE_START
      "\nhdrtune: out of memory allocating [0-9]+ bytes after a total of [0-9]+ bytes\n"
      "cleanup ran\n$");
}

TEST(CheckedAllocDeathTest, ExitFlushesStreamsWithTheGivenStatus) {
  EXPECT_EXIT(
      {
        static char buffer[64];
        std::setvbuf(stderr, buffer, _IOFBF, sizeof buffer);
        std::fputs("still buffered", stderr);
        exit_with_cleanup(0);
      },
      testing::ExitedWithCode(0), "^still buffered$");
}

}  // namespace
}  // namespace hdrtune
