# Runs the layering check on a small tree of known wrong and right includes: it must fail and
# name exactly the wrong ones.
#   cmake -DCHECK=<CheckLayering.cmake> -DWIDGETS_DIR=<QtWidgets folder> -P CheckLayeringTest.cmake
cmake_minimum_required(VERSION 3.22)
execute_process(COMMAND "${CMAKE_COMMAND}" -DSOURCE_DIR=${CMAKE_CURRENT_LIST_DIR}/src
    -DWIDGETS_DIR=${WIDGETS_DIR} -P "${CHECK}"
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
