# Windows with Debian's mingw-w64, posix thread model (std::thread). The
# toolchain file of each machine type sets CMAKE_SYSTEM_PROCESSOR first.
set(CMAKE_SYSTEM_NAME Windows)
set(KOWAKI_MINGW_HOST ${CMAKE_SYSTEM_PROCESSOR}-w64-mingw32)
set(CMAKE_C_COMPILER ${KOWAKI_MINGW_HOST}-gcc-posix)
set(CMAKE_CXX_COMPILER ${KOWAKI_MINGW_HOST}-g++-posix)
set(CMAKE_RC_COMPILER ${KOWAKI_MINGW_HOST}-windres)
set(CMAKE_FIND_ROOT_PATH /usr/${KOWAKI_MINGW_HOST})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)
# Tests run under Wine of the same width, in a prefix inside the build tree.
set(CMAKE_CROSSCOMPILING_EMULATOR ${CMAKE_CURRENT_LIST_DIR}/../tools/wine-run.sh)
