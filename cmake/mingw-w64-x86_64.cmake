# CMake toolchain file: 64-bit Windows programs built on Debian with mingw-w64 (posix thread model),
# against the Qt in qt6.4.2-mingw-w64-x86_64.tar.xz. Pass the folder where that archive was unpacked:
#   cmake -S . -B build-win -G Ninja -DCMAKE_TOOLCHAIN_FILE=<this file> -DQT_MINGW_DIR=<unpacked>/qt6-mingw-w64 \
#         -DCMAKE_PREFIX_PATH=<unpacked>/qt6-mingw-w64 -DQT_HOST_PATH=/usr \
#         -DQT_HOST_PATH_CMAKE_DIR=/usr/lib/x86_64-linux-gnu/cmake
# scripts/test-windows does all of it.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR AMD64)
set(TOOLCHAIN_PREFIX x86_64-w64-mingw32)

set(CMAKE_C_COMPILER   /usr/bin/${TOOLCHAIN_PREFIX}-gcc-posix)
set(CMAKE_CXX_COMPILER /usr/bin/${TOOLCHAIN_PREFIX}-g++-posix)
set(CMAKE_RC_COMPILER  /usr/bin/${TOOLCHAIN_PREFIX}-windres)
set(CMAKE_AR           /usr/bin/${TOOLCHAIN_PREFIX}-gcc-ar-posix CACHE FILEPATH "")
set(CMAKE_RANLIB       /usr/bin/${TOOLCHAIN_PREFIX}-gcc-ranlib-posix CACHE FILEPATH "")

# The target environment: the mingw-w64 sysroot, the cross-built Qt, and the animation codecs that
# scripts/build-codecs-windows builds (VELRA_CODECS_DIR).
set(CMAKE_FIND_ROOT_PATH /usr/${TOOLCHAIN_PREFIX} ${QT_MINGW_DIR} ${VELRA_CODECS_DIR})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# Target programs (try_run, ctest) run under Wine, through the build's own runner (see CMakeLists.txt).

# The host's rcc (Debian's Qt, built with zstd) compresses resources with zstd unless told not to; this Qt
# for Windows has no zstd, so AUTORCC output would not link. (qt_add_resources passes --no-zstd itself.)
set(CMAKE_AUTORCC_OPTIONS --no-zstd)
