#pragma once

#include <deque>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "port_libraries/hardware/ieee1284_calls.h"

// A stand-in for libieee1284: a list of ports with the line values they
// report, the results open and claim give, and a record of what was called.
class FakeIeee1284 final : public quorvane::hardware::Ieee1284Calls {
 public:
  struct Port {
    std::string name;
    unsigned long base = 0;
    parport handle{};
    int statusLines = 0;
    int controlLines = 0;
    int dataValue = 0;
    std::vector<unsigned char> controlWrites;
  };

  Port& AddPort(std::string name, unsigned long base) {
    Port& port = ports_.emplace_back();
    port.name = std::move(name);
    port.base = base;
    return port;
  }

  // What the calls give back.
  quorvane::hardware::CallResult listing{};
  quorvane::hardware::CallResult openResult{};
  int capabilities = CAP1284_RAW | CAP1284_COMPAT;
  quorvane::hardware::CallResult claimResult{};
  int deviceAccessError = 0;
  // The port's mark: whether the flock is taken, and who has it otherwise.
  quorvane::exclusive::HoldAttempt holdResult{};
  // What every system file reads (the port's devices/active entry), but
  // those named in systemFiles.
  std::optional<std::string> systemFileText = "none\n";
  std::map<std::string, std::string> systemFiles;
  // A failing register access: the call does nothing and gives this back.
  quorvane::hardware::CallResult readResult{};
  quorvane::hardware::CallResult writeResult{};

  // What was called.
  int finds = 0, frees = 0, opens = 0, claims = 0, releases = 0, closes = 0, statusReads = 0;
  std::vector<std::string> deviceChecks, holds, systemReads;

  quorvane::hardware::CallResult FindPorts(parport_list& list) override {
    ++finds;
    portv_.clear();
    for (Port& port : ports_) {
      port.handle.name = port.name.c_str();
      port.handle.base_addr = port.base;
      port.handle.priv = &port;
      portv_.push_back(&port.handle);
    }
    list.portc = static_cast<int>(portv_.size());
    list.portv = portv_.empty() ? nullptr : portv_.data();
    return listing;
  }
  void FreePorts(parport_list& list) override {
    ++frees;
    list.portc = 0;
    list.portv = nullptr;
  }
  quorvane::hardware::CallResult Open(parport&, int, int* caps) override {
    ++opens;
    if (caps) *caps = capabilities;
    return openResult;
  }
  quorvane::hardware::CallResult Claim(parport&) override {
    ++claims;
    return claimResult;
  }
  void Release(parport&) override { ++releases; }
  void Close(parport&) override { ++closes; }
  quorvane::hardware::CallResult ReadStatus(parport& port, int* lines) override {
    ++statusReads;
    return Read(Of(port).statusLines, lines);
  }
  quorvane::hardware::CallResult ReadControl(parport& port, int* lines) override {
    return Read(Of(port).controlLines, lines);
  }
  quorvane::hardware::CallResult WriteControl(parport& port, unsigned char lines) override {
    if (writeResult.code != E1284_OK) return writeResult;
    Of(port).controlLines = lines;
    Of(port).controlWrites.push_back(lines);
    return {};
  }
  quorvane::hardware::CallResult ReadData(parport& port, int* value) override {
    return Read(Of(port).dataValue, value);
  }
  quorvane::hardware::CallResult WriteData(parport& port, unsigned char value) override {
    if (writeResult.code != E1284_OK) return writeResult;
    Of(port).dataValue = value;
    return {};
  }
  int DeviceAccessError(const std::string& path) override {
    deviceChecks.push_back(path);
    return deviceAccessError;
  }
  quorvane::exclusive::HoldAttempt HoldDevice(const std::string& path) override {
    holds.push_back(path);
    return holdResult;
  }
  std::optional<std::string> ReadSystemFile(const std::string& path) override {
    systemReads.push_back(path);
    if (const auto named = systemFiles.find(path); named != systemFiles.end()) return named->second;
    return systemFileText;
  }

 private:
  static Port& Of(parport& port) { return *static_cast<Port*>(port.priv); }
  quorvane::hardware::CallResult Read(int value, int* out) const {
    if (readResult.code != E1284_OK) return readResult;
    *out = value;
    return {};
  }

  std::deque<Port> ports_;  // stable addresses while ports are added
  std::vector<parport*> portv_;
};
