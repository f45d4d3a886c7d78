# Cross-compiles the same sources for x86-64, the build that runs under wine64 here.
# posix threads: GoogleTest needs them.
set(CMAKE_SYSTEM_PROCESSOR AMD64)
set(kavor_mingw x86_64-w64-mingw32)
set(kavor_threads posix)
include(${CMAKE_CURRENT_LIST_DIR}/mingw.cmake)
