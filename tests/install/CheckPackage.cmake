cmake_minimum_required(VERSION 3.22)
# Makes the Debian package of a build with cpack and checks its name, its control fields and that
# it holds exactly what `cmake --install` puts in place, under /usr.
# cmake -DBUILD_DIR=... -DWORK=... -DVERSION=... -DCPACK=... -DDPKG_DEB=... -DDPKG_SHLIBDEPS=...
#       -P CheckPackage.cmake
# Prints "skipped:" when a packaging tool is missing.
foreach(tool CPACK DPKG_DEB DPKG_SHLIBDEPS)
    if(NOT ${tool})
        message("skipped: ${tool} was not found")
        return()
    endif()
endforeach()

file(REMOVE_RECURSE "${WORK}")
execute_process(COMMAND "${CPACK}" -G DEB --config "${BUILD_DIR}/CPackConfig.cmake" -B "${WORK}"
    RESULT_VARIABLE result OUTPUT_VARIABLE output ERROR_VARIABLE output)
if(NOT result EQUAL 0)
    message(FATAL_ERROR "cpack failed: ${output}")
endif()
execute_process(COMMAND dpkg --print-architecture OUTPUT_VARIABLE arch
    OUTPUT_STRIP_TRAILING_WHITESPACE)
set(deb "${WORK}/quillon_${VERSION}_${arch}.deb")
file(GLOB made "${WORK}/*.deb")
if(NOT made STREQUAL deb)
    message(FATAL_ERROR "expected ${deb}, cpack made: ${made}")
endif()

function(field name out)
    execute_process(COMMAND "${DPKG_DEB}" --field "${deb}" ${name} OUTPUT_VARIABLE value
        OUTPUT_STRIP_TRAILING_WHITESPACE)
    set(${out} "${value}" PARENT_SCOPE)
endfunction()
field(Package package)
field(Version version)
field(Architecture architecture)
field(Maintainer maintainer)
field(Depends depends)
if(NOT package STREQUAL "quillon" OR NOT version STREQUAL VERSION
    OR NOT architecture STREQUAL arch OR maintainer STREQUAL "")
    message(FATAL_ERROR "wrong control fields: '${package}' '${version}' '${architecture}' "
        "'${maintainer}'")
endif()
# git is run, not linked; the rest are the libraries the program links.
foreach(needed git libqt6core6 libqt6gui6 libqt6widgets6 libqt6network6 libqt6svg6 libyaml-0-2
    libsecret-1-0 libc6)
    if(NOT ", ${depends}," MATCHES ", ${needed}[ ,]")
        message(FATAL_ERROR "Depends lacks ${needed}: ${depends}")
    endif()
endforeach()

# The package's files, as the paths under /usr that `cmake --install` gives them.
execute_process(COMMAND "${DPKG_DEB}" --contents "${deb}" OUTPUT_VARIABLE contents
    RESULT_VARIABLE result)
if(NOT result EQUAL 0)
    message(FATAL_ERROR "dpkg-deb --contents failed")
endif()
string(REPLACE "\n" ";" lines "${contents}")
set(packaged "")
foreach(line ${lines})
    if(line STREQUAL "")
        continue()
    endif()
    if(NOT line MATCHES "^([-d])([rwx-]+) root/root .* \\./usr/(.*)$")
        message(FATAL_ERROR "outside /usr or not owned by root: ${line}")
    endif()
    if(CMAKE_MATCH_1 STREQUAL "-")
        list(APPEND packaged "${CMAKE_MATCH_3}")
        set(mode_${CMAKE_MATCH_3} "${CMAKE_MATCH_2}")
    endif()
endforeach()
foreach(program bin/quillon libexec/quillon/quillon-agent-launcher)
    if(NOT mode_${program} STREQUAL "rwxr-xr-x")
        message(FATAL_ERROR "${program} is not packaged as an executable: '${mode_${program}}'")
    endif()
endforeach()

execute_process(COMMAND "${CMAKE_COMMAND}" --install "${BUILD_DIR}" --prefix "${WORK}/prefix"
    RESULT_VARIABLE result OUTPUT_QUIET ERROR_VARIABLE errors)
if(NOT result EQUAL 0)
    message(FATAL_ERROR "cmake --install failed: ${errors}")
endif()
file(GLOB_RECURSE installed RELATIVE "${WORK}/prefix" "${WORK}/prefix/*")
list(SORT installed)
list(SORT packaged)
if(NOT installed STREQUAL packaged)
    message(FATAL_ERROR "the package holds\n  ${packaged}\nbut cmake --install puts\n  ${installed}")
endif()
foreach(expected bin/quillon libexec/quillon/quillon-agent-launcher
    share/applications/quillon.desktop share/icons/hicolor/scalable/apps/quillon.svg)
    if(NOT expected IN_LIST packaged)
        message(FATAL_ERROR "not packaged: /usr/${expected}")
    endif()
endforeach()
file(REMOVE_RECURSE "${WORK}")
