# CMake toolchain file: Debian 12 host -> Windows x86_64 (MinGW-w64, GCC 12, posix thread model).
# Used both to build the Windows SDK (Qt and libsodium, scripts/windows/build-sdk.sh copies this file
# into it) and to build Quillon against it:
#   cmake -G Ninja -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-toolchain.cmake -DWIN_SDK=/opt/quillon-win-sdk \
#         -DQT_HOST_PATH=/usr -DQT_HOST_PATH_CMAKE_DIR=/usr/lib/x86_64-linux-gnu/cmake  <src>
# The SDK is found through WIN_SDK (-D or environment), else beside this file when it lies in one,
# else at /opt/quillon-win-sdk.

set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

set(_triple x86_64-w64-mingw32)
set(CMAKE_C_COMPILER   ${_triple}-gcc-posix)
set(CMAKE_CXX_COMPILER ${_triple}-g++-posix)
set(CMAKE_RC_COMPILER  ${_triple}-windres)
set(CMAKE_AR           /usr/bin/${_triple}-gcc-ar-posix CACHE FILEPATH "")
set(CMAKE_RANLIB       /usr/bin/${_triple}-gcc-ranlib-posix CACHE FILEPATH "")

if(NOT WIN_SDK)
    if(DEFINED ENV{WIN_SDK})
        set(WIN_SDK $ENV{WIN_SDK})
    elseif(EXISTS "${CMAKE_CURRENT_LIST_DIR}/qt")
        get_filename_component(WIN_SDK "${CMAKE_CURRENT_LIST_DIR}" ABSOLUTE)
    else()
        set(WIN_SDK /opt/quillon-win-sdk)
    endif()
endif()
# try_compile projects see the same SDK.
list(APPEND CMAKE_TRY_COMPILE_PLATFORM_VARIABLES WIN_SDK)

# Target libraries are searched only in the MinGW sysroot and the SDK; programs (moc, rcc, uic,
# lrelease...) only on the host.
set(CMAKE_FIND_ROOT_PATH /usr/${_triple} ${WIN_SDK}/qt ${WIN_SDK}/sodium)
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)   # Qt itself re-roots on QT_HOST_PATH for its host tool packages

# pkg-config (the project finds libsodium with pkg_check_modules): never the host's .pc files.
set(PKG_CONFIG_EXECUTABLE /usr/bin/pkg-config CACHE FILEPATH "")
set(ENV{PKG_CONFIG_LIBDIR} "${WIN_SDK}/sodium/lib/pkgconfig")
set(ENV{PKG_CONFIG_PATH} "")
set(ENV{PKG_CONFIG_SYSROOT_DIR} "")

# Where Wine runs target programs (ctest, try_run).
set(CMAKE_CROSSCOMPILING_EMULATOR /usr/lib/wine/wine64)   # Debian 12: not on PATH

# Convenience for users of the SDK: the Qt prefix and the MinGW runtime DLLs to ship.
list(APPEND CMAKE_PREFIX_PATH ${WIN_SDK}/qt)
set(MINGW_RUNTIME_DLLS
    /usr/lib/gcc/${_triple}/12-posix/libstdc++-6.dll
    /usr/lib/gcc/${_triple}/12-posix/libgcc_s_seh-1.dll
    /usr/${_triple}/lib/libwinpthread-1.dll)
