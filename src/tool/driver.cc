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

#include "runtime/argv.h"
#include "runtime/process.h"
#include "runtime/standard_output.h"
#include "support/diagnostics.h"
#include "tool/flags_names.h"
#include "tool/json_records.h"
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

void show_usage(std::FILE *stream, int status) {
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
  if (status == 0) std::fprintf(stream, "Report bugs to %s\n", report_address);
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

// The alternatives an input option's argument may give, and the single
// setting they stand in for.
static InputChoices *choices_for(HeaderEditSettings *s, ChoiceField field) {
  switch (field) {
    case ChoiceField::machine: return &s->input_machine_choices;
    case ChoiceField::type: return &s->input_type_choices;
    case ChoiceField::osabi: return &s->input_osabi_choices;
    case ChoiceField::abi_version: return &s->input_abi_version_choices;
  }
  return nullptr;
}

// An input condition: one keyword, or alternatives separated by commas (no
// keyword holds one). The option given last wins, whichever form it has.
static bool apply_input_option(HeaderEditSettings *s, int code, const char *argument) {
  ChoiceField field = code == option_input_mach    ? ChoiceField::machine
                      : code == option_input_type  ? ChoiceField::type
                      : code == option_input_osabi ? ChoiceField::osabi
                                                   : ChoiceField::abi_version;
  std::int32_t *single[] = {&s->input_machine, &s->input_type, &s->input_osabi,
                            &s->input_abi_version};
  std::int32_t *value = single[static_cast<int>(field)];
  *choices_for(s, field) = {};
  if (field == ChoiceField::machine) {
    s->input_class = -1;
    s->input_data_encoding = any_byte_order;
  }
  *value = -1;
  if (std::strchr(argument, ','))
    return lookup_input_choices(field, argument, choices_for(s, field));
  Target target;
  if (field != ChoiceField::machine) {
    std::int32_t (*lookups[])(const char *) = {nullptr, lookup_type, lookup_osabi,
                                               lookup_abi_version};
    return (*value = lookups[static_cast<int>(field)](argument)) != -1;
  }
  if (!lookup_target(argument, &target)) return false;
  *value = target.e_machine;
  s->input_class = target.elf_class;
  s->input_data_encoding = target.data_encoding;
  return true;
}

// Stores one option's value; returns false after a keyword was refused.
static bool apply_option(RunOptions *options, int code, const char *argument) {
  HeaderEditSettings &s = options->settings;
  Target target;
  switch (code) {
    case option_input_mach:
    case option_input_type:
    case option_input_osabi:
    case option_input_abi_version: return apply_input_option(&s, code, argument);
    case option_output_mach:
      if (!lookup_target(argument, &target)) return false;
      s.output_machine = target.e_machine;
      s.output_class = target.elf_class;
      s.output_data_encoding = target.data_encoding;
      return true;
    case option_output_type: return (s.output_type = lookup_type(argument)) != -1;
    case option_output_osabi:
      return lookup_osabi_row(argument, &s.output_osabi, &s.output_osabi_machine);
    case option_output_abi_version:
      return (s.output_abi_version = lookup_abi_version(argument)) != -1;
    case option_input_flags:
      return lookup_flags_setting(argument, &s.input_flags, &s.input_flags_names);
    case option_output_flags:
      return lookup_flags_setting(argument, &s.output_flags, &s.output_flags_names);
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
    default: show_usage(stderr, 1);
  }
}

int edit_file(const RunOptions &options, const char *path) {
  PlaceScope place;
  current_place.operand = path;
  if (options.recursive && is_directory(path)) return edit_tree(options, path);
  PathToEdit target;
  target.name = target.path = target.display_name = path;
  return open_and_edit(options, target) == EditOutcome::edited ? 0 : 1;
}

// The command line after response-file expansion. It lives for the whole run;
// holding it here keeps it reachable to the end, so leak checkers stay quiet.
// Not static: the compiler would drop a store that nothing reads.
char **expanded_argv = nullptr;

// A run that only reads (a listing, a dry run, a check) ends as soon as the
// reader of its output goes away, as any filter does. A run that writes
// never stops half way through a tree for that: it goes on and reports the
// lost output at the end.
static void set_broken_pipe_action(bool writes_files) {
  std::signal(SIGPIPE, writes_files ? SIG_IGN : SIG_DFL);
}

// Every header named in the list so far was written, and no other: say so by
// flushing the list, then end as the signal would have ended the run.
[[noreturn]] static void stop_interrupted(const RunOptions &options, int signal) {
  report_error("interrupted by %s\n", interrupt_name(signal));
  if (options.json) {
    json_summary_record(0, signal);
    out_flush();
  }
  end_by_signal(signal);
}

// What the options imply for one another, once all are known; usage when
// nothing would be written or checked.
static void settle_run_kind(RunOptions *options) {
  // A dry run shows what the real run would write; records alone list as
  // --list does, and a check's records show what its lines would show.
  if (options->dry_run || (options->json && !options->check)) options->list = true;
  bool has_output = has_output_value(options->settings);
  if (options->check) {
    if (!has_output) show_usage(stderr, 1);
    // A check compares and writes nothing. The input conditions choose the
    // headers to check: one they refuse is left out, not a difference.
    options->read_only = true;
    options->skip_unmatched = true;
  } else if (!has_output) {
    if (!options->list) show_usage(stderr, 1);
    // Nothing to write: list what the headers hold, reading only.
    options->read_only = true;
  }
}

// A check tells a failure from a difference: 2 once an error line was
// written, whatever else; 1 when a header differs; 0 when all hold.
static int check_status(int status) {
  if (error_count() > 0) return 2;
  return status == 0 ? 0 : 1;
}

// A closed standard descriptor that can't be held (no /dev/null, as in a
// minimal chroot) ends the run before any file is opened; standard error
// says why when it is open.
static bool standard_descriptors_held() {
  int unheld = hold_standard_descriptors();
  if (unheld < 0) return true;
  int error = errno;
  static const char *const names[] = {"input", "output", "error"};
  if (fcntl(STDERR_FILENO, F_GETFD) != -1)
    report_error("standard %s is closed and /dev/null cannot be opened in its place: %s\n",
                 names[unheld], std::strerror(error));
  return false;
}

int tool_main(int argc, char **argv) {
  if (!standard_descriptors_held()) return 1;
  std::setlocale(LC_MESSAGES, "");
  std::setlocale(LC_CTYPE, "");
  expand_response_files(&argc, &argv);
  expanded_argv = argv;

  RunOptions options;
  int code;
  while ((code = getopt_long(argc, argv, "hvr", long_option_table, nullptr)) != -1)
    if (!apply_option(&options, code, optarg)) return 1;

  if (optind == argc) show_usage(stderr, 1);
  settle_run_kind(&options);
  set_broken_pipe_action(!options.read_only && !options.dry_run);
  catch_interrupts();
  if (options.json) start_json_records(options);

  int status = 0;
  while (optind < argc && !pending_interrupt()) status |= edit_file(options, argv[optind++]);
  if (pending_interrupt()) stop_interrupted(options, pending_interrupt());
  if (options.check) status = check_status(status);
  if (options.json) json_summary_record(status, 0);
  bool prints_lines = options.list || options.check;
  if (!out_flush() && prints_lines) {
    report_error("standard output could not be written\n");
    status = options.check ? 2 : 1;
  }
  if (options.check) print_check_count();
  return status;
}

}  // namespace hdrtune
