// SPDX-License-Identifier: MIT
// argv.h - argument vectors and @file response-file expansion.
#pragma once

#include <cstdio>

namespace hdrtune {

// Replaces every "@file" argument after argument 0 by the words of that file,
// recursively. The caller's vector is never written; when anything was
// expanded *argv points at a new vector that lives until the process ends.
void expand_response_files(int *argc, char ***argv);

// Splits text into words with backslash, single- and double-quote handling.
// Returns a new vector (at least one word), or null for a null text.
char **split_args(const char *text);

// Writes each word on a line of its own, escaped so that split_args reads it
// back. Returns 0 on success, 1 when the stream is null or a write fails.
int write_args(char *const *argv, std::FILE *stream);

char **duplicate_args(char *const *argv);
void free_args(char **argv);
int count_args(char *const *argv);

}  // namespace hdrtune
