// Looks at Quorvane's service through the Service Control Manager, for the
// service tests under Wine:
//
//   service_probe recovery NAME      prints what the manager holds of the
//                                    service's recovery: "reset SECONDS",
//                                    one "action restart|none|... DELAY_MS"
//                                    a line, and "non-crash-failures 0|1";
//                                    or "unknown LEVEL error CODE" for a
//                                    setting the manager does not give
//   service_probe sid-and-privileges NAME
//                                    prints "sid-type N" and one "privilege
//                                    NAME" a line the service keeps, or
//                                    "unknown LEVEL error CODE"
//   service_probe hold SECONDS       prints "holding", then does nothing for
//                                    that long: a Windows process that keeps
//                                    the Wine session, and with it the
//                                    service, alive between the commands of
//                                    a test
//
// Exit status 0 when done, 1 when the service cannot be reached, 2 on bad
// usage. One fact a line.
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <cwchar>
#include <vector>

namespace {

const char* ActionName(SC_ACTION_TYPE type) {
  switch (type) {
    case SC_ACTION_NONE: return "none";
    case SC_ACTION_RESTART: return "restart";
    case SC_ACTION_REBOOT: return "reboot";
    case SC_ACTION_RUN_COMMAND: return "run-command";
    default: return "other";
  }
}

// The setting at `level`, or an empty buffer (and its "unknown" line).
std::vector<unsigned char> Config(SC_HANDLE service, DWORD level) {
  DWORD needed = 0;
  QueryServiceConfig2W(service, level, nullptr, 0, &needed);
  std::vector<unsigned char> buffer(needed > 0 ? needed : 1);
  if (needed == 0 || !QueryServiceConfig2W(service, level, buffer.data(), needed, &needed)) {
    std::printf("unknown %lu error %lu\n", level, GetLastError());
    return {};
  }
  return buffer;
}

int Recovery(const wchar_t* name) {
  const SC_HANDLE manager = OpenSCManagerW(nullptr, nullptr, SC_MANAGER_CONNECT);
  const SC_HANDLE service = manager ? OpenServiceW(manager, name, SERVICE_QUERY_CONFIG) : nullptr;
  if (!service) {
    std::printf("cannot open the service: error %lu\n", GetLastError());
    return 1;
  }
  const auto actions = Config(service, SERVICE_CONFIG_FAILURE_ACTIONS);
  if (!actions.empty()) {
    const auto* failure = reinterpret_cast<const SERVICE_FAILURE_ACTIONSW*>(actions.data());
    std::printf("reset %lu\n", failure->dwResetPeriod);
    for (DWORD i = 0; i < failure->cActions; ++i)
      std::printf("action %s %lu\n", ActionName(failure->lpsaActions[i].Type), failure->lpsaActions[i].Delay);
  }
  const auto flag = Config(service, SERVICE_CONFIG_FAILURE_ACTIONS_FLAG);
  if (!flag.empty())
    std::printf("non-crash-failures %d\n", reinterpret_cast<const SERVICE_FAILURE_ACTIONS_FLAG*>(flag.data())
                                               ->fFailureActionsOnNonCrashFailures);
  CloseServiceHandle(service);
  CloseServiceHandle(manager);
  return 0;
}

int SidAndPrivileges(const wchar_t* name) {
  const SC_HANDLE manager = OpenSCManagerW(nullptr, nullptr, SC_MANAGER_CONNECT);
  const SC_HANDLE service = manager ? OpenServiceW(manager, name, SERVICE_QUERY_CONFIG) : nullptr;
  if (!service) {
    std::printf("cannot open the service: error %lu\n", GetLastError());
    return 1;
  }
  const auto sid = Config(service, SERVICE_CONFIG_SERVICE_SID_INFO);
  if (!sid.empty())
    std::printf("sid-type %lu\n", reinterpret_cast<const SERVICE_SID_INFO*>(sid.data())->dwServiceSidType);
  const auto privileges = Config(service, SERVICE_CONFIG_REQUIRED_PRIVILEGES_INFO);
  if (!privileges.empty())
    for (const wchar_t* privilege =
             reinterpret_cast<const SERVICE_REQUIRED_PRIVILEGES_INFOW*>(privileges.data())
                 ->pmszRequiredPrivileges;
         privilege && *privilege; privilege += std::wcslen(privilege) + 1)
      std::printf("privilege %ls\n", privilege);
  CloseServiceHandle(service);
  CloseServiceHandle(manager);
  return 0;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  if (argc == 3 && std::wcscmp(argv[1], L"recovery") == 0) return Recovery(argv[2]);
  if (argc == 3 && std::wcscmp(argv[1], L"sid-and-privileges") == 0) return SidAndPrivileges(argv[2]);
  if (argc == 3 && std::wcscmp(argv[1], L"hold") == 0) {
    // Once this runs, the session's system processes (the manager among
    // them) have started, from this process's environment.
    std::printf("holding\n");
    std::fflush(stdout);
    Sleep(static_cast<DWORD>(std::wcstoul(argv[2], nullptr, 10)) * 1000);
    return 0;
  }
  std::fprintf(stderr, "usage: service_probe recovery NAME | sid-and-privileges NAME | hold SECONDS\n");
  return 2;
}
