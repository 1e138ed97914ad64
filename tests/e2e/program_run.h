#pragma once

// The real program run from the outside: each test gets a fresh working
// folder with its own simulated port state file, starts the program there
// with the simulated port library on LD_LIBRARY_PATH (or another library
// folder) and stops it when the test ends, however it ends.

#include <fcntl.h>
#include <grp.h>
#include <signal.h>
#include <stdlib.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <optional>
#include <sstream>
#include <string>
#include <system_error>
#include <thread>
#include <vector>

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

// One run of the program in a work folder.
class ProgramRun {
 public:
  explicit ProgramRun(const WorkFolder& folder, const RunOptions& options = {}) {
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

    outPath_ = folder / (options.outputName + ".out");
    errPath_ = folder / (options.outputName + ".err");
    const std::string out = outPath_.string(), err = errPath_.string();
    std::vector<std::string> arguments{options.program};
    arguments.insert(arguments.end(), options.arguments.begin(), options.arguments.end());
    std::vector<char*> argv;
    for (std::string& argument : arguments) argv.push_back(argument.data());
    argv.push_back(nullptr);
    pid_ = ::fork();
    if (pid_ == 0) {
      // Only async-signal-safe calls from here on.
      const int outFd = ::open(out.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0666);
      const int errFd = ::open(err.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0666);
      if (outFd < 0 || errFd < 0 || ::dup2(outFd, 1) < 0 || ::dup2(errFd, 2) < 0) ::_exit(126);
      if (::chdir(folder.Path().c_str()) != 0) ::_exit(126);
      if (options.group && (::setgroups(0, nullptr) != 0 || ::setgid(*options.group) != 0)) ::_exit(126);
      if (options.user && ::setuid(*options.user) != 0) ::_exit(126);
      if (options.fileSizeLimit) {
        const rlimit limit{*options.fileSizeLimit, *options.fileSizeLimit};
        if (::setrlimit(RLIMIT_FSIZE, &limit) != 0) ::_exit(126);
      }
      std::vector<char*> envp;
      for (std::string& setting : settings) envp.push_back(setting.data());
      envp.push_back(nullptr);
      ::execve(argv[0], argv.data(), envp.data());
      ::_exit(127);
    }
  }
  ~ProgramRun() { Stop(); }
  ProgramRun(const ProgramRun&) = delete;
  ProgramRun& operator=(const ProgramRun&) = delete;

  bool Started() const { return pid_ > 0; }
  pid_t Pid() const { return pid_; }

  // Sends it a signal while it runs (SIGTERM, SIGKILL ...).
  void Signal(int signal) {
    if (StillRunning()) ::kill(pid_, signal);
  }

  bool StillRunning() {
    if (exited_ || pid_ <= 0) return false;
    int status = 0;
    if (::waitpid(pid_, &status, WNOHANG) == pid_) Finish(status);
    return !exited_;
  }

  // The program's own exit status once it ended by itself within timeout;
  // nullopt while it still runs, -signal when it was killed by a signal.
  std::optional<int> WaitForExit(std::chrono::milliseconds timeout) {
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    while (StillRunning()) {
      if (std::chrono::steady_clock::now() >= deadline) return std::nullopt;
      std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    return exitStatus_;
  }

  void Stop() {
    if (!StillRunning()) return;
    ::kill(pid_, SIGTERM);
    if (!WaitForExit(std::chrono::seconds(5))) {
      ::kill(pid_, SIGKILL);
      int status = 0;
      ::waitpid(pid_, &status, 0);
      Finish(status);
    }
  }

  std::string Stderr() const { return ReadAll(errPath_); }
  std::string Output() const { return "standard output:\n" + ReadAll(outPath_) + "standard error:\n" + Stderr(); }

 private:
  void Finish(int status) {
    exited_ = true;
    exitStatus_ = WIFEXITED(status) ? WEXITSTATUS(status) : -WTERMSIG(status);
  }

  std::filesystem::path outPath_, errPath_;
  pid_t pid_ = -1;
  bool exited_ = false;
  int exitStatus_ = 0;
};

}  // namespace quorvane::e2e
