# Helpers shared by every folder: one call adds a screen module or a test the same way each time.

set(PROJECT_SOURCE_ROOT ${CMAKE_SOURCE_DIR})

# add_screen_module(<code> CLASS <screen class> FORM <form variable> CREATE <create function>
#                   REPORTS <report codes> MENU <menu path> SOURCES ...)
# A report screen is a module library loaded on demand by the host, declared once here:
# - <code>_objects, an object library of its sources that the module and the tests link (the
#   folders of its sources are its include directories);
# - the module lib<code>.so, whose export list is written from the names given: only its entry
#   points and its screen class leave the library. Template instantiations of standard types
#   must not, or the shared libraries bind to them and the module can never be unloaded;
# - <code>.module.json beside the module: what the host needs to list it in its menu and to
#   find the screen of a report code.
function(add_screen_module code)
    cmake_parse_arguments(ARG "" "CLASS;FORM;CREATE;MENU" "REPORTS;SOURCES" ${ARGN})
    foreach(required CLASS FORM CREATE MENU REPORTS SOURCES)
        if(NOT ARG_${required})
            message(FATAL_ERROR "add_screen_module(${code}): ${required} is missing")
        endif()
    endforeach()
    foreach(text ${code} ${ARG_CLASS} ${ARG_FORM} ${ARG_CREATE} ${ARG_MENU} ${ARG_REPORTS})
        if(text MATCHES "[\"\\\\]")
            message(FATAL_ERROR "add_screen_module(${code}): no quotes or backslashes in '${text}'")
        endif()
    endforeach()

    set(include_dirs "")
    foreach(source ${ARG_SOURCES})
        get_filename_component(dir ${source} DIRECTORY)
        if(NOT IS_ABSOLUTE "${dir}")
            set(dir ${CMAKE_CURRENT_SOURCE_DIR}/${dir})
        endif()
        list(APPEND include_dirs ${dir})
    endforeach()
    list(REMOVE_DUPLICATES include_dirs)

    add_library(${code}_objects OBJECT ${ARG_SOURCES})
    target_include_directories(${code}_objects PUBLIC ${include_dirs})
    target_link_libraries(${code}_objects PUBLIC components forms Qt6::Widgets Qt6::Sql)
    set_target_properties(${code}_objects PROPERTIES
        AUTOUIC OFF
        POSITION_INDEPENDENT_CODE ON
        CXX_VISIBILITY_PRESET hidden
        VISIBILITY_INLINES_HIDDEN ON)

    add_library(${code} MODULE $<TARGET_OBJECTS:${code}_objects>)
    target_link_libraries(${code} PRIVATE components forms Qt6::Widgets Qt6::Sql)
    set_target_properties(${code} PROPERTIES PREFIX "lib")
    set(map ${CMAKE_CURRENT_BINARY_DIR}/${code}.map)
    file(WRITE ${map} "{\n  global:\n    IniProc; ${ARG_CREATE}; Initialize; Finalize; GetPackageInfoTable;\n    ${ARG_FORM}; BoIdCriado;\n    extern \"C++\" {\n      ${ARG_CLASS}::*;\n      \"typeinfo for ${ARG_CLASS}\";\n      \"typeinfo name for ${ARG_CLASS}\";\n      \"vtable for ${ARG_CLASS}\";\n      \"non-virtual thunk to ${ARG_CLASS}::*\";\n    };\n  local: *;\n};\n")
    target_link_options(${code} PRIVATE -Wl,--version-script=${map})
    set_property(TARGET ${code} APPEND PROPERTY LINK_DEPENDS ${map})

    list(JOIN ARG_REPORTS "\", \"" reports)
    file(GENERATE OUTPUT $<TARGET_FILE_DIR:${code}>/${code}.module.json CONTENT
"{
    \"code\": \"${code}\",
    \"library\": \"$<TARGET_FILE_NAME:${code}>\",
    \"class\": \"${ARG_CLASS}\",
    \"create\": \"${ARG_CREATE}\",
    \"form\": \"${ARG_FORM}\",
    \"reports\": [\"${reports}\"],
    \"menu\": \"${ARG_MENU}\"
}
")
endfunction()

# add_qt_test(<name> SOURCES ... [LIBS ...] [TIMEOUT s] [LABELS ...])
# One Qt Test executable per unit, run offscreen, with a timeout that makes a stray modal
# dialog fail fast.
function(add_qt_test name)
    cmake_parse_arguments(ARG "" "TIMEOUT" "SOURCES;LIBS;LABELS" ${ARGN})
    if(NOT ARG_TIMEOUT)
        set(ARG_TIMEOUT 45)
    endif()
    add_executable(${name} ${ARG_SOURCES})
    target_link_libraries(${name} PRIVATE testsupport Qt6::Test ${ARG_LIBS})
    add_test(NAME ${name} COMMAND ${name})
    set(extra_env "")
    if(WITH_SANITIZERS)
        # Instrumented code is several times slower: large tables built on the fly shrink so
        # the timeout stays the same in both configurations.
        set(extra_env ";KMB_LARGE_ROWS=250000")
    endif()
    set_tests_properties(${name} PROPERTIES
        TIMEOUT ${ARG_TIMEOUT}
        LABELS "${ARG_LABELS}"
        ENVIRONMENT "QT_QPA_PLATFORM=offscreen;TZ=America/Sao_Paulo;PROJECT_SOURCE_ROOT=${PROJECT_SOURCE_ROOT};MODULE_DIR=${CMAKE_BINARY_DIR}/bin;LSAN_OPTIONS=suppressions=${PROJECT_SOURCE_ROOT}/tests/lsan.supp:print_suppressions=0;ASAN_OPTIONS=detect_leaks=1:abort_on_error=0;UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1${extra_env}")
endfunction()
