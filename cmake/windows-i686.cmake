# Cross-build for 32-bit Windows with Debian's mingw-w64 compiler (posix
# threads variant), everything linked statically so that the executable and
# the plug-in need nothing beside them. TOLVANE2_WIN32_DEPS names the cache of
# libraries that tools/build-windows-deps.sh makes; the tests run under wine.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR i686)

set(CMAKE_C_COMPILER i686-w64-mingw32-gcc-posix)
set(CMAKE_CXX_COMPILER i686-w64-mingw32-g++-posix)
set(CMAKE_RC_COMPILER i686-w64-mingw32-windres)

if(NOT TOLVANE2_WIN32_DEPS)
  if(DEFINED ENV{TOLVANE2_WIN32_DEPS})
    set(TOLVANE2_WIN32_DEPS $ENV{TOLVANE2_WIN32_DEPS})
  else()
    message(FATAL_ERROR "Set TOLVANE2_WIN32_DEPS to the folder that tools/build-windows-deps.sh filled")
  endif()
endif()
set(TOLVANE2_WIN32_DEPS ${TOLVANE2_WIN32_DEPS} CACHE PATH "Libraries built for the Windows build")
list(APPEND CMAKE_TRY_COMPILE_PLATFORM_VARIABLES TOLVANE2_WIN32_DEPS)

set(CMAKE_FIND_ROOT_PATH /usr/i686-w64-mingw32 ${TOLVANE2_WIN32_DEPS})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# SSE2 for floating point instead of the x87 unit: x87 keeps doubles in 80-bit
# registers and rounds them only when they are stored, so two equal sample
# times could compare unequal and the reading order depend on register use.
set(CMAKE_C_FLAGS_INIT "-msse2 -mfpmath=sse")
set(CMAKE_CXX_FLAGS_INIT "-msse2 -mfpmath=sse")

set(CMAKE_EXE_LINKER_FLAGS_INIT "-static -static-libgcc -static-libstdc++")
set(CMAKE_SHARED_LINKER_FLAGS_INIT "-static -static-libgcc -static-libstdc++")
set(CMAKE_MODULE_LINKER_FLAGS_INIT "-static -static-libgcc -static-libstdc++")

set(CMAKE_CROSSCOMPILING_EMULATOR ${CMAKE_CURRENT_LIST_DIR}/../tools/wine-run.sh)

# The Boost libraries are plain static archives beside Debian's headers.
set(Boost_USE_STATIC_LIBS ON)
set(Boost_NO_BOOST_CMAKE ON)
set(Boost_NO_SYSTEM_PATHS ON)
set(BOOST_ROOT ${TOLVANE2_WIN32_DEPS})
set(GTEST_ROOT ${TOLVANE2_WIN32_DEPS})
