// SPDX-License-Identifier: MIT
// standard_output.h - the list's stream: standard output, buffered, with
// every write carried through to its last byte.
//
// The C library's stdout drops what it holds when a write fails, and a write
// cut short by a signal counts as failed; so would a write to a pipe another
// process made non-blocking. Here an interrupted or short write is resumed and
// a full non-blocking pipe is waited on, so that a line of the list is never
// lost or torn while the reader is slow. Bytes are held until the buffer is
// full, or until the end of each line when standard output is a terminal, and
// whatever is held is written at exit. Only whole lines are written before
// then, each record being one line: a failed write leaves no torn record
// with more output after it, and a line longer than the buffer is held whole
// and written in one call.
#pragma once

#include <cstddef>

namespace hdrtune {

void out_write(const char *data, std::size_t size);
void out_printf(const char *format, ...) __attribute__((format(printf, 1, 2)));

// Writes what is held. False once any byte could not be written, in this
// call or an earlier one; from then on the stream takes no more bytes.
bool out_flush();

}  // namespace hdrtune
