#include "port/port_choice.h"

#include <cctype>
#include <cstdio>
#include <cstdlib>

namespace quorvane::port_choice {

namespace {

bool SameName(const std::string& a, const std::string& b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i)
    if (std::tolower(static_cast<unsigned char>(a[i])) != std::tolower(static_cast<unsigned char>(b[i])))
      return false;
  return true;
}

std::string Quoted(const std::string& text) { return "\"" + text + "\""; }

std::string ListText(const MachinePorts& machine) {
  if (machine.ports.empty())
    return "this machine has no parallel port" +
           (machine.noneHint.empty() ? "" : " (" + machine.noneHint + ")");
  std::string text = "this machine has " + std::to_string(machine.ports.size()) + ": ";
  for (std::size_t i = 0; i < machine.ports.size(); ++i) text += (i ? ", " : "") + Describe(machine.ports[i]);
  return text;
}

// How to choose, with the machine's first port as the example (or the
// conventional one on a machine that lists none).
std::string HowText(const MachinePorts& machine, const Setting& setting) {
  std::string example = Hex(kConventionalBase);
  if (!machine.ports.empty())
    example = setting.byName ? machine.ports.front().name : Hex(machine.ports.front().base);
  std::string how = setting.how;
  if (const auto at = how.find("%s"); at != std::string::npos) how.replace(at, 2, example);
  return how;
}

Choice Failed(const std::string& what, const MachinePorts& machine, const Setting& setting) {
  Choice choice;
  choice.failure = what + "; " + ListText(machine) + "; " + HowText(machine, setting);
  return choice;
}

Choice Chosen(std::uint16_t base, std::string name, std::string why) {
  Choice choice;
  choice.ok = true;
  choice.base = base;
  choice.name = std::move(name);
  choice.why = std::move(why);
  return choice;
}

std::string PortWords(const MachinePort& port) { return port.name + " at " + Hex(port.base); }

Choice ChooseBySetting(const MachinePorts& machine, const Setting& setting, const std::string& value) {
  const NamedPort named = ParsePort(value);
  if (!named.invalid.empty())
    return Failed(setting.where + " names no port: " + Quoted(value) + " " + named.invalid, machine, setting);
  for (const MachinePort& port : machine.ports) {
    if (named.base ? port.base == *named.base : SameName(port.name, named.name))
      return Chosen(port.base, port.name,
                    "using the parallel port " + PortWords(port) + ", as " + setting.where + " chooses");
  }
  // A port the system does not list may still be reached where the list
  // proves nothing; a name, though, only the list could resolve.
  if (named.base && !machine.known)
    return Chosen(*named.base, {},
                  "using the parallel port at " + Hex(*named.base) + ", as " + setting.where + " chooses");
  const std::string which = named.base ? "a port at " + Hex(*named.base) : named.name;
  return Failed(setting.where + " chooses " + which + ", which this machine does not have", machine, setting);
}

}  // namespace

std::string Hex(std::uint16_t value) {
  char text[8];
  std::snprintf(text, sizeof text, "0x%x", static_cast<unsigned>(value));
  return text;
}

std::string Describe(const MachinePort& port) {
  return PortWords(port) + " (driver " + (port.driver.empty() ? "unknown" : port.driver) + ", " +
         (port.holder.empty() ? "free" : "held by " + port.holder) + ")";
}

NamedPort ParsePort(const std::string& text) {
  NamedPort named;
  if (text.empty()) {
    named.invalid = "is empty";
    return named;
  }
  if (std::isalpha(static_cast<unsigned char>(text[0]))) {
    // A name: letters, then digits (parport1, LPT2); "0x..." starts with a digit.
    std::size_t i = 0;
    while (i < text.size() && std::isalpha(static_cast<unsigned char>(text[i]))) ++i;
    const std::size_t digits = i;
    while (i < text.size() && std::isdigit(static_cast<unsigned char>(text[i]))) ++i;
    if (i != text.size() || digits == text.size())
      named.invalid = "is neither a port's name (letters then a number, e.g. parport1) nor a base";
    else
      named.name = text;
    return named;
  }
  const bool hex = text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X');
  const std::string digits = hex ? text.substr(2) : text;
  for (const char c : digits) {
    if (!(hex ? std::isxdigit(static_cast<unsigned char>(c)) : std::isdigit(static_cast<unsigned char>(c)))) {
      named.invalid = "is not a number (a base is written 0xd010 or 53264)";
      return named;
    }
  }
  if (digits.size() > 8) {
    named.invalid = "is out of range: I/O ports end at 0xffff";
    return named;
  }
  const unsigned long value = std::strtoul(digits.c_str(), nullptr, hex ? 16 : 10);
  if (value == 0 || value > 0xfffc)
    named.invalid = "is out of range: a port's base lies between 0x4 and 0xfffc";
  else if (value % 4 != 0)
    named.invalid = "is not a port's base: a base is a multiple of 4 (0x378, 0xd010)";
  else
    named.base = static_cast<std::uint16_t>(value);
  return named;
}

Choice Choose(const MachinePorts& machine, const Setting& setting) {
  if (!setting.unusable.empty())
    return Failed("the port setting " + setting.where + " cannot be used: " + setting.unusable, machine,
                  setting);
  if (setting.value) return ChooseBySetting(machine, setting, *setting.value);
  for (const MachinePort& port : machine.ports)
    if (port.base == kConventionalBase) return Chosen(port.base, port.name, {});
  // Where the list proves nothing, the conventional port is taken as it
  // always was.
  if (!machine.known && machine.ports.empty()) return Chosen(kConventionalBase, {}, {});
  if (machine.ports.size() == 1) {
    const MachinePort& only = machine.ports.front();
    return Chosen(only.base, only.name,
                  "using the parallel port " + PortWords(only) + ", the only one this machine has (none at " +
                      Hex(kConventionalBase) + "); " + HowText(machine, setting) +
                      " to keep this choice when ports are added");
  }
  const std::string none = "no parallel port at " + Hex(kConventionalBase);
  if (machine.ports.empty()) return Failed(none, machine, setting);
  return Failed(
      none + " and " + std::to_string(machine.ports.size()) + " others, of which no setting chooses one",
      machine, setting);
}

}  // namespace quorvane::port_choice
