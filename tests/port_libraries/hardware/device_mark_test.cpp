// The port's mark as the kernel keeps it: the real HoldDevice on a file
// another process has flocked, and after that process was killed.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/file.h>
#include <sys/wait.h>
#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <string>

#include "port_libraries/hardware/system_ieee1284.h"
#include "temp_folder.h"

using quorvane::hardware::SystemIeee1284;

namespace {

// A child that flocks the file, says so on a pipe and waits to be killed.
pid_t HoldInChild(const std::string& path) {
  int ready[2];
  if (pipe(ready) != 0) return -1;
  const pid_t child = fork();
  if (child == 0) {
    const int fd = open(path.c_str(), O_RDWR);
    if (fd < 0 || flock(fd, LOCK_EX) != 0) _exit(1);
    const char byte = 1;
    if (write(ready[1], &byte, 1) != 1) _exit(1);
    for (;;) pause();
  }
  close(ready[1]);
  char byte = 0;
  const bool held = read(ready[0], &byte, 1) == 1;
  close(ready[0]);
  return held ? child : -1;
}

TEST(DeviceMark, HeldByAnotherProcessNamesItAndIsFreeOnceItIsKilled) {
  quorvane::testing::TempFolder folder;
  const std::string node = (folder / "parport0").string();
  quorvane::testing::WriteAll(node, "");
  const pid_t holder = HoldInChild(node);
  ASSERT_GT(holder, 0);

  SystemIeee1284 second;
  const auto refused = second.HoldDevice(node);
  EXPECT_EQ(refused.error, EWOULDBLOCK);
  const std::string process = "(process " + std::to_string(holder) + ")";
  EXPECT_NE(refused.holder.find(process), std::string::npos) << refused.holder;
  EXPECT_GT(refused.holder.find(process), 1u) << "the holder's name comes first: " << refused.holder;

  // Killed outright: the kernel drops its lock, and no one need clean up.
  kill(holder, SIGKILL);
  int status = 0;
  waitpid(holder, &status, 0);
  SystemIeee1284 after;
  EXPECT_EQ(after.HoldDevice(node).error, 0);
  // Now this one holds it against everyone else, this process's other
  // descriptors included.
  SystemIeee1284 third;
  EXPECT_EQ(third.HoldDevice(node).error, EWOULDBLOCK);
}

TEST(DeviceMark, NodesThatCannotBeOpenedGiveTheOpensErrno) {
  quorvane::testing::TempFolder folder;
  SystemIeee1284 calls;
  EXPECT_EQ(calls.HoldDevice((folder / "parport9").string()).error, ENOENT);
  EXPECT_EQ(calls.ReadSystemFile((folder / "active").string()), std::nullopt);
  quorvane::testing::WriteAll(folder / "active", "ppdev0\n");
  EXPECT_EQ(calls.ReadSystemFile((folder / "active").string()), "ppdev0\n");
}

}  // namespace
