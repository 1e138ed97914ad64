// The simulated libinpout32.so on its own: the registers it keeps in the
// state file, the accesses it records, and the files it refuses.

#include <sys/stat.h>

#include <chrono>
#include <cstring>
#include <fstream>
#include <functional>
#include <thread>

#include "common/failure.h"

#include "port_libraries/simulated/simulated_port_client.h"
#include "port_libraries/simulated/simulated_port_layout.h"
#include "simulated_port_fixture.h"

namespace quorvane::simport::testing {
namespace {

using SimulatedPortLibrary = SimulatedPortTest;

// Absent, the file is built whole under a temporary name that does not stay
// behind; empty (made by touch), it is filled in place.
TEST_F(SimulatedPortLibrary, NewOrEmptyFileStartsAtPowerOnValuesPrivateToTheUser) {
  for (const bool empty : {false, true}) {
    SCOPED_TRACE(empty ? "empty" : "absent");
    std::filesystem::remove(StatePath());
    if (empty) quorvane::testing::WriteAll(StatePath(), "");
    auto library = LoadLibrary();
    EXPECT_EQ(std::filesystem::exists(StatePath()), empty) << "nothing happens before the first call";
    ASSERT_EQ(library->isOpen(), 1) << library->lastError();
    EXPECT_STREQ(library->lastError(), "");

    SimulatedPort port(StatePath());
    EXPECT_EQ(port.Status(), 0x00);
    EXPECT_EQ(port.Control(), 0x00);
    EXPECT_EQ(port.Data(), 0x00);
    EXPECT_EQ(port.NextSequence(), 0u);
    struct stat info {};
    ASSERT_EQ(stat(StatePath().c_str(), &info), 0);
    if (!empty) {
      EXPECT_EQ(info.st_mode & 0777, 0600u);
    }
    EXPECT_EQ(static_cast<std::size_t>(info.st_size), sizeof(StateFile));
    for (const auto& entry : std::filesystem::directory_iterator(Folder()))
      EXPECT_EQ(entry.path().filename().string().find("port-state."), std::string::npos) << entry.path();
  }
}

TEST_F(SimulatedPortLibrary, RegistersFollowThePortMap) {
  auto library = LoadLibrary();
  SimulatedPort port(StatePath());
  port.SetStatus(0xEF);
  EXPECT_EQ(library->inp32(889), 0xEF);
  port.RaiseRequest();
  EXPECT_EQ(library->inp32(889), 0xFF);
  port.SetStatus(0x10);
  EXPECT_EQ(library->inp32(889), 0x10);

  library->out32(890, 1);
  EXPECT_EQ(port.Control(), 0x01);
  library->out32(890, 0x0100);
  EXPECT_EQ(port.Control(), 0x00) << "only the low byte reaches the register";
  library->out32(888, 0x5A);
  EXPECT_EQ(library->inp32(888), 0x5A);
  EXPECT_EQ(library->inp32(890), 0x00);

  library->out32(889, 0x00);
  EXPECT_EQ(port.Status(), 0x10) << "the status register is input only";
  for (short other : {887, 891, 0x278, 0, -1}) {
    EXPECT_EQ(library->inp32(other), 0xFF) << "port " << other;
    library->out32(other, 0x42);
  }
  EXPECT_EQ(port.Data(), 0x5A);
  EXPECT_EQ(port.Control(), 0x00);
}

TEST_F(SimulatedPortLibrary, RecordsEveryAccessInOrderWithMonotonicTimes) {
  auto library = LoadLibrary();
  SimulatedPort port(StatePath());
  port.SetStatus(0xEF);
  AccessReader reader(port);
  const std::uint64_t before = NowNs();
  library->out32(890, 1);
  library->inp32(889);
  library->out32(889, 7);
  library->inp32(1234);
  library->out32(890, 0x0100);
  const std::uint64_t after = NowNs();

  const std::vector<Access> accesses = reader.ReadNew();
  ASSERT_EQ(accesses.size(), 5u);
  const struct {
    bool write;
    short port, value;
  } expected[] = {
      {true, 890, 1}, {false, 889, 0xEF}, {true, 889, 7}, {false, 1234, 0xFF}, {true, 890, 0x0100}};
  std::uint64_t previous = before;
  for (std::size_t i = 0; i < accesses.size(); ++i) {
    SCOPED_TRACE(i);
    EXPECT_EQ(accesses[i].sequence, i);
    EXPECT_EQ(accesses[i].write, expected[i].write);
    EXPECT_EQ(accesses[i].port, expected[i].port);
    EXPECT_EQ(accesses[i].value, expected[i].value);
    EXPECT_GE(accesses[i].timeNs, previous);
    EXPECT_LE(accesses[i].timeNs, after);
    previous = accesses[i].timeNs;
  }
  EXPECT_TRUE(reader.ReadNew().empty());
  EXPECT_EQ(reader.Lost(), 0u);
}

TEST_F(SimulatedPortLibrary, ReaderCountsAccessesLostToAnOverrunRing) {
  auto library = LoadLibrary();
  SimulatedPort port(StatePath());
  AccessReader reader(port);
  const int total = kRingCapacity + 100;
  for (int i = 0; i < total; ++i) library->out32(888, static_cast<short>(i));
  const std::vector<Access> accesses = reader.ReadNew();
  ASSERT_EQ(accesses.size(), kRingCapacity);
  EXPECT_EQ(reader.Lost(), 100u);
  EXPECT_EQ(accesses.front().value, 100);
  EXPECT_EQ(accesses.back().value, static_cast<short>(total - 1));

  AccessReader fromStart(port, true);
  EXPECT_EQ(fromStart.ReadNew().size(), kRingCapacity);
}

// The header a creator writes before the magic, with no magic yet.
std::string HeaderWithoutMagic() {
  std::string bytes(sizeof(StateFile), '\0');
  const std::uint32_t words[] = {0, kVersion, sizeof(StateFile), kRingCapacity};
  std::memcpy(bytes.data(), words, sizeof words);
  return bytes;
}

// A file that is not ours is refused and left as it is, by the library and
// by the tool: another run, or another program, may be using it. A zeroed
// file of the right size too: it may be another program's, preallocated.
// Every call then reports the refusal instead of touching it.
TEST_F(SimulatedPortLibrary, RefusesAFileThatIsNotOurs) {
  const struct {
    const char* name;
    std::string contents;
    const char* reason;
  } cases[] = {
      {"wrong magic", std::string(sizeof(StateFile), '\x01'), "wrong magic"},
      {"wrong size", "some notes\n", "bytes, expected"},
      {"no magic, other data", std::string(4, '\0') + std::string(sizeof(StateFile) - 4, '\x07'),
       "wrong magic"},
      {"all zero, the right size", std::string(sizeof(StateFile), '\0'), "wrong magic"},
      {"our header without the magic", HeaderWithoutMagic(), "wrong magic"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    std::ofstream(StatePath(), std::ios::binary) << c.contents;
    auto library = LoadLibrary();
    EXPECT_EQ(library->isOpen(), 0);
    const std::string error = library->lastError();
    EXPECT_NE(error.find(StatePath().string()), std::string::npos) << error;
    EXPECT_NE(error.find(c.reason), std::string::npos) << error;
    EXPECT_EQ(library->inp32(889), 0xFF);
    library->out32(890, 1);
    EXPECT_EQ(quorvane::testing::ReadAll(StatePath()), c.contents) << "the file is left untouched";
    EXPECT_THROW(SimulatedPort{StatePath()}, quorvane::Failure);
    const ToolResult status = RunTool("status");
    EXPECT_EQ(status.exitCode, 1) << status.output;
    EXPECT_NE(status.output.find(StatePath().string() + " "), std::string::npos) << status.output;
    EXPECT_NE(status.output.find(c.reason), std::string::npos) << status.output;
    EXPECT_EQ(quorvane::testing::ReadAll(StatePath()), c.contents) << "the tool left it untouched too";
  }
}

// In a folder where anyone may create files (sticky and world-writable, like
// /tmp), a file another user made under our name is refused, however the
// path is spelled; in a folder of ours too, since its owner could cut it
// short under the mapping.
TEST_F(SimulatedPortLibrary, RefusesAnotherUsersFileInASharedFolderHoweverThePathIsSpelled) {
  if (geteuid() != 0) GTEST_SKIP() << "needs root, to give a file to another user";
  constexpr uid_t kNobody = 65534;
  const std::filesystem::path shared = Folder() / "shared";
  std::filesystem::create_directory(shared);
  ASSERT_EQ(chmod(shared.c_str(), 01777), 0);
  const std::string planted = HeaderWithoutMagic();
  quorvane::testing::WriteAll(shared / "state", planted);
  ASSERT_EQ(chown((shared / "state").c_str(), kNobody, kNobody), 0);
  for (const std::string spelling : {"/state", "//state", "/./state", "/../shared/state"}) {
    const std::string path = shared.string() + spelling;
    SCOPED_TRACE(path);
    setenv("QUORVANE_SIMULATED_PORT", path.c_str(), 1);
    auto library = LoadLibrary();
    EXPECT_EQ(library->isOpen(), 0);
    EXPECT_EQ(std::string(library->lastError()),
              "the simulated port file " + path + " belongs to another user: it is not ours");
    EXPECT_EQ(RunTool("status").exitCode, 1);
  }
  EXPECT_EQ(quorvane::testing::ReadAll(shared / "state"), planted);

  // The same in a folder of ours.
  { SimulatedPort made(StatePath()); }
  ASSERT_EQ(chown(StatePath().c_str(), kNobody, kNobody), 0);
  setenv("QUORVANE_SIMULATED_PORT", (Folder().string() + "//port-state").c_str(), 1);
  EXPECT_EQ(LoadLibrary()->isOpen(), 0);
}

// Deleted, moved away or replaced while in use, the file no longer joins
// this process to the others: the next read says so, and every call after
// it; a write says so too, at most a second later.
TEST_F(SimulatedPortLibrary, FileLosingItsPlaceWhileInUseIsReported) {
  const std::string path = StatePath().string();
  const struct {
    const char* name;
    std::function<void()> act;
    std::string text;
  } cases[] = {
      {"deleted", [&] { std::filesystem::remove(path); },
       "the simulated port file " + path + " was deleted while in use"},
      {"moved away", [&] { std::filesystem::rename(path, path + ".old"); },
       "the simulated port file " + path + " was deleted or moved away while in use"},
      {"replaced after a move",
       [&] {
         std::filesystem::rename(path, path + ".old");
         SimulatedPort another(path);
       },
       "the simulated port file " + path + " was replaced by another file while in use"},
      {"renamed over",
       [&] {
         { SimulatedPort another(path + ".new"); }
         std::filesystem::rename(path + ".new", path);
       },
       "the simulated port file " + path + " was replaced by another file while in use"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    std::filesystem::remove(path);
    std::filesystem::remove(path + ".old");
    auto library = LoadLibrary();
    EXPECT_EQ(library->inp32(889), 0x00);
    EXPECT_STREQ(library->lastError(), "");
    c.act();
    library->inp32(889);
    EXPECT_EQ(library->lastError(), c.text);
    library->out32(890, 1);
    EXPECT_EQ(library->lastError(), c.text) << "kept for every later call";
  }

  std::filesystem::remove(path);
  auto writer = LoadLibrary();
  writer->out32(890, 1);
  ASSERT_STREQ(writer->lastError(), "");
  std::filesystem::remove(path);
  std::this_thread::sleep_for(std::chrono::milliseconds(1100));
  writer->out32(890, 0);
  EXPECT_EQ(writer->lastError(), "the simulated port file " + path + " was deleted while in use");
}

TEST_F(SimulatedPortLibrary, ReportsAnUnusableLocationWithTheSystemReason) {
  std::ofstream(Folder() / "a-file") << "x";
  { SimulatedPort target((Folder() / "target").string()); }
  std::filesystem::create_symlink(Folder() / "target", Folder() / "a-link");
  const struct {
    std::filesystem::path path;
    const char* reason;
  } cases[] = {
      {Folder() / "a-file" / "state", "Not a directory"},
      {Folder() / "a-link", "Too many levels of symbolic links"},
      {Folder(), "Is a directory"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.path);
    setenv("QUORVANE_SIMULATED_PORT", c.path.c_str(), 1);
    auto library = LoadLibrary();
    EXPECT_EQ(library->isOpen(), 0);
    const std::string error = library->lastError();
    EXPECT_EQ(error, "cannot open the simulated port file " + c.path.string() + ": " + c.reason);
  }
  const std::filesystem::path missing = Folder() / "missing-folder" / "state";
  setenv("QUORVANE_SIMULATED_PORT", missing.c_str(), 1);
  EXPECT_EQ(std::string(LoadLibrary()->lastError()),
            "cannot create the simulated port file " + missing.string() + ": No such file or directory");
}

}  // namespace
}  // namespace quorvane::simport::testing
