#pragma once

// Linux: the parallel ports the kernel lists, read from its files through a
// seam, so that the reading can be tried on any text. For each port N:
// /proc/sys/dev/parport/parportN/base-addr (the base, then the ECR's),
// .../devices/active (the driver or ppdev client that has it claimed, or
// "none") and the link /sys/class/parport/parportN/device/driver (the
// driver bound to the port's device).

#include <optional>
#include <string>

#include "port/port_choice.h"

namespace quorvane {

class SystemFiles {
 public:
  virtual ~SystemFiles() = default;
  // The text of a file; nullopt, with the errno in *error, when it cannot
  // be read (ENOENT when there is none).
  virtual std::optional<std::string> Read(const std::string& path, int* error) = 0;
  // Where a symbolic link points; nullopt when the path is no link.
  virtual std::optional<std::string> LinkTarget(const std::string& path) = 0;
};

// The kernel numbers its ports from parport0 up; a card's port may come
// after gaps left by ports removed, so this many are looked at.
inline constexpr int kKernelPortsLooked = 16;

port_choice::MachinePorts KernelPorts(SystemFiles& files);

// A devices/active entry's first word: the claiming driver's or client's
// name, or "none"; empty for an empty entry.
std::string FirstWord(const std::string& text);

// The setting in the file at `path`: none when there is no file, a failure
// naming it when it cannot be read or understood.
port_choice::Setting SettingFromFile(SystemFiles& files, const std::string& path);

}  // namespace quorvane
