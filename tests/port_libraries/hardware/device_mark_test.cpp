// The port's mark as the kernel keeps it: the real HoldDevice on a file
// another process has flocked, and after that process was killed.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/file.h>
#include <unistd.h>

#include <cerrno>
#include <optional>
#include <string>

#include "child_process.h"
#include "port_libraries/hardware/system_ieee1284.h"
#include "temp_folder.h"

using quorvane::hardware::SystemIeee1284;
using quorvane::testing::ChildProcess;

namespace {

// A child that flocks the file, says so on a pipe and waits to be killed
// (a minute at most); nullopt when it could not take the lock.
std::optional<ChildProcess> HoldInChild(const std::string& path) {
  int ready[2];
  if (pipe(ready) != 0) return std::nullopt;
  ChildProcess child = ChildProcess::Function([&] {
    const int fd = open(path.c_str(), O_RDWR);
    if (fd < 0 || flock(fd, LOCK_EX) != 0) return 1;
    const char byte = 1;
    if (write(ready[1], &byte, 1) != 1) return 1;
    sleep(60);
    return 0;
  });
  close(ready[1]);
  char byte = 0;
  const bool held = read(ready[0], &byte, 1) == 1;
  close(ready[0]);
  if (!held) return std::nullopt;
  return child;
}

TEST(DeviceMark, HeldByAnotherProcessNamesItAndIsFreeOnceItIsKilled) {
  quorvane::testing::TempFolder folder;
  const std::string node = (folder / "parport0").string();
  quorvane::testing::WriteAll(node, "");
  std::optional<ChildProcess> holder = HoldInChild(node);
  ASSERT_TRUE(holder) << "the child could not lock " << node;

  SystemIeee1284 second;
  const auto refused = second.HoldDevice(node);
  EXPECT_EQ(refused.error, EWOULDBLOCK);
  const std::string process = "(process " + std::to_string(holder->Pid()) + ")";
  EXPECT_NE(refused.holder.find(process), std::string::npos) << refused.holder;
  EXPECT_GT(refused.holder.find(process), 1u) << "the holder's name comes first: " << refused.holder;

  // Killed outright: the kernel drops its lock, and no one need clean up.
  holder->Kill();
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
