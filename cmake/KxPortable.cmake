# Which system calls beyond POSIX this system offers, found by feature checks
# (not by the system's name); common/Portable.cpp picks its paths from them.
# KX_PORTABLE=ON skips the checks for the Linux calls, so a Linux build
# compiles and tests the paths a system without them uses.
include(CheckCXXSymbolExists)
include(CheckStructHasMember)

option(KX_PORTABLE "Use the plain POSIX paths even where Linux calls exist" OFF)

set(KX_PORTABLE_DEFINITIONS)
set(CMAKE_REQUIRED_DEFINITIONS -D_GNU_SOURCE)
set(CMAKE_REQUIRED_QUIET ON)
if(NOT KX_PORTABLE)
  check_cxx_symbol_exists(pipe2 "fcntl.h;unistd.h" KX_HAVE_PIPE2)
  check_cxx_symbol_exists(posix_fadvise "fcntl.h" KX_HAVE_POSIX_FADVISE)
  if(KX_HAVE_PIPE2)
    list(APPEND KX_PORTABLE_DEFINITIONS KX_HAVE_PIPE2)
  endif()
  if(KX_HAVE_POSIX_FADVISE)
    list(APPEND KX_PORTABLE_DEFINITIONS KX_HAVE_POSIX_FADVISE)
  endif()
endif()
# The nanosecond file times: POSIX names them st_mtim, macOS st_mtimespec.
check_struct_has_member("struct stat" st_mtimespec sys/stat.h KX_HAVE_STAT_MTIMESPEC LANGUAGE CXX)
if(KX_HAVE_STAT_MTIMESPEC)
  list(APPEND KX_PORTABLE_DEFINITIONS KX_HAVE_STAT_MTIMESPEC)
endif()
unset(CMAKE_REQUIRED_DEFINITIONS)
unset(CMAKE_REQUIRED_QUIET)

if(KX_PORTABLE_DEFINITIONS)
  string(REPLACE ";" " " kx_portable_list "${KX_PORTABLE_DEFINITIONS}")
else()
  set(kx_portable_list "none, plain POSIX")
endif()
message(STATUS "System calls beyond POSIX: ${kx_portable_list}")
