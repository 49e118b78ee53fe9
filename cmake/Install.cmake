# make install and make package: the game installed as a Linux game.
#
#   PREFIX/lib/rondovar/          the program folder: rondovar, rondovar-sim,
#                                 rondovar-snapshot, audio.so, the marker
#                                 file "installed", and links to each data
#                                 folder in share/rondovar
#   PREFIX/share/rondovar/        data maps models textures music save shaders
#   PREFIX/bin/rondovar           a launcher that starts the game in its
#                                 program folder
#   PREFIX/bin/rondovar-sim, rondovar-snapshot
#                                 links to the program folder's tools (the
#                                 engine finds its program folder from the
#                                 executable's real path)
#   PREFIX/share/applications, share/metainfo, share/icons/hicolor/256x256/apps,
#   share/man/man6                desktop entry, AppStream data, icon, man page
#
# The player's files of an installed game go under ~/.local/share/rondovar
# (core/UserFolder.h).
include(GNUInstallDirs)

set(RDV_APP_ID org.rondovar.Rondovar)
# The game has no public web site yet: the AppStream data's home page and
# screenshot addresses (HOMEPAGE/screenshots/NAME.png, the README's
# screenshots) are built from this placeholder until it has one.
set(RDV_HOMEPAGE "https://rondovar.example.org/" CACHE STRING "Home page of the game, ending in /")

set(RDV_INSTALL_PROGRAM_DIR lib/rondovar)
set(RDV_INSTALL_DATA_DIR ${CMAKE_INSTALL_DATADIR}/rondovar)
set(RDV_DATA_FOLDERS data maps models textures music save shaders)
set(RDV_TOOLS rondovar-sim rondovar-snapshot)

install(TARGETS rondovar ${RDV_TOOLS} RUNTIME DESTINATION ${RDV_INSTALL_PROGRAM_DIR})
install(TARGETS audio LIBRARY DESTINATION ${RDV_INSTALL_PROGRAM_DIR})
# Marks the program folder as installed: the player's files then go to the
# player's folder even when the program folder could be written (by root,
# or under a prefix the player owns); see core/UserFolder.h.
file(WRITE ${CMAKE_BINARY_DIR}/dist/installed
  "An installed program folder: Rondovar II keeps the player's settings, progress,\n"
  "log and saved level under \${XDG_DATA_HOME:-~/.local/share}/rondovar/.\n")
install(FILES ${CMAKE_BINARY_DIR}/dist/installed DESTINATION ${RDV_INSTALL_PROGRAM_DIR})

# The data folders as the build assembled them, without the test content and
# without what a player of build/game made there (settings, progress, the
# editor's level, temporary files of an interrupted save).
foreach(folder ${RDV_DATA_FOLDERS})
  install(DIRECTORY ${RDV_GAME_DIR}/${folder}/ DESTINATION ${RDV_INSTALL_DATA_DIR}/${folder}
    REGEX "/test_[^/]*$" EXCLUDE
    REGEX "/[Ss][Ee][Tt][Tt][Ii][Nn][Gg][Ss]\\.[Dd][Aa][Tt]$" EXCLUDE
    REGEX "/[Pp][Rr][Oo][Gg][Rr][Ee][Ss][Ss]\\.[Dd][Aa][Tt]$" EXCLUDE
    REGEX "/[Ss][Aa][Vv][Ee]\\.[^/]*$" EXCLUDE
    REGEX "\\.tmp$" EXCLUDE)
endforeach()

# The shipped settings, made afresh rather than taken from build/game, whose
# settings.dat is the developer's own once the options menu saved it.
set(RDV_SHIPPED_SETTINGS ${CMAKE_BINARY_DIR}/dist/settings.dat)
add_custom_command(OUTPUT ${RDV_SHIPPED_SETTINGS}
  COMMAND ${CMAKE_COMMAND} -E rm -f ${RDV_SHIPPED_SETTINGS}
  COMMAND settingsgen ${RDV_SHIPPED_SETTINGS}
  DEPENDS settingsgen
  VERBATIM)
# Debian wants man pages compressed, reproducibly (-n: no name or time).
set(RDV_MAN_PAGE ${CMAKE_BINARY_DIR}/dist/rondovar.6.gz)
add_custom_command(OUTPUT ${RDV_MAN_PAGE}
  COMMAND sh -c "gzip -9n -c '${CMAKE_SOURCE_DIR}/dist/rondovar.6' > '${RDV_MAN_PAGE}'"
  DEPENDS ${CMAKE_SOURCE_DIR}/dist/rondovar.6
  VERBATIM)
add_custom_target(dist_files ALL DEPENDS ${RDV_SHIPPED_SETTINGS} ${RDV_MAN_PAGE})
install(FILES ${RDV_SHIPPED_SETTINGS} DESTINATION ${RDV_INSTALL_DATA_DIR}/data)

configure_file(${CMAKE_SOURCE_DIR}/dist/${RDV_APP_ID}.metainfo.xml.in
               ${CMAKE_BINARY_DIR}/dist/${RDV_APP_ID}.metainfo.xml @ONLY)
install(FILES ${CMAKE_SOURCE_DIR}/dist/${RDV_APP_ID}.desktop DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
install(FILES ${CMAKE_BINARY_DIR}/dist/${RDV_APP_ID}.metainfo.xml DESTINATION ${CMAKE_INSTALL_DATADIR}/metainfo)
# Drawn by the content generator (tools/contentgen/GenIcon.cpp).
install(FILES ${CMAKE_BINARY_DIR}/icons/rondovar.png
        DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/256x256/apps RENAME ${RDV_APP_ID}.png)
install(FILES ${RDV_MAN_PAGE} DESTINATION ${CMAKE_INSTALL_MANDIR}/man6)

# Relative links, so that the tree works under any prefix and DESTDIR.
file(RELATIVE_PATH rdv_data_from_program /p/${RDV_INSTALL_PROGRAM_DIR} /p/${RDV_INSTALL_DATA_DIR})
file(RELATIVE_PATH rdv_program_from_bin /p/${CMAKE_INSTALL_BINDIR} /p/${RDV_INSTALL_PROGRAM_DIR})
set(rdv_links)
foreach(folder ${RDV_DATA_FOLDERS})
  list(APPEND rdv_links "${RDV_INSTALL_PROGRAM_DIR}/${folder}=${rdv_data_from_program}/${folder}")
endforeach()
foreach(exe ${RDV_TOOLS})
  list(APPEND rdv_links "${CMAKE_INSTALL_BINDIR}/${exe}=${rdv_program_from_bin}/${exe}")
endforeach()
# The game itself starts from its program folder, as it expects to be
# started (elsewhere it changes there and logs "Bad execute path"); the
# tools take file names from the command line and must not change folder.
file(WRITE ${CMAKE_BINARY_DIR}/dist/rondovar
  "#!/bin/sh\n"
  "# Starts Rondovar II from its program folder.\n"
  "here=\$(dirname \"\$(readlink -f \"\$0\")\")\n"
  "cd \"\$here/${rdv_program_from_bin}\" && exec ./rondovar \"\$@\"\n")
install(PROGRAMS ${CMAKE_BINARY_DIR}/dist/rondovar DESTINATION ${CMAKE_INSTALL_BINDIR})
install(CODE "
  set(root \"\$ENV{DESTDIR}\${CMAKE_INSTALL_PREFIX}\")
  foreach(link ${rdv_links})
    string(REPLACE \"=\" \";\" pair \"\${link}\")
    list(GET pair 0 where)
    list(GET pair 1 target)
    get_filename_component(dir \"\${root}/\${where}\" DIRECTORY)
    file(MAKE_DIRECTORY \"\${dir}\")
    file(REMOVE \"\${root}/\${where}\")
    message(STATUS \"Installing: \${root}/\${where} -> \${target}\")
    file(CREATE_LINK \"\${target}\" \"\${root}/\${where}\" SYMBOLIC)
  endforeach()
")

# make package: a Debian package of the same tree under /usr.
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME rondovar)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_PACKAGE_DIRECTORY ${CMAKE_BINARY_DIR})
set(CPACK_PACKAGE_CONTACT "Rondovar II maintainers <maintainers@rondovar.example.org>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "3-D ball game with campaigns and a level editor")
set(CPACK_PACKAGE_DESCRIPTION "One player, or two on a split screen, steer a ball cell by cell
through levels built on a grid of cubes whose faces carry tiles: ice,
water, force fields, fans, spikes, lasers, gravity pads and tiles that
move, drop, launch, break or slide. Campaigns keep their progress; an
editor paints tiles into a level. Saves go under ~/.local/share/rondovar.")
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION games)
set(CPACK_DEBIAN_PACKAGE_HOMEPAGE ${RDV_HOMEPAGE})
# Library dependencies as dpkg-shlibdeps finds them; the GL driver is
# loaded at run time, so it is named here.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_DEPENDS "libgl1")
# Assimp is opened at run time for .x models, out of dpkg-shlibdeps' sight:
# the package that holds it is named here.
get_filename_component(rdv_assimp_dir ${RDV_ASSIMP_LIBRARY} DIRECTORY)
execute_process(COMMAND dpkg-query -S ${rdv_assimp_dir}/${RDV_ASSIMP_SONAME}
                OUTPUT_VARIABLE rdv_assimp_package ERROR_QUIET)
if(rdv_assimp_package MATCHES "^([^:, ]+)")
  string(APPEND CPACK_DEBIAN_PACKAGE_DEPENDS ", ${CMAKE_MATCH_1}")
endif()
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "libgl1-mesa-dri")
set(CPACK_STRIP_FILES ON)
include(CPack)
