// SPDX-License-Identifier: MIT
// keyword_lists.cc - the keyword lists of the manual page and the shell
// completions, written from the tool's own tables.
#include "tool/keyword_lists.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <vector>

#include "tool/flags_names.h"
#include "tool/target_names.h"

namespace hdrtune {

namespace {

// A value as the manual page gives it: in decimal, or in hexadecimal where
// the number is one of the old 16-bit values that only read as such.
std::string value_text(std::int32_t value) {
  char text[16];
  std::snprintf(text, sizeof text, value < 0x1000 ? "%d" : "0x%x", value);
  return text;
}

// roff takes a plain "-" as a hyphen; a keyword's minus is typed as "\-".
std::string roff_text(const std::string &text) {
  std::string escaped;
  for (char c : text) escaped += c == '-' ? std::string("\\-") : std::string(1, c);
  return escaped;
}

std::string class_text(std::int32_t elf_class) {
  return elf_class == 1 ? "32-bit" : elf_class == 2 ? "64-bit" : "either class";
}

std::string byte_order_text(std::int32_t data_encoding) {
  return data_encoding == 1 ? "little-endian" : data_encoding == 2 ? "big-endian" : "";
}

std::vector<std::string> machine_entries(bool with_values) {
  std::vector<std::string> entries;
  for (const KeywordRow &row : machine_keywords)
    entries.push_back(with_values ? row.name + std::string(" (") + value_text(row.value) + ")"
                                  : std::string(row.name));
  if (!with_values)
    for (const TargetAlias &alias : target_aliases()) entries.push_back(alias.name);
  return entries;
}

std::vector<std::string> osabi_entries(bool with_values) {
  std::vector<std::string> entries;
  for (const KeywordRow &row : osabi_keywords) {
    std::string entry = row.name;
    if (with_values) entry += " (" + value_text(row.value) + ")";
    if (with_values && row.machine != any_machine)
      entry += std::string(" on ") + machine_name(row.machine);
    entries.push_back(entry);
  }
  return entries;
}

std::vector<std::string> type_entries(bool with_values) {
  std::vector<std::string> entries;
  for (const KeywordRow &row : type_keywords)
    entries.push_back(with_values ? row.name + std::string(" (") + value_text(row.value) + ")"
                                  : std::string(row.name));
  return entries;
}

// "ALIAS: MACHINE, CLASS, ORDER", one a line for the manual page.
std::vector<std::string> alias_entries() {
  std::vector<std::string> entries;
  for (const TargetAlias &alias : target_aliases())
    entries.push_back(std::string(alias.name) + ": " + machine_name(alias.e_machine) + ", " +
                      class_text(alias.elf_class) + ", " + byte_order_text(alias.data_encoding));
  return entries;
}

// The entries joined by `separator` into lines of at most `width` bytes,
// each started by `indent`.
std::string filled(const std::vector<std::string> &entries, const char *separator,
                   const std::string &indent, std::size_t width) {
  std::string text, line = indent;
  for (std::size_t i = 0; i < entries.size(); ++i) {
    std::string entry = entries[i] + (i + 1 < entries.size() ? separator : "");
    std::size_t trimmed = line.size();
    if (trimmed > indent.size() && trimmed + 1 + entry.size() > width) {
      while (!line.empty() && line.back() == ' ') line.pop_back();
      text += line + "\n";
      line = indent;
    }
    if (line.size() > indent.size() && line.back() != ' ') line += ' ';
    line += entry;
  }
  while (!line.empty() && line.back() == ' ') line.pop_back();
  return text + line + "\n";
}

std::string hex_text(std::uint32_t value) {
  char text[16];
  std::snprintf(text, sizeof text, "0x%x", value);
  return text;
}

// The manual page's fields of one machine's flags word, one paragraph a
// machine: "rvc (0x1); float-abi (mask 0x6): soft (0x0), single (0x2)".
std::vector<std::string> flags_paragraphs() {
  std::vector<std::string> paragraphs;
  std::int32_t machine = -1;
  const char *field = "";
  for (const FlagsName &row : flags_names()) {
    bool same_field = row.e_machine == machine && std::strcmp(row.field, field) == 0;
    if (row.e_machine != machine)
      paragraphs.push_back(".TP\n.B " + roff_text(machine_name(row.e_machine)) + "\n");
    std::string &text = paragraphs.back();
    if (row.value[0] == '\0') {
      text += std::string(text.back() == '\n' ? "" : ";\n") + roff_text(row.field) + " (" +
              hex_text(row.bits) + ")";
    } else if (same_field) {
      text += ", " + roff_text(row.value) + " (" + hex_text(row.bits) + ")";
    } else {
      text += std::string(text.back() == '\n' ? "" : ";\n") + roff_text(row.field) + " (mask " +
              hex_text(row.mask) + "): " + roff_text(row.value) + " (" + hex_text(row.bits) + ")";
    }
    machine = row.e_machine;
    field = row.field;
  }
  for (std::string &text : paragraphs) text += "\n";
  return paragraphs;
}

// The settings a completion offers: FIELD=VALUE, NAME and no-NAME, each once.
std::vector<std::string> flags_settings() {
  std::vector<std::string> words;
  for (const FlagsName &row : flags_names()) {
    std::vector<std::string> forms;
    if (row.value[0])
      forms = {std::string(row.field) + "=" + row.value};
    else
      forms = {row.field, std::string("no-") + row.field};
    for (const std::string &form : forms)
      if (std::find(words.begin(), words.end(), form) == words.end()) words.push_back(form);
  }
  return words;
}

std::vector<std::string> entries_of(const std::string &list, bool with_values) {
  if (list == "machines") return machine_entries(with_values);
  if (list == "osabis") return osabi_entries(with_values);
  if (list == "types") return type_entries(with_values);
  if (list == "aliases") return alias_entries();
  if (list == "flags") return with_values ? flags_paragraphs() : flags_settings();
  return {};
}

// What stands between the BEGIN and END lines of a list: the manual page
// gives values, a completion the words a user can type.
bool list_text(const std::string &list, DocumentKind kind, std::string *text) {
  if (kind == DocumentKind::manual_page) {
    std::vector<std::string> entries = entries_of(list, true);
    if (entries.empty()) return false;
    std::string body;
    if (list == "aliases") {
      for (const std::string &entry : entries) body += ".TP\n.B " + roff_text(entry) + "\n";
      *text = body;
      return true;
    }
    if (list == "flags") {
      for (const std::string &entry : entries) body += entry;
      *text = body;
      return true;
    }
    for (std::string &entry : entries) entry = roff_text(entry);
    *text = filled(entries, ",", "", 76);
    return true;
  }
  std::vector<std::string> entries = entries_of(list, false);
  if (entries.empty() || list == "aliases") return false;
  bool bash = kind == DocumentKind::bash_completion;
  std::string variable = "_hdrtune_" + list;
  *text = variable + (bash ? "=\"\n" : "=(\n") + filled(entries, "", "  ", 90) +
          (bash ? "\"\n" : ")\n");
  return true;
}

}  // namespace

bool with_keyword_lists(const std::string &text, DocumentKind kind, std::string *rewritten) {
  const std::string comment = kind == DocumentKind::manual_page ? ".\\\" " : "# ";
  const std::string begin = comment + "BEGIN ", end = comment + "END ";
  std::string out;
  std::size_t at = 0;
  for (std::size_t found; (found = text.find("\n" + begin, at)) != std::string::npos;) {
    std::size_t name_start = found + 1 + begin.size();
    std::size_t line_end = text.find('\n', name_start);
    if (line_end == std::string::npos) return false;
    std::string list = text.substr(name_start, line_end - name_start);
    std::size_t closing = text.find("\n" + end + list + "\n", line_end);
    std::string body;
    if (closing == std::string::npos || !list_text(list, kind, &body)) return false;
    out += text.substr(at, line_end + 1 - at) + body;
    at = closing + 1;
  }
  *rewritten = out + text.substr(at);
  return true;
}

}  // namespace hdrtune
