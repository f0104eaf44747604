# Installing the game the way Debian lays out games:
#   PREFIX/share/games/glomp/       the program with its data/ and Shader/ folders
#   PREFIX/games/glomp              the launcher, which starts the program from there
#   PREFIX/share/applications/      the desktop entry
#   PREFIX/share/icons/hicolor/     the icon
# The launcher finds the game folder relative to itself, so an installed tree
# may be moved (or staged with DESTDIR) as a whole.
include(GNUInstallDirs)
set(GLOMP_INSTALL_GAMESDIR "games" CACHE STRING
    "Folder under the prefix for the glomp launcher (games as on Debian; bin for a home install)")
set(GLOMP_INSTALL_GAMEDIR "${CMAKE_INSTALL_DATADIR}/games/glomp" CACHE STRING
    "Folder under the prefix for the program and its data/ and Shader/ folders")
foreach(dir GLOMP_INSTALL_GAMESDIR GLOMP_INSTALL_GAMEDIR)
  if(IS_ABSOLUTE "${${dir}}")
    message(FATAL_ERROR "${dir} must be relative to the install prefix")
  endif()
endforeach()

file(RELATIVE_PATH GLOMP_LAUNCHER_TO_GAME
     /prefix/${GLOMP_INSTALL_GAMESDIR} /prefix/${GLOMP_INSTALL_GAMEDIR})
set(packaging ${PROJECT_SOURCE_DIR}/packaging)
configure_file(${packaging}/glomp.sh.in ${PROJECT_BINARY_DIR}/packaging/glomp @ONLY)

install(TARGETS glomp RUNTIME DESTINATION ${GLOMP_INSTALL_GAMEDIR})
install(DIRECTORY ${GLOMP_RUN_DIR}/data ${GLOMP_RUN_DIR}/Shader
        DESTINATION ${GLOMP_INSTALL_GAMEDIR})
install(PROGRAMS ${PROJECT_BINARY_DIR}/packaging/glomp DESTINATION ${GLOMP_INSTALL_GAMESDIR})
install(FILES ${packaging}/glomp.desktop DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
install(FILES ${packaging}/glomp.svg
        DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps)
