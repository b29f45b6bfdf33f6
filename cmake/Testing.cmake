enable_testing()

# launcher_add_test(NAME SOURCES file... [LIBS lib...] [TIMEOUT s] [LOCKS res...])
# One GoogleTest program. Natively every case becomes its own ctest test; in
# the win tree the program is one ctest test run through Wine, since listing
# the cases would cost a Wine start per case at build time. Every test has a
# time-out so a hang or a forgotten message box cannot stall a run. LOCKS
# names shared resources (the install root, the .nlp registration) that
# tests must not use at the same time.
function(launcher_add_test name)
    cmake_parse_arguments(T "" "TIMEOUT" "SOURCES;LIBS;LOCKS" ${ARGN})
    if(NOT T_TIMEOUT)
        set(T_TIMEOUT 120)
    endif()
    add_executable(${name} ${T_SOURCES})
    target_link_libraries(${name} PRIVATE ${T_LIBS} GTest::gtest_main)
    target_include_directories(${name} PRIVATE "${PROJECT_SOURCE_DIR}")
    if(WIN32)
        add_test(NAME ${name} COMMAND ${name})
        set_tests_properties(${name} PROPERTIES TIMEOUT ${T_TIMEOUT})
        if(T_LOCKS)
            set_tests_properties(${name} PROPERTIES RESOURCE_LOCK "${T_LOCKS}")
        endif()
    else()
        set(props TIMEOUT ${T_TIMEOUT})
        if(T_LOCKS)
            list(APPEND props RESOURCE_LOCK "${T_LOCKS}")
        endif()
        gtest_discover_tests(${name} PROPERTIES ${props})
    endif()
endfunction()
