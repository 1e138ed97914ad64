#pragma once

// A child process of a test, on Linux: a program, or a function run in a
// fork of the test. Its standard output and error go to files; every wait
// is bounded, and a child still running when its owner goes is killed and
// reaped, so no test hangs on one or leaves one behind.

#include <fcntl.h>
#include <grp.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "temp_folder.h"

namespace quorvane::testing {

struct ChildOptions {
  // A program's arguments, after its file name.
  std::vector<std::string> arguments;
  // The whole environment, NAME=value each; none: this process's.
  std::optional<std::vector<std::string>> environment;
  // Empty: this process's working folder.
  std::filesystem::path workingFolder;
  // Standard output and error go to <outputBase>.out and <outputBase>.err;
  // empty: to files of the child's own, removed with it.
  std::filesystem::path outputBase;
  // Run as this user and group instead of ours (only root can).
  std::optional<uid_t> user;
  std::optional<gid_t> group;
  // The largest file the child may write (RLIMIT_FSIZE), as under prlimit;
  // its output files too.
  std::optional<rlim_t> fileSizeLimit;
};

class ChildProcess {
 public:
  // Exit statuses of a child that could not get going.
  static constexpr int kSetUpFailed = 126;  // output, folder, user or limit
  static constexpr int kNotStarted = 127;   // the program could not be run
  static constexpr int kThrew = 125;        // the function threw

  // `program` (a path, or a name looked up on PATH) with the options.
  static ChildProcess Program(const std::string& program, const ChildOptions& options = {}) {
    std::vector<std::string> arguments{program};
    arguments.insert(arguments.end(), options.arguments.begin(), options.arguments.end());
    std::vector<std::string> environment = options.environment.value_or(std::vector<std::string>{});
    return ChildProcess(options, [&] {
      std::vector<char*> argv, envp;
      for (std::string& argument : arguments) argv.push_back(argument.data());
      argv.push_back(nullptr);
      if (options.environment) {
        for (std::string& setting : environment) envp.push_back(setting.data());
        envp.push_back(nullptr);
        ::execvpe(argv[0], argv.data(), envp.data());
      } else {
        ::execvp(argv[0], argv.data());
      }
      return kNotStarted;
    });
  }

  // `body` in a fork of this process, which ends with body's result as its
  // exit status; the options' arguments and environment are not used. The
  // fork has only the calling thread: body keeps to simple work.
  static ChildProcess Function(const std::function<int()>& body, const ChildOptions& options = {}) {
    return ChildProcess(options, [&] {
      try {
        return body();
      } catch (...) {
        return kThrew;
      }
    });
  }

  ChildProcess(ChildProcess&& other) noexcept
      : pid_(std::exchange(other.pid_, -1)),
        ended_(other.ended_),
        status_(other.status_),
        outPath_(std::move(other.outPath_)),
        errPath_(std::move(other.errPath_)),
        ownOutput_(std::move(other.ownOutput_)) {}
  ChildProcess& operator=(ChildProcess&&) = delete;
  ChildProcess(const ChildProcess&) = delete;
  ~ChildProcess() { Stop(); }

  bool Started() const { return pid_ > 0; }
  pid_t Pid() const { return pid_; }

  bool Running() {
    if (ended_ || pid_ <= 0) return false;
    int status = 0;
    if (::waitpid(pid_, &status, WNOHANG) == pid_) Ended(status);
    return !ended_;
  }

  // Sends it a signal while it runs (SIGTERM, SIGKILL ...).
  void Signal(int signal) {
    if (Running()) ::kill(pid_, signal);
  }

  // Its exit status once it ended by itself within timeout, -signal when a
  // signal ended it; nullopt while it still runs.
  std::optional<int> WaitForExit(std::chrono::milliseconds timeout) {
    if (pid_ <= 0) return std::nullopt;
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    while (Running()) {
      if (std::chrono::steady_clock::now() >= deadline) return std::nullopt;
      std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return status_;
  }

  // Waits up to timeout for the end, then kills it: its exit status, or
  // -SIGKILL when it had to be killed.
  int Finish(std::chrono::milliseconds timeout) {
    if (const auto status = WaitForExit(timeout)) return *status;
    Kill();
    return pid_ > 0 ? status_ : kNotStarted;
  }

  // Kills it outright (SIGKILL) and reaps it.
  void Kill() {
    if (!Running()) return;
    ::kill(pid_, SIGKILL);
    int status = 0;
    if (::waitpid(pid_, &status, 0) == pid_) Ended(status);
  }

  // Asks it to end (SIGTERM) and kills it when it has not after `grace`.
  void Stop(std::chrono::milliseconds grace = std::chrono::seconds(5)) {
    if (!Running()) return;
    ::kill(pid_, SIGTERM);
    if (!WaitForExit(grace)) Kill();
  }

  std::string Stdout() const { return ReadAll(outPath_); }
  std::string Stderr() const { return ReadAll(errPath_); }
  // Both, labelled, for a failure's message.
  std::string Output() const { return "standard output:\n" + Stdout() + "standard error:\n" + Stderr(); }

 private:
  ChildProcess(const ChildOptions& options, const std::function<int()>& inChild) {
    std::filesystem::path base = options.outputBase;
    if (base.empty()) {
      ownOutput_ = std::make_unique<TempFolder>();
      base = *ownOutput_ / "child";
    }
    outPath_ = base.string() + ".out";
    errPath_ = base.string() + ".err";
    const std::string out = outPath_.string(), err = errPath_.string(),
                      folder = options.workingFolder.string();
    pid_ = ::fork();
    if (pid_ != 0) return;
    const int outFd = ::open(out.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
    const int errFd = ::open(err.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
    if (outFd < 0 || errFd < 0 || ::dup2(outFd, 1) < 0 || ::dup2(errFd, 2) < 0) ::_exit(kSetUpFailed);
    if (!folder.empty() && ::chdir(folder.c_str()) != 0) ::_exit(kSetUpFailed);
    if (options.group && (::setgroups(0, nullptr) != 0 || ::setgid(*options.group) != 0))
      ::_exit(kSetUpFailed);
    if (options.user && ::setuid(*options.user) != 0) ::_exit(kSetUpFailed);
    if (options.fileSizeLimit) {
      const rlimit limit{*options.fileSizeLimit, *options.fileSizeLimit};
      if (::setrlimit(RLIMIT_FSIZE, &limit) != 0) ::_exit(kSetUpFailed);
    }
    ::_exit(inChild());
  }

  void Ended(int status) {
    ended_ = true;
    status_ = WIFEXITED(status) ? WEXITSTATUS(status) : -WTERMSIG(status);
  }

  pid_t pid_ = -1;
  bool ended_ = false;
  int status_ = 0;
  std::filesystem::path outPath_, errPath_;
  std::unique_ptr<TempFolder> ownOutput_;
};

}  // namespace quorvane::testing
