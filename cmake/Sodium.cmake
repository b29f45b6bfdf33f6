# libsodium as Sodium::sodium, the signature checks of a release: natively
# Debian's libsodium-dev; in the win tree the static library that
# scripts/setup built for MinGW-w64 from the Debian source.
if(TARGET Sodium::sodium)
    return()
endif()
if(WIN32)
    # LAUNCHER_DEPS_DIR: set by SourceDependencies.cmake, included before.
    set(sodium_root "${LAUNCHER_DEPS_DIR}/libsodium-mingw")
    if(NOT EXISTS "${sodium_root}/.version")
        message(FATAL_ERROR "${sodium_root} is missing: run scripts/setup")
    endif()
    add_library(Sodium::sodium STATIC IMPORTED GLOBAL)
    set_target_properties(Sodium::sodium PROPERTIES
        IMPORTED_LOCATION "${sodium_root}/lib/libsodium.a"
        INTERFACE_INCLUDE_DIRECTORIES "${sodium_root}/include"
        INTERFACE_COMPILE_DEFINITIONS SODIUM_STATIC)
else()
    find_package(PkgConfig REQUIRED)
    pkg_check_modules(SODIUM REQUIRED IMPORTED_TARGET GLOBAL libsodium)
    add_library(Sodium::sodium ALIAS PkgConfig::SODIUM)
endif()
