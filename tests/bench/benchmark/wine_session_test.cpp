// Which processes the benchmark counts as a Wine session's shared ones: real
// processes, named as Wine names its own, with and without the session's
// WINEPREFIX in their environment.
#include "bench/benchmark/wine_session.h"

#include <gtest/gtest.h>

#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <thread>

namespace quorvane::bench {
namespace {

namespace fs = std::filesystem;

// A sleeping process started from a link named `name` (its process name)
// with `setting` as its whole environment; ended and waited for on
// destruction.
class NamedProcess {
 public:
  NamedProcess(const fs::path& folder, const std::string& name, std::string setting)
      : setting_(std::move(setting)) {
    const fs::path link = folder / name;
    fs::create_symlink("/bin/sleep", link);
    std::string path = link.string(), seconds = "60";
    char* argv[] = {path.data(), seconds.data(), nullptr};
    char* envp[] = {setting_.data(), nullptr};
    if (::posix_spawn(&pid_, path.c_str(), nullptr, nullptr, argv, envp) != 0) pid_ = -1;
  }
  ~NamedProcess() {
    if (pid_ <= 0) return;
    ::kill(pid_, SIGKILL);
    ::waitpid(pid_, nullptr, 0);
  }
  pid_t Pid() const { return pid_; }

 private:
  std::string setting_;
  pid_t pid_ = -1;
};

bool Has(const std::vector<pid_t>& pids, pid_t pid) {
  return std::find(pids.begin(), pids.end(), pid) != pids.end();
}

TEST(WineSession, TheSessionsWineProcessesLessThePrograms) {
  const fs::path folder = fs::temp_directory_path() / ("wine-session-test-" + std::to_string(::getpid()));
  fs::create_directories(folder);
  const std::string prefix = (folder / "prefix").string();
  {
    NamedProcess server(folder, "wineserver32", "WINEPREFIX=" + prefix);
    NamedProcess service(folder, "services.exe", "WINEPREFIX=" + prefix);
    NamedProcess program(folder, "Quorvane.exe", "WINEPREFIX=" + prefix);
    NamedProcess notWine(folder, "Xvfb", "WINEPREFIX=" + prefix);
    NamedProcess otherSession(folder, "explorer.exe", "WINEPREFIX=" + prefix + "-other");
    for (const NamedProcess* p : {&server, &service, &program, &notWine, &otherSession})
      ASSERT_GT(p->Pid(), 0);
    // The name and environment are the new program's once it has been
    // loaded: a moment after the spawn.
    std::vector<pid_t> found;
    for (int tries = 0; tries < 200 && found.size() < 2; ++tries) {
      std::this_thread::sleep_for(std::chrono::milliseconds(10));
      found = WineSessionProcesses(prefix, {program.Pid()});
    }
    EXPECT_TRUE(Has(found, server.Pid()));
    EXPECT_TRUE(Has(found, service.Pid()));
    EXPECT_FALSE(Has(found, program.Pid()));
    EXPECT_FALSE(Has(found, notWine.Pid()));
    EXPECT_FALSE(Has(found, otherSession.Pid()));
    EXPECT_EQ(found.size(), 2u);
  }
  fs::remove_all(folder);
}

TEST(WineSession, OnlyProcessesReadBothTimesCount) {
  const std::map<pid_t, double> before{{10, 1.0}, {11, 2.0}};
  // 10 spent 0.25 s; 11 ended; 12 started meanwhile, its earlier time unknown.
  const std::map<pid_t, double> after{{10, 1.25}, {12, 5.0}};
  EXPECT_DOUBLE_EQ(SpentBetween(before, after), 0.25);
}

}  // namespace
}  // namespace quorvane::bench
