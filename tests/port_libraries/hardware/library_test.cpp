// The built libinpout32.so itself: its C operations are found by name, and
// on a machine without a parallel port it says why and stays harmless.
#include <dlfcn.h>
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <string>

#include "port/inpout_abi.h"

namespace {

class HardwareLibraryTest : public ::testing::Test {
 protected:
  void SetUp() override {
    handle = dlopen(HARDWARE_PORT_LIBRARY, RTLD_NOW | RTLD_LOCAL);
    ASSERT_NE(handle, nullptr) << dlerror();
  }
  void TearDown() override {
    if (handle) dlclose(handle);
  }
  template <typename Function>
  Function Find(const char* name) {
    return reinterpret_cast<Function>(dlsym(handle, name));
  }
  void* handle = nullptr;
};

TEST_F(HardwareLibraryTest, ExportsItsOperationsByPlainNameAndWithoutAPortSaysWhy) {
  const auto isOpen = Find<IsInpOutDriverOpenFunction>("IsInpOutDriverOpen");
  const auto lastError = Find<InpOutLastErrorFunction>("InpOutLastError");
  const auto inp32 = Find<Inp32Function>("Inp32");
  const auto out32 = Find<Out32Function>("Out32");
  ASSERT_TRUE(isOpen && lastError && inp32 && out32);

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
