// SPDX-License-Identifier: MIT
// standard_output_test.cc - the list's stream: every byte out, in order,
// whatever a write returns on the way.
#include "runtime/standard_output.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <pthread.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include <atomic>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <sstream>
#include <string>
#include <thread>

namespace hdrtune {
namespace {

// Descriptor 1 moved onto `fd` for the life of this record, then put back.
struct StdoutOn {
  int saved;
  explicit StdoutOn(int fd) : saved(dup(STDOUT_FILENO)) { dup2(fd, STDOUT_FILENO); }
  ~StdoutOn() {
    dup2(saved, STDOUT_FILENO);
    close(saved);
  }
};

std::string pattern(std::size_t size) {
  std::string text;
  for (std::size_t i = 0; text.size() < size; ++i) text += "line " + std::to_string(i) + "\n";
  text.resize(size);
  return text;
}

// Reads the pipe's read end until the writer's side is closed.
std::string read_all(int fd) {
  std::string text;
  char block[65536];
  ssize_t n;
  while ((n = read(fd, block, sizeof block)) > 0) text.append(block, static_cast<std::size_t>(n));
  return text;
}

TEST(StandardOutput, EveryPieceArrivesInOrder) {
  char path[] = "/tmp/standard_output_test.XXXXXX";
  int fd = mkstemp(path);
  ASSERT_GE(fd, 0);
  std::string long_name(3000, 'n');
  std::string big = pattern(10000);
  {
    StdoutOn redirect(fd);
    out_write("a.o: ", 5);
    out_write("x 3 -> ", 7);
    out_printf("%s\n", "FreeBSD");
    out_printf("%s has no archive index\n", long_name.c_str());
    out_write(big.data(), big.size());
    EXPECT_TRUE(out_flush());
  }
  close(fd);
  std::ifstream file(path);
  std::stringstream written;
  written << file.rdbuf();
  std::remove(path);
  EXPECT_EQ(written.str(), "a.o: x 3 -> FreeBSD\n" + long_name + " has no archive index\n" + big);
}

// A reader that makes the pipe non-blocking (or shares one that is) makes a
// full pipe answer EAGAIN: the stream waits for room instead of failing.
TEST(StandardOutput, AFullNonBlockingPipeIsWaitedFor) {
  int ends[2];
  ASSERT_EQ(pipe(ends), 0);
  ASSERT_EQ(fcntl(ends[1], F_SETFL, O_NONBLOCK), 0);
  std::string text = pattern(1 << 20);
  bool flushed = false;
  std::thread writer([&] {
    StdoutOn redirect(ends[1]);
    close(ends[1]);
    out_write(text.data(), text.size());
    flushed = out_flush();
  });
  std::string got = read_all(ends[0]);
  writer.join();
  close(ends[0]);
  EXPECT_TRUE(flushed);
  EXPECT_EQ(got.size(), text.size());
  EXPECT_TRUE(got == text);
}

std::atomic<bool> handled = false;

void note_signal(int) { handled = true; }

bool sleeping(pid_t thread) {
  std::ifstream stat("/proc/self/task/" + std::to_string(thread) + "/stat");
  std::string line((std::istreambuf_iterator<char>(stat)), std::istreambuf_iterator<char>());
  std::size_t end = line.rfind(')');
  return end != std::string::npos && line.compare(end + 2, 1, "S") == 0;
}

// A signal whose handler does not ask for restarts cuts a blocked write short
// (EINTR): the write is made again and nothing is lost. The signal comes once
// the writer is known to be blocked on the full pipe.
TEST(StandardOutput, AnInterruptedWriteIsResumed) {
  struct sigaction action = {};
  action.sa_handler = note_signal;
  sigemptyset(&action.sa_mask);
  ASSERT_EQ(sigaction(SIGUSR1, &action, nullptr), 0);
  int ends[2];
  ASSERT_EQ(pipe(ends), 0);
  int capacity = fcntl(ends[0], F_GETPIPE_SZ);
  ASSERT_GT(capacity, 0);
  std::string text = pattern(static_cast<std::size_t>(capacity) * 4);
  bool flushed = false;
  pid_t writer_id = 0;
  std::atomic<bool> started = false;
  std::thread writer([&] {
    writer_id = gettid();
    StdoutOn redirect(ends[1]);
    close(ends[1]);
    started = true;
    out_write(text.data(), text.size());
    flushed = out_flush();
  });
  int queued = 0;
  // Full: no room left for one more page-sized write.
  while (!started || ioctl(ends[0], FIONREAD, &queued) != 0 || queued + 4096 <= capacity ||
         !sleeping(writer_id))
    usleep(1000);
  // The pipe is read only once the handler has run: a reader that made room
  // first could let the write finish before the signal cut it.
  pthread_kill(writer.native_handle(), SIGUSR1);
  while (!handled) usleep(1000);
  std::string got = read_all(ends[0]);
  writer.join();
  close(ends[0]);
  EXPECT_TRUE(flushed);
  EXPECT_TRUE(got == text) << got.size() << " of " << text.size() << " bytes";
}

TEST(StandardOutputDeathTest, AFailedWriteIsToldAndLaterBytesAreDropped) {
  auto write_to_closed_pipe = [] {
    std::signal(SIGPIPE, SIG_IGN);
    int ends[2];
    if (pipe(ends) != 0) std::exit(3);
    close(ends[0]);
    dup2(ends[1], STDOUT_FILENO);
    out_write("lost\n", 5);
    bool first = out_flush();
    out_write("also lost\n", 10);
    std::exit(!first && !out_flush() ? 0 : 1);
  };
  EXPECT_EXIT(write_to_closed_pipe(), testing::ExitedWithCode(0), "");
}

}  // namespace
}  // namespace hdrtune
