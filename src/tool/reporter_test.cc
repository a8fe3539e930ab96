// SPDX-License-Identifier: MIT
// reporter_test.cc - the run shown as text lines and as JSON records, from
// the same places, headers and failures.
#include "tool/reporter.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "runtime/standard_output.h"
#include "tool/json_records.h"
#include "tool/list_lines.h"

namespace hdrtune {
namespace {

// Descriptor 1 moved onto a scratch file while the record lives; output()
// flushes the list's stream and gives what it wrote.
class CapturedOutput {
 public:
  CapturedOutput() {
    char path[] = "/tmp/reporter_test.XXXXXX";
    fd_ = mkstemp(path);
    unlink(path);
    saved_ = dup(STDOUT_FILENO);
    dup2(fd_, STDOUT_FILENO);
  }
  ~CapturedOutput() {
    out_flush();
    dup2(saved_, STDOUT_FILENO);
    close(saved_);
    close(fd_);
  }
  std::string output() {
    out_flush();
    std::string text;
    char block[4096];
    ssize_t n;
    for (off_t at = 0; (n = pread(fd_, block, sizeof block, at)) > 0; at += n)
      text.append(block, static_cast<std::size_t>(n));
    return text;
  }

 private:
  int fd_ = -1, saved_ = -1;
};

// A little-endian ELF64 header with the given fields.
ElfHeader header_with(int machine, int type, int osabi, std::uint32_t flags) {
  unsigned char bytes[ELF64_HEADER_SIZE] = {0x7f, 'E', 'L', 'F', ELFCLASS64, ELFDATA2LSB, 1};
  bytes[EI_OSABI] = static_cast<unsigned char>(osabi);
  bytes[E_TYPE_OFFSET] = static_cast<unsigned char>(type);
  bytes[E_MACHINE_OFFSET] = static_cast<unsigned char>(machine);
  for (int i = 0; i < 4; ++i)
    bytes[E_FLAGS_OFFSET64 + i] = static_cast<unsigned char>(flags >> (8 * i));
  return decode_elf_header(bytes, ELF64_HEADER_SIZE);
}

HeaderPlace member_place(const char *display_name, const ElfHeader &header) {
  HeaderPlace place;
  place.operand = place.file = place.archive = "lib.a";
  place.member = "a.o";
  place.member_length = 3;
  place.display_name = display_name;
  place.offset = 68;
  place.header = &header;
  return place;
}

// The part of the record the JSON reporter lists for the place, from the
// key `from` up to the key `to`.
std::string listed_fields(JsonReporter &json, const HeaderPlace &place, const char *from,
                          const char *to) {
  CapturedOutput captured;
  json.listed(place);
  std::string record = captured.output();
  std::size_t at = record.find(from);
  return record.substr(at, record.find(to) - at);
}

TEST(TextReporter, EachLineShowsItsOwnValuesAfterTheLastOnesWereKept) {
  HeaderEditSettings settings;
  TextReporter text(settings);
  ElfHeader x86 = header_with(EM_X86_64, 1, ELFOSABI_NONE, 0);
  ElfHeader other = header_with(EM_X86_64, 1, ELFOSABI_FREEBSD, 5);
  CapturedOutput captured;
  text.listed(member_place("lib.a(a.o)", x86));
  text.listed(member_place("lib.a(b.o)", x86));
  text.listed(member_place("lib.a(c.o)", other));
  text.listed(member_place("lib.a(d.o)", x86));
  EXPECT_EQ(captured.output(),
            "lib.a(a.o): machine x86_64, type rel, OSABI none\n"
            "lib.a(b.o): machine x86_64, type rel, OSABI none\n"
            "lib.a(c.o): machine x86_64, type rel, OSABI FreeBSD, flags 0x5\n"
            "lib.a(d.o): machine x86_64, type rel, OSABI none\n");
}

TEST(TextReporter, ChangeAndCheckLinesShowTheValuesDecodedAfterTheEdit) {
  HeaderEditSettings settings;
  settings.output[HeaderField::osabi] = whole_value(ELFOSABI_FREEBSD);
  settings.output[HeaderField::flags] = {true, 0x4, 0x6};
  TextReporter text(settings);
  ElfHeader before = header_with(EM_X86_64, 1, ELFOSABI_NONE, 0x3);
  ElfHeader after = header_with(EM_X86_64, 1, ELFOSABI_FREEBSD, 0x5);
  CapturedOutput captured;
  text.changed(member_place("lib.a(a.o)", before), after);
  text.checked(member_place("lib.a(a.o)", before), after, true);
  text.checked(member_place("lib.a(b.o)", after), after, false);
  EXPECT_EQ(captured.output(),
            "lib.a(a.o): OSABI none -> FreeBSD, flags 0x3 -> 0x5\n"
            "lib.a(a.o): OSABI none, wanted FreeBSD; flags 0x3, wanted 0x4 (mask 0x6)\n"
            "lib.a(b.o): as wanted\n");
}

// Every byte that would act on a terminal, and a backslash, is escaped
// wherever it stands in the name: at each place of a long name in turn.
TEST(TextReporter, EscapesEachControlByteWhereverItStands) {
  HeaderEditSettings settings;
  TextReporter text(settings);
  ElfHeader header = header_with(EM_X86_64, 1, ELFOSABI_NONE, 0);
  const struct {
    char byte;
    const char *escape;
  } cases[] = {
      {'\x1b', "\\x1b"}, {'\x7f', "\\x7f"}, {'\\', "\\\\"}, {'\n', "\\n"}, {'\x01', "\\x01"}};
  for (const auto &c : cases) {
    for (std::size_t at = 0; at < 19; ++at) {
      std::string name(19, 'n');
      name[at] = c.byte;
      std::string shown = name.substr(0, at) + c.escape + name.substr(at + 1);
      CapturedOutput captured;
      text.unchanged(member_place(name.c_str(), header));
      EXPECT_EQ(captured.output(), shown + ": unchanged\n") << "byte at " << at;
    }
  }
  // Bytes above 0x7f, and those just past the escaped ones, stay as they are.
  CapturedOutput captured;
  text.unchanged(member_place("\xc3\xa9 !~]\x80\xff", header));
  EXPECT_EQ(captured.output(), "\xc3\xa9 !~]\x80\xff: unchanged\n");
}

// Names of every length: an escape among the last bytes of each is found,
// and a name with none is shown as it is.
TEST(TextReporter, EscapesAControlByteAmongTheLastBytesOfEveryLength) {
  HeaderEditSettings settings;
  TextReporter text(settings);
  ElfHeader header = header_with(EM_X86_64, 1, ELFOSABI_NONE, 0);
  for (std::size_t length = 1; length <= 27; ++length) {
    for (std::size_t back = 1; back <= length && back <= 9; ++back) {
      std::string name(length, 'n');
      name[length - back] = '\x1b';
      std::string shown = name.substr(0, length - back) + "\\x1b" + name.substr(length - back + 1);
      CapturedOutput captured;
      text.unchanged(member_place(name.c_str(), header));
      EXPECT_EQ(captured.output(), shown + ": unchanged\n") << length << ", " << back;
    }
    std::string plain(length, 'n');
    CapturedOutput captured;
    text.unchanged(member_place(plain.c_str(), header));
    EXPECT_EQ(captured.output(), plain + ": unchanged\n");
  }
}

HeaderPlace archive_member_place(const char *archive, const char *display_name,
                                 const ElfHeader &header) {
  HeaderPlace place = member_place(display_name, header);
  place.operand = place.file = place.archive = archive;
  return place;
}

// The archive part of a name is looked at once per archive: members of
// archives met one after another, with a control byte in the archive's path
// or in the member's name, are each shown as they are.
TEST(TextReporter, EscapesEachMemberOfArchivesMetInTurn) {
  HeaderEditSettings settings;
  TextReporter text(settings);
  ElfHeader header = header_with(EM_X86_64, 1, ELFOSABI_NONE, 0);
  const struct {
    const char *archive, *name, *shown;
  } cases[] = {
      {"lib.a", "lib.a(a.o)", "lib.a(a.o)"},
      {"lib.a", "lib.a(\x1b.o)", "lib.a(\\x1b.o)"},
      {"lib.a", "lib.a(\n.o)", "lib.a(\\n.o)"},
      {"lib.a", "lib.a(b.o)", "lib.a(b.o)"},
      {"l\x1b.a", "l\x1b.a(a.o)", "l\\x1b.a(a.o)"},
      {"l\x1b.a", "l\x1b.a(b.o)", "l\\x1b.a(b.o)"},
      {"lib.a", "lib.a(c.o)", "lib.a(c.o)"},
      {"lib.a.b", "lib.a.b(\x7f)", "lib.a.b(\\x7f)"},
      {"lib.a.b", "lib.a.b(d.o)", "lib.a.b(d.o)"},
      {"lib.a", "lib.a[n\\.a(e.o)]", "lib.a[n\\\\.a(e.o)]"},
      {"other/lib.a", "other/lib.a(a.o)", "other/lib.a(a.o)"},
      {"lib.a", "x.o", "x.o"},
  };
  CapturedOutput captured;
  std::string expected;
  for (const auto &c : cases) {
    text.unchanged(archive_member_place(c.archive, c.name, header));
    expected += std::string(c.shown) + ": unchanged\n";
  }
  HeaderPlace plain = member_place("p\x1b.o", header);
  plain.archive = nullptr;
  text.unchanged(plain);
  expected += "p\\x1b.o: unchanged\n";
  // The same buffer holding another path of the same length.
  char path[] = "lib.a";
  text.unchanged(archive_member_place(path, "lib.a(f.o)", header));
  path[1] = '\x1b';
  text.unchanged(archive_member_place(path,
                                      "l\x1b"
                                      "b.a(f.o)",
                                      header));
  EXPECT_EQ(captured.output(), expected + "lib.a(f.o): unchanged\nl\\x1bb.a(f.o): unchanged\n");
}

// A failure is rendered from its own record: the name it is about is the
// one it carries, whatever its text says.
TEST(JsonReporter, AFailureRecordNamesItsSubjectAndReason) {
  HeaderEditSettings settings;
  JsonReporter json(settings, false);
  CapturedOutput captured;
  testing::internal::CaptureStderr();
  fail(json, "dir/a.o", EACCES, "cannot open 'dir/a.o' at all\n");
  fail(json, nullptr, 0, "interrupted by %s\n", "SIGINT");
  EXPECT_EQ(testing::internal::GetCapturedStderr(),
            "hdrtune: Error: cannot open 'dir/a.o' at all\n"
            "hdrtune: Error: interrupted by SIGINT\n");
  EXPECT_EQ(json.counts.errors, 2u);
  EXPECT_EQ(captured.output(),
            "{\"format\":1,\"record\":\"error\",\"name\":\"dir/a.o\","
            "\"message\":\"hdrtune: Error: cannot open 'dir/a.o' at all\","
            "\"reason\":\"Permission denied\"}\n"
            "{\"format\":1,\"record\":\"error\",\"name\":null,"
            "\"message\":\"hdrtune: Error: interrupted by SIGINT\",\"reason\":null}\n");
}

// The same header written and then left as it is: the kept text of the
// first record must not stand for the second, whose "after" is null.
TEST(JsonReporter, HeaderRecordsShowAfterOnlyWhereAnEditWasAsked) {
  HeaderEditSettings settings;
  settings.output[HeaderField::osabi] = whole_value(ELFOSABI_FREEBSD);
  JsonReporter json(settings, true);
  ElfHeader before = header_with(EM_X86_64, 1, ELFOSABI_NONE, 0);
  ElfHeader after = header_with(EM_X86_64, 1, ELFOSABI_FREEBSD, 0);
  std::string records;
  {
    CapturedOutput captured;
    json.changed(member_place("lib.a(a.o)", before), after);
    json.listed(member_place("lib.a(a.o)", before));
    records = captured.output();
  }
  std::size_t end = records.find('\n');
  ASSERT_NE(end, std::string::npos);
  std::string first = records.substr(0, end), second = records.substr(end + 1);
  EXPECT_NE(first.find("\"result\":\"not_written\""), std::string::npos) << first;
  EXPECT_NE(first.find("\"after\":{\"machine\":{\"number\":62,\"name\":\"x86_64\"},"
                       "\"type\":{\"number\":1,\"name\":\"rel\"},"
                       "\"osabi\":{\"number\":9,\"name\":\"FreeBSD\"}"),
            std::string::npos)
      << first;
  EXPECT_NE(second.find("\"result\":\"listed\""), std::string::npos) << second;
  EXPECT_NE(second.find("\"after\":null"), std::string::npos) << second;
  EXPECT_NE(second.find("\"operand\":\"lib.a\",\"file\":\"lib.a\",\"archive\":\"lib.a\","
                        "\"member\":\"a.o\",\"nested_archive\":null,\"offset\":68"),
            std::string::npos)
      << second;
}

// A member's record names it by its archive's path and its own name; each
// part that is not UTF-8 brings its bytes in hex, as any other name does.
TEST(JsonReporter, AMembersNameIsItsArchivesPathAndItsOwnName) {
  HeaderEditSettings settings;
  JsonReporter json(settings, false);
  ElfHeader header = header_with(EM_X86_64, 1, ELFOSABI_NONE, 0);
  auto record_of = [&](const char *archive, const char *member, const char *display_name) {
    HeaderPlace place = member_place(display_name, header);
    place.operand = place.file = place.archive = archive;
    place.member = member;
    place.member_length = std::strlen(member);
    std::string record;
    {
      CapturedOutput captured;
      json.listed(place);
      record = captured.output();
    }
    std::size_t at = record.find(",\"name\":");
    return record.substr(at, record.find(",\"operand\":") - at) + " " +
           record.substr(record.find(",\"member\":"));
  };
  auto fields = [](const std::string &record) {
    return record.substr(0, record.find(",\"nested"));
  };
  EXPECT_EQ(fields(record_of("d/li\"b.a", "a.o", "d/li\"b.a(a.o)")),
            ",\"name\":\"d/li\\\"b.a(a.o)\" ,\"member\":\"a.o\"");
  EXPECT_EQ(fields(record_of("d/li\"b.a", "b\xff.o", "d/li\"b.a(b\xff.o)")),
            ",\"name\":\"d/li\\\"b.a(b\\ufffd.o)\",\"name_hex\":\"642f6c692262"
            "2e612862ff2e6f29\" ,\"member\":\"b\\ufffd.o\",\"member_hex\":\"62ff2e6f\"");
  EXPECT_EQ(fields(record_of("\xfe.a", "a.o", "\xfe.a(a.o)")),
            ",\"name\":\"\\ufffd.a(a.o)\",\"name_hex\":\"fe2e6128612e6f29\" ,\"member\":\"a.o\"");
  EXPECT_EQ(fields(record_of("thin.a", "a.o", "thin.a[a.o]")),
            ",\"name\":\"thin.a[a.o]\" ,\"member\":\"a.o\"");
}

// The operand, the file and the archive repeat from record to record, but
// each record shows its own: a change of any one of them, or a return to
// the first, is shown.
TEST(JsonReporter, EachRecordShowsItsOwnOperandFileAndArchive) {
  HeaderEditSettings settings;
  JsonReporter json(settings, false);
  ElfHeader header = header_with(EM_X86_64, 1, ELFOSABI_NONE, 0);
  auto paths_of = [&](const char *operand, const char *file, const char *archive) {
    HeaderPlace place = member_place("x", header);
    place.operand = operand;
    place.file = file;
    place.archive = archive;
    return listed_fields(json, place, ",\"operand\":", ",\"member\":");
  };
  // A path that starts with the last one, or that the last one starts
  // with, is another path.
  const char *runs[][3] = {
      {"a", "a", "a"},     {"a", "a", "a"},    {"a", "b", "a"},    {"a", "b", "c"}, {"d", "b", "c"},
      {"d", "b", nullptr}, {"a", "a", "a"},    {"ab", "ab", "ab"}, {"a", "a", "a"}, {"", "", ""},
      {"a", "a", "a"},     {"ab", "abc", "a"}, {"ab", "ab", "abc"}};
  for (const auto &run : runs) {
    std::string archive = run[2] ? std::string("\"") + run[2] + '"' : "null";
    EXPECT_EQ(paths_of(run[0], run[1], run[2]), std::string(",\"operand\":\"") + run[0] +
                                                    "\",\"file\":\"" + run[1] +
                                                    "\",\"archive\":" + archive);
  }
}

// The file is most often the operand itself, one string reused from file
// to file: each record shows what it holds then.
TEST(JsonReporter, AFileThatIsTheOperandShowsItsBytesOfTheMoment) {
  HeaderEditSettings settings;
  JsonReporter json(settings, false);
  ElfHeader header = header_with(EM_X86_64, 1, ELFOSABI_NONE, 0);
  char path[] = "a.o";
  const char *other = "b.o";
  auto paths_of = [&](const char *file) {
    HeaderPlace place = member_place("x", header);
    place.operand = path;
    place.file = file;
    place.archive = nullptr;
    return listed_fields(json, place, ",\"operand\":", ",\"archive\":");
  };
  EXPECT_EQ(paths_of(path), ",\"operand\":\"a.o\",\"file\":\"a.o\"");
  path[0] = 'c';
  EXPECT_EQ(paths_of(path), ",\"operand\":\"c.o\",\"file\":\"c.o\"");
  EXPECT_EQ(paths_of(other), ",\"operand\":\"c.o\",\"file\":\"b.o\"");
  EXPECT_EQ(paths_of(path), ",\"operand\":\"c.o\",\"file\":\"c.o\"");
  path[0] = 'b';
  EXPECT_EQ(paths_of(path), ",\"operand\":\"b.o\",\"file\":\"b.o\"");
  EXPECT_EQ(paths_of(nullptr), ",\"operand\":\"b.o\",\"file\":null");
}

// A member's name is written as any other string is, whatever archive came
// before it: the name and the member fields of each record in a run are the
// JSON strings of their own bytes.
TEST(JsonReporter, AMembersNameIsItsOwnStringWhateverCameBefore) {
  HeaderEditSettings settings;
  JsonReporter json(settings, false);
  ElfHeader header = header_with(EM_X86_64, 1, ELFOSABI_NONE, 0);
  auto quoted = [](const std::string &bytes) {
    JsonBuffer buffer;
    bool exact = json_string(&buffer, bytes.data(), bytes.size());
    std::string text(buffer.data, buffer.length);
    json_release(&buffer);
    return exact ? text : text + " (not exact)";
  };
  const char *runs[][3] = {{"l.a", "a.o", "l.a(a.o)"},
                           {"l.a", "b\".o", "l.a(b\".o)"},
                           {"l.a", "c.o", "l.a(c.o)"},
                           {"m.a", "c.o", "m.a(c.o)"},
                           {"m.a", "c.o", "l.a(c.o)"},
                           {"m.a", "c.o", "m.a(x.o)"},
                           {"m.a", "(c.o", "m.a((c.o)"},
                           {"\xe2\x82", "d", "\xe2\x82(d)"},
                           {"\xe2\x82", "d", "\xe2\x82(d)"},
                           {"m.a", "c.o", "m.a[c.o]"},
                           {"m.a", "", "m.a()"},
                           {"m.a", "c.o", "m.a(c.o)"}};
  for (const auto &run : runs) {
    HeaderPlace place = member_place(run[2], header);
    place.operand = place.file = place.archive = run[0];
    place.member = run[1];
    place.member_length = std::strlen(run[1]);
    CapturedOutput captured;
    json.listed(place);
    std::string record = captured.output();
    // The name's text, and " (not exact)" where its hex follows it.
    std::size_t name = record.find(",\"name\":") + 8, member = record.find(",\"member\":") + 10;
    std::size_t name_end = std::min(record.find(",\"name_hex\":"), record.find(",\"operand\":"));
    std::string name_text = record.substr(name, name_end - name);
    if (record.find(",\"name_hex\":") != std::string::npos) name_text += " (not exact)";
    EXPECT_EQ(name_text, quoted(run[2])) << run[2];
    EXPECT_EQ(record.substr(member, record.find(",\"nested") - member), quoted(run[1])) << run[1];
  }
}

}  // namespace
}  // namespace hdrtune
