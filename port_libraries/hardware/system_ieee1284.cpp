#include "port_libraries/hardware/system_ieee1284.h"

#include <unistd.h>

#include <cerrno>

namespace quorvane::hardware {

namespace {
CallResult Result(int code) { return {code, code == E1284_OK ? 0 : errno}; }
}  // namespace

CallResult SystemIeee1284::FindPorts(parport_list& list) {
  errno = 0;
  return Result(ieee1284_find_ports(&list, 0));
}

void SystemIeee1284::FreePorts(parport_list& list) { ieee1284_free_ports(&list); }

CallResult SystemIeee1284::Open(parport& port, int flags, int* capabilities) {
  errno = 0;
  return Result(ieee1284_open(&port, flags, capabilities));
}

CallResult SystemIeee1284::Claim(parport& port) {
  errno = 0;
  return Result(ieee1284_claim(&port));
}

void SystemIeee1284::Release(parport& port) { ieee1284_release(&port); }

void SystemIeee1284::Close(parport& port) { ieee1284_close(&port); }

int SystemIeee1284::ReadStatus(parport& port) { return ieee1284_read_status(&port); }

int SystemIeee1284::ReadControl(parport& port) { return ieee1284_read_control(&port); }

void SystemIeee1284::WriteControl(parport& port, unsigned char lines) {
  ieee1284_write_control(&port, lines);
}

int SystemIeee1284::ReadData(parport& port) { return ieee1284_read_data(&port); }

void SystemIeee1284::WriteData(parport& port, unsigned char value) {
  ieee1284_write_data(&port, value);
}

int SystemIeee1284::DeviceAccessError(const std::string& path) {
  return access(path.c_str(), R_OK | W_OK) == 0 ? 0 : errno;
}

}  // namespace quorvane::hardware
