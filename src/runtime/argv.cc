// argv.cc - argument vectors: splitting into words, writing back, and @file expansion.
#include "runtime/argv.h"

#include <sys/stat.h>

#include <cstdlib>
#include <cstring>

#include "runtime/alloc.h"
#include "runtime/char_class.h"

namespace hdrtune {

namespace {

// One call may expand at most one fewer than this many '@' arguments, which
// stops a response file that names itself.
constexpr int response_file_budget = 2000;

bool is_space(char c) {
  return char_class_table[static_cast<unsigned char>(c)] & class_space;
}

const char *skip_space(const char *p) {
  while (is_space(*p)) ++p;
  return p;
}

bool is_blank(const char *text) { return *skip_space(text) == '\0'; }

// Copies one word, with quotes and backslashes resolved, from text into word.
// Returns the position just after the word.
const char *read_word(const char *text, char *word) {
  bool escape = false, single_quoted = false, double_quoted = false;
  const char *p = text;
  for (; *p; ++p) {
    char c = *p;
    if (is_space(c) && !escape && !single_quoted && !double_quoted) break;
    if (escape) {
      *word++ = c;
      escape = false;
    } else if (c == '\\') {
      escape = true;
    } else if (single_quoted) {
      if (c == '\'') single_quoted = false; else *word++ = c;
    } else if (double_quoted) {
      if (c == '"') double_quoted = false; else *word++ = c;
    } else if (c == '\'') {
      single_quoted = true;
    } else if (c == '"') {
      double_quoted = true;
    } else {
      *word++ = c;
    }
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

// Reads the whole of an open file into a fresh NUL-terminated buffer.
// Returns null when the file cannot be sized, rewound or read.
char *read_stream_text(std::FILE *f) {
  if (std::fseek(f, 0, SEEK_END) != 0) return nullptr;
  long size = std::ftell(f);
  if (size < 0 || std::fseek(f, 0, SEEK_SET) != 0) return nullptr;
  char *text = static_cast<char *>(alloc_or_die(static_cast<std::size_t>(size) + 1));
  std::size_t got = std::fread(text, 1, static_cast<std::size_t>(size), f);
  if (got < static_cast<std::size_t>(size) && std::ferror(f)) {
    std::free(text);
    return nullptr;
  }
  text[got] = '\0';  // a NUL inside the file ends the text just the same
  return text;
}

// A directory opens, and on some file systems seeks to an end near 2^63, but
// can never be read: leave it as an argument before anything is allocated.
bool is_directory(std::FILE *f) {
  struct stat info;
  return fstat(fileno(f), &info) == 0 && S_ISDIR(info.st_mode);
}

char *read_response_file(const char *path) {
  std::FILE *f = std::fopen(path, "r");
  if (!f) return nullptr;
  char *text = is_directory(f) ? nullptr : read_stream_text(f);
  std::fclose(f);
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
