# 64-bit Windows: the twin from the same sources.
set(CMAKE_SYSTEM_PROCESSOR x86_64)
set(KOWAKI_WINDOWS_ARCH win64)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-toolchain.cmake)
