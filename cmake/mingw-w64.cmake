# Cross toolchain for the Windows build: MinGW-w64 in its posix thread model
# (the win32 model has no std::thread or std::mutex), with Wine as the emulator
# that CTest uses to run the Windows test programs.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

set(RAVELUND_MINGW_TRIPLE x86_64-w64-mingw32)
set(CMAKE_C_COMPILER ${RAVELUND_MINGW_TRIPLE}-gcc-posix)
set(CMAKE_CXX_COMPILER ${RAVELUND_MINGW_TRIPLE}-g++-posix)
set(CMAKE_RC_COMPILER ${RAVELUND_MINGW_TRIPLE}-windres)

# Libraries and headers come from the MinGW sysroot only, never from the host;
# build tools (compilers, windres) come from the host.
set(CMAKE_FIND_ROOT_PATH /usr/${RAVELUND_MINGW_TRIPLE})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

get_filename_component(RAVELUND_TOOLCHAIN_ROOT "${CMAKE_CURRENT_LIST_DIR}/.." ABSOLUTE)
set(CMAKE_CROSSCOMPILING_EMULATOR "${RAVELUND_TOOLCHAIN_ROOT}/scripts/wine-run.sh")
