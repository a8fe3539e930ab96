# SPDX-License-Identifier: MIT
# Which system calls beyond POSIX this build uses. Each one found here has a
# POSIX fallback in the code; -DHDRTUNE_PORTABLE=ON takes the fallbacks even
# where the calls exist, so that a Linux build tests what a FreeBSD or macOS
# build runs. The answers go to platform_config.h in the build folder.
include(CheckCXXSourceCompiles)
include(CheckIncludeFileCXX)

option(HDRTUNE_PORTABLE "Use POSIX calls only, even where Linux offers more" OFF)

# statx tells the mount a file lives on (stx_mnt_id), which tells a bind mount
# from the file system it shows; fstat gives only the device.
check_cxx_source_compiles([[
#include <fcntl.h>
#include <sys/stat.h>
int main() {
  struct statx info;
  return statx(0, "", AT_EMPTY_PATH, STATX_MNT_ID, &info) + static_cast<int>(info.stx_mnt_id);
}]] hdrtune_found_statx_mount_id)
# makedev: in <sys/sysmacros.h> on Linux, in <sys/types.h> elsewhere.
check_include_file_cxx(sys/sysmacros.h hdrtune_found_sys_sysmacros_h)

foreach(feature statx_mount_id sys_sysmacros_h)
  string(TOUPPER ${feature} name)
  if(hdrtune_found_${feature} AND NOT HDRTUNE_PORTABLE)
    set(HDRTUNE_HAVE_${name} 1)
  else()
    set(HDRTUNE_HAVE_${name} 0)
  endif()
endforeach()
if(NOT HDRTUNE_HAVE_STATX_MOUNT_ID)
  message(STATUS "hdrtune: no mount ids; a bind mount inside a tree is entered like a folder")
endif()

set(hdrtune_generated ${CMAKE_BINARY_DIR}/generated)
configure_file(${CMAKE_CURRENT_LIST_DIR}/platform_config.h.in ${hdrtune_generated}/platform_config.h)
