// SPDX-License-Identifier: MIT
// driver.cc - the command line, its texts, and the loop over file operands.
#include "tool/driver.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <clocale>
#include <csignal>
#include <cstdlib>
#include <cstring>

#include "runtime/alloc.h"
#include "runtime/argv.h"
#include "runtime/process.h"
#include "runtime/standard_output.h"
#include "support/diagnostics.h"
#include "tool/flags_names.h"
#include "tool/json_records.h"
#include "tool/list_lines.h"
#include "tool/open_and_edit.h"
#include "tool/target_names.h"
#include "tool/tree_walk.h"

namespace hdrtune {

static const char package_version[] = "(Velm Corvo) 2.27";
static const char report_address[] = "<hdrtune-bugs@lists.example.org>";

enum OptionCode {
  option_input_mach = 150,
  option_output_mach,
  option_input_type,
  option_output_type,
  option_input_osabi,
  option_output_osabi,
  option_dry_run,
  option_list,
  option_skip_unmatched,
  option_input_abi_version,
  option_output_abi_version,
  option_check,
  option_input_flags,
  option_output_flags,
  option_json,
};

const option long_option_table[] = {
    {"input-mach", required_argument, nullptr, option_input_mach},
    {"output-mach", required_argument, nullptr, option_output_mach},
    {"input-type", required_argument, nullptr, option_input_type},
    {"output-type", required_argument, nullptr, option_output_type},
    {"input-osabi", required_argument, nullptr, option_input_osabi},
    {"output-osabi", required_argument, nullptr, option_output_osabi},
    {"version", no_argument, nullptr, 'v'},
    {"help", no_argument, nullptr, 'h'},
    {"dry-run", no_argument, nullptr, option_dry_run},
    {"list", no_argument, nullptr, option_list},
    {"skip-unmatched", no_argument, nullptr, option_skip_unmatched},
    {"recursive", no_argument, nullptr, 'r'},
    {"input-abiversion", required_argument, nullptr, option_input_abi_version},
    {"output-abiversion", required_argument, nullptr, option_output_abi_version},
    {"check", no_argument, nullptr, option_check},
    {"input-flags", required_argument, nullptr, option_input_flags},
    {"output-flags", required_argument, nullptr, option_output_flags},
    {"json", no_argument, nullptr, option_json},
    {nullptr, 0, nullptr, 0},
};

static void print_usage(std::FILE *stream, bool with_report_line) {
  std::fprintf(stream, "Usage: %s <option(s)> elffile(s)\n", program_name);
  std::fprintf(stream, " Update the ELF header of ELF files\n");
  std::fprintf(stream, " The options are:\n");
  std::fprintf(stream,
               "  --input-mach <machine>      Set input machine type to <machine>\n"
               "  --output-mach <machine>     Set output machine type to <machine>\n"
               "  --input-type <type>         Set input file type to <type>\n"
               "  --output-type <type>        Set output file type to <type>\n"
               "  --input-osabi <osabi>       Set input OSABI to <osabi>\n"
               "  --output-osabi <osabi>      Set output OSABI to <osabi>\n"
               "  --dry-run                   Check and report, but write nothing\n"
               "  --list                      Print each header's old and new values\n"
               "  --skip-unmatched            Skip headers that an input condition refuses\n"
               "  -r --recursive              Edit ELF files and archives under directories\n"
               "  --input-abiversion <n>      Set input ABI version to <n>\n"
               "  --output-abiversion <n>     Set output ABI version to <n>\n"
               "  --check                     Report headers that differ from the output values\n"
               "  --input-flags <n>[/<mask>]  Set input flags to <n> (the bits in <mask>)\n"
               "  --output-flags <n>[/<mask>] Set output flags to <n> (the bits in <mask>)\n"
               "  --json                      Print the list or the check as JSON lines\n"
               "  -h --help                   Display this information\n"
               "  -v --version                Display the version number of %s\n",
               program_name);
  if (with_report_line) std::fprintf(stream, "Report bugs to %s\n", report_address);
}

void show_usage(std::FILE *stream, int status) {
  print_usage(stream, status == 0);
  std::exit(status);
}

void show_version(const char *name) {
  std::printf("Velm %s %s\n", name, package_version);
  std::printf("Copyright (c) 2026 The hdrtune authors.\n");
  std::printf(
      "This program is free software under the MIT licence: you may use, modify and\n"
      "redistribute it on the terms of the LICENSE file that comes with it.  It has\n"
      "no warranty of any kind, to the extent permitted by law.\n");
  std::exit(0);
}

// One keyword of an input option other than --input-mach, or -1 after the
// failure went to `failures`.
static std::int32_t lookup_single(FailureSink &failures, HeaderField field, const char *text) {
  switch (field) {
    case HeaderField::type: return lookup_type(failures, text);
    case HeaderField::osabi: return lookup_osabi(failures, text);
    case HeaderField::abi_version: return lookup_abi_version(failures, text);
    case HeaderField::machine:
    case HeaderField::flags: break;
  }
  return -1;
}

// Gives the field a value that a lookup returned; false when the lookup
// failed (-1) and reported why.
static bool store_value(MaskedValue *field, std::int32_t value) {
  if (value == -1) return false;
  *field = whole_value(static_cast<std::uint32_t>(value));
  return true;
}

// An input condition: one keyword, or alternatives separated by commas (no
// keyword holds one). The option given last wins, whichever form it has.
static bool apply_input_option(FailureSink &failures, HeaderEditSettings *s, int code,
                               const char *argument) {
  HeaderField field = code == option_input_mach    ? HeaderField::machine
                      : code == option_input_type  ? HeaderField::type
                      : code == option_input_osabi ? HeaderField::osabi
                                                   : HeaderField::abi_version;
  MaskedValue *value = &s->input[field];
  InputChoices *choices = &s->input_choices[field_index(field)];
  *choices = {};
  if (field == HeaderField::machine) {
    s->input_class = -1;
    s->input_data_encoding = any_byte_order;
  }
  *value = {};
  if (std::strchr(argument, ',')) return lookup_input_choices(failures, field, argument, choices);
  if (field != HeaderField::machine)
    return store_value(value, lookup_single(failures, field, argument));
  Target target;
  if (!lookup_target(failures, argument, &target)) return false;
  *value = whole_value(static_cast<std::uint32_t>(target.e_machine));
  s->input_class = target.elf_class;
  s->input_data_encoding = target.data_encoding;
  return true;
}

// The output machine, with the class and byte order a target name implies.
static bool apply_output_target(FailureSink &failures, HeaderEditSettings *s,
                                const char *argument) {
  Target target;
  if (!lookup_target(failures, argument, &target)) return false;
  s->output[HeaderField::machine] = whole_value(static_cast<std::uint32_t>(target.e_machine));
  s->output_class = target.elf_class;
  s->output_data_encoding = target.data_encoding;
  return true;
}

// The output OSABI, with the machine it belongs to when it is one of those
// that mean something else on each machine.
static bool apply_output_osabi(FailureSink &failures, HeaderEditSettings *s, const char *argument) {
  std::int32_t osabi = -1;
  if (!lookup_osabi_row(failures, argument, &osabi, &s->output_osabi_machine)) return false;
  return store_value(&s->output[HeaderField::osabi], osabi);
}

// Stores one option's value; returns false after a keyword was refused (the
// failure handed to the run's reporter) or an option the scanner could not
// take.
static bool apply_option(RunOptions *options, int code, const char *argument) {
  HeaderEditSettings &s = options->settings;
  FailureSink &failures = *options->reporter;
  switch (code) {
    case option_input_mach:
    case option_input_type:
    case option_input_osabi:
    case option_input_abi_version: return apply_input_option(failures, &s, code, argument);
    case option_output_mach: return apply_output_target(failures, &s, argument);
    case option_output_type:
      return store_value(&s.output[HeaderField::type], lookup_type(failures, argument));
    case option_output_osabi: return apply_output_osabi(failures, &s, argument);
    case option_output_abi_version:
      return store_value(&s.output[HeaderField::abi_version],
                         lookup_abi_version(failures, argument));
    case option_input_flags:
      return lookup_flags_setting(failures, argument, &s.input[HeaderField::flags],
                                  &s.input_flags_names);
    case option_output_flags:
      return lookup_flags_setting(failures, argument, &s.output[HeaderField::flags],
                                  &s.output_flags_names);
    case option_check: options->check = true; return true;
    case option_json: options->json = true; return true;
    case option_dry_run: options->dry_run = true; return true;
    case option_list: options->list = true; return true;
    case option_skip_unmatched:
      options->skip_unmatched = options->pass_over_not_elf = true;
      return true;
    case 'r': options->recursive = true; return true;
    case 'v': show_version(program_name);
    case 'h': show_usage(stdout, 0);
    default: print_usage(stderr, false); return false;
  }
}

int edit_file(const RunOptions &options, const char *path) {
  PathToEdit target;
  target.place.operand = path;
  if (options.recursive && is_directory(path)) return edit_tree(options, target.place);
  target.name = target.path = target.display_name = path;
  return open_and_edit(options, target) == EditOutcome::edited ? 0 : 1;
}

// A run that only reads (a listing, a dry run, a check) ends as soon as the
// reader of its output goes away, as any filter does. A run that writes
// never stops half way through a tree for that: it goes on and reports the
// lost output at the end.
static void set_broken_pipe_action(bool writes_files) {
  std::signal(SIGPIPE, writes_files ? SIG_IGN : SIG_DFL);
}

// Every header named in the list so far was written, and no other: say so by
// flushing the list, then end as the signal would have ended the run.
[[noreturn]] static void stop_interrupted(Reporter &reporter, int signal) {
  fail(reporter, nullptr, 0, "interrupted by %s\n", interrupt_name(signal));
  reporter.summary(0, signal);
  out_flush();
  end_by_signal(signal);
}

// What the options imply for one another, once all are known; usage and
// false when nothing would be written or checked.
static bool settle_run_kind(RunOptions *options) {
  // A dry run shows what the real run would write; records alone list as
  // --list does, and a check's records show what its lines would show.
  if (options->dry_run || (options->json && !options->check)) options->list = true;
  bool has_output = has_output_value(options->settings);
  if (options->check) {
    if (!has_output) return print_usage(stderr, false), false;
    // A check compares and writes nothing. The input conditions choose the
    // headers to check: one they refuse is left out, not a difference.
    options->read_only = true;
    options->skip_unmatched = true;
  } else if (!has_output) {
    if (!options->list) return print_usage(stderr, false), false;
    // Nothing to write: list what the headers hold, reading only.
    options->read_only = true;
  }
  return true;
}

// A check tells a failure from a difference: 2 once an error line was
// written, whatever else; 1 when a header differs; 0 when all hold.
static int check_status(const Reporter &reporter, int status) {
  if (reporter.counts.errors > 0) return 2;
  return status == 0 ? 0 : 1;
}

// A closed standard descriptor that can't be held (no /dev/null, as in a
// minimal chroot) ends the run before any file is opened; standard error
// says why when it is open.
static bool standard_descriptors_held() {
  int unheld = 0;
  if (hold_standard_descriptors(&unheld)) return true;
  int error = errno;
  static const char *const names[] = {"input", "output", "error"};
  if (fcntl(STDERR_FILENO, F_GETFD) != -1)
    report_error("standard %s is closed and /dev/null cannot be opened in its place: %s\n",
                 names[unheld], std::strerror(error));
  return false;
}

// Whether --check, --json and --dry-run stand among the options, wherever
// they stand: a silent scan ahead of the real one, so that the reporter can
// be chosen before it, and an error met before either of the first two is
// still answered as they ask. A word after "--" or the value of an option is
// no option, as in the real scan. The scanner moves the words it scans, so it
// scans a copy of the vector.
static void scan_output_modes(RunOptions *options, int argc, char **argv) {
  std::size_t size = (static_cast<std::size_t>(argc) + 1) * sizeof *argv;
  auto **words = static_cast<char **>(alloc_or_die(size));
  std::memcpy(words, argv, size);
  opterr = 0;
  int code;
  while ((code = getopt_long(argc, words, "hvr", long_option_table, nullptr)) != -1) {
    if (code == option_check) options->check = true;
    if (code == option_json) options->json = true;
    if (code == option_dry_run) options->dry_run = true;
  }
  opterr = 1;
  optind = 0;
  std::free(words);
}

// The scanner writes its complaints itself; each is an error line of the
// run all the same, with its record.
static void take_complaint(void *reporter, const char *line, std::size_t length) {
  static_cast<Reporter *>(reporter)->written_elsewhere(line, length);
}

// Fills `options` from the command line; false when it can't be run, after
// the error lines and the usage text that say why.
static bool scan_command_line(RunOptions *options, Reporter &reporter, int argc, char **argv) {
  set_complaint_observer(take_complaint, &reporter);
  bool scanned = true;
  int code;
  while (scanned && (code = getopt_long(argc, argv, "hvr", long_option_table, nullptr)) != -1)
    scanned = apply_option(options, code, optarg);
  set_complaint_observer(nullptr, nullptr);
  if (!scanned) return false;
  if (optind == argc) return print_usage(stderr, false), false;
  return settle_run_kind(options);
}

// A command line that can't be run: 2 under --check, whose 1 says a header
// differs; the summary after the error records.
static int refuse_command_line(const RunOptions &options, Reporter &reporter) {
  int status = options.check ? 2 : 1;
  reporter.summary(status, 0);
  out_flush();
  return status;
}

// Edits every file operand and ends the run as its reporter shows it;
// returns the exit status.
static int run_operands(RunOptions &options, Reporter &reporter, int argc, char **argv) {
  int status = 0;
  while (optind < argc && !pending_interrupt()) status |= edit_file(options, argv[optind++]);
  if (pending_interrupt()) stop_interrupted(reporter, pending_interrupt());
  if (options.check) status = check_status(reporter, status);
  reporter.summary(status, 0);
  bool prints_lines = options.list || options.check;
  if (!out_flush() && prints_lines) {
    fail(reporter, nullptr, 0, "standard output could not be written\n");
    status = options.check ? 2 : 1;
  }
  if (options.check) reporter.check_count();
  return status;
}

// The options, then the operands, all shown through one reporter.
static int run_with_reporter(RunOptions &options, Reporter &reporter, int argc, char **argv) {
  options.reporter = &reporter;
  if (!scan_command_line(&options, reporter, argc, argv))
    return refuse_command_line(options, reporter);
  set_broken_pipe_action(!options.read_only && !options.dry_run);
  catch_interrupts();
  return run_operands(options, reporter, argc, argv);
}

// The reporter is chosen once, here, for the whole run; returns the exit
// status.
static int run_command_line(int argc, char **argv) {
  RunOptions options;
  FlagsByMachine flags_by_machine;
  options.flags_by_machine = &flags_by_machine;
  scan_output_modes(&options, argc, argv);
  if (!options.json) {
    TextReporter text(options.settings);
    return run_with_reporter(options, text, argc, argv);
  }
  JsonReporter json(options.settings, options.dry_run);
  return run_with_reporter(options, json, argc, argv);
}

int tool_main(int argc, char **argv) {
  if (!standard_descriptors_held()) return 1;
  std::setlocale(LC_MESSAGES, "");
  std::setlocale(LC_CTYPE, "");
  char **given_argv = argv;
  expand_response_files(&argc, &argv);
  int status = run_command_line(argc, argv);
  // The vector that response files made lives until here.
  if (argv != given_argv) free_args(argv);
  return status;
}

}  // namespace hdrtune
