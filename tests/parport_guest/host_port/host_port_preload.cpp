// libquorvane-host-port.so, loaded into qemu-system-x86_64 with LD_PRELOAD:
// the host's side of the guest's parallel port. QEMU's pass-through
// parallel device (-chardev parallel,path=FILE) opens FILE and turns every
// access of the guest to the port's registers into a ppdev ioctl on it.
// This library answers those ioctls from the project's simulated port, so
// the supervisor plays the far end of the guest's real driver stack.
//
// Only the descriptor open on the file named by $QUORVANE_HOST_PPDEV (same
// device and inode) is answered; every other ioctl of the process goes to
// the C library's own. QUORVANE_HOST_PORT_LOOPBACK=1 plugs the loopback
// wire in (ppdev_model.h). The port library is loaded by name at the first
// PPCLAIM, as the program loads it, and finds its state file the same way
// ($QUORVANE_SIMULATED_PORT). A claim that cannot be had fails with a line
// on stderr, and QEMU then stops before the guest starts.

#include <dlfcn.h>
#include <linux/ioctl.h>
#include <linux/ppdev.h>
#include <sys/stat.h>

#include <cerrno>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>
#include <mutex>
#include <optional>
#include <string>

#include "tests/parport_guest/host_port/host_port_names.h"
#include "tests/parport_guest/host_port/ppdev_model.h"

namespace quorvane::host_port {
namespace {

using RealIoctl = int (*)(int, unsigned long, ...);

// The library is loaded once per process and stays, as in the program.
std::optional<PortFunctions> OpenPortLibrary(std::string* why) {
  void* library = dlopen(INPOUT_LIBRARY_NAME, RTLD_NOW | RTLD_LOCAL);
  if (!library) {
    *why = std::string("cannot load the port library: ") + dlerror();
    return std::nullopt;
  }
  PortFunctions port{reinterpret_cast<Inp32Function>(dlsym(library, "Inp32")),
                     reinterpret_cast<Out32Function>(dlsym(library, "Out32"))};
  if (!port.read || !port.write) {
    *why = INPOUT_LIBRARY_NAME " exports no Inp32 or Out32";
    return std::nullopt;
  }
  // A library that loads without reaching its port (the simulated one
  // whose state file another program holds) says so here.
  auto isOpen = reinterpret_cast<IsInpOutDriverOpenFunction>(dlsym(library, "IsInpOutDriverOpen"));
  if (isOpen && !isOpen()) {
    auto lastError = reinterpret_cast<InpOutLastErrorFunction>(dlsym(library, "InpOutLastError"));
    *why = std::string(INPOUT_LIBRARY_NAME " cannot reach its port: ") +
           (lastError ? lastError() : "no reason given");
    return std::nullopt;
  }
  return port;
}

// One open of the node, known by its descriptor and the file it is open on.
struct NodeKey {
  int fd;
  dev_t device;
  ino_t inode;
  bool operator<(const NodeKey& other) const {
    if (fd != other.fd) return fd < other.fd;
    if (device != other.device) return device < other.device;
    return inode < other.inode;
  }
};

std::mutex nodesLock;
std::map<NodeKey, PpdevModel>& Nodes() {
  static auto* nodes = new std::map<NodeKey, PpdevModel>;  // never destroyed: QEMU's threads may outlive exit
  return *nodes;
}

// The node's key when fd is open on the file named in the environment.
std::optional<NodeKey> NodeOf(int fd) {
  const char* path = std::getenv(kNodeVariable);
  if (!path || !*path) return std::nullopt;
  struct stat named {
  }, open{};
  if (stat(path, &named) != 0 || fstat(fd, &open) != 0) return std::nullopt;
  if (named.st_dev != open.st_dev || named.st_ino != open.st_ino) return std::nullopt;
  return NodeKey{fd, open.st_dev, open.st_ino};
}

bool LoopbackPlugged() {
  const char* value = std::getenv(kLoopbackVariable);
  return value && std::strcmp(value, "1") == 0;
}

int Answer(const NodeKey& key, unsigned long request, void* argument) {
  std::lock_guard<std::mutex> lock(nodesLock);
  auto node = Nodes().find(key);
  if (node == Nodes().end()) node = Nodes().try_emplace(key, OpenPortLibrary, LoopbackPlugged()).first;
  const IoctlResult result = node->second.Ioctl(request, argument);
  if (result.error == 0) return result.value;
  if (request == PPCLAIM && !node->second.ClaimFailure().empty()) {
    const char* path = std::getenv(kNodeVariable);
    std::fprintf(stderr, "quorvane host port: cannot claim %s: %s\n", path ? path : "?",
                 node->second.ClaimFailure().c_str());
  }
  errno = result.error;
  return -1;
}

}  // namespace
}  // namespace quorvane::host_port

// Every ioctl of the process passes here. The third argument is taken as a
// pointer, as every ppdev request passes one; other requests get it back as
// they gave it.
extern "C" __attribute__((visibility("default"))) int ioctl(int fd, unsigned long request, ...) {
  va_list rest;
  va_start(rest, request);
  void* argument = va_arg(rest, void*);
  va_end(rest);
  using namespace quorvane::host_port;
  if (const std::optional<NodeKey> key = NodeOf(fd)) return Answer(*key, request, argument);
  static const auto real = reinterpret_cast<RealIoctl>(dlsym(RTLD_NEXT, "ioctl"));
  return real(fd, request, argument);
}
