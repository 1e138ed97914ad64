#include "tools/porttest/porttest_commands.h"

#include <algorithm>
#include <cstdio>
#include <iterator>
#include <vector>

#include "port/port_map.h"

namespace quorvane::porttest {

namespace {

std::string Hex(std::int16_t value) { return port_choice::Hex(static_cast<std::uint16_t>(value)); }

std::int16_t At(std::int16_t base, std::int16_t offset) { return static_cast<std::int16_t>(base + offset); }

// The status register's lines as bits and pins; Busy reads inverted.
std::string StatusText(std::int16_t status) {
  const auto bit = [status](int n) { return (status >> n) & 1; };
  char text[160];
  std::snprintf(text, sizeof text,
                "status 0x%02x: request %d (Select, pin 13)  Error %d (pin 15)  Paper-out %d (pin 12)  "
                "Ack %d (pin 10)  Busy %d (pin 11, inverted)",
                status & 0xff, bit(4), bit(3), bit(5), bit(6), bit(7));
  return text;
}

}  // namespace

int List(const port_choice::MachinePorts& machine, const port_choice::Setting& setting,
         const std::function<std::string(const port_choice::MachinePort&)>& holderOf, std::ostream& out) {
  port_choice::MachinePorts seen = machine;
  for (port_choice::MachinePort& port : seen.ports) {
    const std::string holder = holderOf(port);
    if (!holder.empty()) port.holder = holder;
  }
  out << "Parallel ports of this machine:\n";
  if (seen.ports.empty())
    out << "  none listed" << (seen.known ? "" : " (the port at 0x378 may still be there)") << "\n";
  for (const port_choice::MachinePort& port : seen.ports) out << "  " << port_choice::Describe(port) << "\n";
  out << "Setting: " << setting.where << ": ";
  if (!setting.unusable.empty())
    out << "cannot be used: " << setting.unusable << "\n";
  else if (setting.value)
    out << "\"" << *setting.value << "\"\n";
  else
    out << "none\n";
  const port_choice::Choice choice = port_choice::Choose(seen, setting);
  if (!choice.ok) {
    out << "Quorvane would not start: " << choice.failure << "\n";
    return 1;
  }
  out << "Quorvane would use: " << (choice.name.empty() ? "the port" : choice.name) << " at "
      << port_choice::Hex(choice.base) << ": "
      << (choice.why.empty() ? "the port at 0x378, as always" : choice.why) << "\n";
  return 0;
}

int ListBases(const port_choice::MachinePorts& machine, const port_choice::Setting& setting,
              std::ostream& out) {
  const port_choice::Choice choice = port_choice::Choose(machine, setting);
  const bool chosenListed = choice.ok && !choice.name.empty();
  if (choice.ok && choice.name.empty() && setting.value)
    out << port_choice::Hex(choice.base) << " (the port set now; this system does not list it)\n";
  const auto line = [&out](const port_choice::MachinePort& port) {
    out << port_choice::Hex(port.base) << " " << port.name << "\n";
  };
  for (const port_choice::MachinePort& port : machine.ports)
    if (chosenListed && port.base == choice.base) line(port);
  for (const port_choice::MachinePort& port : machine.ports)
    if (!(chosenListed && port.base == choice.base)) line(port);
  return 0;
}

int CheckBase(const std::string& text, std::ostream& out, std::ostream& err) {
  const port_choice::NamedPort named = port_choice::ParsePort(text);
  if (!named.invalid.empty()) {
    err << "\"" << text << "\" " << named.invalid << "\n";
    return 1;
  }
  if (!named.base) {
    err << "\"" << text << "\" is a port's name, not its base (a base is written 0xd010 or 53264)\n";
    return 1;
  }
  out << port_choice::Hex(*named.base) << "\n";
  return 0;
}

int Watch(PortIo& port, std::int16_t base, int seconds, const Pause& pause, std::ostream& out) {
  constexpr int kPollMs = 50;
  out << "watching the status lines at " << Hex(At(base, port_map::kStatusOffset)) << " for " << seconds
      << " s\n";
  int last = -1;
  for (int elapsed = 0; elapsed <= seconds * 1000; elapsed += kPollMs) {
    const std::int16_t status = port.Inp32(At(base, port_map::kStatusOffset));
    if ((status & 0xff) != last) {
      char time[16];
      std::snprintf(time, sizeof time, "%7.2f s  ", elapsed / 1000.0);
      out << time << StatusText(status) << "\n" << std::flush;
      last = status & 0xff;
    }
    pause(kPollMs);
  }
  return 0;
}

int Loopback(PortIo& port, std::int16_t base, const Pause& pause, std::ostream& out) {
  const std::int16_t control = At(base, port_map::kControlOffset);
  const std::int16_t status = At(base, port_map::kStatusOffset);
  out << "loopback at " << Hex(base) << ": a plug from pin 1 (Strobe, the answer line) to pin 13 (Select, "
      << "the request line)\n";
  // Idle first, then both levels twice, ending at idle.
  const std::int16_t steps[] = {port_map::kAnswerIdle, port_map::kAnswerActive, port_map::kAnswerIdle,
                                port_map::kAnswerActive, port_map::kAnswerIdle};
  int inverted = 0, straight = 0, controlWrong = 0;
  std::vector<int> requests;
  for (const std::int16_t value : steps) {
    port.Out32(control, value);
    pause(20);
    const int readBack = port.Inp32(control) & 1;
    const int request = (port.Inp32(status) & port_map::kRequestMask) ? 1 : 0;
    requests.push_back(request);
    // Control bit 0 at 1 puts Strobe low, so the wired Select reads 0.
    const bool follows = request == (value == 0 ? 1 : 0);
    out << "  answer line " << value << " (Strobe pin " << (value ? "low" : "high") << "): control reads "
        << readBack << ", request line " << request << (follows ? "  ok" : "  WRONG") << "\n";
    if (readBack != value) ++controlWrong;
    if (follows) ++inverted;
    if (request == value) ++straight;
  }
  port.Out32(control, port_map::kAnswerIdle);
  const int total = static_cast<int>(std::size(steps));
  if (inverted == total) {
    out << "loopback: ok, the request line follows the answer line, inverted as the port inverts Strobe\n";
    return 0;
  }
  if (controlWrong > 0)
    out << "loopback: FAILED: the answer line: the control register did not keep what was written ("
        << controlWrong << " of " << total << " steps); the port or its driver does not drive Strobe\n";
  else if (straight == total)
    out << "loopback: FAILED: the request line follows the answer line without Strobe's inversion: the plug "
           "joins other pins, or the port does not invert Strobe\n";
  else if (std::count(requests.begin(), requests.end(), requests.front()) == total)
    out << "loopback: FAILED: the request line (Select, pin 13) stays at " << requests.front()
        << " while the answer line toggles: no plug is in, or it does not join pin 1 to pin 13\n";
  else
    out << "loopback: FAILED: the request line (Select, pin 13) follows the answer line only " << inverted
        << " of " << total << " times: a loose plug or a noisy line\n";
  return 1;
}

}  // namespace quorvane::porttest
