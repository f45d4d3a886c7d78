# The 32-bit tests: the shipped toolchain, but with posix threads, which GoogleTest needs.
set(CMAKE_SYSTEM_PROCESSOR x86)
set(kavor_mingw i686-w64-mingw32)
set(kavor_threads posix)
include(${CMAKE_CURRENT_LIST_DIR}/mingw.cmake)
