// quorvane-porttest: the field tool for the parallel port Quorvane drives.
//   list               the machine's ports, which one Quorvane would use and why
//   list --bases       the same ports for an installer: one "BASE NAME" a line
//   base VALUE         a value for the port setting checked: its base in hex
//   watch [SECONDS]    the request line and the other status lines, live
//   loopback           with a plug from pin 1 to pin 13, checks both lines
// It reaches the port as the program does (the same library, the same
// choice, the same one-copy mark), so it refuses a port Quorvane holds.

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <exception>
#include <iostream>
#include <string>
#include <thread>

#include "port/inpout.h"
#include "port/machine_ports.h"
#include "tools/porttest/port_holder.h"
#include "tools/porttest/porttest_commands.h"

namespace {

constexpr char kUsage[] =
    "usage: quorvane-porttest list [--bases] | base VALUE | watch [SECONDS] | loopback\n"
    "  list             the machine's parallel ports, who holds each, the port setting, and which\n"
    "                   port Quorvane would use and why\n"
    "  list --bases     the ports to choose from, one a line: the base, then the system's name; the\n"
    "                   one Quorvane would use first (the installer offers these)\n"
    "  base VALUE       checks VALUE as a port setting's base (0xd010 or 53264, a multiple of 4):\n"
    "                   prints it in hex, or why it is none (exit status 1)\n"
    "  watch [SECONDS]  shows the request line (Select, pin 13) and the other status lines as they\n"
    "                   change, for SECONDS (10 when not given); refused while Quorvane holds the port\n"
    "  loopback         with a plug wiring pin 1 (Strobe) to pin 13 (Select): toggles the answer line\n"
    "                   and checks that the request line follows it, inverted; says which line fails\n"
    "Exit status: 0 all well, 1 a failure or a check that failed, 2 bad usage.\n";

int Usage(const std::string& why) {
  std::fprintf(stderr, "quorvane-porttest: %s\n%s", why.c_str(), kUsage);
  return 2;
}

void Sleep(int milliseconds) { std::this_thread::sleep_for(std::chrono::milliseconds(milliseconds)); }

}  // namespace

int main(int argc, char* argv[]) {
  using namespace quorvane;
  const std::string command = argc > 1 ? argv[1] : "";
  if (command == "--help" || command == "-h" || command == "help") {
    std::fputs(kUsage, stdout);
    return 0;
  }
  int seconds = 10;
  if (command == "watch" && argc == 3) {
    char* end = nullptr;
    const long value = std::strtol(argv[2], &end, 10);
    if (*argv[2] == '\0' || *end != '\0' || value < 1 || value > 86400)
      return Usage(std::string("SECONDS must be a whole number from 1 to 86400, not \"") + argv[2] + "\"");
    seconds = static_cast<int>(value);
  } else if (command.empty()) {
    return Usage("no command given");
  } else if (command == "base") {
    if (argc != 3) return Usage("base takes one VALUE");
    return porttest::CheckBase(argv[2], std::cout, std::cerr);
  } else if (command == "list" && argc == 3) {
    if (std::string(argv[2]) != "--bases") return Usage("unknown command line");
  } else if (argc != 2 || (command != "list" && command != "watch" && command != "loopback")) {
    return Usage("unknown command line");
  }
  try {
    if (command == "list" && argc == 3)
      return porttest::ListBases(ListMachinePorts(), ReadPortSetting(), std::cout);
    if (command == "list")
      return porttest::List(ListMachinePorts(), ReadPortSetting(), porttest::HolderOf, std::cout);
    InpoutLibrary port;
    const ChosenPort chosen = port.ChoosePort();
    if (!chosen.why.empty()) std::cout << chosen.why << "\n";
    if (command == "watch") return porttest::Watch(port, chosen.base, seconds, Sleep, std::cout);
    return porttest::Loopback(port, chosen.base, Sleep, std::cout);
  } catch (const std::exception& failure) {
    const std::string message = failure.what();
    std::fprintf(stderr, "quorvane-porttest: %s\n", message.c_str());
    // Two programs on one port would garble each other's lines.
    if (message.find("held by another program") != std::string::npos)
      std::fprintf(stderr,
                   "quorvane-porttest: stop Quorvane first (its window, or its service), then try again\n");
  }
  return 1;
}
