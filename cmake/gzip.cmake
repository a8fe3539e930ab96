# SPDX-License-Identifier: MIT
# cmake -DINPUT=<file> -DOUTPUT=<file.gz> -P gzip.cmake
# Compresses one file as `gzip -9n` does (best compression, no name and no time
# stamp in the header), with nothing but CMake, so that a build needs no gzip.
if(NOT INPUT OR NOT OUTPUT)
  message(FATAL_ERROR "usage: cmake -DINPUT=<file> -DOUTPUT=<file.gz> -P gzip.cmake")
endif()
# The Makefile generator, unlike ninja, does not create an output's folder.
get_filename_component(output_dir "${OUTPUT}" DIRECTORY)
file(MAKE_DIRECTORY "${output_dir}")
# The gzip header's time stamp comes from SOURCE_DATE_EPOCH when it is set.
set(ENV{SOURCE_DATE_EPOCH} 0)
file(ARCHIVE_CREATE OUTPUT "${OUTPUT}" PATHS "${INPUT}" FORMAT raw
     COMPRESSION GZip COMPRESSION_LEVEL 9)
# Bytes 4-7 are the time stamp, byte 8 the compression flags (2: best).
file(READ "${OUTPUT}" header HEX LIMIT 10)
if(NOT header MATCHES "^1f8b08000000000002")
  file(REMOVE "${OUTPUT}")
  message(FATAL_ERROR "${OUTPUT}: unexpected gzip header ${header}")
endif()
