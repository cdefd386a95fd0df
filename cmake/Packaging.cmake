# `cpack -G DEB` in a build folder makes quillon_<version>_<architecture>.deb: what
# `cmake --install` puts in place, under /usr, with the runtime dependencies declared.
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME quillon)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "Markdown editor for folders of notes, with git sync")
set(QUILLON_PACKAGE_MAINTAINER "Quillon developers <developers@quillon.invalid>"
    CACHE STRING "The Maintainer field of the Debian package")
set(CPACK_PACKAGE_CONTACT "${QUILLON_PACKAGE_MAINTAINER}")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)

set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION editors)
# The package's long description, below the summary line.
set(CPACK_PACKAGE_DESCRIPTION "Quillon edits a folder of Markdown documents in tabs, styled in place \
or as source, saves every change as you type, keeps the folder in step with a git remote and \
sends prompts to a command-line AI agent.")
# The shared libraries the binaries link (Qt, libyaml, libsecret, ICU...) are found by
# dpkg-shlibdeps (in dpkg-dev). git is run as a program, which it cannot see.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_DEPENDS "git")
# The code font and the theme icons the file tree falls back on; the program runs without them.
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "fonts-jetbrains-mono, adwaita-icon-theme")

include(CPack)
