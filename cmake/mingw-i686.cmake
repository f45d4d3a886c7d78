# Cross-compiles the shipped 32-bit programs with MinGW-w64 (win32 threads: no pthread DLL).
set(CMAKE_SYSTEM_PROCESSOR x86)
set(kavor_mingw i686-w64-mingw32)
set(kavor_threads win32)
include(${CMAKE_CURRENT_LIST_DIR}/mingw.cmake)
