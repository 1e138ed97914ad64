// The state file shared between processes: the tool driving the request line
// while the library reads it, concurrent writers, concurrent creators, a
// lock held by another process.

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cerrno>  // program_invocation_short_name
#include <chrono>
#include <fstream>
#include <functional>

#include "child_process.h"
#include "common/monotonic_clock.h"
#include "port_libraries/simulated/port_state.h"
#include "port_libraries/simulated/shared_state_file.h"
#include "port_libraries/simulated/simulated_port_client.h"
#include "port_libraries/simulated/simulated_port_layout.h"
#include "simulated_port_fixture.h"

namespace quorvane::simport::testing {
namespace {

using namespace std::chrono_literals;
using quorvane::testing::ChildProcess;

// How long a child may take before it counts as hung and is killed.
constexpr auto kChildBound = 60s;

// The file opened as the port library opens it, without the mark that
// makes it one program's: only one process may drive the port, but the ring
// must stay whole whoever writes to it at once.
std::unique_ptr<SharedStateFile> OpenUnheld(const std::string& path) {
  auto file = std::make_unique<SharedStateFile>();
  std::string error;
  if (!file->Open(path, &error)) return nullptr;
  return file;
}

void Record(SharedStateFile& file, std::int16_t port, std::int16_t value) {
  RecordAccess(*file.State(), AccessKind::kWrite, port, value,
               static_cast<std::uint64_t>(quorvane::MonotonicNanoseconds()));
}

using SimulatedPortProcesses = SimulatedPortTest;

TEST_F(SimulatedPortProcesses, ToolDrivesTheRequestLineTheProgramReadsAndRefusesBadInput) {
  auto library = LoadLibrary();
  ASSERT_EQ(RunTool("raise").exitCode, 0);
  EXPECT_EQ(library->inp32(889), 0x10);
  ASSERT_EQ(RunTool("set-status 0xEF").exitCode, 0);
  EXPECT_EQ(library->inp32(889), 0xEF);
  ASSERT_EQ(RunTool("raise").exitCode, 0);
  EXPECT_EQ(library->inp32(889), 0xFF) << "raise keeps the other bits";
  ASSERT_EQ(RunTool("drop").exitCode, 0);
  EXPECT_EQ(library->inp32(889), 0xEF);
  library->out32(890, 1);

  const ToolResult status = RunTool("status");
  EXPECT_EQ(status.exitCode, 0);
  EXPECT_NE(status.output.find("status   0xEF  request line low"), std::string::npos) << status.output;
  EXPECT_NE(status.output.find("control  0x01"), std::string::npos) << status.output;

  const ToolResult watch = RunTool("watch --from-start --count 5");
  EXPECT_EQ(watch.exitCode, 0);
  const char* expectedLines[] = {"R  889 status   0x10", "R  889 status   0xEF", "R  889 status   0xFF",
                                 "R  889 status   0xEF", "W  890 control  0x01"};
  std::size_t at = 0;
  for (const char* line : expectedLines) {
    at = watch.output.find(line, at);
    EXPECT_NE(at, std::string::npos) << line << " in order in:\n" << watch.output;
  }

  const ToolResult bad = RunTool("set-status 256");
  EXPECT_EQ(bad.exitCode, 2);
  EXPECT_NE(bad.output.find("not a number from 0 to 255"), std::string::npos) << bad.output;
  const ToolResult unusable = RunTool("--file " + Folder().string() + " status");
  EXPECT_EQ(unusable.exitCode, 1);
  EXPECT_NE(
      unusable.output.find("cannot open the simulated port file " + Folder().string() + ": Is a directory"),
      std::string::npos)
      << unusable.output;
}

// Each writer numbers its writes: the port carries the writer and the low 14
// bits of the number, the value the rest. A reader that took the sequence of
// one access and the words of another sees a writer's numbers or times go
// backwards.
constexpr int kWriters = 2;
constexpr int kWritesEach = 200000;
std::int16_t WriterPort(int writer, int i) { return static_cast<std::int16_t>(writer << 14 | (i & 0x3FFF)); }
std::int16_t WriterValue(int i) { return static_cast<std::int16_t>(i >> 14); }

// Child processes held at a gate until all are ready, then released at once.
class Gate {
 public:
  Gate() { (void)!pipe(ends_); }
  ~Gate() { Open(); }
  void WaitInChild() {
    close(ends_[1]);
    char ignored;
    (void)!read(ends_[0], &ignored, 1);  // returns when every write end is closed
  }
  void Open() {
    for (int& end : ends_) {
      if (end >= 0) close(end);
      end = -1;
    }
  }

 private:
  int ends_[2] = {-1, -1};
};

TEST_F(SimulatedPortProcesses, ConcurrentWritersNeverTearARecord) {
  SimulatedPort port(StatePath());
  AccessReader reader(port);
  Gate gate;
  std::vector<ChildProcess> writers;
  writers.reserve(kWriters);
  for (int writer = 0; writer < kWriters; ++writer) {
    writers.push_back(ChildProcess::Function([&, writer] {
      const auto file = OpenUnheld(StatePath().string());
      if (!file) return 1;
      gate.WaitInChild();
      for (int i = 0; i < kWritesEach; ++i) {
        Record(*file, WriterPort(writer, i), WriterValue(i));
      }
      return 0;
    }));
  }
  gate.Open();

  std::uint64_t checked = 0, nextSequence = 0;
  std::array<int, kWriters> lastNumber;
  lastNumber.fill(-1);
  std::array<std::uint64_t, kWriters> lastTime{};
  int bad = 0;
  const auto check = [&](const std::vector<Access>& accesses) {
    for (const Access& access : accesses) {
      ++checked;
      const int writer = static_cast<std::uint16_t>(access.port) >> 14;
      const int number = access.value << 14 | (access.port & 0x3FFF);
      const bool good = access.write && writer < kWriters && access.sequence >= nextSequence &&
                        number > lastNumber[writer] && access.timeNs >= lastTime[writer];
      if (!good && ++bad < 5)
        ADD_FAILURE() << "torn or misplaced record " << access.sequence << ": port " << access.port
                      << " value " << access.value;
      nextSequence = access.sequence + 1;
      if (writer < kWriters) {
        lastNumber[writer] = number;
        lastTime[writer] = access.timeNs;
      }
    }
  };
  const auto anyRunning = [&] {
    return std::any_of(writers.begin(), writers.end(), [](ChildProcess& writer) { return writer.Running(); });
  };
  const auto deadline = std::chrono::steady_clock::now() + kChildBound;
  while (anyRunning() && std::chrono::steady_clock::now() < deadline) check(reader.ReadNew());
  for (ChildProcess& writer : writers) EXPECT_EQ(writer.Finish(0ms), 0) << "a writer failed or hung";
  check(reader.ReadNew());
  EXPECT_EQ(bad, 0);
  EXPECT_EQ(checked + reader.Lost(), static_cast<std::uint64_t>(kWriters * kWritesEach));
  EXPECT_GT(checked, 0u);
  EXPECT_EQ(port.NextSequence(), static_cast<std::uint64_t>(kWriters * kWritesEach));
}

// Absent or empty, the file ends up made once: no creator resets another's
// access, and no temporary file stays behind.
TEST_F(SimulatedPortProcesses, ProcessesCreatingTheFileAtOnceShareOneFile) {
  constexpr int kCreators = 4;
  for (const bool empty : {false, true}) {
    SCOPED_TRACE(empty ? "empty" : "absent");
    std::filesystem::remove(StatePath());
    if (empty) quorvane::testing::WriteAll(StatePath(), "");
    Gate gate;
    std::vector<ChildProcess> creators;
    creators.reserve(kCreators);
    for (int i = 0; i < kCreators; ++i) {
      creators.push_back(ChildProcess::Function([&, i] {
        gate.WaitInChild();
        const auto file = OpenUnheld(StatePath().string());
        if (!file) return 1;
        Record(*file, 888, static_cast<short>(i));
        return 0;
      }));
    }
    gate.Open();
    for (ChildProcess& creator : creators) EXPECT_EQ(creator.Finish(kChildBound), 0);

    SimulatedPort port(StatePath());
    EXPECT_EQ(port.NextSequence(), static_cast<std::uint64_t>(kCreators))
        << "no creator reset another's write";
    AccessReader reader(port, true);
    std::vector<Access> accesses = reader.ReadNew();
    ASSERT_EQ(accesses.size(), static_cast<std::size_t>(kCreators));
    int seen = 0;
    for (const Access& access : accesses) seen |= 1 << access.value;
    EXPECT_EQ(seen, (1 << kCreators) - 1);
    for (const auto& entry : std::filesystem::directory_iterator(Folder()))
      EXPECT_EQ(entry.path().filename().string().find("port-state."), std::string::npos) << entry.path();
  }
}

// Another process holding a lock on the file (`flock FILE sleep 60`, or a
// program driving the port) never stops an open for good. A complete file
// is the holder's port: refused at once, naming the holder, while the tool
// still reads it. An empty one is given up after a bounded wait, with a
// message that says why. Checked in a child, so a hang fails the test
// instead of stopping it.
TEST_F(SimulatedPortProcesses, LockHeldByAnotherProcessNeverHangsAnOpen) {
  const std::string held = "the simulated port file " + StatePath().string() +
                           " is not finished and another process has held its lock for over 2 s";
  // The holder is named by its program file, as its command line gives it.
  const std::string name = program_invocation_short_name;
  const std::string heldByUs = "the simulated port file " + StatePath().string() +
                               " is held by another program: \"" + name + "\" (process " +
                               std::to_string(getpid()) + ") has locked it";
  for (const bool complete : {true, false}) {
    SCOPED_TRACE(complete ? "complete" : "empty");
    std::filesystem::remove(StatePath());
    if (complete) {
      SimulatedPort made(StatePath());
    } else {
      quorvane::testing::WriteAll(StatePath(), "");
    }
    const int holder = open(StatePath().c_str(), O_RDONLY | O_CLOEXEC);
    ASSERT_GE(holder, 0);
    ASSERT_EQ(flock(holder, LOCK_EX), 0);

    ChildProcess child = ChildProcess::Function([&] {
      auto library = LoadLibrary();
      const bool open = library->isOpen() == 1;
      return !open && library->lastError() == (complete ? heldByUs : held) ? 0 : 2;
    });
    EXPECT_EQ(child.Finish(30s), 0) << "-9: hung, and killed";
    const ToolResult status = RunTool("status");
    EXPECT_EQ(status.exitCode, complete ? 0 : 1) << status.output;
    if (!complete) {
      EXPECT_NE(status.output.find(held), std::string::npos) << status.output;
      EXPECT_EQ(std::filesystem::file_size(StatePath()), 0u) << "left as it was";
    }
    close(holder);
  }
  // Once the lock is let go, the empty file is filled as usual.
  EXPECT_EQ(LoadLibrary()->isOpen(), 1);
}

}  // namespace
}  // namespace quorvane::simport::testing
