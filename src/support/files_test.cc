// SPDX-License-Identifier: MIT
// files_test.cc - positioned reads through a window, positioned writes, opening.
#include "support/files.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <string>

namespace hdrtune {
namespace {

// A file of 64 known bytes, opened as the tool opens files, with a window of
// 16 bytes. A second descriptor changes the file behind the window's back:
// what a read then returns tells whether it came from the window or the file.
class PositionedFileTest : public ::testing::Test {
 protected:
  void SetUp() override {
    char pattern[] = "/tmp/files_test.XXXXXX";
    int fd = mkstemp(pattern);
    ASSERT_GE(fd, 0);
    path = pattern;
    for (int i = 0; i < 64; ++i) original += static_cast<char>('A' + i % 26);
    ASSERT_EQ(write(fd, original.data(), original.size()), 64);
    close(fd);
    ASSERT_EQ(open_for_update(&file, path.c_str(), 16, false), OpenFailure::none);
    behind = open(path.c_str(), O_RDWR);
  }
  void TearDown() override {
    if (file.fd >= 0) {
      EXPECT_TRUE(close_edited_file(&file));
    }
    close(behind);
    unlink(path.c_str());
  }
  std::string read(std::uint64_t offset, std::size_t size, ReadOutcome expected) {
    std::string bytes(size, '?');
    std::size_t got = 99;
    EXPECT_EQ(file_read(&file, offset, bytes.data(), size, &got), expected);
    bytes.resize(got);
    return bytes;
  }
  void change_behind(std::uint64_t offset, const std::string &bytes) {
    ASSERT_EQ(pwrite(behind, bytes.data(), bytes.size(), offset),
              static_cast<ssize_t>(bytes.size()));
  }
  std::string on_disk() {
    std::string bytes(128, '\0');
    ssize_t n = pread(behind, bytes.data(), bytes.size(), 0);
    bytes.resize(n < 0 ? 0 : n);
    return bytes;
  }

  std::string path, original;
  PositionedFile file;
  int behind = -1;
};

TEST_F(PositionedFileTest, ReadsComeFromTheWindowWhileItHoldsThem) {
  EXPECT_EQ(read(4, 8, ReadOutcome::whole), original.substr(4, 8));  // fills [4, 20)
  change_behind(0, std::string(64, 'x'));
  EXPECT_EQ(read(10, 10, ReadOutcome::whole), original.substr(10, 10)) << "a hit";
  // Straddling the window's end: refilled from the offset asked for.
  EXPECT_EQ(read(18, 4, ReadOutcome::whole), "xxxx");
  EXPECT_EQ(file.window_start, 18u);
  // Before the window: a miss as well.
  EXPECT_EQ(read(0, 2, ReadOutcome::whole), "xx");
}

TEST_F(PositionedFileTest, ReadsLargerThanTheWindowGoStraightToTheFile) {
  EXPECT_EQ(read(0, 8, ReadOutcome::whole), original.substr(0, 8));
  EXPECT_EQ(read(2, 40, ReadOutcome::whole), original.substr(2, 40));
  change_behind(0, "xxxxxxxx");
  EXPECT_EQ(read(0, 8, ReadOutcome::whole), original.substr(0, 8)) << "the window is kept";
  EXPECT_EQ(read(40, 30, ReadOutcome::short_read), original.substr(40));
}

// A read beside the window takes what the window holds from it and the rest
// from the file, and leaves the window as it was.
TEST_F(PositionedFileTest, ReadsBesideTheWindowNeverRefillIt) {
  auto read_beside = [this](std::uint64_t offset, std::size_t size, ReadOutcome expected) {
    std::string bytes(size, '?');
    std::size_t got = 99;
    EXPECT_EQ(file_read_beside_window(&file, offset, bytes.data(), size, &got), expected);
    bytes.resize(got);
    return bytes;
  };
  EXPECT_EQ(read(4, 8, ReadOutcome::whole), original.substr(4, 8));  // fills [4, 20)
  change_behind(0, std::string(64, 'x'));
  EXPECT_EQ(read_beside(6, 10, ReadOutcome::whole), original.substr(6, 10)) << "a hit";
  EXPECT_EQ(read_beside(40, 8, ReadOutcome::whole), "xxxxxxxx");
  EXPECT_EQ(read_beside(18, 4, ReadOutcome::whole), "xxxx") << "across the window's end";
  EXPECT_EQ(read_beside(60, 8, ReadOutcome::short_read), "xxxx");
  EXPECT_EQ(read_beside(largest_file_offset, 2, ReadOutcome::failed), "");
  EXPECT_EQ(errno, EINVAL);
  EXPECT_EQ(file.window_start, 4u);
  EXPECT_EQ(read(4, 16, ReadOutcome::whole), original.substr(4, 16)) << "the window is kept";
}

TEST_F(PositionedFileTest, TheEndOfTheFileIsAShortReadNeverAnError) {
  EXPECT_EQ(read(60, 8, ReadOutcome::short_read), original.substr(60));
  EXPECT_EQ(read(64, 8, ReadOutcome::short_read), "");
  EXPECT_EQ(read(1000, 8, ReadOutcome::short_read), "");
  // A file that grows behind a short window is read on, not taken as ended.
  change_behind(64, "tail");
  EXPECT_EQ(read(62, 6, ReadOutcome::whole), original.substr(62) + "tail");
}

TEST_F(PositionedFileTest, OffsetsNoFileCanHaveFailWithoutTouchingTheFile) {
  std::uint64_t past = largest_file_offset + 1;
  EXPECT_FALSE(offset_reachable(past));
  EXPECT_TRUE(offset_reachable(largest_file_offset));
  EXPECT_EQ(read(past, 4, ReadOutcome::failed), "");
  EXPECT_EQ(errno, EINVAL);
  EXPECT_EQ(read(largest_file_offset - 1, 4, ReadOutcome::failed), "") << "the end wraps";
  EXPECT_EQ(file_write(&file, past, "abcd", 4), EINVAL);
  EXPECT_EQ(file_write(&file, UINT64_MAX - 1, "abcd", 4), EINVAL);
  EXPECT_EQ(on_disk(), original);
}

TEST_F(PositionedFileTest, WritesReachTheFileAndTheWindow) {
  EXPECT_EQ(read(8, 16, ReadOutcome::whole), original.substr(8, 16));  // holds [8, 24)
  // Over the window's start, its middle and its end.
  EXPECT_EQ(file_write(&file, 4, "1234", 4), 0);
  EXPECT_EQ(file_write(&file, 12, "56", 2), 0);
  EXPECT_EQ(file_write(&file, 22, "789", 3), 0);
  std::string expected = original;
  expected.replace(4, 4, "1234").replace(12, 2, "56").replace(22, 3, "789");
  EXPECT_EQ(on_disk(), expected);
  change_behind(0, std::string(64, 'x'));
  EXPECT_EQ(read(8, 16, ReadOutcome::whole), expected.substr(8, 16)) << "served, and coherent";
}

TEST_F(PositionedFileTest, FailedReadsAndWritesSayWhy) {
  int read_only = open(path.c_str(), O_RDONLY);
  int write_only = open(path.c_str(), O_WRONLY);
  ASSERT_GE(read_only, 0);
  ASSERT_GE(write_only, 0);
  std::swap(file.fd, write_only);
  EXPECT_EQ(read(0, 4, ReadOutcome::failed), "");
  EXPECT_EQ(errno, EBADF);
  EXPECT_EQ(read(0, 40, ReadOutcome::failed), "") << "past the window as well";
  std::swap(file.fd, write_only);
  std::swap(file.fd, read_only);
  EXPECT_EQ(file_write(&file, 0, "abcd", 4), EBADF);
  std::swap(file.fd, read_only);
  close(read_only);
  close(write_only);
  EXPECT_EQ(on_disk(), original);
}

// A file size limit cuts a write short; the rest is tried and fails, and the
// window holds what did reach the file.
TEST_F(PositionedFileTest, ShortWriteIsFinishedOrFails) {
  auto write_past_limit = [this] {
    std::signal(SIGXFSZ, SIG_IGN);
    rlimit limit = {66, 66};
    setrlimit(RLIMIT_FSIZE, &limit);
    std::string window = read(56, 8, ReadOutcome::whole);
    int error = file_write(&file, 62, "abcdef", 6);
    std::string held = read(56, 8, ReadOutcome::whole);
    bool coherent = held == original.substr(56, 6) + "ab";
    bool on_file = on_disk() == original.substr(0, 62) + "abcd";
    std::exit(error == EFBIG && coherent && on_file ? 0 : 1);
  };
  EXPECT_EXIT(write_past_limit(), testing::ExitedWithCode(0), "");
}

TEST_F(PositionedFileTest, WindowsChangeSizeAndKeepWhatTheyHold) {
  EXPECT_EQ(read(0, 16, ReadOutcome::whole), original.substr(0, 16));
  change_behind(0, std::string(64, 'x'));
  file_set_window(&file, 4096);
  EXPECT_EQ(read(0, 16, ReadOutcome::whole), original.substr(0, 16));
  file_set_window(&file, 8);
  EXPECT_EQ(read(0, 8, ReadOutcome::whole), original.substr(0, 8));
  EXPECT_EQ(read(8, 8, ReadOutcome::whole), "xxxxxxxx");
}

TEST(OpenForUpdate, KeepsOnlyRegularFiles) {
  PositionedFile file;
  EXPECT_EQ(open_for_update(&file, "/tmp", 16, false), OpenFailure::not_openable);
  EXPECT_EQ(open_for_update(&file, "/dev/null", 16, false), OpenFailure::not_regular);
  EXPECT_EQ(open_for_update(&file, "/nonexistent/file", 16, false), OpenFailure::missing);
  EXPECT_EQ(open_member_for_update(&file, "/dev/null", 16, false), OpenFailure::not_regular);
  // A FIFO without a writer neither blocks the open nor is kept.
  std::string fifo = testing::TempDir() + "files_test_fifo";
  unlink(fifo.c_str());
  ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
  EXPECT_EQ(open_for_update(&file, fifo.c_str(), 16, false), OpenFailure::not_regular);
  unlink(fifo.c_str());
  EXPECT_EQ(file.fd, -1);
}

}  // namespace
}  // namespace hdrtune
