# Cross-compiling for 64-bit Windows with MinGW-w64's posix thread model (Debian: g++-mingw-w64-x86-64-posix),
# which Qt 6 needs for std::mutex and std::thread. Used to build Qt for MinGW (scripts/qt-mingw.sh copies this
# file into Qt's prefix) and, through Qt's qt.toolchain.cmake, Tessaly itself.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

set(TESSALY_MINGW_PREFIX x86_64-w64-mingw32)
set(CMAKE_C_COMPILER ${TESSALY_MINGW_PREFIX}-gcc-posix)
set(CMAKE_CXX_COMPILER ${TESSALY_MINGW_PREFIX}-g++-posix)
set(CMAKE_RC_COMPILER ${TESSALY_MINGW_PREFIX}-windres)
set(CMAKE_AR ${TESSALY_MINGW_PREFIX}-ar CACHE FILEPATH "")
set(CMAKE_RANLIB ${TESSALY_MINGW_PREFIX}-ranlib CACHE FILEPATH "")

set(CMAKE_FIND_ROOT_PATH /usr/${TESSALY_MINGW_PREFIX})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)
