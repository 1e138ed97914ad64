#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

#include "common/failure.h"
#include "port/dynamic_library.h"
#include "port/inpout.h"
#include "port/port_map.h"

namespace quorvane {
namespace {

// Opens the same library the program binds, to read its call counters (the
// loader hands both the one copy).
class Counters {
 public:
  explicit Counters(const char* path) : library_(path) {
    count_ = reinterpret_cast<int (*)(int)>(library_.Find("TestCount", nullptr));
    if (!count_) throw Failure(std::string(path) + " has no TestCount");
  }
  int DriverOpenCalls() const { return count_(0); }
  int Reads() const { return count_(1); }
  int Writes() const { return count_(2); }
  int LastPort() const { return count_(3); }
  int LastValue() const { return count_(4); }
  int LastErrorCalls() const { return count_(5); }

 private:
  DynamicLibrary library_;
  int (*count_)(int);
};

// The loader's own words for a library or an operation that is not there.
#ifdef _WIN32
constexpr char kNoSuchLibrary[] = "(error 126)";    // ERROR_MOD_NOT_FOUND
constexpr char kNoSuchOperation[] = "(error 127)";  // ERROR_PROC_NOT_FOUND
#else
constexpr char kNoSuchLibrary[] = "No such file";
constexpr char kNoSuchOperation[] = "undefined symbol";
#endif

std::string FailureText(PortIo& port, bool write) {
  try {
    if (write)
      port.Out32(port_map::kControl, port_map::kAnswerIdle);
    else
      port.Inp32(port_map::kStatus);
  } catch (const Failure& failure) {
    return failure.what();
  }
  return "no failure";
}

TEST(PortBinding, BindsOnceAndPassesCallsThrough) {
  Counters counters(PORT_FULL);
  InpoutLibrary library(PORT_FULL);
  EXPECT_EQ(counters.DriverOpenCalls(), 0) << "nothing is bound before the first call";

  library.Out32(890, 1);
  EXPECT_EQ(counters.LastPort(), 890);
  EXPECT_EQ(counters.LastValue(), 1);
  EXPECT_EQ(library.Inp32(889), 0x10);
  EXPECT_EQ(counters.LastPort(), 889);
  for (int i = 0; i < 5; ++i) {
    library.Inp32(889);
    library.Out32(890, static_cast<std::int16_t>(i % 2));
  }
  EXPECT_EQ(counters.DriverOpenCalls(), 1) << "the driver is asked once, when bound";
  EXPECT_EQ(counters.Reads(), 6);
  EXPECT_EQ(counters.Writes(), 6);
}

TEST(PortBinding, LibraryWithoutDriverCheckOrFoundByBareNameIsUsedAsItIs) {
  InpoutLibrary plain(PORT_PLAIN);
  EXPECT_EQ(plain.Inp32(889), 0x10);
  EXPECT_NO_THROW(plain.Out32(890, 0));
  // A library of ours under the program's library name is found by the
  // usual search: through LD_LIBRARY_PATH on Linux, in the test program's
  // own folder on Windows.
  InpoutLibrary byName;
  EXPECT_EQ(byName.Inp32(889), 0x10);
}

// Each failure names the library and why; a missing operation or a closed
// driver fails only when first called, and nothing passes a closed driver.
TEST(PortBinding, FailuresNameTheLibraryAndTheReason) {
  const struct {
    const char* library;
    bool write;
    std::vector<std::string> texts;
  } cases[] = {
      {MISSING_LIBRARY, true, {"cannot load the port library", MISSING_LIBRARY, kNoSuchLibrary}},
      {PORT_NO_OUT32, true, {"has no operation Out32", PORT_NO_OUT32, kNoSuchOperation}},
      {PORT_CLOSED,
       true,
       {"cannot reach the parallel port", "no parallel port at 0x378 (found: parport0 at 0x3bc)"}},
      {PORT_CLOSED_SILENT, false, {PORT_CLOSED_SILENT, "its driver is not open"}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.library);
    const bool closed = c.library == std::string(PORT_CLOSED);
    std::optional<Counters> counters;
    if (closed) counters.emplace(c.library);
    InpoutLibrary library(c.library);
    if (c.library == std::string(PORT_NO_OUT32)) {
      EXPECT_EQ(library.Inp32(889), 0x10) << "the operation that exists still works";
    }
    const std::string text = FailureText(library, c.write);
    for (const std::string& part : c.texts) EXPECT_NE(text.find(part), std::string::npos) << text;
    if (closed) {
      EXPECT_EQ(counters->Writes(), 0) << "nothing may be written through a closed driver";
    }
  }
}

// A port that stops answering in the middle of a run: the library says so
// after the failed call, and the program must not take the read for an idle
// line or the write for done. The calls before are asked about too.
TEST(PortBinding, CallTheLibrarySaysFailedIsAFailureNamingTheAccess) {
  Counters counters(PORT_FAILING);
  InpoutLibrary library(PORT_FAILING);
  library.Out32(890, 1);
  EXPECT_EQ(library.Inp32(889), 0x10);
  EXPECT_EQ(library.Inp32(889), 0x10);
  EXPECT_EQ(counters.LastErrorCalls(), 3) << "asked after every call";

  const std::string head = std::string("the port library ") + PORT_FAILING;
  const struct {
    bool write;
    std::string text;
  } cases[] = {
      {true, head + " failed to write 1 to port 890: the port stopped answering"},
      {false, head + " failed to read port 889: the port stopped answering"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.text);
    EXPECT_EQ(FailureText(library, c.write), c.text);
  }
  EXPECT_EQ(counters.Reads() + counters.Writes(), 5) << "each failed call went through once";
}

}  // namespace
}  // namespace quorvane
