#pragma once

// The platform seam of the simulated port: finding, creating and mapping the
// shared state file. Everything that
// depends on the operating system is behind this header; the POSIX variant
// is shared_state_file_posix.cpp.

#include <cstdint>
#include <string>

#include "port_libraries/simulated/simulated_port_layout.h"

namespace quorvane::simport {

// $QUORVANE_SIMULATED_PORT when set and not empty, otherwise the per-user
// default (/tmp/quorvane-simulated-port-<uid>).
std::string StateFilePath();

// A mapping of the state file, created and initialised when the file is
// absent or empty. Open reports why it failed in words naming the path; the
// mapping stays until the object is destroyed.
class SharedStateFile {
 public:
  SharedStateFile() = default;
  ~SharedStateFile();
  SharedStateFile(const SharedStateFile&) = delete;
  SharedStateFile& operator=(const SharedStateFile&) = delete;

  bool Open(const std::string& path, std::string* error);
  StateFile* State() const { return state_; }

 private:
  StateFile* state_ = nullptr;
};

}  // namespace quorvane::simport
