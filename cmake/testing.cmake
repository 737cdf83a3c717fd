option(STENVAULT_TESTS "Build the tests (needs GoogleTest)" ON)

# sv_add_test(NAME name SOURCES ... LIBS ... [LABELS ...])
# Native: a portable test run directly. Windows: run under Wine through the emulator.
if(NOT STENVAULT_TESTS)
    function(sv_add_test)
    endfunction()
    return()
endif()

# GoogleTest: the machine's package natively; built from its sources for the cross build.
if(WIN32 AND CMAKE_CROSSCOMPILING)
    set(gtest_force_shared_crt OFF CACHE BOOL "" FORCE)
    set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
    add_subdirectory(/usr/src/googletest ${CMAKE_BINARY_DIR}/googletest EXCLUDE_FROM_ALL)
else()
    find_package(GTest REQUIRED)
endif()

function(sv_add_test)
    cmake_parse_arguments(T "" "NAME" "SOURCES;LIBS;LABELS" ${ARGN})
    add_executable(${T_NAME} ${T_SOURCES})
    target_link_libraries(${T_NAME} PRIVATE ${T_LIBS} GTest::gmock GTest::gtest_main)
    add_test(NAME ${T_NAME} COMMAND ${T_NAME} --gtest_brief=1)
    if(T_LABELS)
        set_tests_properties(${T_NAME} PROPERTIES LABELS "${T_LABELS}")
    endif()
endfunction()
