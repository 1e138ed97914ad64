// The one rule for which parallel port a run drives, as the program, the
// hardware port library and quorvane-porttest all apply it.
#include "port/port_choice.h"

#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

namespace {

using quorvane::port_choice::Choice;
using quorvane::port_choice::Choose;
using quorvane::port_choice::MachinePort;
using quorvane::port_choice::MachinePorts;
using quorvane::port_choice::ParsePort;
using quorvane::port_choice::Setting;

const MachinePort kOnboard{"parport0", 0x378, "parport_pc", ""};
const MachinePort kSecond{"parport1", 0x278, "parport_pc", "lp"};
const MachinePort kCard{"parport2", 0xd010, "parport_pc", ""};

Setting LinuxSetting(std::optional<std::string> value = std::nullopt) {
  Setting setting;
  setting.where = "/etc/quorvane.conf";
  setting.how = "choose one with a line \"port = NAME or BASE\" in /etc/quorvane.conf (e.g. port = %s)";
  setting.value = std::move(value);
  return setting;
}

MachinePorts Listed(std::vector<MachinePort> ports) {
  MachinePorts machine;
  machine.ports = std::move(ports);
  return machine;
}

bool Mentions(const std::string& text, const std::string& part) {
  return text.find(part) != std::string::npos;
}

// --- No setting: the conventional port, else the only one ------------------

TEST(PortChoice, WithoutSettingThePortAt888IsTakenSilentlyWhateverElseTheMachineHas) {
  for (const MachinePorts& machine : {Listed({kOnboard}), Listed({kCard, kSecond, kOnboard})}) {
    const Choice choice = Choose(machine, LinuxSetting());
    ASSERT_TRUE(choice.ok) << choice.failure;
    EXPECT_EQ(choice.base, 0x378);
    EXPECT_EQ(choice.name, "parport0");
    EXPECT_EQ(choice.why, "") << "today's machines see no new line";
  }
}

TEST(PortChoice, WithoutSettingTheOnlyPortIsTakenAndTheChoiceIsToldWithHowToFixIt) {
  const Choice choice = Choose(Listed({kCard}), LinuxSetting());
  ASSERT_TRUE(choice.ok) << choice.failure;
  EXPECT_EQ(choice.base, 0xd010);
  EXPECT_TRUE(Mentions(choice.why, "parport2 at 0xd010")) << choice.why;
  EXPECT_TRUE(Mentions(choice.why, "the only one")) << choice.why;
  EXPECT_TRUE(Mentions(choice.why, "port = parport2")) << choice.why;
}

TEST(PortChoice, NoPortOrSeveralWithoutTheConventionalOneFailListingThePortsAndHowToChoose) {
  MachinePorts none;
  none.noneHint = "load the parport_pc module";
  const Choice empty = Choose(none, LinuxSetting());
  EXPECT_FALSE(empty.ok);
  EXPECT_TRUE(Mentions(empty.failure, "no parallel port at 0x378")) << empty.failure;
  EXPECT_TRUE(Mentions(empty.failure, "no parallel port (load the parport_pc module)")) << empty.failure;

  const Choice several = Choose(Listed({kSecond, kCard}), LinuxSetting());
  EXPECT_FALSE(several.ok);
  for (const char* part :
       {"no parallel port at 0x378", "parport1 at 0x278 (driver parport_pc, held by lp)",
        "parport2 at 0xd010 (driver parport_pc, free)", "/etc/quorvane.conf", "port = parport1"})
    EXPECT_TRUE(Mentions(several.failure, part)) << part << " in " << several.failure;
}

// Windows may list nothing (Wine) while inpout32 reaches every I/O port:
// there the conventional port stays, and a base set is taken as it is.
TEST(PortChoice, AnUnknownListKeeps888AndTakesASetBaseButNoName) {
  MachinePorts unknown;
  unknown.known = false;
  const Choice plain = Choose(unknown, LinuxSetting());
  ASSERT_TRUE(plain.ok);
  EXPECT_EQ(plain.base, 888);
  EXPECT_EQ(plain.why, "");

  const Choice set = Choose(unknown, LinuxSetting("0x278"));
  ASSERT_TRUE(set.ok) << set.failure;
  EXPECT_EQ(set.base, 0x278);
  EXPECT_TRUE(Mentions(set.why, "at 0x278, as /etc/quorvane.conf chooses")) << set.why;

  EXPECT_FALSE(Choose(unknown, LinuxSetting("LPT2")).ok) << "a name only a list could resolve";
}

// --- A setting: it chooses, or the run ends naming it -----------------------

TEST(PortChoice, ASettingChoosesAmongSeveralByNameOrBaseEvenBesideTheConventionalPort) {
  const MachinePorts machine = Listed({kOnboard, kSecond, kCard});
  for (const char* value : {"parport1", "PARPORT1", "0x278", "0X278", "632"}) {
    const Choice choice = Choose(machine, LinuxSetting(value));
    ASSERT_TRUE(choice.ok) << value << ": " << choice.failure;
    EXPECT_EQ(choice.base, 0x278) << value;
    EXPECT_EQ(choice.name, "parport1") << value;
    EXPECT_TRUE(Mentions(choice.why, "as /etc/quorvane.conf chooses")) << choice.why;
  }
  EXPECT_EQ(Choose(machine, LinuxSetting("0xD010")).base, 0xd010);
}

TEST(PortChoice, ASettingNamingAPortThatIsNotThereFailsAndNeverFallsBackTo888) {
  const MachinePorts machine = Listed({kOnboard, kSecond});
  for (const char* value : {"parport7", "0x3bc"}) {
    const Choice choice = Choose(machine, LinuxSetting(value));
    EXPECT_FALSE(choice.ok) << value;
    EXPECT_TRUE(Mentions(choice.failure, "which this machine does not have")) << choice.failure;
    EXPECT_TRUE(Mentions(choice.failure, "parport0 at 0x378")) << choice.failure;
    EXPECT_TRUE(Mentions(choice.failure, "parport1 at 0x278")) << choice.failure;
  }
}

TEST(PortChoice, ASettingThatIsNoPortOrCannotBeReadFailsNamingTheSetting) {
  const MachinePorts machine = Listed({kOnboard});
  for (const char* value :
       {"", "lpt", "0x37a", "0x0", "0x10000", "65536", "0xzz", "12ab", "parport1x", "-888"}) {
    const Choice choice = Choose(machine, LinuxSetting(value));
    EXPECT_FALSE(choice.ok) << value;
    EXPECT_EQ(choice.failure.rfind("/etc/quorvane.conf names no port: \"" + std::string(value) + "\"", 0), 0u)
        << choice.failure;
  }
  Setting unreadable = LinuxSetting();
  unreadable.unusable = "Permission denied";
  const Choice choice = Choose(machine, unreadable);
  EXPECT_FALSE(choice.ok) << "an unreadable setting is never taken for none";
  EXPECT_TRUE(Mentions(choice.failure, "/etc/quorvane.conf cannot be used: Permission denied"))
      << choice.failure;
}

TEST(PortChoice, TheTextsOfAPortSayWhyTheyAreNone) {
  EXPECT_EQ(ParsePort("0xfffc").base, 0xfffc);
  EXPECT_EQ(ParsePort("4").base, 4);
  EXPECT_EQ(ParsePort("LPT2").name, "LPT2");
  EXPECT_TRUE(Mentions(ParsePort("0x37a").invalid, "multiple of 4"));
  EXPECT_TRUE(Mentions(ParsePort("0x10000").invalid, "out of range"));
  EXPECT_TRUE(Mentions(ParsePort("0xd0g0").invalid, "not a number"));
  EXPECT_TRUE(Mentions(ParsePort(" 0x378").invalid, "not a number")) << "no blanks inside the value";
}

// Where the port is named by its base (Windows), the example is a base.
TEST(PortChoice, TheWayToChooseNamesTheMachinesFirstPortAsTheSystemNamesThem) {
  Setting registry = LinuxSetting();
  registry.where = "HKLM\\SOFTWARE\\Quorvane\\PortBase";
  registry.how = "choose one with the installer (or /PORT=%s)";
  registry.byName = false;
  const Choice choice = Choose(Listed({kCard, kSecond}), registry);
  EXPECT_TRUE(Mentions(choice.failure, "/PORT=0xd010")) << choice.failure;
}

}  // namespace
