# Compiler settings, third-party libraries and the test helper shared by
# every folder.

if(MSVC)
  add_compile_options(/W4)
else()
  add_compile_options(-Wall -Wextra -Wpedantic -Wshadow -Wconversion
                      -Wno-sign-conversion -Werror=return-type)
endif()

if(WIN32)
  # Everything goes through the ANSI interfaces; keep <windows.h> small.
  add_compile_definitions(WIN32_LEAN_AND_MEAN NOMINMAX _WIN32_WINNT=0x0501)
  if(MINGW)
    # Single-file executables: no libgcc/libstdc++/winpthread DLLs to ship.
    add_link_options(-static -static-libgcc -static-libstdc++)
  endif()
else()
  add_compile_definitions(_FILE_OFFSET_BITS=64)
endif()

if(KOWAKI_SANITIZE)
  add_compile_options(-fsanitize=address,undefined -fno-omit-frame-pointer
                      -fno-sanitize-recover=undefined)
  add_link_options(-fsanitize=address,undefined)
endif()

if(KOWAKI_FUZZ)
  # Coverage for the fuzzer in all of our code; the targets link libFuzzer.
  add_compile_options(-fsanitize=fuzzer-no-link,address,undefined -fno-omit-frame-pointer)
  add_link_options(-fsanitize=address,undefined)
endif()

# Ogg Vorbis, FLAC and libebur128: Debian's packages natively, our own static cross build for
# Windows (tools/build-windows-deps.sh fills KOWAKI_DEPS_PREFIX).
find_package(PkgConfig REQUIRED)
if(KOWAKI_DEPS_PREFIX)
  list(APPEND CMAKE_FIND_ROOT_PATH ${KOWAKI_DEPS_PREFIX})
  set(ENV{PKG_CONFIG_LIBDIR} "${KOWAKI_DEPS_PREFIX}/lib/pkgconfig")
  set(ENV{PKG_CONFIG_PATH} "")
  set(PKG_CONFIG_USE_CMAKE_PREFIX_PATH OFF)
endif()
# One target for the four libraries, in link order: vorbisfile and
# vorbisenc need libvorbis, which needs libogg.
pkg_check_modules(VORBIS REQUIRED IMPORTED_TARGET vorbisfile vorbisenc vorbis ogg)
# libFLAC for the FLAC export. Its Windows headers declare the functions
# as DLL imports unless told the library is static.
pkg_check_modules(FLAC REQUIRED IMPORTED_TARGET flac)
if(WIN32)
  set_property(TARGET PkgConfig::FLAC APPEND PROPERTY INTERFACE_COMPILE_DEFINITIONS FLAC__NO_DLL)
endif()

# libebur128 for the export's loudness normalisation and list --loudness.
pkg_check_modules(EBUR128 REQUIRED IMPORTED_TARGET libebur128)

# JSON for kowaki-cli: nlohmann/json, header-only. A cross build takes
# Debian's copy, installed for this machine outside the cross root (headers
# hold no machine code), through a folder that holds nlohmann/ alone:
# the rest of its include folder would stand before mingw-w64's headers.
if(CMAKE_CROSSCOMPILING)
  find_package(nlohmann_json 3 REQUIRED NO_CMAKE_FIND_ROOT_PATH)
  get_target_property(KOWAKI_JSON_INCLUDE nlohmann_json::nlohmann_json INTERFACE_INCLUDE_DIRECTORIES)
  list(GET KOWAKI_JSON_INCLUDE 0 KOWAKI_JSON_INCLUDE)
  set(KOWAKI_JSON_ONLY ${PROJECT_BINARY_DIR}/nlohmann_json/include)
  file(MAKE_DIRECTORY ${KOWAKI_JSON_ONLY})
  file(CREATE_LINK ${KOWAKI_JSON_INCLUDE}/nlohmann ${KOWAKI_JSON_ONLY}/nlohmann SYMBOLIC)
  set_target_properties(nlohmann_json::nlohmann_json PROPERTIES
                        INTERFACE_INCLUDE_DIRECTORIES ${KOWAKI_JSON_ONLY})
else()
  find_package(nlohmann_json 3 REQUIRED)
endif()

# kowaki_add_test(NAME SOURCES src... LIBS lib... [TIMEOUT s])
# Natively every GoogleTest case becomes its own CTest test. Under Wine each
# executable is one CTest test: starting Wine per case would cost seconds.
function(kowaki_add_test name)
  cmake_parse_arguments(T "" "TIMEOUT" "SOURCES;LIBS" ${ARGN})
  if(NOT T_TIMEOUT)
    set(T_TIMEOUT 120)
  endif()
  add_executable(${name} ${T_SOURCES})
  target_link_libraries(${name} PRIVATE ${T_LIBS} GTest::gtest GTest::gmock GTest::gtest_main)
  if(CMAKE_CROSSCOMPILING)
    add_test(NAME ${name} COMMAND ${name})
    set_tests_properties(${name} PROPERTIES TIMEOUT ${T_TIMEOUT} LABELS wine)
  else()
    include(GoogleTest)
    gtest_discover_tests(${name} DISCOVERY_TIMEOUT 30
                         PROPERTIES TIMEOUT ${T_TIMEOUT})
  endif()
endfunction()
