#include "port/kernel_ports.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>

#include "port/port_setting.h"

namespace quorvane {

std::string FirstWord(const std::string& text) {
  const auto start = text.find_first_not_of(" \t\n");
  if (start == std::string::npos) return {};
  return text.substr(start, text.find_first_of(" \t\n", start) - start);
}

port_choice::MachinePorts KernelPorts(SystemFiles& files) {
  port_choice::MachinePorts machine;
  machine.noneHint = "check /proc/sys/dev/parport, load the parport_pc module";
  for (int number = 0; number < kKernelPortsLooked; ++number) {
    const std::string name = "parport" + std::to_string(number);
    const std::string proc = "/proc/sys/dev/parport/" + name;
    int error = 0;
    const auto baseText = files.Read(proc + "/base-addr", &error);
    if (!baseText) continue;
    char* end = nullptr;
    const unsigned long base = std::strtoul(baseText->c_str(), &end, 10);
    if (end == baseText->c_str() || base == 0 || base > 0xffff) continue;
    port_choice::MachinePort port{name, static_cast<std::uint16_t>(base), {}, {}};
    if (const auto driver = files.LinkTarget("/sys/class/parport/" + name + "/device/driver"))
      port.driver = driver->substr(driver->find_last_of('/') + 1);
    if (const auto active = files.Read(proc + "/devices/active", &error)) {
      const std::string holder = FirstWord(*active);
      if (holder != "none") port.holder = holder;
    }
    machine.ports.push_back(port);
  }
  return machine;
}

port_choice::Setting SettingFromFile(SystemFiles& files, const std::string& path) {
  port_choice::Setting setting;
  setting.where = path;
  setting.how = "choose one with a line \"port = NAME or BASE\" in " + path + " (e.g. port = %s)";
  int error = 0;
  const auto text = files.Read(path, &error);
  if (!text) {
    if (error != ENOENT) setting.unusable = std::strerror(error);
    return setting;
  }
  const port_setting::FileSetting parsed = port_setting::ParseSettingFile(*text);
  setting.unusable = parsed.invalid;
  setting.value = parsed.value;
  return setting;
}

}  // namespace quorvane
