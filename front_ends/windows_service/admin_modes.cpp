#include "front_ends/windows_service/admin_modes.h"

#include <cstdio>
#include <exception>
#include <string>

#include "common/failure.h"
#include "common/windows_text.h"
#include "core/life/front_end.h"
#include "front_ends/windows_service/data_folder.h"
#include "front_ends/windows_service/prepare_folders.h"
#include "front_ends/windows_service/service_config.h"
#include "front_ends/windows_service/service_rights.h"

namespace quorvane::win32_service {

std::optional<int> RunAdminMode(int argc, wchar_t** argv) {
  if (argc < 2) return std::nullopt;
  const std::wstring mode = argv[1];
  try {
    std::string done;
    if (mode == L"--prepare-data-folder" && argc == 2)
      done = PrepareDataFolder(DataFolder(), ServiceSid(QUORVANE_SERVICE_NAME_W));
    else if (mode == L"--secure-program-folder" && argc == 3)
      done = SecureProgramFolder(argv[2]);
    else if (mode == L"--configure-service" && argc == 2)
      done = ConfigureService(QUORVANE_SERVICE_NAME_W);
    else {
      std::fprintf(stderr,
                   "usage: quorvane-service.exe --prepare-data-folder | --secure-program-folder FOLDER | "
                   "--configure-service\n");
      return 2;
    }
    std::printf("%s\n", done.c_str());
    return 0;
  } catch (const std::exception& failure) {
    std::fprintf(stderr, "%s\n", ErrorLine(failure.what()).c_str());
    return kFailureExitStatus;
  }
}

}  // namespace quorvane::win32_service
