// SPDX-License-Identifier: MIT
// member_names_test.cc - member names, display names and thin member paths.
#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "support/archive_state.h"
#include "support/archive_test_helpers.h"
#include "support/member_names.h"

namespace hdrtune {
namespace {

// An archive file: `table` (the long-name table) at offset 0, then a header
// with each name given, each followed by 64 bytes of data.
class MemberName : public ::testing::Test {
 protected:
  void open(const std::string &table, const std::vector<std::string> &names, int is_thin = 0) {
    std::string bytes = table;
    for (const std::string &name : names) {
      offsets.push_back(bytes.size());
      // Names may run on into ar_date, as numbers past 16 bytes do.
      bytes += padded_field(name, ar_size_offset) + padded_field("64", 10) + "`\n";
      bytes += std::string(64, 'd');
    }
    ASSERT_TRUE(open_temp_file(&file, bytes));
    state.file_name = strdup("lib.a");
    state.file = &file;
    state.is_thin = is_thin;
    if (!table.empty()) {
      ASSERT_EQ(long_names_open(&state.long_names, &file, 0, table.size()), LongNameStatus::found);
    }
  }
  // The i-th member's name, or the message of a header that names nothing.
  std::string name_of(int i) {
    testing::internal::CaptureStderr();
    bool named = archive_member_at(&state, offsets[i], &member);
    std::string errors = testing::internal::GetCapturedStderr();
    if (!named) return errors.substr(std::strlen("hdrtune: Error: "));
    return std::string(member.name, member.name_length);
  }
  void TearDown() override {
    archive_release(&state);
    if (file.fd >= 0) close_edited_file(&file);
  }
  ArchiveState state;
  PositionedFile file;
  ArchiveMember member;
  std::vector<std::uint64_t> offsets;
};

// Without a '/', the spaces that pad a short name are no part of it, in
// every archive; spaces inside it or before its '/' are.
TEST_F(MemberName, ShortNameEndsAtASlashOrItsPaddingOrFillsAll16Bytes) {
  open("", {"abcdefghijklmno/", "abcdefghijklmnop", "foo.o", std::string("ab\0cd/", 6), "/5",
            "sp ace.o", "sp ace.o  /", "                "});
  EXPECT_EQ(name_of(0), "abcdefghijklmno");
  EXPECT_EQ(member.name, state.found_header.ar_name) << "the name is the header's own bytes";
  EXPECT_EQ(member.place, MemberPlace::in_archive);
  EXPECT_EQ(member.data_offset, offsets[0] + ar_header_size);
  EXPECT_EQ(member.size, 64u);
  EXPECT_EQ(name_of(1), "abcdefghijklmnop");
  EXPECT_EQ(name_of(2), "foo.o");
  EXPECT_EQ(name_of(3), "ab") << "a NUL ends the name first";
  EXPECT_EQ(name_of(4), "Archive member uses long names, but no longname table found\n");
  EXPECT_EQ(name_of(5), "sp ace.o");
  EXPECT_EQ(name_of(6), "sp ace.o  ");
  EXPECT_EQ(name_of(7), "");
}

// A lookup writes nothing: a name reads the same every time, "abc//" too.
TEST_F(MemberName, LongNamesEndAtNewlineNulOrTheTablesEndTheSameEveryTime) {
  std::string table = "averyveryverylongname.o/\nlf-ended.o\n" + std::string("nul-ended.o\0", 12) +
                      "abc//\ntail-of-table.o/";
  open(table, {"/0:1234", "/25", "/36", "/48", "/54", "/70", "/71", "/48"});
  EXPECT_EQ(name_of(0), "averyveryverylongname.o");
  EXPECT_EQ(member.place, MemberPlace::in_archive) << "':' counts only in thin archives";
  EXPECT_EQ(name_of(0), "averyveryverylongname.o");
  EXPECT_EQ(name_of(1), "lf-ended.o");
  EXPECT_EQ(name_of(2), "nul-ended.o");
  EXPECT_EQ(name_of(3), "abc/");
  EXPECT_EQ(name_of(4), "tail-of-table.o");
  EXPECT_EQ(name_of(5), "") << "an index equal to the size";
  EXPECT_EQ(name_of(6), "Found long name index (71) beyond end of long name table\n");
  EXPECT_EQ(name_of(7), "abc/");
  EXPECT_EQ(table, std::string(state.long_names.window, state.long_names.window_length));
}

TEST_F(MemberName, ThinArchivesNameFilesOfTheirOwnAndMembersOfNestedArchives) {
  open("sub/lib.a/\nobj/foo.o/\n\n", {"/0:94", "/11", "/11:0", "foo.o/", "/21:94"}, 1);
  EXPECT_EQ(name_of(0), "sub/lib.a");
  EXPECT_EQ(member.place, MemberPlace::nested);
  EXPECT_EQ(member.nested_offset, 94u);
  EXPECT_EQ(name_of(1), "obj/foo.o");
  EXPECT_EQ(member.place, MemberPlace::own_file);
  EXPECT_EQ(name_of(2), "obj/foo.o");
  EXPECT_EQ(member.place, MemberPlace::own_file) << "offset 0 is no nesting";
  EXPECT_EQ(name_of(3), "foo.o");
  EXPECT_EQ(member.place, MemberPlace::own_file);
  EXPECT_EQ(name_of(4), "Invalid Thin archive member name\n");
}

// A "#1/N" name is read in pieces up to its first NUL: a claim of a
// mebibyte over a short name costs the short name. (The bound itself is
// tested from the command line.)
TEST(BsdMemberName, ReadInPiecesUpToItsNul) {
  const std::size_t claim = 1024 * 1024;
  std::string data = "b.o" + std::string(claim - 3, '\0') + "ELF";
  PositionedFile file;
  ASSERT_TRUE(open_temp_file(&file, ar_header("#1/1048576", std::to_string(data.size())) + data,
                             archive_window_size));
  ArchiveState state;
  state.file_name = strdup("lib.a");
  state.file = &file;
  ArchiveMember member;
  ASSERT_TRUE(archive_member_at(&state, 0, &member));
  EXPECT_EQ(std::string(member.name, member.name_length), "b.o");
  EXPECT_EQ(member.elf_offset, ar_header_size + claim);
  EXPECT_EQ(member.size, 3u);
  EXPECT_LE(state.bsd_name.capacity, 4096u);
  archive_release(&state);
  close_edited_file(&file);
}

// The reader alone moves through the archive: past a member's data in a
// regular archive, past its header alone in a thin one; past the index and
// the long-name table, which it hands out as such. Only the first member of
// a BSD archive is its index.
TEST(ArchiveNextMember, HandsOutEachMemberAndMovesItsCursor) {
  auto walk = [](const std::string &bytes, int is_thin) {
    PositionedFile file;
    EXPECT_TRUE(open_temp_file(&file, bytes, archive_window_size));
    ArchiveState state;
    EXPECT_TRUE(archive_start(&state, "lib.a", &file, is_thin));
    std::string seen;
    ArchiveMember member;
    while (archive_next_member(&state, &member) == MemberRead::member) {
      const char *kinds[] = {"candidate", "index", "long-names", "damage"};
      seen += std::string(kinds[static_cast<int>(member.kind)]) + " " +
              std::string(member.name, member.name_length) + " @" +
              std::to_string(member.header_offset) + "+" +
              std::to_string(member.elf_offset - member.header_offset) + " next " +
              std::to_string(state.next_header_offset) + "\n";
      if (member.kind == MemberKind::damage) break;  // as the walk ends there
    }
    archive_release(&state);
    close_edited_file(&file);
    return seen;
  };
  std::string bsd = "!<arch>\n" + ar_member("__.SYMDEF", "12345678") + ar_member("a.o", "x") +
                    ar_member("#1/12", std::string("__.SYMDEF\0\0\0elf", 15)) +
                    ar_member("__.SYMDEF SORTED", "elf!");
  EXPECT_EQ(walk(bsd, 0),
            "index __.SYMDEF @8+60 next 76\n"
            "candidate a.o @76+60 next 138\n"
            "candidate __.SYMDEF @138+72 next 214\n"
            "candidate __.SYMDEF SORTED @214+60 next 278\n");
  std::string thin = "!<thin>\n" + ar_member("/", std::string(4, '\0')) +
                     ar_member("//", "a.o/\n") + ar_header("/0", "4000") + ar_header("b.o/", "64");
  EXPECT_EQ(walk(thin, 1),
            "index  @8+60 next 72\n"
            "long-names  @72+60 next 138\n"
            "candidate a.o @138+60 next 198\n"
            "candidate b.o @198+60 next 258\n");
  std::string damaged = "!<arch>\n" + ar_member("//", "x") + ar_member("a.o/", "x");
  testing::internal::CaptureStderr();
  EXPECT_EQ(walk(damaged, 0), "damage  @8+60 next 8\n");
  EXPECT_EQ(testing::internal::GetCapturedStderr(),
            "hdrtune: Error: lib.a: long name table is too small, (size = 1)\n");
}

// The member value says where its header stands and whether its data runs
// past the archive's end, so that a walk needs nothing of the reader's own.
// A size that takes the cursor out of reach is the reader's to report when
// it reads on. Reading a member by its offset moves neither the cursor nor
// the header it holds.
TEST(ArchiveMemberValue, TellsWhereItStandsAndWhetherItsDataRunsPastTheEnd) {
  auto walk = [](const std::string &bytes) {
    PositionedFile file;
    EXPECT_TRUE(open_temp_file(&file, bytes));
    ArchiveState state;
    EXPECT_TRUE(archive_start(&state, "lib.a", &file, 0));
    ArchiveMember member;
    std::string seen;
    testing::internal::CaptureStderr();
    std::uint64_t last = 0;
    while (archive_next_member(&state, &member) == MemberRead::member) {
      EXPECT_EQ(member.file, &file);
      seen += std::string(member.name, member.name_length) + (member.data_past_end ? "+ " : "- ");
      last = member.header_offset;
      std::uint64_t cursor = state.next_header_offset;
      ArHeader header = state.header;
      ArchiveMember first;
      EXPECT_TRUE(archive_member_at(&state, first_header_offset, &first));
      EXPECT_EQ(std::string(first.name, first.name_length), "a.o");
      EXPECT_EQ(state.next_header_offset, cursor) << "the cursor moved";
      EXPECT_EQ(std::memcmp(&state.header, &header, sizeof header), 0) << "the header changed";
    }
    EXPECT_TRUE(archive_member_at(&state, last, &member));
    seen += member.data_past_end ? "at+ " : "at- ";
    archive_release(&state);
    close_edited_file(&file);
    return seen + testing::internal::GetCapturedStderr();
  };
  std::string a = ar_member("a.o/", "xy");
  EXPECT_EQ(walk("!<arch>\n" + a + ar_header("b.o/", "64") + "cut"), "a.o- b.o+ at+ ");
  EXPECT_EQ(walk("!<arch>\n" + a + ar_header("c.o/", "-2")),
            "a.o- c.o- at+ hdrtune: Error: lib.a: failed to seek to next archive header\n");
}

TEST(DisplayName, ThreeFormsEachSizedExactly) {
  const char *archive = "some/dir/libverylongname.a";
  NameBuffer buffer;
  auto display = [&](bool is_thin, const char *nested) {
    return std::string(archive_display_name(&buffer, archive, std::strlen(archive), is_thin, nested,
                                            "averyveryverylongname.o/x", 23, stderr_failures()));
  };
  EXPECT_EQ(display(false, nullptr), "some/dir/libverylongname.a(averyveryverylongname.o)");
  EXPECT_EQ(display(true, nullptr), "some/dir/libverylongname.a[averyveryverylongname.o]");
  EXPECT_EQ(display(true, "some/dir/nested.a"),
            "some/dir/libverylongname.a[some/dir/nested.a(averyveryverylongname.o)]");
  // The buffer is reused: a shorter name after a longer one ends where it should.
  EXPECT_EQ(
      std::string(archive_display_name(&buffer, "a", 1, false, nullptr, "b", 1, stderr_failures())),
      "a(b)");
  std::free(buffer.bytes);
}

std::string path_of(const char *archive, const char *name, std::uint64_t length) {
  char *path = thin_member_path(archive, name, length, stderr_failures());
  std::string result = path ? path : "(none)";
  std::free(path);
  return result;
}

TEST(ThinMemberPath, RelativeToTheArchivesDirectory) {
  EXPECT_EQ(path_of("dir/thin.a", "obj/foo.o", 9), "dir/obj/foo.o");
  EXPECT_EQ(path_of("/a/b/thin.a", "foo.o/\n", 5), "/a/b/foo.o") << "only the length counts";
  EXPECT_EQ(path_of("dir/thin.a", "/abs/foo.o", 10), "/abs/foo.o");
  EXPECT_EQ(path_of("thin.a", "obj/foo.o", 9), "obj/foo.o");
  EXPECT_EQ(path_of("dir/", "foo.o", 5), "dir/foo.o");
  EXPECT_EQ(path_of("dir/thin.a", "", 0), "dir/");
}

TEST(ThinMemberPath, LengthsThatWrapAreRefused) {
  testing::internal::CaptureStderr();
  EXPECT_EQ(path_of("dir/thin.a", "x", UINT64_MAX - 3), "(none)");
  EXPECT_EQ(path_of("dir/thin.a", "x", UINT64_MAX), "(none)");
  EXPECT_EQ(testing::internal::GetCapturedStderr(),
            "hdrtune: Error: Abnormal length of thin archive member name: fffffffffffffffc\n"
            "hdrtune: Error: Abnormal length of thin archive member name: ffffffffffffffff\n");
  testing::internal::CaptureStderr();
  EXPECT_EQ(path_of("thin.a", "x", UINT64_MAX), "(none)");
  EXPECT_EQ(path_of("dir/thin.a", "/x", UINT64_MAX), "(none)");
  EXPECT_EQ(testing::internal::GetCapturedStderr(), "") << "a copy that wraps is silent";
}

}  // namespace
}  // namespace hdrtune
