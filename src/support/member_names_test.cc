// member_names_test.cc - member names, display names and thin member paths.
#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>

#include "support/archive.h"
#include "support/archive_test_helpers.h"

namespace hdrtune {
namespace {

// Names may run on into ar_date, as numbers past 16 bytes do.
void set_header(ArchiveState *state, const std::string &name) {
  std::string header = padded_field(name, ar_size_offset) + padded_field("64", 10) + "`\n";
  std::memcpy(&state->header, header.data(), ar_header_size);
}

// A state as the open leaves it, without a file behind it.
void set_long_names(ArchiveState *state, const std::string &table) {
  state->long_names = static_cast<char *>(std::malloc(table.size() + 1));
  std::memcpy(state->long_names, table.data(), table.size());
  state->long_names[table.size()] = '\0';
  state->long_names_size = table.size();
}

// The name, or "(none)", followed by whatever was reported.
std::string name_of(ArchiveState *state, ArchiveState *nested = nullptr) {
  testing::internal::CaptureStderr();
  const char *name = archive_member_name(state, nested);
  std::string errors = testing::internal::GetCapturedStderr();
  std::string result = name ? name : "(none)";
  return errors.empty() ? result : result + " " + errors;
}

class MemberName : public ::testing::Test {
 protected:
  void SetUp() override { state.file_name = strdup("lib.a"); }
  void TearDown() override { archive_release(&state); }
  ArchiveState state;
};

TEST_F(MemberName, ShortNameEndsAtASlashOrFillsAll16Bytes) {
  state.nested_member_offset = 99;
  set_header(&state, "abcdefghijklmno/");
  const char *name = archive_member_name(&state, nullptr);
  EXPECT_STREQ(name, "abcdefghijklmno");
  EXPECT_EQ(name, state.header.ar_name) << "the name is the header's own bytes";
  EXPECT_EQ(state.nested_member_offset, 0u);
  set_header(&state, "abcdefghijklmnop");
  name = archive_member_name(&state, nullptr);
  EXPECT_STREQ(name, "abcdefghijklmnop");
  EXPECT_EQ(state.header.ar_date[0], ' ') << "a 16-byte name is copied, not terminated in place";
  // Each copy replaces the one before; the leak checker sees the old one go.
  set_header(&state, "foo.o");
  EXPECT_EQ(name_of(&state), "foo.o           ");
}

TEST_F(MemberName, LongNamesEndAtNewlineNulOrTheTablesEnd) {
  set_long_names(&state, "averyveryverylongname.o/\nlf-ended.o\n" +
                             std::string("nul-ended.o\0", 12) + "tail-of-table.o/");
  set_header(&state, "/0:1234");
  EXPECT_EQ(name_of(&state), "averyveryverylongname.o");
  EXPECT_EQ(state.long_names[23], '\0') << "the '/' is overwritten";
  EXPECT_EQ(state.nested_member_offset, 0u) << "':' counts only in thin archives";
  set_header(&state, "/25");
  EXPECT_EQ(name_of(&state), "lf-ended.o");
  set_header(&state, "/36");
  EXPECT_EQ(name_of(&state), "nul-ended.o");
  set_header(&state, "/48");
  EXPECT_EQ(name_of(&state), "tail-of-table.o");
  set_header(&state, "/64");
  EXPECT_EQ(name_of(&state), "") << "an index equal to the size";
}

// A thin archive dir/thin.a whose members live in dir/sub/lib.a.
class NestedMemberName : public ::testing::Test {
 protected:
  void SetUp() override {
    char pattern[] = "/tmp/member_names_test.XXXXXX";
    ASSERT_NE(mkdtemp(pattern), nullptr);
    dir = pattern;
    std::filesystem::create_directory(dir + "/sub");
    std::string lib = "!<arch>\n" + ar_member("//", "averyveryverylongname.o/\n") +
                      ar_member("foo.o/", "data") + ar_member("/0", "more");
    std::ofstream(dir + "/sub/lib.a", std::ios::binary) << lib;
    thin.file_name = strdup((dir + "/thin.a").c_str());
    thin.is_thin = 1;
    set_long_names(&thin, "sub/lib.a/\nsub/missing.a/\n\n");
  }
  void TearDown() override {
    if (nested.stream) close_edited_file(nested.stream);
    archive_release(&nested);
    archive_release(&thin);
    std::filesystem::remove_all(dir);
  }
  std::string display_name(const char *name) {
    char *text = archive_display_name(&thin, &nested, name);
    std::string result = text;
    std::free(text);
    return result;
  }

  static constexpr int foo_offset = 8 + 60 + 26;
  static constexpr int long_named_offset = foo_offset + 60 + 4;
  std::string dir;
  ArchiveState thin, nested;
};

TEST_F(NestedMemberName, MembersOfOneNestedArchiveShareItsStream) {
  set_header(&thin, "/0:" + std::to_string(foo_offset));
  const char *name = archive_member_name(&thin, &nested);
  EXPECT_STREQ(name, "foo.o");
  EXPECT_EQ(thin.nested_member_offset, static_cast<std::uint64_t>(foo_offset));
  EXPECT_EQ(nested.file_name, dir + "/sub/lib.a");
  EXPECT_EQ(display_name(name), dir + "/thin.a[" + dir + "/sub/lib.a(foo.o)]");
  int fd = nested.stream->fd;

  set_header(&thin, "/0:" + std::to_string(long_named_offset));
  name = archive_member_name(&thin, &nested);
  EXPECT_STREQ(name, "averyveryverylongname.o");
  EXPECT_EQ(nested.stream->fd, fd) << "the nested archive was opened again";
  EXPECT_EQ(display_name(name),
            dir + "/thin.a[" + dir + "/sub/lib.a(averyveryverylongname.o)]");
}

TEST_F(NestedMemberName, BadNestedReferencesAreReported) {
  struct Case {
    std::string offset, message;
  } cases[] = {
      {std::to_string(foo_offset + 2), ": did not find a valid archive header\n"},
      {"100000", ": failed to read archive header\n"},
      {"9223372036854775808", ": failed to seek to next file name\n"},
  };
  for (const Case &c : cases) {
    set_header(&thin, "/0:" + c.offset);
    EXPECT_EQ(name_of(&thin, &nested), "sub/lib.a hdrtune: Error: " + dir + "/sub/lib.a" + c.message);
  }
  set_header(&thin, "/26:" + std::to_string(foo_offset));
  EXPECT_EQ(name_of(&thin, &nested), "(none) hdrtune: Error: Invalid Thin archive member name\n");
}

TEST(DisplayName, FourFormsEachSizedExactly) {
  ArchiveState state, nested;
  state.file_name = const_cast<char *>("some/dir/libverylongname.a");
  const char *member = "averyveryverylongname.o";
  auto display = [&](const ArchiveState *nested_state) {
    char *text = archive_display_name(&state, nested_state, member);
    std::string result = text;
    std::free(text);
    return result;
  };
  EXPECT_EQ(display(nullptr), "some/dir/libverylongname.a(averyveryverylongname.o)");
  state.nested_member_offset = 8;
  EXPECT_EQ(display(nullptr), "some/dir/libverylongname.a(averyveryverylongname.o)")
      << "the nested offset counts only in thin archives";
  state.is_thin = 1;
  state.nested_member_offset = 0;
  EXPECT_EQ(display(nullptr), "some/dir/libverylongname.a[averyveryverylongname.o]");
  state.nested_member_offset = 8;
  nested.file_name = const_cast<char *>("some/dir/nested.a");
  EXPECT_EQ(display(&nested),
            "some/dir/libverylongname.a[some/dir/nested.a(averyveryverylongname.o)]");
  nested.file_name = nullptr;
  EXPECT_EQ(display(&nested), "some/dir/libverylongname.a[<corrupt>(averyveryverylongname.o)]");
  EXPECT_EQ(display(nullptr), "some/dir/libverylongname.a[<corrupt>(averyveryverylongname.o)]");
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
