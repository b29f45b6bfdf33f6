# cJSON and minizip compiled from the Debian sources that scripts/setup
# fetched into LAUNCHER_DEPS_DIR: the win tree builds them for MinGW, and the
# fuzz tree so that their parsing code is instrumented too. zlib is found as
# the caller asks (static for MinGW).

set(LAUNCHER_DEPS_DIR "${PROJECT_SOURCE_DIR}/build/deps" CACHE PATH
    "Folder holding the Debian sources of cjson and minizip (scripts/setup fills it)")
foreach(dep cjson minizip)
    if(NOT EXISTS "${LAUNCHER_DEPS_DIR}/${dep}/.version")
        message(FATAL_ERROR "${LAUNCHER_DEPS_DIR}/${dep} is missing: run scripts/setup")
    endif()
endforeach()

add_library(cjson STATIC "${LAUNCHER_DEPS_DIR}/cjson/cJSON.c")
# The include folder mirrors Debian's layout so every tree says <cjson/cJSON.h>.
file(MAKE_DIRECTORY "${CMAKE_BINARY_DIR}/deps/include/cjson")
configure_file("${LAUNCHER_DEPS_DIR}/cjson/cJSON.h"
               "${CMAKE_BINARY_DIR}/deps/include/cjson/cJSON.h" COPYONLY)
target_include_directories(cjson SYSTEM PUBLIC "${CMAKE_BINARY_DIR}/deps/include")
add_library(cJSON::cjson ALIAS cjson)

find_package(ZLIB REQUIRED)
add_library(minizip STATIC
    "${LAUNCHER_DEPS_DIR}/minizip/unzip.c"
    "${LAUNCHER_DEPS_DIR}/minizip/ioapi.c")
target_include_directories(minizip SYSTEM PUBLIC "${LAUNCHER_DEPS_DIR}/minizip")
target_compile_options(minizip PRIVATE -w)
target_link_libraries(minizip PUBLIC ZLIB::ZLIB)
add_library(Minizip::minizip ALIAS minizip)
