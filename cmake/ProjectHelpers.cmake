# Helpers shared by every folder: one call adds a screen module or a test the same way each time.

set(PROJECT_SOURCE_ROOT ${CMAKE_SOURCE_DIR})

# add_screen_module(<code> CLASS <screen class> SOURCES ...)
# A report screen is a module library loaded on demand by the host. Only its entry points and
# its screen class leave the library: template instantiations of standard types must not, or
# the shared libraries bind to them and the module can never be unloaded.
function(add_screen_module code)
    cmake_parse_arguments(ARG "" "CLASS" "SOURCES" ${ARGN})
    add_library(${code} MODULE ${ARG_SOURCES})
    target_link_libraries(${code} PRIVATE components forms Qt6::Widgets Qt6::Sql)
    set_target_properties(${code} PROPERTIES
        PREFIX "lib"
        CXX_VISIBILITY_PRESET hidden
        VISIBILITY_INLINES_HIDDEN ON)
    set(map ${CMAKE_CURRENT_BINARY_DIR}/${code}.map)
    file(WRITE ${map} "{\n  global:\n    IniProc; CriaRelForn; Initialize; Finalize; GetPackageInfoTable;\n    frmRelForn; BoIdCriado;\n    extern \"C++\" {\n      ${ARG_CLASS}::*;\n      \"typeinfo for ${ARG_CLASS}\";\n      \"typeinfo name for ${ARG_CLASS}\";\n      \"vtable for ${ARG_CLASS}\";\n      \"non-virtual thunk to ${ARG_CLASS}::*\";\n    };\n  local: *;\n};\n")
    target_link_options(${code} PRIVATE -Wl,--version-script=${map})
    set_property(TARGET ${code} APPEND PROPERTY LINK_DEPENDS ${map})
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
