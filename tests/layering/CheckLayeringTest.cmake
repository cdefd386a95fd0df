# Runs the layering check on a small tree of known wrong and right includes: it must fail and
# name exactly the wrong ones.
#   cmake -DCHECK=<CheckLayering.cmake> -DWIDGETS_DIR=<QtWidgets folder> -P CheckLayeringTest.cmake
cmake_minimum_required(VERSION 3.22)
# A check that reads no file must fail, not pass on nothing.
set(empty "${CMAKE_CURRENT_BINARY_DIR}/layering-empty-src")
file(REMOVE_RECURSE "${empty}")
file(MAKE_DIRECTORY "${empty}")
execute_process(COMMAND "${CMAKE_COMMAND}" -DSOURCE_DIR=${empty} -DWIDGETS_DIR=${WIDGETS_DIR}
    -P "${CHECK}" RESULT_VARIABLE result OUTPUT_VARIABLE out ERROR_VARIABLE err)
file(REMOVE_RECURSE "${empty}")
if(result EQUAL 0 OR NOT err MATCHES "no source file")
    message(FATAL_ERROR "The layering check passed a folder with no source file:\n${out}${err}")
endif()
# The folder is given relative to where the check runs, as a developer may type it.
execute_process(COMMAND "${CMAKE_COMMAND}" -DSOURCE_DIR=src
    -DWIDGETS_DIR=${WIDGETS_DIR} -P "${CHECK}" WORKING_DIRECTORY "${CMAKE_CURRENT_LIST_DIR}"
    RESULT_VARIABLE result OUTPUT_VARIABLE out ERROR_VARIABLE err)
if(result EQUAL 0)
    message(FATAL_ERROR "The layering check accepted wrong includes:\n${out}${err}")
endif()
set(expected
    "editor/View.h: #include \"../workspace/Store.h\": climbs out of its folder"
    "markdown/Engine.cpp: #include <QTextEdit>: a core may not use Qt Widgets"
    "markdown/Engine.cpp: #include <QtWidgets/QLabel>: a core may not use Qt Widgets"
    "settings/Sheet.h: #include \"agent/ui/Chat.h\": settings may not use agent/ui"
    "sidebar/Panel.cpp: #include \"agent/ui/Chat.h\": sidebar may not use agent/ui"
    "sidebar/Panel.cpp: #include \"settings/Sheet.h\": sidebar may not use settings"
    "workspace/Store.h: #include \"editor/View.h\": workspace may not use editor"
    "Layering: 7 include(s) break the allowed links")
foreach(line ${expected})
    string(FIND "${err}" "${line}" at)
    if(at EQUAL -1)
        message(FATAL_ERROR "Missing from the report: ${line}\nReport:\n${err}")
    endif()
endforeach()
message(STATUS "The layering check names every wrong include and no right one")
