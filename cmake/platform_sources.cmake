# The one rule for choosing a system-specific source: a part that differs
# between systems is one file per platform, <part>_posix.cpp on Linux and
# <part>_win32.cpp on Windows, side by side in its folder, and the build
# names only the part.
#
#   quorvane_platform_sources(<target> <part>... [POSIX_ONLY <part>...] [WIN32_ONLY <part>...])
#
# Parts before a keyword exist on every platform; a part after POSIX_ONLY or
# WIN32_ONLY has a file for that platform alone.
if(WIN32)
  set(QUORVANE_PLATFORM win32)
else()
  set(QUORVANE_PLATFORM posix)
endif()

function(quorvane_platform_sources target)
  cmake_parse_arguments(PARSE_ARGV 1 only "" "" "POSIX_ONLY;WIN32_ONLY")
  set(parts ${only_UNPARSED_ARGUMENTS})
  if(QUORVANE_PLATFORM STREQUAL "posix")
    list(APPEND parts ${only_POSIX_ONLY})
  else()
    list(APPEND parts ${only_WIN32_ONLY})
  endif()
  foreach(part IN LISTS parts)
    set(source ${CMAKE_CURRENT_SOURCE_DIR}/${part}_${QUORVANE_PLATFORM}.cpp)
    if(NOT EXISTS ${source})
      message(FATAL_ERROR "${target}: no ${part}_${QUORVANE_PLATFORM}.cpp in ${CMAKE_CURRENT_SOURCE_DIR}")
    endif()
    target_sources(${target} PRIVATE ${source})
  endforeach()
endfunction()
