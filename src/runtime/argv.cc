// SPDX-License-Identifier: MIT
// argv.cc - argument vectors: splitting into words, writing back, and @file expansion.
#include "runtime/argv.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>
#include <cstdlib>
#include <cstring>

#include "runtime/alloc.h"
#include "runtime/char_class.h"

namespace hdrtune {

namespace {

// One call may expand at most one fewer than this many '@' arguments, which
// stops a response file that names itself.
constexpr int response_file_budget = 2000;

const char *skip_space(const char *p) {
  while (is_space(*p)) ++p;
  return p;
}

bool is_blank(const char *text) { return *skip_space(text) == '\0'; }

// Bytes that end a run of plain word bytes: white space, quotes and the
// backslash (and, as for any string, the terminating NUL).
const char word_breaks[] = " \t\n\v\f\r'\"\\";

// How the bytes read so far quote the next one.
struct Quoting {
  bool escape = false, single_quoted = false, double_quoted = false;
};

bool is_unquoted(const Quoting &q) { return !q.escape && !q.single_quoted && !q.double_quoted; }

// Takes one byte that is not plain: it is copied to *word, or it changes the
// quoting.
void take_quoted_byte(Quoting *q, char c, char **word) {
  if (q->escape) {
    *(*word)++ = c;
    q->escape = false;
  } else if (c == '\\') {
    q->escape = true;
  } else if (q->single_quoted) {
    if (c == '\'')
      q->single_quoted = false;
    else
      *(*word)++ = c;
  } else if (q->double_quoted) {
    if (c == '"')
      q->double_quoted = false;
    else
      *(*word)++ = c;
  } else if (c == '\'') {
    q->single_quoted = true;
  } else if (c == '"') {
    q->double_quoted = true;
  } else {
    *(*word)++ = c;
  }
}

// Copies one word, with quotes and backslashes resolved, from text into word.
// Returns the position just after the word.
const char *read_word(const char *text, char *word) {
  Quoting quoting;
  const char *p = text;
  for (; *p; ++p) {
    // Outside quotes and escapes, most bytes are copied as they are: a whole
    // run of them at once, as a list of paths is mostly such runs.
    if (is_unquoted(quoting)) {
      std::size_t run = std::strcspn(p, word_breaks);
      std::memcpy(word, p, run);
      word += run, p += run;
      if (!*p || is_space(*p)) break;
    }
    take_quoted_byte(&quoting, *p, &word);
  }
  *word = '\0';
  return p;
}

bool needs_escape(char c) { return is_space(c) || c == '"' || c == '\'' || c == '\\'; }

int write_word(const char *word, std::FILE *stream) {
  for (const char *p = word; *p; ++p) {
    if (needs_escape(*p) && std::fputc('\\', stream) == EOF) return 1;
    if (std::fputc(*p, stream) == EOF) return 1;
  }
  return std::fputc('\n', stream) == EOF;
}

// Reads the whole of an open regular file of the given size into a fresh
// NUL-terminated buffer. Returns null when a read fails. A size the address
// space cannot hold (on a 32-bit host) is refused as a failed allocation.
char *read_file_text(int fd, std::uint64_t file_size) {
  std::size_t size = static_cast<std::size_t>(file_size);
  if (size != file_size || size + 1 == 0) report_out_of_memory(SIZE_MAX);
  char *text = static_cast<char *>(alloc_or_die(size + 1));
  std::size_t got = 0;
  while (got < size) {
    ssize_t n = read(fd, text + got, size - got);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) {
      std::free(text);
      return nullptr;
    }
    if (n == 0) break;  // the file shrank since it was sized
    got += static_cast<std::size_t>(n);
  }
  text[got] = '\0';  // a NUL inside the file ends the text just the same
  return text;
}

// Only a regular file is read. A FIFO would block the open and the reads, a
// directory can never be read, and a device may have effects of its own: all
// of them stay arguments. The open never blocks, and the type is checked on
// what was opened, so a path swapped after any earlier look changes nothing.
char *read_response_file(const char *path) {
  int fd = open(path, O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
  if (fd < 0) return nullptr;
  struct stat info;
  char *text = nullptr;
  if (fstat(fd, &info) == 0 && S_ISREG(info.st_mode))
    text = read_file_text(fd, static_cast<std::uint64_t>(info.st_size));
  close(fd);
  return text;
}

// The words of a response file's text; a blank text has none, so the '@'
// argument simply disappears. Returns the word count through count.
char **response_file_words(const char *text, int *count) {
  if (is_blank(text)) {
    *count = 0;
    return nullptr;
  }
  char **words = split_args(text);
  *count = count_args(words);
  return words;
}

// Replaces argument i of an owned vector of argc arguments by n words, whose
// strings the vector takes over.
char **splice_words(char **argv, int *argc, int i, char **words, int n) {
  std::free(argv[i]);
  argv = static_cast<char **>(realloc_or_die(argv, (*argc + n + 1) * sizeof *argv));
  std::memmove(argv + i + n, argv + i + 1, (*argc - i) * sizeof *argv);
  if (n > 0) std::memcpy(argv + i, words, n * sizeof *argv);
  *argc += n - 1;
  return argv;
}

[[noreturn]] void too_many_response_files(const char *program) {
  std::fprintf(stderr, "%s: error: too many @-files encountered\n", program);
  exit_with_cleanup(1);
}

}  // namespace

char **split_args(const char *text) {
  if (!text) return nullptr;
  char *word = static_cast<char *>(alloc_or_die(std::strlen(text) + 1));
  char **words = nullptr;
  std::size_t count = 0, capacity = 0;
  const char *p = skip_space(text);
  do {
    if (!words || count >= capacity - 1) {
      capacity = words ? capacity * 2 : 8;
      words = static_cast<char **>(realloc_or_die(words, capacity * sizeof *words));
    }
    p = read_word(p, word);
    words[count++] = strdup_or_die(word);
    words[count] = nullptr;
    p = skip_space(p);
  } while (*p);
  std::free(word);
  return words;
}

int write_args(char *const *argv, std::FILE *stream) {
  if (!stream) return 1;
  if (!argv) return 0;
  for (; *argv; ++argv)
    if (write_word(*argv, stream)) return 1;
  return 0;
}

char **duplicate_args(char *const *argv) {
  if (!argv) return nullptr;
  int count = count_args(argv);
  char **copy = static_cast<char **>(alloc_or_die((count + 1) * sizeof *copy));
  for (int i = 0; i < count; ++i) copy[i] = strdup_or_die(argv[i]);
  copy[count] = nullptr;
  return copy;
}

void free_args(char **argv) {
  if (!argv) return;
  for (char **p = argv; *p; ++p) std::free(*p);
  std::free(argv);
}

int count_args(char *const *argv) {
  int count = 0;
  if (argv)
    while (argv[count]) ++count;
  return count;
}

void expand_response_files(int *argc, char ***argv) {
  // The caller's vector is copied once, on the first expansion; from then on
  // that copy is edited in place.
  bool is_own_copy = false;
  int budget = response_file_budget;
  int i = 1;
  while (i < *argc) {
    const char *arg = (*argv)[i];
    if (arg[0] != '@') {
      ++i;
      continue;
    }
    if (--budget == 0) too_many_response_files((*argv)[0]);
    char *text = read_response_file(arg + 1);
    if (!text) {
      ++i;
      continue;
    }
    int n = 0;
    char **words = response_file_words(text, &n);
    std::free(text);
    if (!is_own_copy) {
      *argv = duplicate_args(*argv);
      is_own_copy = true;
    }
    // i stays put, so '@' words that came from the file are expanded in turn.
    *argv = splice_words(*argv, argc, i, words, n);
    std::free(words);
  }
}

}  // namespace hdrtune
