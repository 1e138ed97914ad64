// Linux: the machine's ports as the kernel lists them, and the setting file,
// read through a fake of the system's files.
#include "port/kernel_ports.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <map>

#include "port/port_setting.h"

namespace {

using quorvane::KernelPorts;
using quorvane::SettingFromFile;
using quorvane::port_setting::ParseSettingFile;

class FakeFiles final : public quorvane::SystemFiles {
 public:
  std::optional<std::string> Read(const std::string& path, int* error) override {
    if (const auto failing = errors.find(path); failing != errors.end()) {
      *error = failing->second;
      return std::nullopt;
    }
    const auto found = files.find(path);
    if (found == files.end()) {
      *error = ENOENT;
      return std::nullopt;
    }
    return found->second;
  }
  std::optional<std::string> LinkTarget(const std::string& path) override {
    const auto found = links.find(path);
    if (found == links.end()) return std::nullopt;
    return found->second;
  }
  std::map<std::string, std::string> files, links;
  std::map<std::string, int> errors;
};

TEST(KernelPorts, EachListedPortWithItsBaseDriverAndHolderGapsAndAllInTheKernelsOrder) {
  FakeFiles system;
  // base-addr holds the base, then the ECR's base (or -1), tab-separated.
  system.files["/proc/sys/dev/parport/parport0/base-addr"] = "888\t1912\n";
  system.files["/proc/sys/dev/parport/parport0/devices/active"] = "none\n";
  system.links["/sys/class/parport/parport0/device/driver"] = "../../../../bus/pnp/drivers/parport_pc";
  // parport1 was removed; a card's port came after the gap.
  system.files["/proc/sys/dev/parport/parport3/base-addr"] = "53264\t-1\n";
  system.files["/proc/sys/dev/parport/parport3/devices/active"] = "lp\n";
  system.files["/proc/sys/dev/parport/parport5/base-addr"] = "garbage\n";

  const auto machine = KernelPorts(system);
  EXPECT_TRUE(machine.known);
  ASSERT_EQ(machine.ports.size(), 2u);
  EXPECT_EQ(machine.ports[0].name, "parport0");
  EXPECT_EQ(machine.ports[0].base, 0x378);
  EXPECT_EQ(machine.ports[0].driver, "parport_pc");
  EXPECT_EQ(machine.ports[0].holder, "");
  EXPECT_EQ(machine.ports[1].name, "parport3");
  EXPECT_EQ(machine.ports[1].base, 0xd010);
  EXPECT_EQ(machine.ports[1].driver, "");
  EXPECT_EQ(machine.ports[1].holder, "lp");
}

TEST(KernelPorts, NoSettingFileIsNoSettingButAnUnreadableOneIsAFailureNamingIt) {
  FakeFiles system;
  const auto absent = SettingFromFile(system, "/etc/quorvane.conf");
  EXPECT_FALSE(absent.value);
  EXPECT_EQ(absent.unusable, "");
  EXPECT_EQ(absent.where, "/etc/quorvane.conf");

  system.errors["/etc/quorvane.conf"] = EACCES;
  EXPECT_EQ(SettingFromFile(system, "/etc/quorvane.conf").unusable, "Permission denied");

  system.errors.clear();
  system.files["/etc/quorvane.conf"] = "# the card\nport = 0xd010\n";
  EXPECT_EQ(SettingFromFile(system, "/etc/quorvane.conf").value, "0xd010");
}

TEST(SettingFile, CommentsAndBlanksAreSkippedAndTheOnePortLineIsTaken) {
  EXPECT_FALSE(ParseSettingFile("").value);
  EXPECT_FALSE(ParseSettingFile("# port = parport1\n\n   \t\n").value) << "as the package installs it";
  EXPECT_EQ(ParseSettingFile("port=parport1").value, "parport1");
  EXPECT_EQ(ParseSettingFile("\r\n  port =  0x278  # the second port\r\n").value, "0x278");
  EXPECT_EQ(ParseSettingFile("port =\n").value, "") << "an empty value is the rule's to refuse";
}

TEST(SettingFile, AnyOtherLineOrASecondPortIsRefusedWithItsLineNumber) {
  EXPECT_EQ(ParseSettingFile("# x\nprot = parport1\n").invalid,
            "line 2 is not \"port = NAME or BASE\": \"prot = parport1\"");
  EXPECT_EQ(ParseSettingFile("parport1\n").invalid, "line 1 is not \"port = NAME or BASE\": \"parport1\"");
  EXPECT_EQ(ParseSettingFile("port = parport0\nport = parport1\n").invalid,
            "line 2 sets the port a second time");
}

}  // namespace
