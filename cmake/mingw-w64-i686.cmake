# Cross build for 32-bit Windows with Debian's mingw-w64 (g++-mingw-w64-i686).
# What it builds runs on a bare Windows 7 SP1 or later, 32- or 64-bit.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR i686)

set(toolchain_prefix i686-w64-mingw32)
set(CMAKE_C_COMPILER ${toolchain_prefix}-gcc)
set(CMAKE_CXX_COMPILER ${toolchain_prefix}-g++)
set(CMAKE_RC_COMPILER ${toolchain_prefix}-windres)

set(CMAKE_FIND_ROOT_PATH /usr/${toolchain_prefix})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# Windows 7 is the oldest system served: the headers offer nothing newer
# (anything later is looked up at run time), and the PE headers ask for 6.1.
set(windows_7_definitions "-D_WIN32_WINNT=0x0601 -DWINVER=0x0601")
set(CMAKE_C_FLAGS_INIT "${windows_7_definitions}")
set(CMAKE_CXX_FLAGS_INIT "${windows_7_definitions}")
set(CMAKE_RC_FLAGS_INIT "${windows_7_definitions}")
set(windows_7_versions
  "-Wl,--major-subsystem-version,6,--minor-subsystem-version,1,--major-os-version,6,--minor-os-version,1")
# A bare Windows has no GCC or C++ runtime DLLs (libgcc_s_dw2-1.dll,
# libstdc++-6.dll, libwinpthread-1.dll): every program and library we build
# carries its own copy.
set(static_runtimes "-static -static-libgcc -static-libstdc++")
set(CMAKE_EXE_LINKER_FLAGS_INIT "${static_runtimes} ${windows_7_versions}")
set(CMAKE_SHARED_LINKER_FLAGS_INIT "${static_runtimes} ${windows_7_versions}")
set(CMAKE_MODULE_LINKER_FLAGS_INIT "${static_runtimes} ${windows_7_versions}")
