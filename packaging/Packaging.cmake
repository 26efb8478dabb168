# make package: a Debian package of the player with CPack. Paths are those of Debian's policy;
# compressed files are made with gzip -9n so that they hold no name or time.
set(KESTRUNE_MAINTAINER "The Kestrune developers <kestrune@example.org>" CACHE STRING
    "The Maintainer field of the Debian package")

include(GNUInstallDirs)
set(doc_dir ${CMAKE_INSTALL_DATAROOTDIR}/doc/kestrune)
set(packaging_out ${CMAKE_BINARY_DIR}/packaging)
file(MAKE_DIRECTORY ${packaging_out})

install(TARGETS kestrune RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
install(FILES ${CMAKE_SOURCE_DIR}/README.md ${CMAKE_SOURCE_DIR}/docs/script-reference.md
              ${CMAKE_SOURCE_DIR}/packaging/copyright
        DESTINATION ${doc_dir})
install(DIRECTORY ${CMAKE_SOURCE_DIR}/examples/ DESTINATION ${CMAKE_INSTALL_DATAROOTDIR}/kestrune/examples
        PATTERN "*.code-workspace" EXCLUDE)
install(FILES ${CMAKE_SOURCE_DIR}/packaging/kestrune.desktop DESTINATION ${CMAKE_INSTALL_DATAROOTDIR}/applications)

# Files that go into the package compressed.
function(kestrune_gzip target source name)
    add_custom_command(OUTPUT ${packaging_out}/${name}
        COMMAND gzip -9nc ${source} > ${packaging_out}/${name}
        DEPENDS ${source} ${ARGN}
        COMMENT "Compressing ${name}")
    add_custom_target(${target} ALL DEPENDS ${packaging_out}/${name})
endfunction()

# The changelog's version is the project's.
configure_file(${CMAKE_SOURCE_DIR}/packaging/changelog.in ${packaging_out}/changelog @ONLY)
kestrune_gzip(package_changelog ${packaging_out}/changelog changelog.Debian.gz)
install(FILES ${packaging_out}/changelog.Debian.gz DESTINATION ${doc_dir})

# The manual page and the completions come from the option table through the `manuals` target.
if(TARGET manuals)
    set(manuals_out ${CMAKE_BINARY_DIR}/manuals)
    kestrune_gzip(package_manual ${manuals_out}/kestrune.1 kestrune.1.gz manuals)
    install(FILES ${packaging_out}/kestrune.1.gz DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
    install(FILES ${manuals_out}/kestrune.bash DESTINATION ${CMAKE_INSTALL_DATAROOTDIR}/bash-completion/completions
            RENAME kestrune)
    install(FILES ${manuals_out}/_kestrune DESTINATION ${CMAKE_INSTALL_DATAROOTDIR}/zsh/vendor-completions)
    install(FILES ${manuals_out}/kestrune.fish DESTINATION ${CMAKE_INSTALL_DATAROOTDIR}/fish/vendor_completions.d)
endif()

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME kestrune)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_PACKAGE_DIRECTORY ${CMAKE_BINARY_DIR}/package)
set(CPACK_STRIP_FILES ON)
set(CPACK_PACKAGE_CONTACT "${KESTRUNE_MAINTAINER}")
set(CPACK_DEBIAN_PACKAGE_MAINTAINER "${KESTRUNE_MAINTAINER}")
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
# A Debian revision: the changelog.Debian.gz that lintian asks of a package that is not native.
set(CPACK_DEBIAN_PACKAGE_RELEASE 1)
set(CPACK_DEBIAN_PACKAGE_SECTION video)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
# Depends: from the libraries the binary links, through dpkg-shlibdeps.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# Renders to video call ffmpeg; on a machine without a screen, xvfb-run gives a virtual one.
set(CPACK_DEBIAN_PACKAGE_SUGGESTS "ffmpeg, xvfb, xauth")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "scripted demo and cutscene player")
# CPack puts the summary first and indents these lines as the control file wants them.
set(CPACK_PACKAGE_DESCRIPTION "Kestrune plays a demo written as a plain-text script and a few JSON
catalogs: scene objects with tweened properties, particle systems, animated
text, off-screen buffers, shaders, sprite-sheet animations and music,
advanced in fixed steps of 1/60 s.

It also checks a demo without playing it, renders it offline to PNG frames
or video, serves the Language Server Protocol for editors, and exports a
demo as a folder that plays on a machine without Kestrune.")
include(CPack)
