// Linux: the kernel's list of parallel ports and /etc/quorvane.conf
// (machine_ports.h), read from the system's files.
#include <unistd.h>

#include <cerrno>
#include <fstream>
#include <iterator>

#include "port/kernel_ports.h"
#include "port/machine_ports.h"

namespace quorvane {

namespace {

class RealFiles final : public SystemFiles {
 public:
  std::optional<std::string> Read(const std::string& path, int* error) override {
    errno = 0;
    std::ifstream file(path);
    if (!file) {
      *error = errno != 0 ? errno : EIO;
      return std::nullopt;
    }
    std::string text{std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>()};
    if (file.bad()) {
      *error = EIO;
      return std::nullopt;
    }
    return text;
  }
  std::optional<std::string> LinkTarget(const std::string& path) override {
    char target[512];
    const ssize_t length = readlink(path.c_str(), target, sizeof target - 1);
    if (length <= 0) return std::nullopt;
    return std::string(target, static_cast<std::size_t>(length));
  }
};

}  // namespace

port_choice::MachinePorts ListMachinePorts() {
  RealFiles files;
  return KernelPorts(files);
}

port_choice::Setting ReadPortSetting() {
  RealFiles files;
  // Fixed when built: no environment or user can point a service elsewhere.
  return SettingFromFile(files, QUORVANE_PORT_SETTING_FILE);
}

}  // namespace quorvane
