#pragma once

// The real program run from the outside: each test gets a fresh working
// folder with its own simulated port state file, starts the program there
// with the simulated port library on LD_LIBRARY_PATH (or another library
// folder) and stops it when the test ends, however it ends.

#include <sys/resource.h>
#include <sys/types.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <optional>
#include <regex>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "child_process.h"
#include "temp_folder.h"

namespace quorvane::e2e {

using testing::ReadAll;
using testing::WriteAll;

// A test's working folder, holding the program's state file and restart log.
class WorkFolder : public testing::TempFolder {
 public:
  const std::filesystem::path& Path() const { return path(); }
  std::filesystem::path StatePath() const { return path() / "port-state"; }
  std::filesystem::path LogPath() const { return path() / "Quorvane.log"; }
};

struct RunOptions {
  std::string program = QUORVANE_PROGRAM;
  std::vector<std::string> arguments;
  // Standard output and error go to <outputName>.out and <outputName>.err.
  std::string outputName = "std";
  std::string libraryFolder = SIMULATED_PORT_DIR;
  // Run as this user and group instead of ours (only root can).
  std::optional<uid_t> user;
  std::optional<gid_t> group;
  // Extra NAME=value settings for the program's environment.
  std::vector<std::string> environment;
  // The largest file the program may write (RLIMIT_FSIZE), as under prlimit.
  std::optional<rlim_t> fileSizeLimit;
};

// One run of the program in a work folder, stopped when the test ends
// however it ends.
class ProgramRun : public testing::ChildProcess {
 public:
  explicit ProgramRun(const WorkFolder& folder, const RunOptions& options = {})
      : ChildProcess(Program(options.program, ChildOptionsFor(folder, options))) {}

 private:
  static testing::ChildOptions ChildOptionsFor(const WorkFolder& folder, const RunOptions& options) {
    std::vector<std::string> settings{
        "QUORVANE_SIMULATED_PORT=" + folder.StatePath().string(),
        "LD_LIBRARY_PATH=" + options.libraryFolder,
        // The window program: offscreen unless a display is there to look at.
        std::string("QT_QPA_PLATFORM=") + (std::getenv("DISPLAY") ? "xcb" : "offscreen"),
    };
    for (const char* keep : {"PATH", "HOME", "DISPLAY", "XAUTHORITY", "TMPDIR"})
      if (const char* value = std::getenv(keep)) settings.push_back(std::string(keep) + "=" + value);
    // An extra setting replaces one of the same name.
    for (const std::string& extra : options.environment) {
      const std::string name = extra.substr(0, extra.find('=') + 1);
      std::erase_if(settings, [&](const std::string& s) { return s.rfind(name, 0) == 0; });
      settings.push_back(extra);
    }
    testing::ChildOptions child;
    child.arguments = options.arguments;
    child.environment = std::move(settings);
    child.workingFolder = folder.Path();
    child.outputBase = folder / options.outputName;
    child.user = options.user;
    child.group = options.group;
    child.fileSizeLimit = options.fileSizeLimit;
    return child;
  }
};

// The lines of a run's standard error that are the program's own
// ("quorvane: ..." or "quorvane-console: ..."), without the toolkit's notes.
inline std::vector<std::string> OwnErrorLines(const std::string& standardError) {
  static const std::regex own(R"(^quorvane(-console)?: .*$)", std::regex::multiline);
  std::vector<std::string> lines;
  for (auto it = std::sregex_iterator(standardError.begin(), standardError.end(), own);
       it != std::sregex_iterator(); ++it)
    lines.push_back(it->str());
  return lines;
}

}  // namespace quorvane::e2e
