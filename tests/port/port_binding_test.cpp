#include <dlfcn.h>
#include <gtest/gtest.h>

#include <string>

#include "common/failure.h"
#include "port/inpout.h"
#include "port/port_map.h"

namespace quorvane {
namespace {

// Opens the same library the program binds, to read its call counters.
class Counters {
 public:
  explicit Counters(const char* path) : handle_(dlopen(path, RTLD_NOW)) {
    count_ = reinterpret_cast<int (*)(int)>(dlsym(handle_, "TestCount"));
  }
  ~Counters() { dlclose(handle_); }
  int DriverOpenCalls() const { return count_(0); }
  int Reads() const { return count_(1); }
  int Writes() const { return count_(2); }
  int LastPort() const { return count_(3); }
  int LastValue() const { return count_(4); }

 private:
  void* handle_;
  int (*count_)(int);
};

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

TEST(PortBinding, LibraryWithoutDriverCheckIsUsedAsItIs) {
  InpoutLibrary library(PORT_PLAIN);
  EXPECT_EQ(library.Inp32(889), 0x10);
  EXPECT_NO_THROW(library.Out32(890, 0));
}

TEST(PortBinding, BareNameFollowsTheLoaderSearchPath) {
  // The test runs with LD_LIBRARY_PATH pointing at a libinpout32.so of ours.
  InpoutLibrary library;
  EXPECT_EQ(library.Inp32(889), 0x10);
}

TEST(PortBinding, MissingLibraryNamesTheLibraryAndTheReason) {
  InpoutLibrary library(MISSING_LIBRARY);
  const std::string text = FailureText(library, true);
  EXPECT_NE(text.find("cannot load the port library"), std::string::npos) << text;
  EXPECT_NE(text.find(MISSING_LIBRARY), std::string::npos) << text;
  EXPECT_NE(text.find("No such file"), std::string::npos) << text;
}

TEST(PortBinding, MissingOperationFailsOnlyWhenThatOperationIsFirstCalled) {
  InpoutLibrary library(PORT_NO_OUT32);
  EXPECT_EQ(library.Inp32(889), 0x10);
  const std::string text = FailureText(library, true);
  EXPECT_NE(text.find("has no operation Out32"), std::string::npos) << text;
  EXPECT_NE(text.find(PORT_NO_OUT32), std::string::npos) << text;
  EXPECT_NE(text.find("undefined symbol"), std::string::npos) << text;
}

TEST(PortBinding, ClosedDriverIsAFailureWithTheLibrarysReason) {
  Counters counters(PORT_CLOSED);
  InpoutLibrary library(PORT_CLOSED);
  const std::string text = FailureText(library, true);
  EXPECT_NE(text.find("cannot reach the parallel port"), std::string::npos) << text;
  EXPECT_NE(text.find("no parallel port at 0x378 (found: parport0 at 0x3bc)"), std::string::npos)
      << text;
  EXPECT_EQ(counters.Writes(), 0) << "nothing may be written through a closed driver";
}

TEST(PortBinding, ClosedDriverWithoutReasonStillSaysSo) {
  InpoutLibrary library(PORT_CLOSED_SILENT);
  const std::string text = FailureText(library, false);
  EXPECT_NE(text.find(PORT_CLOSED_SILENT), std::string::npos) << text;
  EXPECT_NE(text.find("its driver is not open"), std::string::npos) << text;
}

}  // namespace
}  // namespace quorvane
