# Builds the packages from placeholder files and lists the zip: it must hold every file a user
# of the zip runs or reads.
#   cmake -DPACKAGE_SCRIPT=... -DWXS=... -DICON=... -DREADME=... -DWORK=... -P zip_contents_test.cmake
cmake_minimum_required(VERSION 3.25)
file(REMOVE_RECURSE "${WORK}")
file(MAKE_DIRECTORY "${WORK}")
foreach(name stenvault stenvault-check stenvault-setup)
    file(WRITE "${WORK}/${name}.exe" "${name}")
endforeach()
execute_process(
    COMMAND "${CMAKE_COMMAND}" -DVERSION=1.0.0 -DPROGRAM_EXE=${WORK}/stenvault.exe
            -DCHECK_EXE=${WORK}/stenvault-check.exe -DSETUP_EXE=${WORK}/stenvault-setup.exe
            -DICON=${ICON} -DWXS=${WXS} -DMSI=${WORK}/out/x.msi -DZIP=${WORK}/out/x.zip
            -DREADME=${README} -P "${PACKAGE_SCRIPT}"
    RESULT_VARIABLE rc)
if(NOT rc EQUAL 0)
    message(FATAL_ERROR "the packages could not be built")
endif()
execute_process(COMMAND "${CMAKE_COMMAND}" -E tar tf "${WORK}/out/x.zip"
                OUTPUT_VARIABLE listing RESULT_VARIABLE rc)
string(REPLACE "\n" ";" entries "${listing}")
foreach(name stenvault.exe stenvault-check.exe README.md)
    if(NOT name IN_LIST entries)
        message(FATAL_ERROR "the zip lacks ${name}; it holds: ${listing}")
    endif()
endforeach()
file(REMOVE_RECURSE "${WORK}")
