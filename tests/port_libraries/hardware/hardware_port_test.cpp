#include "port_libraries/hardware/hardware_port.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cerrno>
#include <utility>
#include <vector>

#include "fake_ieee1284.h"

using quorvane::hardware::CallResult;
using quorvane::hardware::HardwarePort;

namespace {

constexpr std::uint16_t kData = 888, kStatus = 889, kControl = 890;

// libieee1284 line bits, spelled out so the tests do not lean on the code's
// own conversion.
constexpr int kSelectLine = 0x10, kBusyLine = 0x80;
constexpr int kStrobeLine = 0x01, kAutoFeedLine = 0x02, kInitLine = 0x04, kSelectInLine = 0x08;

class HardwarePortTest : public ::testing::Test {
 protected:
  FakeIeee1284 calls;
};

// --- Status and control through the inversions -----------------------------

// Select high is the request bit 4, every other line reads as itself but
// Busy, which the PC register shows inverted: all 256 registers read back.
TEST_F(HardwarePortTest, EveryStatusRegisterValueReadsBackUnchanged) {
  auto& port = calls.AddPort("parport0", 0x378);
  HardwarePort hardware(calls);
  port.statusLines = kSelectLine | kBusyLine;
  EXPECT_EQ(hardware.Read(kStatus), 0x10);
  for (int reg = 0; reg < 256; ++reg) {
    // libieee1284 reports the register with Busy flipped into a line value.
    port.statusLines = reg ^ kBusyLine;
    EXPECT_EQ(hardware.Read(kStatus), reg) << "register " << reg;
  }
}

TEST_F(HardwarePortTest, ControlOneDrivesStrobeLowAndZeroDrivesItHigh) {
  auto& port = calls.AddPort("parport0", 0x378);
  HardwarePort hardware(calls);

  hardware.Write(kControl, 1);
  hardware.Write(kControl, 0);

  ASSERT_EQ(port.controlWrites.size(), 2u);
  // 1: Strobe low; Auto Feed and Select In inactive (high); Initialise, not
  // inverted, held at 0 (low), as a PC control register of 1 leaves them.
  EXPECT_EQ(port.controlWrites[0], kAutoFeedLine | kSelectInLine);
  // 0: Strobe high, the rest the same.
  EXPECT_EQ(port.controlWrites[1], kStrobeLine | kAutoFeedLine | kSelectInLine);
  EXPECT_EQ(port.controlWrites[1] & kInitLine, 0);
  // Direction and interrupt bits never reach the lines.
  hardware.Write(kControl, 0xF1);
  EXPECT_EQ(port.controlWrites[2], kAutoFeedLine | kSelectInLine);
}

// --- Addresses onto ports ---------------------------------------------------

TEST_F(HardwarePortTest, ThreeAddressesReachTheRegistersOfThePortAt0x378) {
  auto& other = calls.AddPort("parport0", 0x3bc);
  auto& port = calls.AddPort("parport1", 0x378);
  other.statusLines = kBusyLine;  // reads 0x00
  port.statusLines = kSelectLine | kBusyLine;
  HardwarePort hardware(calls);

  hardware.Write(kData, 0x5A);
  EXPECT_EQ(port.dataValue, 0x5A);
  EXPECT_EQ(hardware.Read(kData), 0x5A);
  EXPECT_EQ(hardware.Read(kStatus), 0x10);
  hardware.Write(kControl, 1);
  EXPECT_EQ(port.controlWrites.size(), 1u);
  EXPECT_TRUE(other.controlWrites.empty());
  EXPECT_EQ(other.dataValue, 0);
}

// --- Opened and claimed once ------------------------------------------------

TEST_F(HardwarePortTest, PortIsOpenedAndClaimedOnceOverManyCalls) {
  calls.AddPort("parport0", 0x378);
  {
    HardwarePort hardware(calls);
    EXPECT_TRUE(hardware.Reachable());
    for (int i = 0; i < 50; ++i) {
      hardware.Read(kStatus);
      hardware.Write(kControl, static_cast<std::uint8_t>(i & 1));
      EXPECT_TRUE(hardware.Reachable());
    }
    EXPECT_EQ(calls.finds, 1);
    EXPECT_EQ(calls.opens, 1);
    EXPECT_EQ(calls.claims, 1);
    EXPECT_EQ(calls.releases, 0);
    EXPECT_TRUE(hardware.LastError().empty());
  }
  // At the end of the process the port is let go once.
  EXPECT_EQ(calls.releases, 1);
  EXPECT_EQ(calls.closes, 1);
  EXPECT_EQ(calls.frees, 1);
}

// --- The port the rule chooses -------------------------------------------------

quorvane::port_choice::Choice Chose(std::uint16_t base, std::string why) {
  quorvane::port_choice::Choice choice;
  choice.ok = true;
  choice.base = base;
  choice.why = std::move(why);
  return choice;
}

TEST_F(HardwarePortTest, TheCheckBindsThePortTheRuleChoseAndReportsItsBaseAndWhy) {
  calls.AddPort("parport0", 0x378);
  auto& card = calls.AddPort("parport1", 0xd010);
  int asked = 0;
  HardwarePort hardware(calls, [&] {
    ++asked;
    return Chose(0xd010, "using the parallel port parport1 at 0xd010");
  });
  EXPECT_EQ(hardware.Base(), 0x378) << "before any choice, the conventional one";
  ASSERT_TRUE(hardware.Reachable()) << hardware.LastError();
  EXPECT_TRUE(hardware.Reachable());
  EXPECT_EQ(asked, 1);
  EXPECT_EQ(hardware.Base(), 0xd010);
  EXPECT_EQ(hardware.ChoiceWhy(), "using the parallel port parport1 at 0xd010");
  hardware.Write(0xd012, 1);
  EXPECT_EQ(card.controlWrites.size(), 1u);
  hardware.Write(kControl, 1);
  EXPECT_NE(hardware.LastError().find("is not on parport1 at 0xd010"), std::string::npos)
      << hardware.LastError();
}

TEST_F(HardwarePortTest, NoPortToTakeIsTheCheckFailureAndNothingIsListedOrOpened) {
  calls.AddPort("parport0", 0x278);
  calls.AddPort("parport1", 0xd010);
  HardwarePort hardware(calls, [] {
    quorvane::port_choice::Choice none;
    none.failure = "no parallel port at 0x378 and 2 others, of which no setting chooses one; ...";
    return none;
  });
  EXPECT_FALSE(hardware.Reachable());
  EXPECT_EQ(hardware.LastError(),
            "no parallel port at 0x378 and 2 others, of which no setting chooses one; ...");
  EXPECT_EQ(hardware.Read(kStatus), 0);
  EXPECT_EQ(calls.finds, 0);
  EXPECT_EQ(calls.opens, 0);
}

// --- Why the port cannot be reached -----------------------------------------

// Ports at other bases are named; ports libieee1284 only guessed by name,
// with none listed by the kernel, are not taken: an absent port would read
// 0xFF, a raised request.
TEST_F(HardwarePortTest, WithoutAPortAt0x378NothingIsOpenedAndTheErrorSaysWhy) {
  const struct {
    std::vector<std::pair<const char*, unsigned long>> ports;
    const char* start;
  } cases[] = {
      {{}, "no parallel port at 0x378 (no parallel ports found"},
      {{{"parport0", 0x3bc}}, "no parallel port at 0x378 (found: parport0 at 0x3bc)"},
      {{{"parport0", 0x3bc}, {"parport1", 0x278}},
       "no parallel port at 0x378 (found: parport0 at 0x3bc, parport1 at 0x278)"},
      {{{"0x278", 0x278}, {"0x378", 0x378}, {"0x3bc", 0x3bc}},
       "no parallel port at 0x378 (no parallel ports found"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.start);
    FakeIeee1284 fake;
    for (const auto& [name, base] : c.ports) fake.AddPort(name, base);
    HardwarePort hardware(fake);
    EXPECT_FALSE(hardware.Reachable());
    EXPECT_EQ(hardware.LastError().rfind(c.start, 0), 0u) << hardware.LastError();
    EXPECT_EQ(fake.opens, 0);
  }
}

// A refused open says what to do: join group lp, or load ppdev. libieee1284
// falls back to direct port access after ppdev, so its errno may be EACCES
// from /dev/parport0 or whatever the fallback left.
TEST_F(HardwarePortTest, OpenRefusedSaysWhatToDo) {
  const char* permission = "permission denied on /dev/parport0: add the user to group lp (then log in again)";
  const struct {
    int openErrno, deviceErrno;
    const char* message;
  } cases[] = {
      {EACCES, EACCES, permission},
      {EPERM, EACCES, permission},
      {0, EACCES, permission},
      {ENOENT, ENOENT,
       "cannot open parport0: no device /dev/parport0 (load the ppdev module: modprobe ppdev)"},
  };
  calls.AddPort("parport0", 0x378);
  for (const auto& c : cases) {
    SCOPED_TRACE(c.message);
    calls.openResult = {E1284_INIT, c.openErrno};
    calls.deviceAccessError = c.deviceErrno;
    HardwarePort hardware(calls);
    EXPECT_FALSE(hardware.Reachable());
    EXPECT_EQ(hardware.LastError(), c.message);
    ASSERT_FALSE(calls.deviceChecks.empty());
    EXPECT_EQ(calls.deviceChecks.back(), "/dev/parport0");
  }
  EXPECT_EQ(calls.claims, 0);
}

TEST_F(HardwarePortTest, ClaimRefusedIsReportedThenReadsZeroWritesNothingAndIsNotRetried) {
  auto& port = calls.AddPort("parport0", 0x378);
  calls.claimResult = {E1284_SYS, EBUSY};
  HardwarePort hardware(calls);
  EXPECT_FALSE(hardware.Reachable());
  EXPECT_EQ(calls.closes, 1);  // the opened port is not left open
  port.statusLines = kSelectLine | kBusyLine;
  EXPECT_EQ(hardware.Read(kStatus), 0);
  hardware.Write(kControl, 1);
  EXPECT_TRUE(port.controlWrites.empty());
  EXPECT_EQ(calls.statusReads, 0);
  EXPECT_EQ(calls.claims, 1);
  EXPECT_EQ(hardware.LastError(), "cannot claim parport0: it is in use by another program");
}

// --- One process per port ---------------------------------------------------

// A port someone else has is refused at once, naming the holder as the
// system tells it: nothing is opened or claimed (a ppdev claim would wait
// for the holder, freezing every ppdev user meanwhile), nothing is written,
// and reads give 0, not a raised line.
TEST_F(HardwarePortTest, PortHeldByAnotherIsRefusedNamingTheHolderBeforeAnyOpenOrClaim) {
  const char* active = "/proc/sys/dev/parport/parport0/devices/active";
  const struct {
    quorvane::exclusive::HoldAttempt hold;
    const char* activeText;
    std::string message;
  } cases[] = {
      {{EWOULDBLOCK, "quorvane-console (process 4321)"},
       "ppdev0\n",
       "parport0 is held by another program: quorvane-console (process 4321) has locked /dev/parport0"},
      {{EWOULDBLOCK, ""},
       "none\n",
       "parport0 is held by another program: another process has locked /dev/parport0"},
      {{}, "ppdev1\n", std::string("parport0 is held by another program: ") + active + " names \"ppdev1\""},
      {{}, "lp0\n", std::string("parport0 is held by another program: ") + active + " names \"lp0\""},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.message);
    FakeIeee1284 fake;
    auto& port = fake.AddPort("parport0", 0x378);
    port.statusLines = kSelectLine | kBusyLine;
    fake.holdResult = c.hold;
    fake.systemFileText = c.activeText;
    HardwarePort hardware(fake);
    EXPECT_FALSE(hardware.Reachable());
    EXPECT_EQ(hardware.LastError(), c.message);
    EXPECT_EQ(fake.holds, std::vector<std::string>{"/dev/parport0"});
    EXPECT_EQ(fake.opens, 0);
    EXPECT_EQ(fake.claims, 0);
    hardware.Write(kControl, 1);
    EXPECT_EQ(hardware.Read(kStatus), 0);
    EXPECT_TRUE(port.controlWrites.empty());
    EXPECT_EQ(fake.statusReads, 0);
  }
}

// A port claimed exclusively by another program may leave libieee1284 with
// no pin access on it: the holder is the reason to give, so the claim (or
// the entry naming the holder) is asked before the pin check.
TEST_F(HardwarePortTest, ExclusiveHolderIsNamedAsHolderNotAsAPortWithoutPinAccess) {
  calls.AddPort("parport0", 0x378);
  calls.capabilities = CAP1284_COMPAT;  // no CAP1284_RAW
  calls.systemFileText = "ppdev0\n";
  {
    HardwarePort hardware(calls);
    EXPECT_FALSE(hardware.Reachable());
    EXPECT_EQ(hardware.LastError().rfind("parport0 is held by another program: ", 0), 0u)
        << hardware.LastError();
  }
  // Held in the instant after the entry was read: the claim's refusal.
  calls.systemFileText = "none\n";
  calls.claimResult = {E1284_SYS, ENXIO};
  {
    HardwarePort hardware(calls);
    EXPECT_FALSE(hardware.Reachable());
    EXPECT_EQ(hardware.LastError(), "cannot claim parport0: it is in use by another program");
  }
  // A free port without pin access is still told as such, and let go.
  calls.claimResult = {};
  const int releases = calls.releases, closes = calls.closes;
  {
    HardwarePort hardware(calls);
    EXPECT_FALSE(hardware.Reachable());
    EXPECT_EQ(hardware.LastError(), "parport0 offers no pin-level access to its status and control lines");
    EXPECT_EQ(calls.releases, releases + 1);
    EXPECT_EQ(calls.closes, closes + 1);
  }
}

// The mark cannot always be taken: without a ppdev node libieee1284 may
// still reach the port directly (root), so that goes on to the open; an
// entry that cannot be read says nothing; a node the user may not open, or
// a lock that fails, ends it with the reason.
TEST_F(HardwarePortTest, MarkThatCannotBeTakenEitherGoesOnToTheOpenOrSaysWhy) {
  const struct {
    int holdError;
    std::optional<std::string> active;
    bool opened;
    const char* message;
  } cases[] = {
      {0, "none\n", true, ""},
      {ENOENT, "none\n", true, ""},
      {ENXIO, std::nullopt, true, ""},
      {0, std::nullopt, true, ""},
      {0, "", true, ""},
      {EACCES, "none\n", false,
       "permission denied on /dev/parport0: add the user to group lp (then log in again)"},
      {EIO, "none\n", false, "cannot lock /dev/parport0: Input/output error"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(testing::Message() << c.holdError << " " << c.message);
    FakeIeee1284 fake;
    fake.AddPort("parport0", 0x378);
    fake.holdResult = {c.holdError, {}};
    fake.systemFileText = c.active;
    HardwarePort hardware(fake);
    EXPECT_EQ(hardware.Reachable(), c.opened);
    EXPECT_EQ(hardware.LastError(), c.message);
    EXPECT_EQ(fake.opens, c.opened ? 1 : 0);
    if (c.opened) {
      EXPECT_EQ(fake.systemReads.back(), "/proc/sys/dev/parport/parport0/devices/active");
    }
  }
}

// libieee1284's listing opens and probes the ppdev nodes, which waits on a
// port that another program holds: the port the kernel lists at the base is
// marked and checked before the listing, and refused without it.
TEST_F(HardwarePortTest, PortTheKernelListsIsMarkedBeforeLibieee1284ListsThePorts) {
  FakeIeee1284 fake;
  fake.AddPort("parport0", 0x378);
  fake.systemFiles["/proc/sys/dev/parport/parport1/base-addr"] = "956\t0\n";
  fake.systemFiles["/proc/sys/dev/parport/parport0/base-addr"] = "888\t1912\n";
  fake.holdResult = {EWOULDBLOCK, {}};
  HardwarePort held(fake);
  EXPECT_FALSE(held.Reachable());
  EXPECT_EQ(fake.finds, 0);
  EXPECT_THAT(held.LastError(), testing::HasSubstr("parport0 is held by another program"));

  fake.holdResult = {};
  fake.systemFiles["/proc/sys/dev/parport/parport0/devices/active"] = "ppdev0\n";
  HardwarePort claimed(fake);
  EXPECT_FALSE(claimed.Reachable());
  EXPECT_EQ(fake.finds, 0);
  EXPECT_THAT(claimed.LastError(), testing::HasSubstr("devices/active names \"ppdev0\""));

  // Marked once: a second flock of our own would refuse us.
  fake.systemFiles["/proc/sys/dev/parport/parport0/devices/active"] = "none\n";
  fake.holds.clear();
  HardwarePort free(fake);
  EXPECT_TRUE(free.Reachable());
  EXPECT_EQ(fake.holds.size(), 1u);
}

// --- A bound port that stops answering ---------------------------------------

// A failed access must not pass as an idle line or a done write: it leaves
// its reason for InpOutLastError, and the next access that works clears it.
TEST_F(HardwarePortTest, FailedAccessSaysWhyAndTheNextGoodOneClearsIt) {
  const std::string check =
      " no reason given): check that the parport_pc and ppdev modules are loaded (lsmod | grep parport), "
      "that the port is enabled in the firmware setup, and that /proc/sys/dev/parport lists parport0";
  const struct {
    bool write;
    std::uint16_t address;
    CallResult result;
    std::string text;
  } cases[] = {
      {false,
       kStatus,
       {E1284_NOTAVAIL, EIO},
       "reading the status lines of parport0 failed: Input/output error"},
      {false,
       kStatus,
       {E1284_NOTAVAIL, 0},
       "reading the status lines of parport0 failed (not available on this system," + check},
      {false, kControl, {E1284_SYS, ENODEV}, "reading the control lines of parport0 failed: No such device"},
      {true, kControl, {E1284_SYS, ENODEV}, "writing the control lines of parport0 failed: No such device"},
      {true,
       kControl,
       {E1284_SYS, EACCES},
       "writing the control lines of parport0 failed: permission denied on /dev/parport0: add the user to "
       "group lp (then log in again)"},
      {true, kData, {E1284_SYS, EIO}, "writing the data lines of parport0 failed: Input/output error"},
      {true, kControl, {E1284_SYS, 0}, "writing the control lines of parport0 failed (system error," + check},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.text);
    FakeIeee1284 fake;
    auto& port = fake.AddPort("parport0", 0x378);
    port.statusLines = kSelectLine | kBusyLine;
    HardwarePort hardware(fake);
    ASSERT_TRUE(hardware.Reachable());
    (c.write ? fake.writeResult : fake.readResult) = c.result;
    if (c.write) {
      hardware.Write(c.address, 1);
      EXPECT_TRUE(port.controlWrites.empty());
    } else {
      EXPECT_EQ(hardware.Read(c.address), 0) << "a failed read is no raised line";
    }
    EXPECT_EQ(hardware.LastError(), c.text);

    fake.readResult = fake.writeResult = {};
    EXPECT_EQ(hardware.Read(kStatus), 0x10);
    EXPECT_EQ(hardware.LastError(), "") << "a good access after a failed one";
    EXPECT_EQ(fake.opens, 1) << "the port is kept, not reopened";
  }
}

TEST_F(HardwarePortTest, AccessesOutsideTheThreeRegistersAreRefusedButAStatusWriteIsIgnored) {
  auto& port = calls.AddPort("parport0", 0x378);
  HardwarePort hardware(calls);
  const std::string fourth =
      "address 0x37b is not a register this library reaches: only data, status and control, at 0x378 to "
      "0x37a on parport0";
  hardware.Write(0x37b, 1);
  EXPECT_EQ(hardware.LastError(), fourth);
  EXPECT_EQ(hardware.Read(0x37b), 0);
  EXPECT_EQ(hardware.LastError(), fourth);
  hardware.Write(kStatus, 0xFF);
  EXPECT_EQ(hardware.LastError(), "");
  hardware.Read(0x27a);
  EXPECT_EQ(hardware.LastError(), "address 0x27a is not on parport0 at 0x378, the port in use");
  EXPECT_TRUE(port.controlWrites.empty());
}

}  // namespace
