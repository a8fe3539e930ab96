// SPDX-License-Identifier: MIT
// options.cc - scan short, long and long-only command-line options.
//
// Operands are not moved one at a time.  The scanner remembers the latest
// block of skipped operands, [operands_start, operands_end), and once it has
// stepped over the options that follow the block it exchanges the two adjacent
// blocks in place.  At the end every operand stands behind every option, in
// the order the operands had among themselves, and optind indexes the first.

#include "runtime/options.h"

#include <cstdarg>
#include <cstddef>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <utility>

#include "runtime/alloc.h"

namespace hdrtune {

char *optarg = nullptr;
int optind = 1;
int opterr = 1;
int optopt = '?';

namespace {

// Next character to scan inside the current option element; null or at the
// element's NUL when the next call must move on to the next element.
char *cluster_pos = nullptr;
int operands_start = 1;
int operands_end = 1;
ScanOrder scan_order = PermuteOperands;
int scanner_ready = 0;
int posix_mode = 0;

// The arguments of one call, with the option string past its mode prefix.
struct ScanCall {
  int argc;
  char **argv;
  const char *optstring;
  const option *longopts;  // null: short options only
  int *longindex;
  bool long_only;
};

struct LongMatch {
  const option *entry = nullptr;  // the exact match, or the first abbreviation
  int index = -1;
  bool ambiguous = false;
};

ComplaintObserver complaint_observer = nullptr;
void *complaint_context = nullptr;

// The line is formatted whole before it is written, so that an observer gets
// exactly the bytes stderr got.
__attribute__((format(printf, 1, 2))) void complain(const char *format, ...) {
  if (!opterr) return;
  char small[512];
  va_list args;
  va_start(args, format);
  int length = std::vsnprintf(small, sizeof small, format, args);
  va_end(args);
  if (length < 0) return;
  std::size_t size = static_cast<std::size_t>(length);
  char *line = small;
  if (size >= sizeof small) {
    line = static_cast<char *>(alloc_or_die(size + 1));
    va_start(args, format);
    std::vsnprintf(line, size + 1, format, args);
    va_end(args);
  }
  std::fwrite(line, 1, size, stderr);
  if (complaint_observer) complaint_observer(complaint_context, line, size);
  if (line != small) std::free(line);
}

// A lone "-" is an operand, as is anything not starting with '-'.
bool is_operand(const char *element) { return element[0] != '-' || element[1] == '\0'; }

// The NUL that ends the option string is never an option character.
const char *find_short_option(const char *optstring, unsigned char ch) {
  return ch == '\0' ? nullptr : std::strchr(optstring, ch);
}

int missing_argument_code(const char *optstring) { return optstring[0] == ':' ? ':' : '?'; }

char *end_of(char *text) { return text + std::strlen(text); }

// A long name ends at the first '=' or at the end of its text.
std::size_t name_length(const char *name) { return std::strcspn(name, "="); }

// An exact name wins over any number of abbreviations, wherever it stands in
// the table; without one, a second abbreviation makes the name ambiguous.
LongMatch find_long_option(const option *longopts, const char *name, std::size_t length) {
  LongMatch match;
  if (!longopts) return match;
  for (int i = 0; longopts[i].name; ++i) {
    if (std::strncmp(longopts[i].name, name, length) != 0) continue;
    if (std::strlen(longopts[i].name) == length) return {&longopts[i], i, false};
    if (match.entry) {
      match.ambiguous = true;
    } else {
      match.entry = &longopts[i];
      match.index = i;
    }
  }
  return match;
}

// Takes the element at optind as the argument, if there is one.
bool take_next_element(const ScanCall &call) {
  if (optind >= call.argc) return false;
  optarg = call.argv[optind++];
  return true;
}

int finish_long_option(const ScanCall &call, const LongMatch &match) {
  if (call.longindex) *call.longindex = match.index;
  if (match.entry->flag) {
    *match.entry->flag = match.entry->val;
    return 0;
  }
  return match.entry->val;
}

// After a recognised long option's name: its argument attached by '=' or,
// when one is required, the next element. `spelling` is what the complaint
// puts before the option's name ("--", "-" in long-only mode, "-W ");
// optopt is set for the first two only.
int take_long_argument(const ScanCall &call, const LongMatch &match, char *after_name,
                       const char *spelling, bool sets_optopt) {
  const option &entry = *match.entry;
  if (*after_name == '=') {
    if (entry.has_arg == no_argument) {
      complain("%s: option `%s%s' doesn't allow an argument\n", call.argv[0], spelling, entry.name);
      if (sets_optopt) optopt = entry.val;
      return '?';
    }
    optarg = after_name + 1;
  } else {
    optarg = nullptr;
    if (entry.has_arg == required_argument && !take_next_element(call)) {
      complain("%s: option `%s' requires an argument\n", call.argv[0], call.argv[optind - 1]);
      if (sets_optopt) optopt = entry.val;
      return missing_argument_code(call.optstring);
    }
  }
  return finish_long_option(call, match);
}

// Exchanges the pending operands [operands_start, operands_end) with the
// options [operands_end, top) that follow them, each block keeping its order.
void rotate_operands(char **argv, int top) {
  int bottom = operands_start;
  int middle = operands_end;
  int upper = top;
  while (upper > middle && middle > bottom) {
    if (upper - middle > middle - bottom) {
      int len = middle - bottom;
      for (int i = 0; i < len; ++i) std::swap(argv[bottom + i], argv[upper - len + i]);
      upper -= len;
    } else {
      int len = upper - middle;
      for (int i = 0; i < len; ++i) std::swap(argv[bottom + i], argv[middle + i]);
      bottom += len;
    }
  }
  operands_start += top - operands_end;
}

// Element 0, the program name, is never scanned.
void initialise(const char *optstring) {
  if (optind == 0) optind = 1;
  operands_start = operands_end = optind;
  cluster_pos = nullptr;
  posix_mode = std::getenv("POSIXLY_CORRECT") != nullptr;
  if (optstring[0] == '-') {
    scan_order = ReturnOperands;
  } else if (optstring[0] == '+' || posix_mode) {
    scan_order = StopAtOperand;
  } else {
    scan_order = PermuteOperands;
  }
  scanner_ready = 1;
}

// In permuting order, moves the pending operands behind the options just
// scanned and skips the operands that stand at optind.
void skip_operands(const ScanCall &call) {
  if (operands_start != operands_end && operands_end != optind) {
    rotate_operands(call.argv, optind);
  } else if (operands_end != optind) {
    operands_start = optind;
  }
  while (optind < call.argc && is_operand(call.argv[optind])) ++optind;
  operands_end = optind;
}

// "--" ends the options; it is moved in front of any pending operands, so
// that what follows it joins them.
void consume_end_marker(const ScanCall &call) {
  int top = optind + 1;
  if (operands_start != operands_end && operands_end != top) {
    rotate_operands(call.argv, top);
  } else if (operands_start == operands_end) {
    operands_start = top;
  }
  operands_end = optind = call.argc;
}

// Moves to the next option element and points cluster_pos into it.  Returns
// false when the call ends here instead, with *code its result.
bool advance_to_option(const ScanCall &call, int *code) {
  // The caller may have moved optind back.
  if (operands_end > optind) operands_end = optind;
  if (operands_start > optind) operands_start = optind;

  if (scan_order == PermuteOperands) skip_operands(call);
  if (optind < call.argc && std::strcmp(call.argv[optind], "--") == 0) {
    consume_end_marker(call);
  }
  if (optind >= call.argc) {
    if (operands_start != operands_end) optind = operands_start;
    *code = -1;
    return false;
  }

  char *element = call.argv[optind];
  if (is_operand(element)) {
    if (scan_order == ReturnOperands) {
      optarg = element;
      ++optind;
      *code = 1;
    } else {
      *code = -1;
    }
    return false;
  }
  cluster_pos = element + 1;
  if (call.longopts && element[1] == '-') ++cluster_pos;
  return true;
}

// Decided from the whole element on every call, also inside a cluster: in
// long-only mode the rest of «-abc» is tried as a long name after 'a'.
bool wants_long_option(const ScanCall &call) {
  if (!call.longopts) return false;
  const char *element = call.argv[optind];
  if (element[1] == '-') return true;
  return call.long_only && (element[2] != '\0' || !find_short_option(call.optstring, element[1]));
}

// An unknown «-name» (which reaches long processing only in long-only mode)
// whose first character is a short option is scanned as a cluster instead.
bool falls_back_to_short(const ScanCall &call) {
  return call.argv[optind][1] != '-' && find_short_option(call.optstring, *cluster_pos);
}

int scan_long_option(const ScanCall &call, const LongMatch &match) {
  char *element = call.argv[optind];
  bool two_dashes = element[1] == '-';
  char *name = cluster_pos;
  std::size_t length = name_length(name);
  cluster_pos = end_of(name);
  ++optind;

  if (match.ambiguous) {
    complain("%s: option `%s' is ambiguous\n", call.argv[0], element);
    optopt = 0;
    return '?';
  }
  if (!match.entry) {
    if (two_dashes) {
      complain("%s: unrecognized option `--%s'\n", call.argv[0], name);
    } else {
      complain("%s: unrecognized option `%c%s'\n", call.argv[0], element[0], name);
    }
    optopt = 0;
    return '?';
  }

  return take_long_argument(call, match, name + length, two_dashes ? "--" : "-", true);
}

// «-W word» stands for «--word».  A word that names no long option (or a scan
// without a table) comes back as 'W' with the word in optarg.
int scan_w_word(const ScanCall &call) {
  char *word;
  if (*cluster_pos != '\0') {
    word = cluster_pos;
    ++optind;
  } else if (optind < call.argc) {
    word = call.argv[optind++];
  } else {
    complain("%s: option requires an argument -- %c\n", call.argv[0], 'W');
    optopt = 'W';
    return missing_argument_code(call.optstring);
  }

  optarg = word;
  std::size_t length = name_length(word);
  LongMatch match = find_long_option(call.longopts, word, length);
  if (!match.entry) {
    cluster_pos = nullptr;
    return 'W';
  }
  cluster_pos = end_of(word);
  if (match.ambiguous) {
    complain("%s: option `-W %s' is ambiguous\n", call.argv[0], word);
    return '?';
  }

  return take_long_argument(call, match, word + length, "-W ", false);
}

int scan_short_option(const ScanCall &call) {
  unsigned char ch = *cluster_pos++;
  const char *declared = find_short_option(call.optstring, ch);
  bool cluster_done = *cluster_pos == '\0';
  if (cluster_done) ++optind;

  if (ch == ':' || !declared) {
    complain(posix_mode ? "%s: illegal option -- %c\n" : "%s: invalid option -- %c\n", call.argv[0],
             ch);
    optopt = ch;
    return '?';
  }
  if (ch == 'W' && declared[1] == ';') return scan_w_word(call);
  if (declared[1] != ':') return ch;

  bool optional = declared[2] == ':';
  if (!cluster_done) {
    optarg = cluster_pos;
    ++optind;
  } else if (!optional && !take_next_element(call)) {
    complain("%s: option requires an argument -- %c\n", call.argv[0], ch);
    optopt = ch;
    cluster_pos = nullptr;
    return missing_argument_code(call.optstring);
  }
  cluster_pos = nullptr;
  return ch;
}

int scan_options(int argc, char **argv, const char *optstring, const option *longopts,
                 int *longindex, bool long_only) {
  optarg = nullptr;
  if (optind == 0 || !scanner_ready) initialise(optstring);
  if (optstring[0] == '+' || optstring[0] == '-') ++optstring;
  ScanCall call{argc, argv, optstring, longopts, longindex, long_only};

  if (!cluster_pos || *cluster_pos == '\0') {
    int code;
    if (!advance_to_option(call, &code)) return code;
  }
  if (wants_long_option(call)) {
    LongMatch match = find_long_option(longopts, cluster_pos, name_length(cluster_pos));
    if (match.entry || !falls_back_to_short(call)) return scan_long_option(call, match);
  }
  return scan_short_option(call);
}

}  // namespace

int getopt(int argc, char **argv, const char *optstring) {
  return scan_options(argc, argv, optstring, nullptr, nullptr, false);
}

int getopt_long(int argc, char **argv, const char *optstring, const option *longopts,
                int *longindex) {
  return scan_options(argc, argv, optstring, longopts, longindex, false);
}

int getopt_long_only(int argc, char **argv, const char *optstring, const option *longopts,
                     int *longindex) {
  return scan_options(argc, argv, optstring, longopts, longindex, true);
}

void set_complaint_observer(ComplaintObserver observer, void *context) {
  complaint_observer = observer;
  complaint_context = context;
}

}  // namespace hdrtune
