# Assembles the program folder build/game/: data folders from data/, plus
# what the content generators make. A player's settings.dat and progress.dat
# are never overwritten by a rebuild.
foreach(folder data maps models textures music save shaders)
  file(MAKE_DIRECTORY ${RDV_GAME_DIR}/${folder})
endforeach()

add_custom_target(game_folder ALL
  COMMAND ${CMAKE_COMMAND} -DSRC=${CMAKE_SOURCE_DIR}/data -DDST=${RDV_GAME_DIR}
          -P ${CMAKE_SOURCE_DIR}/cmake/CopyData.cmake
  COMMENT "Assembling build/game"
  VERBATIM)
