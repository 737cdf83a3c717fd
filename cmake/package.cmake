# Builds the Windows Installer package (and, when ZIP is given, the zip) with wixl.
#   cmake -DVERSION=1.0.0 -DPROGRAM_EXE=... -DCHECK_EXE=... -DSETUP_EXE=... -DICON=... -DWXS=...
#         -DMSI=... [-DZIP=... -DREADME=...] [-DWIXL=...] -P package.cmake
cmake_minimum_required(VERSION 3.25)

# Every version shares it, so a newer package replaces an older one.
set(UPGRADE_CODE 1DE8A113-03DB-4820-84AA-248DD5299970)

foreach(var VERSION PROGRAM_EXE CHECK_EXE SETUP_EXE ICON WXS MSI)
    if(NOT DEFINED ${var} OR "${${var}}" STREQUAL "")
        message(FATAL_ERROR "package: ${var} is not set")
    endif()
endforeach()
set(inputs PROGRAM_EXE CHECK_EXE SETUP_EXE ICON WXS)
if(ZIP)
    list(APPEND inputs README)
endif()
foreach(var ${inputs})
    if(NOT EXISTS "${${var}}" OR IS_DIRECTORY "${${var}}")
        message(FATAL_ERROR "package: a file it needs is missing: ${${var}}")
    endif()
endforeach()

if(NOT WIXL)
    find_program(WIXL wixl)
endif()
if(NOT WIXL OR NOT EXISTS "${WIXL}")
    message(FATAL_ERROR "package: wixl not found. It comes with Debian's wixl package: "
                        "sudo apt-get install wixl (or bash scripts/install-deps.sh)")
endif()

# One product code per version: installing a rebuilt package of an installed version is the
# same product again, never a second entry.
string(UUID PRODUCT_CODE NAMESPACE ${UPGRADE_CODE} NAME "Stenvault ${VERSION}" TYPE SHA1 UPPER)

# wixl finds sources by relative name only: stage them under fixed names.
get_filename_component(out_dir "${MSI}" DIRECTORY)
set(stage "${MSI}.stage")
file(REMOVE_RECURSE "${stage}")
file(MAKE_DIRECTORY "${stage}" "${out_dir}")
file(COPY_FILE "${PROGRAM_EXE}" "${stage}/stenvault.exe")
file(COPY_FILE "${CHECK_EXE}" "${stage}/stenvault-check.exe")
file(COPY_FILE "${SETUP_EXE}" "${stage}/stenvault-setup.exe")
file(COPY_FILE "${ICON}" "${stage}/stenvault.ico")
execute_process(
    COMMAND "${WIXL}" -a x64 -D Version=${VERSION} -D ProductCode=${PRODUCT_CODE}
            -D UpgradeCode=${UPGRADE_CODE} -D ProgramExe=stenvault.exe
            -D CheckExe=stenvault-check.exe -D SetupExe=stenvault-setup.exe -D Icon=stenvault.ico -o package.msi "${WXS}"
    WORKING_DIRECTORY "${stage}"
    RESULT_VARIABLE rc
    OUTPUT_VARIABLE out
    ERROR_VARIABLE out)
if(NOT rc EQUAL 0 OR NOT EXISTS "${stage}/package.msi")
    message(FATAL_ERROR "package: wixl could not build ${MSI}:\n${out}")
endif()
# Only a whole package ever stands under the final name.
file(RENAME "${stage}/package.msi" "${MSI}")

if(ZIP)
    file(REMOVE_RECURSE "${stage}")
    file(MAKE_DIRECTORY "${stage}")
    file(COPY_FILE "${PROGRAM_EXE}" "${stage}/stenvault.exe")
    file(COPY_FILE "${CHECK_EXE}" "${stage}/stenvault-check.exe")
    file(COPY_FILE "${README}" "${stage}/README.md")
    execute_process(COMMAND "${CMAKE_COMMAND}" -E tar cf zip.tmp --format=zip stenvault.exe
                            stenvault-check.exe README.md
                    WORKING_DIRECTORY "${stage}" RESULT_VARIABLE rc)
    if(NOT rc EQUAL 0)
        message(FATAL_ERROR "package: could not write ${ZIP}")
    endif()
    file(RENAME "${stage}/zip.tmp" "${ZIP}")
endif()
file(REMOVE_RECURSE "${stage}")
message(STATUS "package: ${MSI}")
