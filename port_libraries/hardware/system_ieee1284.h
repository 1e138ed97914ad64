#pragma once

#include "port_libraries/hardware/ieee1284_calls.h"

namespace quorvane::hardware {

// The real calls into libieee1284 (and access(2) for the device check, flock
// for the port's mark, /proc for its holder).
class SystemIeee1284 final : public Ieee1284Calls {
 public:
  SystemIeee1284() = default;
  ~SystemIeee1284() override;
  SystemIeee1284(const SystemIeee1284&) = delete;
  SystemIeee1284& operator=(const SystemIeee1284&) = delete;

  CallResult FindPorts(parport_list& list) override;
  void FreePorts(parport_list& list) override;
  CallResult Open(parport& port, int flags, int* capabilities) override;
  CallResult Claim(parport& port) override;
  void Release(parport& port) override;
  void Close(parport& port) override;
  CallResult ReadStatus(parport& port, int* lines) override;
  CallResult ReadControl(parport& port, int* lines) override;
  CallResult WriteControl(parport& port, unsigned char lines) override;
  CallResult ReadData(parport& port, int* value) override;
  CallResult WriteData(parport& port, unsigned char value) override;
  int DeviceAccessError(const std::string& path) override;
  exclusive::HoldAttempt HoldDevice(const std::string& path) override;
  std::optional<std::string> ReadSystemFile(const std::string& path) override;

 private:
  int heldNode_ = -1;  // the descriptor whose flock marks the port
};

}  // namespace quorvane::hardware
