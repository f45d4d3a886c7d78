# MinGW-w64 from Debian, for the triple and thread model that the including toolchain file
# sets (kavor_mingw, kavor_threads).
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_C_COMPILER ${kavor_mingw}-gcc-${kavor_threads})
set(CMAKE_CXX_COMPILER ${kavor_mingw}-g++-${kavor_threads})
set(CMAKE_RC_COMPILER ${kavor_mingw}-windres)
set(CMAKE_FIND_ROOT_PATH /usr/${kavor_mingw})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(KAVOR_DLLTOOL ${kavor_mingw}-dlltool)
