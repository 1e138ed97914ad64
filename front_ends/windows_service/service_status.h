#pragma once

// What the service tells the Service Control Manager of its state: starting,
// running (and which controls it takes then), stopping, stopped and how.
// Windows only.

#include <windows.h>

namespace quorvane::win32_service {

class ServiceStatus {
 public:
  explicit ServiceStatus(SERVICE_STATUS_HANDLE handle) : handle_(handle) {}

  // Start-up under way: no control is taken yet.
  void Starting();
  // Started: stop, shutdown and pre-shutdown are taken from now on.
  void Running();
  // The run is over; a non-zero exit status is a failure, which the
  // manager's failure actions answer (a restart).
  void Stopped(int exitStatus);

  // A stop is under way, told from the control handler's thread as soon as
  // it is asked: the hint covers an answer that may be running meanwhile
  // and the tick it ends. Touches nothing but the manager's handle.
  static void Stopping(SERVICE_STATUS_HANDLE handle);

 private:
  SERVICE_STATUS_HANDLE handle_;
};

}  // namespace quorvane::win32_service
