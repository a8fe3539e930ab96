// SPDX-License-Identifier: MIT
// member_names_test.cc - member names, display names and thin member paths.
#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>

#include "support/archive_test_helpers.h"
#include "support/member_names.h"

namespace hdrtune {
namespace {

// Names may run on into ar_date, as numbers past 16 bytes do.
void set_header(ArchiveState *state, const std::string &name) {
  std::string header = padded_field(name, ar_size_offset) + padded_field("64", 10) + "`\n";
  std::memcpy(&state->header, header.data(), ar_header_size);
}

// A state as the open leaves it, its long-name table the whole of `file`.
void set_long_names(ArchiveState *state, PositionedFile *file, const std::string &table) {
  ASSERT_TRUE(open_temp_file(file, table));
  state->file = file;
  ASSERT_EQ(long_names_open(&state->long_names, file, 0, table.size()), LongNameStatus::found);
}

// The name, or the message of a reference that names nothing.
std::string name_of(ArchiveState *state) {
  MemberRef ref = parse_member_ref(state);
  if (ref.kind == MemberRefKind::invalid) return ref.message;
  return std::string(ref.name, ref.name_length);
}

class MemberName : public ::testing::Test {
 protected:
  void SetUp() override { state.file_name = strdup("lib.a"); }
  void TearDown() override {
    archive_release(&state);
    if (file.fd >= 0) close_edited_file(&file);
  }
  ArchiveState state;
  PositionedFile file;
};

TEST_F(MemberName, ShortNameEndsAtASlashOrFillsAll16Bytes) {
  set_header(&state, "abcdefghijklmno/");
  MemberRef ref = parse_member_ref(&state);
  EXPECT_EQ(ref.kind, MemberRefKind::plain);
  EXPECT_EQ(ref.name, state.header.ar_name) << "the name is the header's own bytes";
  EXPECT_EQ(std::string(ref.name, ref.name_length), "abcdefghijklmno");
  EXPECT_EQ(state.header.ar_name[15], '/') << "the header is left as read";
  set_header(&state, "abcdefghijklmnop");
  EXPECT_EQ(name_of(&state), "abcdefghijklmnop");
  set_header(&state, "foo.o");
  EXPECT_EQ(name_of(&state), "foo.o           ");
  set_header(&state, std::string("ab\0cd/", 6));
  EXPECT_EQ(name_of(&state), "ab") << "a NUL ends the name first";
  set_header(&state, "/5");
  EXPECT_EQ(name_of(&state), "Archive member uses long names, but no longname table found\n");
}

TEST_F(MemberName, LongNamesEndAtNewlineNulOrTheTablesEnd) {
  set_long_names(&state, &file,
                 "averyveryverylongname.o/\nlf-ended.o\n" + std::string("nul-ended.o\0", 12) +
                     "tail-of-table.o/");
  set_header(&state, "/0:1234");
  EXPECT_EQ(name_of(&state), "averyveryverylongname.o");
  EXPECT_EQ(state.long_names.window[23], '\0') << "the '/' is overwritten";
  EXPECT_EQ(parse_member_ref(&state).kind, MemberRefKind::plain)
      << "':' counts only in thin archives";
  set_header(&state, "/25");
  EXPECT_EQ(name_of(&state), "lf-ended.o");
  set_header(&state, "/36");
  EXPECT_EQ(name_of(&state), "nul-ended.o");
  set_header(&state, "/48");
  EXPECT_EQ(name_of(&state), "tail-of-table.o");
  set_header(&state, "/64");
  EXPECT_EQ(name_of(&state), "") << "an index equal to the size";
  set_header(&state, "/65");
  EXPECT_EQ(name_of(&state), "Found long name index (65) beyond end of long name table\n");
}

TEST(ThinMemberRef, FilesOfTheirOwnAndMembersOfNestedArchives) {
  ArchiveState thin;
  PositionedFile file;
  thin.is_thin = 1;
  set_long_names(&thin, &file, "sub/lib.a/\nobj/foo.o/\n\n");
  set_header(&thin, "/0:94");
  MemberRef ref = parse_member_ref(&thin);
  EXPECT_EQ(ref.kind, MemberRefKind::nested);
  EXPECT_EQ(std::string(ref.name, ref.name_length), "sub/lib.a");
  EXPECT_EQ(ref.nested_offset, 94u);
  set_header(&thin, "/11");
  ref = parse_member_ref(&thin);
  EXPECT_EQ(ref.kind, MemberRefKind::thin_file);
  EXPECT_EQ(std::string(ref.name, ref.name_length), "obj/foo.o");
  set_header(&thin, "/11:0");
  EXPECT_EQ(parse_member_ref(&thin).kind, MemberRefKind::thin_file) << "offset 0 is no nesting";
  set_header(&thin, "foo.o/");
  EXPECT_EQ(parse_member_ref(&thin).kind, MemberRefKind::thin_file);
  set_header(&thin, "/21:94");
  EXPECT_EQ(name_of(&thin), "Invalid Thin archive member name\n");
  archive_release(&thin);
  close_edited_file(&file);
}

TEST(DisplayName, ThreeFormsEachSizedExactly) {
  const char *archive = "some/dir/libverylongname.a";
  auto display = [&](bool is_thin, const char *nested) {
    char *text = archive_display_name(archive, is_thin, nested, "averyveryverylongname.o/x", 23);
    std::string result = text;
    std::free(text);
    return result;
  };
  EXPECT_EQ(display(false, nullptr), "some/dir/libverylongname.a(averyveryverylongname.o)");
  EXPECT_EQ(display(true, nullptr), "some/dir/libverylongname.a[averyveryverylongname.o]");
  EXPECT_EQ(display(true, "some/dir/nested.a"),
            "some/dir/libverylongname.a[some/dir/nested.a(averyveryverylongname.o)]");
}

std::string path_of(const char *archive, const char *name, std::uint64_t length) {
  char *path = thin_member_path(archive, name, length);
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
