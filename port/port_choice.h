#pragma once

// Which parallel port a run drives, the one rule for the program, the
// hardware port library and quorvane-porttest on every system. It works on
// what each system lists (port_list.h) and on the administrator's setting,
// and touches nothing itself.
//
// The rule: the port the setting names; with no setting, the port at 888
// (0x378) when the machine has one, else the machine's only parallel port.
// Anything else (no port, several and none chosen, a setting naming a port
// that is not there, a setting that is no port at all) is a failure whose
// message lists the machine's ports and says how to choose one.

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace quorvane::port_choice {

// The base a machine with no setting has always used: 0x378.
inline constexpr std::uint16_t kConventionalBase = 888;

// One parallel port as the system lists it.
struct MachinePort {
  std::string name;    // the system's name: parport1, LPT2
  std::uint16_t base;  // the first of its registers
  std::string driver;  // the driver bound to it; empty when the system does not tell
  std::string holder;  // who holds it now; empty when free or not told
};

// The system's list of ports. `known` is false where the system may reach a
// port it does not list (Windows lists none under Wine, and inpout32 reaches
// any I/O port), so the absence of a port there proves nothing.
struct MachinePorts {
  std::vector<MachinePort> ports;
  bool known = true;
  std::string noneHint;  // what to check when none are listed
};

// The administrator's setting, as its system keeps it.
struct Setting {
  std::string where;  // the file or the registry value, for messages
  // How to choose a port there, one sentence with %s where an example port
  // goes: its name when `byName`, else its base.
  std::string how;
  bool byName = true;
  std::optional<std::string> value;  // the text set; none when nothing is set
  std::string unusable;              // why the setting could not be read or understood; empty when fine
};

// What the rule decided: a port, or why none.
struct Choice {
  bool ok = false;
  std::uint16_t base = kConventionalBase;
  std::string name;     // the system's name of the port; empty when not listed
  std::string why;      // one sentence on why this port, for a port other
                        // than the one at 888 or one a setting names; empty
                        // when nothing needs saying
  std::string failure;  // when not ok: the message, on one line
};

Choice Choose(const MachinePorts& machine, const Setting& setting);

// A setting's text as a port: a system's port name (letters then digits,
// e.g. parport1 or LPT2) or a base in hex (0xd010) or decimal (53264),
// between 4 and 0xfffc and a multiple of 4. Empty `invalid` when it is one.
struct NamedPort {
  std::optional<std::uint16_t> base;
  std::string name;
  std::string invalid;  // why the text is no port
};
NamedPort ParsePort(const std::string& text);

// "0x378"
std::string Hex(std::uint16_t value);

// "parport0 at 0x378 (driver parport_pc, held by lp)", for lists.
std::string Describe(const MachinePort& port);

}  // namespace quorvane::port_choice
