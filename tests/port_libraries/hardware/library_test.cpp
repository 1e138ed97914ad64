// The built libinpout32.so itself: its C operations are found by name, and
// on a machine without a parallel port it says why and stays harmless.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <string>

#include "port/inpout_abi.h"
#include "shared_library.h"

namespace {

TEST(HardwareLibrary, ExportsItsOperationsByPlainNameAndWithoutAPortSaysWhy) {
  const quorvane::testing::SharedLibrary library(HARDWARE_PORT_LIBRARY);
  const auto isOpen = library.Find<IsInpOutDriverOpenFunction>("IsInpOutDriverOpen");
  const auto lastError = library.Find<InpOutLastErrorFunction>("InpOutLastError");
  const auto inp32 = library.Find<Inp32Function>("Inp32");
  const auto out32 = library.Find<Out32Function>("Out32");

  struct stat info {};
  if (stat("/dev/parport0", &info) == 0 || stat("/proc/sys/dev/parport/parport0", &info) == 0)
    GTEST_SKIP() << "this machine has a parallel port";
  EXPECT_EQ(isOpen(), 0);
  const std::string reason = lastError();
  EXPECT_NE(reason.find("0x378"), std::string::npos) << reason;
  EXPECT_EQ(inp32(889), 0);  // harmless: nothing read or written
  EXPECT_EQ(lastError(), reason) << "a read that could not be made says why";
  out32(890, 1);
  EXPECT_EQ(lastError(), reason);
}

}  // namespace
