#include "port_libraries/hardware/system_ieee1284.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <fstream>
#include <iterator>

namespace quorvane::hardware {

namespace {
CallResult Result(int code) { return {code, code == E1284_OK ? 0 : errno}; }

// A read gives the lines (0 to 255) or a negative E1284 code; errno is
// cleared just before it, so that what it holds afterwards is this call's.
template <typename Read>
CallResult Lines(const Read& read, int* lines) {
  errno = 0;
  const int returned = read();
  if (returned < 0) return {returned, errno};
  *lines = returned;
  return {};
}

// libieee1284's writes return nothing; the ioctl (ppdev) or write
// (/dev/port) beneath them sets errno only when it fails, and errno was
// cleared just before the call.
CallResult WriteResult() { return errno == 0 ? CallResult{} : CallResult{E1284_SYS, errno}; }
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

CallResult SystemIeee1284::ReadStatus(parport& port, int* lines) {
  return Lines([&port] { return ieee1284_read_status(&port); }, lines);
}

CallResult SystemIeee1284::ReadControl(parport& port, int* lines) {
  return Lines([&port] { return ieee1284_read_control(&port); }, lines);
}

CallResult SystemIeee1284::WriteControl(parport& port, unsigned char lines) {
  errno = 0;
  ieee1284_write_control(&port, lines);
  return WriteResult();
}

CallResult SystemIeee1284::ReadData(parport& port, int* value) {
  return Lines([&port] { return ieee1284_read_data(&port); }, value);
}

CallResult SystemIeee1284::WriteData(parport& port, unsigned char value) {
  errno = 0;
  ieee1284_write_data(&port, value);
  return WriteResult();
}

int SystemIeee1284::DeviceAccessError(const std::string& path) {
  return access(path.c_str(), R_OK | W_OK) == 0 ? 0 : errno;
}

SystemIeee1284::~SystemIeee1284() {
  if (heldNode_ >= 0) close(heldNode_);
}

exclusive::HoldAttempt SystemIeee1284::HoldDevice(const std::string& path) {
  // Read and write, as libieee1284 opens it: only a user who may drive the
  // port can mark it. Opening a ppdev node neither registers nor claims the
  // port, so this open never waits on its holder.
  const int fd = open(path.c_str(), O_RDWR | O_CLOEXEC | O_NOCTTY);
  if (fd < 0) return {errno, {}};
  exclusive::HoldAttempt attempt = exclusive::HoldExclusively(fd);
  if (attempt.error != 0) {
    close(fd);
    return attempt;
  }
  if (heldNode_ >= 0) close(heldNode_);
  heldNode_ = fd;
  return attempt;
}

std::optional<std::string> SystemIeee1284::ReadSystemFile(const std::string& path) {
  std::ifstream file(path);
  if (!file) return std::nullopt;
  std::string text{std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>()};
  if (file.bad()) return std::nullopt;
  return text;
}

}  // namespace quorvane::hardware
