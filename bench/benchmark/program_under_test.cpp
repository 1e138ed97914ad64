#include "bench/benchmark/program_under_test.h"

#include "bench/benchmark/child_stop.h"

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <stdlib.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <fstream>
#include <iterator>
#include <stdexcept>
#include <thread>

extern char** environ;

namespace quorvane::bench {

namespace {

// The Qt program ends at once on SIGTERM; Wine takes its time to tear down.
constexpr std::chrono::milliseconds kStopGrace{10000};

// A Linux path as a Windows program under Wine names it (drive Z: is /).
std::string WinePath(const std::filesystem::path& path) {
  std::string name = "Z:" + path.string();
  for (char& c : name)
    if (c == '/') c = '\\';
  return name;
}

}  // namespace

ProgramUnderTest::ProgramUnderTest(const std::string& program, const std::string& libraryFolder, bool wine)
    : program_(program), libraryFolder_(libraryFolder), wine_(wine) {
  std::string name = (std::filesystem::temp_directory_path() / "quorvane-bench-XXXXXX").string();
  if (!::mkdtemp(name.data())) throw std::runtime_error("cannot make a temporary folder");
  folder_ = name;
  port_ = std::make_unique<simport::SimulatedPort>((folder_ / "port-state").string());
  reader_ = std::make_unique<simport::AccessReader>(
      *port_, true, wine ? simport::StampClock::kMonotonicRaw : simport::StampClock::kMonotonic);
}

ProgramUnderTest::~ProgramUnderTest() {
  if (Running()) StopChild(pid_, pid_, kStopGrace);
  std::error_code ignored;
  std::filesystem::remove_all(folder_, ignored);
}

void ProgramUnderTest::Start() {
  std::string program = program_;
  if (wine_) {
    // Windows looks for inpout32.dll in the program's folder first.
    const auto bin = folder_ / "bin";
    std::filesystem::create_directories(bin);
    program = (bin / std::filesystem::path(program_).filename()).string();
    std::filesystem::copy_file(program_, program, std::filesystem::copy_options::overwrite_existing);
    std::filesystem::copy_file(std::filesystem::path(libraryFolder_) / "inpout32.dll", bin / "inpout32.dll",
                               std::filesystem::copy_options::overwrite_existing);
  }
  std::vector<std::string> settings{
      "QUORVANE_SIMULATED_PORT=" + (wine_ ? WinePath(Port().Path()) : Port().Path()),
      "LD_LIBRARY_PATH=" + libraryFolder_,
      std::string("QT_QPA_PLATFORM=") + (std::getenv("DISPLAY") ? "xcb" : "offscreen"),
  };
  for (char** entry = environ; *entry; ++entry) {
    const std::string setting = *entry;
    const auto name = setting.substr(0, setting.find('='));
    if (name != "QUORVANE_SIMULATED_PORT" && name != "LD_LIBRARY_PATH" && name != "QT_QPA_PLATFORM")
      settings.push_back(setting);
  }
  std::vector<char*> envp;
  envp.reserve(settings.size() + 1);
  for (std::string& setting : settings) envp.push_back(setting.data());
  envp.push_back(nullptr);

  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, 1, (folder_ / "stdout.txt").c_str(),
                                   O_WRONLY | O_CREAT | O_TRUNC, 0644);
  posix_spawn_file_actions_addopen(&actions, 2, (folder_ / "stderr.txt").c_str(),
                                   O_WRONLY | O_CREAT | O_TRUNC, 0644);
  // The restart log goes into the run's own folder.
  posix_spawn_file_actions_addchdir_np(&actions, folder_.c_str());
  // Wine's loader runs the Windows program in its own process: the pid is
  // the program's.
  const char* wineFromEnvironment = std::getenv("WINE");
  std::string wine = wineFromEnvironment && *wineFromEnvironment ? wineFromEnvironment : "wine";
  std::vector<char*> argv;
  for (std::string& word : wrapper_) argv.push_back(word.data());
  if (wine_) argv.push_back(wine.data());
  argv.push_back(program.data());
  argv.push_back(nullptr);
  startNs_ = simport::NowNs();
  const int error = ::posix_spawnp(&pid_, argv[0], &actions, nullptr, argv.data(), envp.data());
  posix_spawn_file_actions_destroy(&actions);
  if (error != 0) {
    pid_ = -1;
    throw std::runtime_error("cannot start " + program_);
  }
}

bool ProgramUnderTest::Running() {
  if (pid_ <= 0) return false;
  if (::waitpid(pid_, nullptr, WNOHANG) == 0) return true;
  pid_ = -1;
  return false;
}

std::string ProgramUnderTest::Errors() const {
  std::ifstream in(folder_ / "stderr.txt");
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

void ProgramUnderTest::Collect() {
  for (const auto& access : reader_->ReadNew()) accesses_.push_back(access);
}

std::optional<simport::Access> ProgramUnderTest::WaitFor(
    const std::function<bool(const simport::Access&)>& match, std::chrono::milliseconds timeout) {
  return reader_->WaitFor(match, timeout, &accesses_);
}

}  // namespace quorvane::bench
