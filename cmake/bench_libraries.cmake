# The kept libraries the bench tools stand on, all Debian's own packages
# (scripts/install-deps.sh installs them):
#   CLI11::CLI11                  the command lines (libcli11-dev, headers only)
#   fmt::fmt                      the texts of traces and reports (libfmt-dev)
#   nlohmann_json::nlohmann_json  the JSON files (nlohmann-json3-dev, headers only)
#
# quorvane-simport is also built for Windows. There CLI11 and {fmt} come as
# headers only, copied from the host: the host's whole include folder
# would put its C library in front of mingw-w64's. {fmt} then runs in its
# header-only mode, under the same target name.
if(NOT CMAKE_CROSSCOMPILING)
  find_package(CLI11 CONFIG REQUIRED)
  find_package(fmt CONFIG REQUIRED)
  if(QUORVANE_BUILD_BENCH_TOOLS)
    find_package(nlohmann_json CONFIG REQUIRED)
  endif()
  return()
endif()

set(host_headers ${CMAKE_BINARY_DIR}/host_headers)
foreach(header CLI/CLI.hpp fmt/format.h)
  get_filename_component(folder ${header} DIRECTORY)
  find_path(host_${folder}_parent NAMES ${header} PATHS /usr/include NO_DEFAULT_PATH NO_CMAKE_FIND_ROOT_PATH
    REQUIRED)
  file(COPY ${host_${folder}_parent}/${folder} DESTINATION ${host_headers})
endforeach()
add_library(CLI11::CLI11 INTERFACE IMPORTED)
target_include_directories(CLI11::CLI11 SYSTEM INTERFACE ${host_headers})
add_library(fmt::fmt INTERFACE IMPORTED)
target_include_directories(fmt::fmt SYSTEM INTERFACE ${host_headers})
target_compile_definitions(fmt::fmt INTERFACE FMT_HEADER_ONLY)
