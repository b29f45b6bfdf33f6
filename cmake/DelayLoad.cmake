# Windows libraries that a launch may never call are delay-loaded: the
# system maps and starts such a DLL at the program's first call into it,
# not as the process starts. Security packages, the shell and COM, the trust
# provider and WinHTTP cost a launch of no files tens of milliseconds under
# Wine otherwise, where every DLL's start is a round of calls to its server.
#
# launcher_delay_load(name...) makes the imported target delayed::<name>: a
# delay-load import library that dlltool writes from the functions of
# MinGW's own lib<name>.a. Data exports are left out (they cannot be
# delay-loaded; a use of one links the ordinary import library instead).

function(launcher_delay_load)
    foreach(name ${ARGN})
        execute_process(COMMAND "${CMAKE_CXX_COMPILER}" -print-file-name=lib${name}.a
                        OUTPUT_VARIABLE import OUTPUT_STRIP_TRAILING_WHITESPACE)
        execute_process(COMMAND "${CMAKE_DLLTOOL}" --identify "${import}"
                        OUTPUT_VARIABLE dll OUTPUT_STRIP_TRAILING_WHITESPACE
                        RESULT_VARIABLE identified)
        execute_process(COMMAND "${CMAKE_NM}" "${import}" OUTPUT_VARIABLE symbols)
        if(NOT identified EQUAL 0 OR NOT symbols)
            message(FATAL_ERROR "no MinGW import library lib${name}.a to delay-load")
        endif()
        string(REGEX MATCHALL "[^\n]+ T [A-Za-z][^\n]*" code "${symbols}")
        set(exports "")
        foreach(line ${code})
            string(REGEX REPLACE ".* T " "" function "${line}")
            string(FIND "${symbols}" " I __imp_${function}\n" imported)
            if(NOT imported EQUAL -1)
                string(APPEND exports "${function}\n")
            endif()
        endforeach()
        set(def "${CMAKE_BINARY_DIR}/delayed/${name}.def")
        set(lib "${CMAKE_BINARY_DIR}/delayed/lib${name}_delayed.a")
        file(WRITE "${def}" "LIBRARY ${dll}\nEXPORTS\n${exports}")
        execute_process(COMMAND "${CMAKE_DLLTOOL}" --input-def "${def}" --output-delaylib "${lib}"
                        RESULT_VARIABLE made)
        if(NOT made EQUAL 0)
            message(FATAL_ERROR "dlltool could not make the delay-load library of ${dll}")
        endif()
        add_library(delayed::${name} STATIC IMPORTED GLOBAL)
        set_target_properties(delayed::${name} PROPERTIES IMPORTED_LOCATION "${lib}")
    endforeach()
endfunction()
