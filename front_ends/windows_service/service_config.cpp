#include "front_ends/windows_service/service_config.h"

#include <windows.h>

#include "common/failure.h"
#include "common/windows_text.h"
#include "front_ends/windows_service/service_rights.h"

namespace quorvane::win32_service {

namespace {

// One setting; false when this manager has no such setting.
bool Set(SC_HANDLE service, DWORD level, void* setting, const std::string& what) {
  if (ChangeServiceConfig2W(service, level, setting)) return true;
  const DWORD error = GetLastError();
  if (error == ERROR_INVALID_LEVEL) return false;
  throw Failure("cannot set the service's " + what + ": " + win32::SystemErrorText(error));
}

}  // namespace

std::string ConfigureService(const std::wstring& serviceName) {
  const SC_HANDLE manager = OpenSCManagerW(nullptr, nullptr, SC_MANAGER_CONNECT);
  if (!manager) throw Failure("cannot reach the Service Control Manager: " + win32::LastSystemErrorText());
  const SC_HANDLE service = OpenServiceW(manager, serviceName.c_str(), SERVICE_CHANGE_CONFIG);
  const DWORD error = GetLastError();
  CloseServiceHandle(manager);
  if (!service)
    throw Failure("cannot open the service " + win32::Utf8(serviceName) + ": " +
                  win32::SystemErrorText(error));
  std::string done;
  try {
    SERVICE_SID_INFO sid{SERVICE_SID_TYPE_UNRESTRICTED};
    done += Set(service, SERVICE_CONFIG_SERVICE_SID_INFO, &sid, "own SID")
                ? "its own SID set (unrestricted); "
                : "this Service Control Manager keeps no service SID; ";
    std::wstring privileges = AsMultiString(ServicePrivileges());
    SERVICE_REQUIRED_PRIVILEGES_INFOW required{privileges.data()};
    done += Set(service, SERVICE_CONFIG_REQUIRED_PRIVILEGES_INFO, &required, "privileges")
                ? "its privileges set"
                : "this Service Control Manager keeps no required privileges";
  } catch (...) {
    CloseServiceHandle(service);
    throw;
  }
  CloseServiceHandle(service);
  return "the service " + win32::Utf8(serviceName) + ": " + done;
}

}  // namespace quorvane::win32_service
