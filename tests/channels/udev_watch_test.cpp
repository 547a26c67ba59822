// SPDX-License-Identifier: GPL-3.0-or-later
// The wait of the udev watch threads: it reads while its descriptor has something, ends on the
// stop, and gives up on a descriptor that fails instead of waking without end (a monitor whose
// socket broke used to spin at full speed).
#include "channels/UdevWatch.h"

#include <gtest/gtest.h>
#include <sys/eventfd.h>
#include <unistd.h>

#include <chrono>
#include <future>

#include "channels/UniqueFd.h"

namespace plenar {
namespace {

using namespace std::chrono_literals;

struct Pipe {
  Pipe() {
    int fds[2];
    EXPECT_EQ(::pipe(fds), 0);
    read.reset(fds[0]);
    write.reset(fds[1]);
  }
  UniqueFd read, write;
  UniqueFd other;  // a descriptor of another kind, when a case needs one
};

void signal(int fd) {
  const std::uint64_t one = 1;
  ASSERT_EQ(::write(fd, &one, sizeof one), static_cast<ssize_t>(sizeof one));
}

TEST(WatchDescriptor, ReadsUntilStoppedAndGivesUpOnABrokenDescriptor) {
  struct Case {
    const char* name;
    // Makes the watched descriptor; `stop` is the stop event, for cases that stop the wait.
    std::function<int(Pipe& pipe, int stop)> watched;
    // What one wake-up does: true when it took something.
    std::function<bool(int watched, int stop)> readable;
    WatchEnd end;
    int reads;  // wake-ups that ran `readable`
  };
  const std::vector<Case> cases = {
      {"data is read, then the stop ends the wait",
       [](Pipe& p, int) {
         EXPECT_EQ(::write(p.write.get(), "x", 1), 1);
         return p.read.get();
       },
       [](int fd, int stop) {
         char c;
         EXPECT_EQ(::read(fd, &c, 1), 1);
         signal(stop);
         return true;
       },
       WatchEnd::Stopped, 1},
      {"a hung-up descriptor ends the wait at once",
       [](Pipe& p, int) {
         p.write.reset();
         return p.read.get();
       },
       [](int, int) { return false; }, WatchEnd::Failed, 0},
      {"a closed descriptor ends the wait at once",
       [](Pipe& p, int) {
         const int fd = p.read.get();
         p.read.reset();
         return fd;
       },
       [](int, int) { return false; }, WatchEnd::Failed, 0},
      {"a descriptor that is always ready with nothing to take ends the wait",
       [](Pipe& p, int) {
         p.other.reset(::eventfd(1, EFD_CLOEXEC | EFD_NONBLOCK));
         return p.other.get();
       },
       [](int, int) { return false; }, WatchEnd::Failed, 100},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Pipe pipe;
    UniqueFd stop(::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK));
    const int watched = c.watched(pipe, stop.get());
    int reads = 0;
    auto end = std::async(std::launch::async, [&] {
      return watchDescriptor(watched, stop.get(), [&] {
        ++reads;
        return c.readable(watched, stop.get());
      });
    });
    if (end.wait_for(5s) != std::future_status::ready) {
      signal(stop.get());  // ends a wait that ignores its descriptor's failure, if it looks at all
      ADD_FAILURE() << "the wait did not end";
      continue;
    }
    EXPECT_EQ(end.get(), c.end);
    EXPECT_EQ(reads, c.reads);
  }
}

}  // namespace
}  // namespace plenar
