# Fails when a C++ file of the project is not laid out as the root's .clang-format says.
#   cmake -DROOT=<source root> -DCLANG_FORMAT=<clang-format> -P CheckFormatting.cmake
# The fix is `clang-format -i` on the files it names.

cmake_minimum_required(VERSION 3.22)

get_filename_component(ROOT "${ROOT}" ABSOLUTE)
if(NOT EXISTS "${ROOT}/.clang-format" OR NOT EXISTS "${CLANG_FORMAT}")
    message(FATAL_ERROR "CheckFormatting: ROOT must hold .clang-format and CLANG_FORMAT must be "
        "the program")
endif()

set(files "")
foreach(folder src tests bench)
    file(GLOB_RECURSE found "${ROOT}/${folder}/*.h" "${ROOT}/${folder}/*.cpp")
    list(APPEND files ${found})
endforeach()
list(SORT files)
if(NOT files)
    message(FATAL_ERROR "Formatting: no source file under ${ROOT}: nothing was checked")
endif()

# One run over every file; each file that differs is named in its complaints.
execute_process(COMMAND "${CLANG_FORMAT}" --dry-run --Werror ${files}
    RESULT_VARIABLE result OUTPUT_QUIET ERROR_VARIABLE complaints)
set(unformatted "")
if(NOT result EQUAL 0)
    string(REGEX MATCHALL "[^\n]+:[0-9]+:[0-9]+: error" lines "${complaints}")
    foreach(line ${lines})
        string(REGEX REPLACE ":[0-9]+:[0-9]+: error$" "" file "${line}")
        file(RELATIVE_PATH shown "${ROOT}" "${file}")
        list(APPEND unformatted "${shown}")
    endforeach()
    list(REMOVE_DUPLICATES unformatted)
    if(NOT unformatted)
        message(FATAL_ERROR "Formatting: clang-format failed:\n${complaints}")
    endif()
endif()

list(LENGTH files count)
if(unformatted)
    list(LENGTH unformatted bad)
    list(JOIN unformatted "\n  " listed)
    message(FATAL_ERROR "Formatting: ${bad} of ${count} files differ from .clang-format "
        "(run clang-format -i on them):\n  ${listed}")
endif()
message(STATUS "Formatting: all ${count} files follow .clang-format")
