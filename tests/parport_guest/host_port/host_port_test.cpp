// The host port fixture as QEMU meets it: the preload library's ioctl on
// the file named as the node, over a stub port library; then, under
// LD_PRELOAD in processes of their own, a claim with the port library
// missing and one on a simulated port another process holds.

#include <fcntl.h>
#include <linux/parport.h>
#include <linux/ppdev.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <fstream>
#include <initializer_list>
#include <string>
#include <thread>
#include <vector>

#include "child_process.h"
#include "shared_library.h"
#include "temp_folder.h"
#include "tests/parport_guest/host_port/host_port_names.h"

namespace quorvane::host_port {
namespace {

using testing::ChildOptions;
using testing::ChildProcess;
using testing::SharedLibrary;
using testing::TempFolder;

using IoctlFunction = int (*)(int, unsigned long, ...);
constexpr short kData = 888, kStatus = 889, kControl = 890;

// Loaded once for the process: the stub first, so that the fixture's load
// of libinpout32.so by name finds it already there.
struct Libraries {
  SharedLibrary stub{STUB_PORT_LIBRARY};
  SharedLibrary preload{HOST_PORT_LIBRARY};
  IoctlFunction ioctl = preload.Find<IoctlFunction>("ioctl");
  void (*reset)() = stub.Find<void (*)()>("StubPortReset");
  void (*refuse)(const char*) = stub.Find<void (*)(const char*)>("StubPortRefuse");
  void (*set)(short, unsigned char) = stub.Find<void (*)(short, unsigned char)>("StubPortSet");
  int (*get)(short) = stub.Find<int (*)(short)>("StubPortGet");
  int (*writes)() = stub.Find<int (*)()>("StubPortWrites");
};
Libraries& Loaded() {
  static Libraries libraries;
  return libraries;
}

// Nodes live as long as the process: a node's state is kept by descriptor
// and inode, which a removed file would hand on to the next one.
const TempFolder& Folder() {
  static TempFolder folder;
  return folder;
}

std::string NewFile(const std::string& name) {
  static int count = 0;
  const std::string path = (Folder() / (name + std::to_string(++count))).string();
  std::ofstream{path};
  return path;
}

// The call's result, with errno as it left it (0 when it worked).
struct Outcome {
  int result;
  int error;
  bool operator==(const Outcome&) const = default;
};

class HostPortTest : public ::testing::Test {
 protected:
  void SetUp() override { Open(false); }
  void TearDown() override {
    close(fd_);
    unsetenv(kNodeVariable);
    unsetenv(kLoopbackVariable);
  }

  void Open(bool loopback) {
    port_.reset();
    node_ = NewFile("parport");
    setenv(kNodeVariable, node_.c_str(), 1);
    if (loopback) setenv(kLoopbackVariable, "1", 1);
    fd_ = open(node_.c_str(), O_RDWR);
    ASSERT_GE(fd_, 0);
  }

  Outcome Call(unsigned long request, void* argument = nullptr, int fd = -1) {
    errno = 0;
    const int result = port_.ioctl(fd < 0 ? fd_ : fd, request, argument);
    return {result, result < 0 ? errno : 0};
  }
  unsigned char ReadByte(unsigned long request) {
    unsigned char value = 0xEE;
    EXPECT_EQ(Call(request, &value), (Outcome{0, 0}));
    return value;
  }
  void WriteByte(unsigned long request, unsigned char value) {
    EXPECT_EQ(Call(request, &value), (Outcome{0, 0}));
  }

  Libraries& port_ = Loaded();
  std::string node_;
  int fd_ = -1;
};

const Outcome kOk{0, 0}, kClaimFirst{-1, EINVAL};

TEST_F(HostPortTest, NothingReachesThePortOutsideAClaim) {
  unsigned char byte = 0x01;
  int forward = 0;
  for (unsigned long request :
       std::initializer_list<unsigned long>{PPRSTATUS, PPRCONTROL, PPWCONTROL, PPRDATA, PPWDATA, PPRELEASE})
    EXPECT_EQ(Call(request, &byte), kClaimFirst) << std::hex << request;
  EXPECT_EQ(Call(PPDATADIR, &forward), kClaimFirst);
  EXPECT_EQ(port_.writes(), 0);

  EXPECT_EQ(Call(PPCLAIM), kOk);
  EXPECT_EQ(Call(PPCLAIM), kClaimFirst) << "a second claim on the same open node";
  EXPECT_EQ(Call(PPRELEASE), kOk);
  EXPECT_EQ(Call(PPWCONTROL, &byte), kClaimFirst) << "after the release";
  EXPECT_EQ(port_.writes(), 0);
  EXPECT_EQ(Call(PPCLAIM), kOk) << "claimed again";
  WriteByte(PPWCONTROL, 0x01);
  EXPECT_EQ(port_.writes(), 1);
}

TEST_F(HostPortTest, RegistersPassAsTheyAreButTheControlLinesOnly) {
  ASSERT_EQ(Call(PPCLAIM), kOk);
  for (int status : {0x00, 0x10, 0xEF, 0xFF}) {
    port_.set(kStatus, static_cast<unsigned char>(status));
    EXPECT_EQ(ReadByte(PPRSTATUS), status) << "no bit inverted, bit 4 the request line";
  }
  // QEMU passes the guest's byte whole: ppdev's interrupt bit (0x10) and
  // the direction bit (0x20) are not lines.
  WriteByte(PPWCONTROL, 0x11);
  EXPECT_EQ(port_.get(kControl), 0x01);
  WriteByte(PPWCONTROL, 0x3C);
  EXPECT_EQ(port_.get(kControl), 0x0C);
  EXPECT_EQ(ReadByte(PPRCONTROL), 0x0C);
  port_.set(kControl, 0xF5);
  EXPECT_EQ(ReadByte(PPRCONTROL), 0x05) << "ppdev gives back the four lines only";

  WriteByte(PPWDATA, 0xA5);
  EXPECT_EQ(port_.get(kData), 0xA5);
  EXPECT_EQ(ReadByte(PPRDATA), 0xA5);
}

TEST_F(HostPortTest, ReversedTheDataLinesAreTheOtherSides) {
  ASSERT_EQ(Call(PPCLAIM), kOk);
  int reverse = 1, forward = 0;
  ASSERT_EQ(Call(PPDATADIR, &reverse), kOk);
  port_.set(kData, 0x33);  // the peripheral drives the lines
  WriteByte(PPWDATA, 0x5A);
  EXPECT_EQ(port_.get(kData), 0x33) << "a reversed port only latches what is written";
  EXPECT_EQ(ReadByte(PPRDATA), 0x33);
  ASSERT_EQ(Call(PPDATADIR, &forward), kOk);
  EXPECT_EQ(port_.get(kData), 0x5A) << "forward again, the latch is driven";
}

TEST_F(HostPortTest, AnSppPortRefusesEppAndEcp) {
  unsigned modes = 0;
  EXPECT_EQ(Call(PPGETMODES, &modes), kOk);
  EXPECT_EQ(modes, unsigned{PARPORT_MODE_PCSPP | PARPORT_MODE_TRISTATE});
  ASSERT_EQ(Call(PPCLAIM), kOk);
  int byteMode = IEEE1284_MODE_BYTE;
  EXPECT_EQ(Call(PPSETMODE, &byteMode), kOk);
  for (int mode :
       {IEEE1284_MODE_EPP, IEEE1284_MODE_EPP | IEEE1284_ADDR, IEEE1284_MODE_ECP, IEEE1284_MODE_EPPSWE}) {
    EXPECT_EQ(Call(PPSETMODE, &mode), (Outcome{-1, EINVAL})) << std::hex << mode;
  }
  int mode = -1;
  EXPECT_EQ(Call(PPGETMODE, &mode), kOk);
  EXPECT_EQ(mode, IEEE1284_MODE_BYTE) << "a refused mode leaves the mode as it was";
  EXPECT_EQ(Call(PPNEGOT, &mode), (Outcome{-1, ENOTTY})) << "what the model does not know";
}

TEST_F(HostPortTest, EveryOtherDescriptorGoesToTheSystem) {
  int pipeEnds[2];
  ASSERT_EQ(pipe(pipeEnds), 0);
  ASSERT_EQ(write(pipeEnds[1], "abc", 3), 3);
  int waiting = 0;
  EXPECT_EQ(Call(FIONREAD, &waiting, pipeEnds[0]), kOk);
  EXPECT_EQ(waiting, 3);
  close(pipeEnds[0]);
  close(pipeEnds[1]);

  const std::string other = NewFile("other");
  const int otherFd = open(other.c_str(), O_RDWR);
  EXPECT_EQ(Call(PPCLAIM, nullptr, otherFd), (Outcome{-1, ENOTTY})) << "a plain file, as the kernel says";
  close(otherFd);
  unsetenv(kNodeVariable);
  EXPECT_EQ(Call(PPCLAIM), (Outcome{-1, ENOTTY})) << "no node named: the node is a plain file too";
  EXPECT_EQ(port_.writes(), 0);
}

TEST_F(HostPortTest, APortThatCannotBeReachedFailsTheClaimWithItsReason) {
  port_.refuse("the state file is held by another program");
  ::testing::internal::CaptureStderr();
  const Outcome claim = Call(PPCLAIM);
  const std::string said = ::testing::internal::GetCapturedStderr();
  EXPECT_EQ(claim, (Outcome{-1, EBUSY}));
  EXPECT_NE(said.find("cannot claim " + node_), std::string::npos) << said;
  EXPECT_NE(said.find("held by another program"), std::string::npos) << said;
  unsigned char status = 0;
  EXPECT_EQ(Call(PPRSTATUS, &status), kClaimFirst);
}

// The loopback plug: Strobe (pin 1, inverted) wired to Select (pin 13).
TEST_F(HostPortTest, TheLoopbackWireCarriesStrobeToSelect) {
  close(fd_);
  Open(true);
  ASSERT_EQ(Call(PPCLAIM), kOk);
  port_.set(kStatus, 0xE8);  // every other input raised, Select low
  WriteByte(PPWCONTROL, 0x01);
  EXPECT_EQ(ReadByte(PPRSTATUS), 0xE8) << "bit 0 at 1: pin 1 low, Select low";
  WriteByte(PPWCONTROL, 0x1C);
  EXPECT_EQ(ReadByte(PPRSTATUS), 0xF8) << "bit 0 at 0: pin 1 high, Select high";
  port_.set(kStatus, 0xF8);
  WriteByte(PPWCONTROL, 0x0D);
  EXPECT_EQ(ReadByte(PPRSTATUS), 0xE8) << "the wire, not the port's own bit 4";
}

TEST_F(HostPortTest, WithoutThePlugControlLeavesStatusAlone) {
  ASSERT_EQ(Call(PPCLAIM), kOk);
  port_.set(kStatus, 0x00);
  WriteByte(PPWCONTROL, 0x00);
  EXPECT_EQ(ReadByte(PPRSTATUS), 0x00);
}

// --- under LD_PRELOAD, as QEMU runs it --------------------------------------

std::vector<std::string> EnvironmentWith(const std::vector<std::string>& settings) {
  std::vector<std::string> environment;
  for (char** entry = environ; *entry; ++entry) {
    const std::string text = *entry;
    if (text.rfind("LD_LIBRARY_PATH=", 0) != 0 && text.rfind("QUORVANE_", 0) != 0)
      environment.push_back(text);
  }
  environment.insert(environment.end(), settings.begin(), settings.end());
  return environment;
}

ChildProcess Probe(const std::string& node, const std::vector<std::string>& settings,
                   const std::vector<std::string>& arguments = {}) {
  ChildOptions options;
  options.arguments = {node};
  options.arguments.insert(options.arguments.end(), arguments.begin(), arguments.end());
  std::vector<std::string> all{std::string("LD_PRELOAD=") + HOST_PORT_LIBRARY,
                               std::string(kNodeVariable) + "=" + node};
  all.insert(all.end(), settings.begin(), settings.end());
  options.environment = EnvironmentWith(all);
  return ChildProcess::Program(PPDEV_PROBE, options);
}

constexpr auto kBound = std::chrono::seconds(20);

TEST(HostPortPreloaded, AProcessClaimsTheNodeThroughTheFixture) {
  const std::string node = NewFile("node");
  ChildProcess probe = Probe(node, {std::string("LD_LIBRARY_PATH=") + STUB_PORT_DIR});
  EXPECT_EQ(probe.Finish(kBound), 0) << probe.Output();
  EXPECT_EQ(probe.Stdout(), "claimed\nstatus 0x00\n");
}

TEST(HostPortPreloaded, WithoutThePortLibraryTheClaimFailsAndSaysSo) {
  const std::string node = NewFile("node");
  ChildProcess probe = Probe(node, {});
  EXPECT_EQ(probe.Finish(kBound), 1) << probe.Output();
  EXPECT_EQ(probe.Stdout().rfind("PPCLAIM failed", 0), 0u) << probe.Output();
  EXPECT_NE(probe.Stderr().find("cannot load the port library"), std::string::npos) << probe.Output();
}

TEST(HostPortPreloaded, ASimulatedPortAnotherProcessHoldsFailsTheClaim) {
  const std::string state = (Folder() / "held-state").string();
  const std::vector<std::string> simulated{std::string("LD_LIBRARY_PATH=") + SIMULATED_PORT_DIR,
                                           "QUORVANE_SIMULATED_PORT=" + state};
  ChildProcess holder = Probe(NewFile("node"), simulated, {"30"});
  const auto until = std::chrono::steady_clock::now() + kBound;
  while (holder.Stdout().find("status") == std::string::npos && holder.Running() &&
         std::chrono::steady_clock::now() < until)
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  ASSERT_NE(holder.Stdout().find("claimed"), std::string::npos) << holder.Output();

  ChildProcess second = Probe(NewFile("node"), simulated);
  EXPECT_EQ(second.Finish(kBound), 1) << second.Output();
  EXPECT_EQ(second.Stdout().rfind("PPCLAIM failed", 0), 0u) << second.Output();
  EXPECT_NE(second.Stderr().find("cannot reach its port"), std::string::npos) << second.Output();
  holder.Stop();
}

}  // namespace
}  // namespace quorvane::host_port
