# cJSON, minizip (over zlib) and GoogleTest. Natively they come from Debian's
# -dev packages; the win tree compiles the Debian source packages that
# scripts/setup fetched, and GoogleTest from /usr/src/googletest.

set(LAUNCHER_DEPS_DIR "${PROJECT_SOURCE_DIR}/build/deps" CACHE PATH
    "Folder holding the Debian sources of cjson and minizip (scripts/setup fills it)")

if(WIN32)
    foreach(dep cjson minizip)
        if(NOT EXISTS "${LAUNCHER_DEPS_DIR}/${dep}/.version")
            message(FATAL_ERROR "${LAUNCHER_DEPS_DIR}/${dep} is missing: run scripts/setup")
        endif()
    endforeach()

    add_library(cjson STATIC "${LAUNCHER_DEPS_DIR}/cjson/cJSON.c")
    # The include folder mirrors Debian's layout so both builds say <cjson/cJSON.h>.
    file(MAKE_DIRECTORY "${CMAKE_BINARY_DIR}/deps/include/cjson")
    configure_file("${LAUNCHER_DEPS_DIR}/cjson/cJSON.h"
                   "${CMAKE_BINARY_DIR}/deps/include/cjson/cJSON.h" COPYONLY)
    target_include_directories(cjson SYSTEM PUBLIC "${CMAKE_BINARY_DIR}/deps/include")
    # Keeps the static program from exporting cJSON's functions.
    target_compile_definitions(cjson PUBLIC CJSON_HIDE_SYMBOLS)
    add_library(cJSON::cjson ALIAS cjson)

    set(ZLIB_USE_STATIC_LIBS ON)
    find_package(ZLIB REQUIRED)
    add_library(minizip STATIC
        "${LAUNCHER_DEPS_DIR}/minizip/unzip.c"
        "${LAUNCHER_DEPS_DIR}/minizip/ioapi.c")
    target_include_directories(minizip SYSTEM PUBLIC "${LAUNCHER_DEPS_DIR}/minizip")
    target_compile_options(minizip PRIVATE -w)
    target_link_libraries(minizip PUBLIC ZLIB::ZLIB)
    add_library(Minizip::minizip ALIAS minizip)

    set(BUILD_GMOCK OFF CACHE BOOL "" FORCE)
    set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
    add_subdirectory(/usr/src/googletest "${CMAKE_BINARY_DIR}/googletest" EXCLUDE_FROM_ALL SYSTEM)
else()
    find_package(cJSON REQUIRED)
    if(NOT TARGET cJSON::cjson)
        add_library(cJSON::cjson INTERFACE IMPORTED)
        target_link_libraries(cJSON::cjson INTERFACE cjson)
    endif()
    find_package(PkgConfig REQUIRED)
    pkg_check_modules(MINIZIP REQUIRED IMPORTED_TARGET minizip)
    find_package(ZLIB REQUIRED)
    add_library(Minizip::minizip INTERFACE IMPORTED)
    target_link_libraries(Minizip::minizip INTERFACE PkgConfig::MINIZIP ZLIB::ZLIB)
    find_package(GTest REQUIRED)
    include(GoogleTest)
endif()
