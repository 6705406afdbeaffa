# 32-bit Windows: the program as shipped.
set(CMAKE_SYSTEM_PROCESSOR i686)
set(KOWAKI_WINDOWS_ARCH win32)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-toolchain.cmake)
