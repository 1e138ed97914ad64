// quorvane-porttest's commands against the one fake port: what the field
// sees of a plug that works, of none, and of a line that fails.
#include "tools/porttest/porttest_commands.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <sstream>
#include <string>
#include <utility>

#include "fake_port.h"

namespace {

using quorvane::port_choice::MachinePort;
using quorvane::port_choice::MachinePorts;
using quorvane::port_choice::Setting;
namespace porttest = quorvane::porttest;

constexpr std::int16_t kBase = 0x278;

bool Mentions(const std::string& text, const std::string& part) {
  return text.find(part) != std::string::npos;
}

struct Plugged : ::testing::Test {
  Plugged() {
    // A plug from pin 1 to pin 13: Select reads the Strobe pin, which the
    // port drives inverted from control bit 0.
    port.onWrite = [this] {
      // Writes() is a copy: the last write is kept, not a reference into it.
      const auto last = port.Writes().back();
      if (last.port == kBase + 2 && wired) port.status = (last.value & 1) ? 0 : 0x10;
    };
    // The control register reads back what was written to it...
    port.onAccess = [this](const quorvane::testing::Event& access) {
      if (access.kind == quorvane::testing::Event::kWrite && access.port == kBase + 2 && controlKeeps)
        port.registers[kBase + 2] = access.value;
    };
  }
  int Run() {
    return porttest::Loopback(
        port, kBase, [this](int ms) { paused += ms; }, out);
  }
  quorvane::testing::FakePort port;
  bool wired = true;
  bool controlKeeps = true;  // ...unless the port does not drive it
  int paused = 0;
  std::ostringstream out;
};

TEST_F(Plugged, APlugFromPin1ToPin13PassesAndTheAnswerLineEndsIdle) {
  EXPECT_EQ(Run(), 0) << out.str();
  EXPECT_TRUE(Mentions(out.str(), "loopback: ok")) << out.str();
  EXPECT_EQ(port.Writes().back().value, 1);
  EXPECT_EQ(port.Writes().back().port, kBase + 2);
  for (const auto& read : port.Reads()) EXPECT_TRUE(read.port == kBase + 1 || read.port == kBase + 2);
  EXPECT_GT(paused, 0) << "each step waits for the line to settle";
}

TEST_F(Plugged, NoPlugAWireWithoutTheInversionAndAFlakyLineEachSayWhichLineFails) {
  wired = false;
  port.status = 0x10;  // an open input floats high
  EXPECT_EQ(Run(), 1);
  EXPECT_TRUE(Mentions(out.str(), "stays at 1 while the answer line toggles: no plug is in")) << out.str();

  out.str("");
  wired = false;
  port.onWrite = [this] {
    const auto last = port.Writes().back();
    if (last.port == kBase + 2) port.status = (last.value & 1) ? 0x10 : 0;
  };
  EXPECT_EQ(Run(), 1);
  EXPECT_TRUE(Mentions(out.str(), "without Strobe's inversion")) << out.str();

  out.str("");
  int writes = 0;
  port.onWrite = [&] {
    const auto last = port.Writes().back();
    if (last.port == kBase + 2) port.status = (++writes == 3) ? 0x10 : ((last.value & 1) ? 0 : 0x10);
  };
  EXPECT_EQ(Run(), 1);
  EXPECT_TRUE(Mentions(out.str(), "a loose plug")) << out.str();

  // A port that does not drive Strobe: the register keeps its old value and
  // the line does not move.
  out.str("");
  port.onWrite = nullptr;
  controlKeeps = false;
  EXPECT_EQ(Run(), 1);
  EXPECT_TRUE(Mentions(out.str(), "FAILED: the answer line")) << out.str();
}

TEST_F(Plugged, WatchShowsTheStartAndEveryChangeOfTheStatusLinesOnly) {
  port.script = {0x10, 0x10, 0x00, 0x00, static_cast<std::int16_t>(0x90)};
  port.status = 0x90;
  EXPECT_EQ(porttest::Watch(
                port, kBase, 1, [](int) {}, out),
            0);
  const std::string text = out.str();
  EXPECT_EQ(std::count(text.begin(), text.end(), '\n'), 4) << text;  // heading and three states
  EXPECT_TRUE(Mentions(text, "request 1 (Select, pin 13)")) << text;
  EXPECT_TRUE(Mentions(text, "Busy 1 (pin 11, inverted)")) << text;
  EXPECT_EQ(port.Writes().size(), 0u) << "watching never drives a line";
}

TEST(PortTestList, NamesEachPortItsHolderTheSettingAndTheChoiceWithItsReason) {
  MachinePorts machine;
  machine.ports = {{"parport0", 0x378, "parport_pc", ""}, {"parport1", 0x278, "parport_pc", ""}};
  Setting setting;
  setting.where = "/etc/quorvane.conf";
  setting.how = "choose one in /etc/quorvane.conf (e.g. port = %s)";
  std::ostringstream out;
  const auto holder = [](const MachinePort& port) {
    return port.name == "parport0" ? std::string("quorvane-console (process 42)") : std::string();
  };
  EXPECT_EQ(porttest::List(machine, setting, holder, out), 0);
  EXPECT_EQ(out.str(),
            "Parallel ports of this machine:\n"
            "  parport0 at 0x378 (driver parport_pc, held by quorvane-console (process 42))\n"
            "  parport1 at 0x278 (driver parport_pc, free)\n"
            "Setting: /etc/quorvane.conf: none\n"
            "Quorvane would use: parport0 at 0x378: the port at 0x378, as always\n");

  setting.value = "parport7";
  std::ostringstream refused;
  EXPECT_EQ(porttest::List(machine, setting, holder, refused), 1);
  EXPECT_TRUE(Mentions(refused.str(), "Quorvane would not start: /etc/quorvane.conf chooses parport7"))
      << refused.str();
}

// What the installer offers: the port the program would take first, so
// that it is the one preselected, and the first word of each line a base
// the setting takes.
TEST(PortTestListBases, OffersThePortTheProgramWouldUseFirstThenTheOthersInTheSystemsOrder) {
  MachinePorts machine;
  machine.ports = {{"LPT1", 0x278, "Parport", ""}, {"LPT2", 0x378, "Parport", ""}, {"LPT3", 0xd010, "", ""}};
  Setting setting;
  std::ostringstream conventional, set, none;
  EXPECT_EQ(porttest::ListBases(machine, setting, conventional), 0);
  EXPECT_EQ(conventional.str(), "0x378 LPT2\n0x278 LPT1\n0xd010 LPT3\n");
  setting.value = "0xd010";
  porttest::ListBases(machine, setting, set);
  EXPECT_EQ(set.str(), "0xd010 LPT3\n0x278 LPT1\n0x378 LPT2\n");
  // Several and none at 0x378 with no setting: the rule takes none, and
  // nothing is put first.
  machine.ports.erase(machine.ports.begin() + 1);
  setting.value.reset();
  porttest::ListBases(machine, setting, none);
  EXPECT_EQ(none.str(), "0x278 LPT1\n0xd010 LPT3\n");
}

TEST(PortTestListBases, AnUnlistedBaseIsOfferedOnlyWhenTheSettingChoosesIt) {
  MachinePorts unknown;  // as Windows under Wine: none listed, proving nothing
  unknown.known = false;
  Setting setting;
  std::ostringstream nothing, kept, refused;
  porttest::ListBases(unknown, setting, nothing);
  EXPECT_EQ(nothing.str(), "") << "no setting: the port at 0x378 is the program's own rule, not an offer";
  setting.value = "0x278";
  porttest::ListBases(unknown, setting, kept);
  EXPECT_EQ(kept.str(), "0x278 (the port set now; this system does not list it)\n");
  MachinePorts listed;
  listed.ports = {{"LPT1", 0x378, "Parport", ""}};
  porttest::ListBases(listed, setting, refused);
  EXPECT_EQ(refused.str(), "0x378 LPT1\n") << "a setting naming no port of a known list is not offered";
}

TEST(PortTestBase, TakesABaseInHexOrDecimalAndPrintsItInHex) {
  for (const auto& [text, base] : {std::pair{"0x278", "0x278\n"},
                                   {"632", "0x278\n"},
                                   {"0XD010", "0xd010\n"},
                                   {"0xfffc", "0xfffc\n"},
                                   {"4", "0x4\n"}}) {
    std::ostringstream out, err;
    EXPECT_EQ(porttest::CheckBase(text, out, err), 0) << text << ": " << err.str();
    EXPECT_EQ(out.str(), base) << text;
    EXPECT_EQ(err.str(), "") << text;
  }
}

TEST(PortTestBase, RefusesWhatIsNoBaseSayingWhyAndPrintingNoBase) {
  for (const auto& [text, why] : {std::pair{"0x37b", "a multiple of 4"},
                                  {"0x10000", "out of range"},
                                  {"0", "out of range"},
                                  {"0x", "not a number"},
                                  {"", "empty"},
                                  {"0x37g", "not a number"},
                                  {"LPT2", "a port's name, not its base"},
                                  {"0x378 LPT1", "not a number"},
                                  {"-888", "not a number"}}) {
    std::ostringstream out, err;
    EXPECT_EQ(porttest::CheckBase(text, out, err), 1) << text;
    EXPECT_EQ(out.str(), "") << text;
    EXPECT_TRUE(Mentions(err.str(), why)) << text << ": " << err.str();
  }
}

}  // namespace
