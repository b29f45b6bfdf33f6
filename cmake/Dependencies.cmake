# cJSON, minizip (over zlib) and GoogleTest. Natively they come from Debian's
# -dev packages; the win tree compiles the Debian source packages that
# scripts/setup fetched, and GoogleTest from /usr/src/googletest.

if(WIN32)
    include(cmake/DelayLoad.cmake)
    launcher_delay_load(secur32 crypt32 winhttp wintrust shell32 ole32 shlwapi bcrypt)
    set(ZLIB_USE_STATIC_LIBS ON)
    include(cmake/SourceDependencies.cmake)
    # Keeps the static program from exporting cJSON's functions.
    target_compile_definitions(cjson PUBLIC CJSON_HIDE_SYMBOLS)

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

include(cmake/Sodium.cmake)
