// The simulated libinpout32.so on its own: the registers it keeps in the
// state file, the accesses it records, and the files it refuses.

#include <sys/stat.h>

#include <fstream>

#include "common/failure.h"

#include "port_libraries/simulated/simulated_port_client.h"
#include "port_libraries/simulated/simulated_port_layout.h"
#include "simulated_port_fixture.h"

namespace quorvane::simport::testing {
namespace {

using SimulatedPortLibrary = SimulatedPortTest;

TEST_F(SimulatedPortLibrary, NewFileStartsAtPowerOnValuesPrivateToTheUser) {
  auto library = LoadLibrary();
  EXPECT_FALSE(std::filesystem::exists(StatePath())) << "nothing happens before the first call";
  ASSERT_EQ(library->isOpen(), 1) << library->lastError();
  EXPECT_STREQ(library->lastError(), "");

  SimulatedPort port(StatePath());
  EXPECT_EQ(port.Status(), 0x00);
  EXPECT_EQ(port.Control(), 0x00);
  EXPECT_EQ(port.Data(), 0x00);
  EXPECT_EQ(port.NextSequence(), 0u);
  struct stat info {};
  ASSERT_EQ(stat(StatePath().c_str(), &info), 0);
  EXPECT_EQ(info.st_mode & 0777, 0600u);
  EXPECT_EQ(static_cast<std::size_t>(info.st_size), sizeof(StateFile));
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
  } expected[] = {{true, 890, 1}, {false, 889, 0xEF}, {true, 889, 7}, {false, 1234, 0xFF}, {true, 890, 0x0100}};
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

TEST_F(SimulatedPortLibrary, FinishesAFileWhoseCreatorStoppedHalfWay) {
  std::filesystem::resize_file((std::ofstream(StatePath()), StatePath()), sizeof(StateFile));
  auto library = LoadLibrary();
  EXPECT_EQ(library->isOpen(), 1) << library->lastError();
}

// A file that is not ours is refused and left as it is: another run may be
// using it. Every call then reports the refusal instead of touching it.
TEST_F(SimulatedPortLibrary, RefusesAFileThatIsNotOurs) {
  const struct {
    const char* name;
    std::string contents;
    const char* reason;
  } cases[] = {
      {"wrong magic", std::string(sizeof(StateFile), '\x01'), "wrong magic"},
      {"wrong size", "some notes\n", "bytes, expected"},
      {"no magic, other data", std::string(4, '\0') + std::string(sizeof(StateFile) - 4, '\x07'), "wrong magic"},
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
  }
}

TEST_F(SimulatedPortLibrary, ReportsAnUnusableLocationWithTheSystemReason) {
  std::ofstream(Folder() / "a-file") << "x";
  const struct {
    std::filesystem::path path;
    const char* reason;
  } cases[] = {
      {Folder() / "a-file" / "state", "Not a directory"},
      {Folder() / "missing-folder" / "state", "No such file or directory"},
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
}

TEST_F(SimulatedPortLibrary, DefaultPathIsPerUserInTmp) {
  unsetenv("QUORVANE_SIMULATED_PORT");
  EXPECT_EQ(SimulatedPort::DefaultPath(), "/tmp/quorvane-simulated-port-" + std::to_string(geteuid()));
  setenv("QUORVANE_SIMULATED_PORT", "", 1);
  EXPECT_EQ(SimulatedPort::DefaultPath(), "/tmp/quorvane-simulated-port-" + std::to_string(geteuid()));
  setenv("QUORVANE_SIMULATED_PORT", StatePath().c_str(), 1);
  EXPECT_EQ(SimulatedPort::DefaultPath(), StatePath());
}

}  // namespace
}  // namespace quorvane::simport::testing
