#pragma once

// The simulated port's shared state file: finding, creating, mapping and
// watching it. The logic is in shared_state_file.cpp, once; what depends on
// the operating system is the small seam of state_file_system.h, with one
// source per platform that CMake picks. The rules and the texts it reports
// are in state_file_rules.h.

#include <memory>
#include <string>
#include <type_traits>

#include "port_libraries/simulated/simulated_port_layout.h"
#include "port_libraries/simulated/state_file_system.h"

namespace quorvane::simport {

// $QUORVANE_SIMULATED_PORT when set and not empty, otherwise the per-user
// default (simulated_port_layout.h says where).
std::string StateFilePath();

// A mapping of the state file. Open creates the file when it is absent (built
// whole under a temporary name, then put in place only if no other process
// got there first) and initialises an empty one; any other file without our
// header is refused and left as it is. It reports why it failed in words
// naming the path. The file stays open and mapped until the object is
// destroyed.
class SharedStateFile {
 public:
  SharedStateFile();
  ~SharedStateFile();
  SharedStateFile(const SharedStateFile&) = delete;
  SharedStateFile& operator=(const SharedStateFile&) = delete;

  // Only once per object.
  bool Open(const std::string& path, std::string* error);
  StateFile* State() const { return state_; }

  // Marks the file as driven by this process, without waiting, until the
  // object is destroyed or the process ends however it ends (the system
  // drops the mark then): one program per port. Empty when marked, else why
  // not (HeldText when another process has it). Only the port library asks
  // for it: the supervising side and the tools open a held file freely.
  std::string Hold();

  // Empty while the path still names the file that was opened and it still
  // has a name; otherwise why not ("the simulated port file X was deleted
  // while in use"): the others then share a new file, and this mapping no
  // longer reaches them. Cheap enough for every poll (two status calls).
  std::string Displacement() const;

  // Runs access, a callable that reads or writes State(), and says whether
  // it ran to its end: false when the file was cut short under the mapping
  // (another process truncated it), where the access stopped; CutShort()
  // then says so. For that stop, access allocates nothing and holds nothing
  // that needs cleaning up: loads and stores of the mapping, and plain
  // values kept aside.
  template <typename Access>
  bool Reach(Access&& access) const {
    return statefs::Guarded(
        [](void* context) { (*static_cast<std::remove_reference_t<Access>*>(context))(); }, &access);
  }
  // The failure of an access that did not reach its end.
  std::string CutShort() const;

 private:
  struct System;  // the platform's handles on the open file
  std::unique_ptr<System> system_;
  StateFile* state_ = nullptr;
  std::string path_;
};

}  // namespace quorvane::simport
